#!/usr/bin/python3
"""Writes PackBits coding made by libtiff (through Pillow's TIFF writer),
for the decoder's tests: each NAME.pb is the strip data of a one-strip
8-bit grey TIFF and NAME.raw the rows it holds.

Usage: make_packbits_samples.py [--check] [output directory]   (default:
  ../data/packbits; with --check, nothing is written and the exit status is
  0 when the committed files are what the script makes now)
"""
import filecmp
import io
import os
import random
import sys
import tempfile

from PIL import Image, TiffImagePlugin


def sample(width, height, seed, alphabet):
    rng = random.Random(seed)
    rows = bytes(rng.randrange(alphabet) * (50 if alphabet < 6 else 1) for _ in range(width * height))
    im = Image.frombytes("L", (width, height), rows)
    buf = io.BytesIO()
    TiffImagePlugin.WRITE_LIBTIFF = True
    im.save(buf, format="TIFF", compression="packbits", tiffinfo={278: height})
    buf.seek(0)
    with Image.open(buf) as t:
        offsets = t.tag_v2[273]
        counts = t.tag_v2[279]
    data = buf.getvalue()
    assert len(offsets) == 1
    return data[offsets[0]:offsets[0] + counts[0]], rows


def main(out):
    os.makedirs(out, exist_ok=True)
    for n, (width, height, alphabet) in enumerate([(1, 1, 2), (7, 3, 2), (130, 2, 1), (200, 3, 3),
                                                   (129, 4, 256), (300, 2, 4)]):
        coded, rows = sample(width, height, n, alphabet)
        name = f"libtiff_{n}_{width}x{height}"
        open(os.path.join(out, name + ".pb"), "wb").write(coded)
        open(os.path.join(out, name + ".raw"), "wb").write(rows)


def same_files(made, committed):
    names = [n for n in os.listdir(made)]
    _, differ, missing = filecmp.cmpfiles(made, committed, names, shallow=False)
    for name in differ + missing:
        print(f"{os.path.join(committed, name)}: not what the script makes")
    return not differ and not missing


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in sys.argv[1:] if a != "--check"]
    out = args[0] if args else os.path.join(here, "..", "data", "packbits")
    if "--check" not in sys.argv[1:]:
        main(out)
        sys.exit(0)
    with tempfile.TemporaryDirectory() as tmp:
        main(tmp)
        sys.exit(0 if same_files(tmp, out) else 1)
