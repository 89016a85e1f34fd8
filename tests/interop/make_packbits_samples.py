#!/usr/bin/python3
"""Writes PackBits coding made by libtiff (through Pillow's TIFF writer),
for the decoder's tests: each NAME.pb is the strip data of a one-strip
8-bit grey TIFF and NAME.raw the rows it holds.

Usage: make_packbits_samples.py [output directory]   (default: ../data/packbits)
"""
import io
import os
import random
import sys

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


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "packbits"))
