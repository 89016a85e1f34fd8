#!/usr/bin/python3
"""Checks icon, PSD and SGI files with other programs: every NAME.ico,
NAME.psd and NAME.sgi in the directory must decode to exactly the RGB
triples in NAME.rgb (top row first, no padding) in each program that reads
the kind of file, and at least one program must have read it.

- icons: Pillow, ImageMagick, GraphicsMagick;
- PSD: Pillow and ImageMagick; bitmap (1-bit) files ImageMagick only,
  since Pillow takes their set bits for white where the format means black
  ink; indexed files Pillow only, since ImageMagick 6 refuses every
  indexed file, its own included;
- SGI: Pillow, ImageMagick, GraphicsMagick and netpbm's sgitopnm.

Programs that are not installed are left out.

Usage: check_ico_psd_sgi_with_peers.py DIRECTORY   (exit status 0 when all match)
"""
import io
import os
import shutil
import struct
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
GM = "/usr/bin/gm"


def output(*args):
    run = subprocess.run(list(args), capture_output=True)
    return run.stdout if run.returncode == 0 else None


def pillow(path):
    try:
        with Image.open(path) as im:
            im.load()
            return im.convert("RGB").tobytes()
    except Exception:  # a refusal is a mismatch
        return None


def magick(path):
    return output(CONVERT, f"{path}[0]", "-alpha", "off", "-depth", "8", "rgb:-")


def graphicsmagick(path):
    return output(GM, "convert", f"{path}[0]", "-depth", "8", "rgb:-")


def netpbm(path):
    pnm = output("sgitopnm", path)
    return None if pnm is None else Image.open(io.BytesIO(pnm)).convert("RGB").tobytes()


def psd_mode(path):
    data = open(path, "rb").read(26)
    return struct.unpack_from(">H", data, 24)[0]


def readers(path):
    ext = path.rsplit(".", 1)[1]
    have_magick = os.path.exists(CONVERT)
    have_gm = os.path.exists(GM)
    chosen = []
    if ext == "ico":
        chosen = [("Pillow", pillow), ("ImageMagick", magick if have_magick else None),
                  ("GraphicsMagick", graphicsmagick if have_gm else None)]
    elif ext == "psd":
        mode = psd_mode(path)
        if mode != 2:  # indexed
            chosen.append(("ImageMagick", magick if have_magick else None))
        if mode != 0:  # bitmap
            chosen.append(("Pillow", pillow))
    elif ext == "sgi":
        chosen = [("Pillow", pillow), ("ImageMagick", magick if have_magick else None),
                  ("GraphicsMagick", graphicsmagick if have_gm else None),
                  ("netpbm", netpbm if shutil.which("sgitopnm") else None)]
    return [(name, fn) for name, fn in chosen if fn is not None]


def main(directory):
    files = sorted(n for n in os.listdir(directory) if n.rsplit(".", 1)[-1] in ("ico", "psd", "sgi"))
    bad = 0
    for name in files:
        path = os.path.join(directory, name)
        expected = open(path.rsplit(".", 1)[0] + ".rgb", "rb").read()
        programs = readers(path)
        if not programs:
            bad += 1
            print(f"{name}: no program to read it")
        for program, read in programs:
            if read(path) != expected:
                bad += 1
                print(f"{name}: {program} does not read the expected pixels")
    print(f"{len(files)} files, {bad} mismatches")
    return 0 if files and bad == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
