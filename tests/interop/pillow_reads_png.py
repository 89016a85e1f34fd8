#!/usr/bin/python3
"""Checks PNG files with Pillow: every NAME.png in the directory must decode
to exactly the RGB triples in NAME.rgb (top row first, no padding).

Usage: pillow_reads_png.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

from PIL import Image


def main():
    directory = sys.argv[1]
    failures = []
    names = sorted(n for n in os.listdir(directory) if n.endswith(".png"))
    for name in names:
        path = os.path.join(directory, name)
        want = open(os.path.splitext(path)[0] + ".rgb", "rb").read()
        try:
            with Image.open(path) as im:
                got = im.convert("RGB").tobytes()
        except Exception as e:  # a refusal is a mismatch
            got = str(e).encode()
        if got != want:
            failures.append(name)
    for name in failures:
        print(f"mismatch: {name}")
    print(f"{len(names) - len(failures)} of {len(names)} files match")
    return 1 if failures or not names else 0


if __name__ == "__main__":
    sys.exit(main())
