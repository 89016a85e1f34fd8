#!/usr/bin/python3
"""Checks convolutions against Pillow's kernel filter of the same
definition. The directory holds cases.txt, one case per line:

    NAME MODE WIDTH HEIGHT SIZE SCALE K0 K1 ... (SIZE x SIZE elements)
    NAME MODE WIDTH HEIGHT find_edges

with NAME.in the input and NAME.out our result, both raw pixels as Pillow's
frombytes reads them for MODE ("L" or "RGB"), top row first. Our side ran
the kernel, row by row as listed and with the pixel under its centre
element, times 1 / SCALE (a power of two, so that Pillow's floating point
is exact), truncated, with negative results 0 and results above 255 255,
on the rectangle that leaves a border of SIZE // 2 pixels; Pillow leaves
that border as it was too. Pillow runs its kernel rows bottom to top and
rounds half up, so the rows go in reversed and the offset -0.5 turns its
rounding into truncation.

Usage: pillow_convolve.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

from PIL import Image, ImageFilter


def peer(image, args):
    if args[0] == "find_edges":
        return image.filter(ImageFilter.FIND_EDGES)
    size, scale = int(args[0]), int(args[1])
    k = [int(v) for v in args[2:]]
    rows = [k[r * size:(r + 1) * size] for r in range(size)]
    flipped = [v for row in reversed(rows) for v in row]
    return image.filter(ImageFilter.Kernel((size, size), flipped, scale=scale, offset=-0.5))


def main(directory):
    bad = 0
    lines = open(os.path.join(directory, "cases.txt")).read().split("\n")
    cases = [line.split() for line in lines if line.strip()]
    for name, mode, width, height, *args in cases:
        path = os.path.join(directory, name)
        image = Image.frombytes(mode, (int(width), int(height)), open(path + ".in", "rb").read())
        expected = peer(image, args).tobytes()
        ours = open(path + ".out", "rb").read()
        if ours != expected:
            bad += 1
            first = next(i for i in range(len(ours)) if ours[i] != expected[i])
            print(f"{name} {' '.join(args)}: byte {first} ours {ours[first]} Pillow {expected[first]}",
                  file=sys.stderr)
    print(f"{len(cases) - bad} of {len(cases)} cases match Pillow")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
