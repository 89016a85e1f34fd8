#!/usr/bin/python3
"""Checks image operations against Pillow's operations of the same
definition. The directory holds cases.txt, one case per line:

    NAME MODE WIDTH HEIGHT OPERATION [ARGUMENTS...]

with NAME.in the input and NAME.out our result, both raw pixels as Pillow's
frombytes reads them for MODE ("L" or "RGB"), top row first. Operations:

    rotate CODE        quarter turns clockwise: 1 = 90, 2 = 180, 3 = 270
    flip DIRECTION     0 = left-right, 1 = top-bottom
    crop L T R B       inclusive rectangle inside the image
    gray               (red * 77 + green * 151 + blue * 28) >> 8, by ImageMath

Usage: pillow_geometry.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

from PIL import Image, ImageMath

# Pillow's ROTATE_90 turns counter-clockwise.
TURNS = {1: Image.Transpose.ROTATE_270, 2: Image.Transpose.ROTATE_180, 3: Image.Transpose.ROTATE_90}
FLIPS = {0: Image.Transpose.FLIP_LEFT_RIGHT, 1: Image.Transpose.FLIP_TOP_BOTTOM}


def peer(image, operation, args):
    if operation == "rotate":
        return image.transpose(TURNS[args[0]])
    if operation == "flip":
        return image.transpose(FLIPS[args[0]])
    if operation == "crop":
        left, top, right, bottom = args
        return image.crop((left, top, right + 1, bottom + 1))
    if operation == "gray":
        r, g, b = image.split()
        return ImageMath.eval("convert((r * 77 + g * 151 + b * 28) / 256, 'L')", r=r, g=g, b=b)
    raise ValueError(operation)


def main(directory):
    bad = 0
    lines = open(os.path.join(directory, "cases.txt")).read().split("\n")
    cases = [line.split() for line in lines if line.strip()]
    for name, mode, width, height, operation, *args in cases:
        path = os.path.join(directory, name)
        image = Image.frombytes(mode, (int(width), int(height)), open(path + ".in", "rb").read())
        expected = peer(image, operation, [int(a) for a in args]).tobytes()
        if open(path + ".out", "rb").read() != expected:
            bad += 1
            print(f"{name}: {operation} {' '.join(args)} differs from Pillow")
    print(f"{len(cases) - bad} of {len(cases)} cases match")
    return 0 if cases and bad == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
