#!/usr/bin/python3
"""Checks the twist effect against Pillow's transposes: every whole
BLOCK x BLOCK square laid from the rectangle's top-left corner is cut out,
turned by Pillow and pasted back. Turn 1 is Pillow's TRANSVERSE (about the
rising diagonal), 2 FLIP_LEFT_RIGHT, 3 TRANSPOSE (about the falling one).
The directory holds cases.txt, one case per line:

    NAME MODE WIDTH HEIGHT TURN BLOCK LEFT TOP RIGHT BOTTOM

with NAME.in the input and NAME.out our result, raw pixels for MODE ("L" or
"RGB"), top row first, and an inclusive rectangle inside the image.

Usage: pillow_twist.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

from PIL import Image

TURNS = {1: Image.Transpose.TRANSVERSE, 2: Image.Transpose.FLIP_LEFT_RIGHT,
         3: Image.Transpose.TRANSPOSE}


def twisted(image, turn, block, left, top, right, bottom):
    out = image.copy()
    for y in range(top, bottom - block + 2, block):
        for x in range(left, right - block + 2, block):
            square = image.crop((x, y, x + block, y + block))
            out.paste(square.transpose(TURNS[turn]), (x, y))
    return out


def main(directory):
    failures = 0
    with open(os.path.join(directory, "cases.txt")) as cases:
        for line in cases:
            name, mode, *numbers = line.split()
            width, height, turn, block, left, top, right, bottom = map(int, numbers)
            with open(os.path.join(directory, name + ".in"), "rb") as f:
                source = Image.frombytes(mode, (width, height), f.read())
            with open(os.path.join(directory, name + ".out"), "rb") as f:
                ours = f.read()
            want = twisted(source, turn, block, left, top, right, bottom).tobytes()
            if want != ours:
                failures += 1
                print(f"{name}: differs from Pillow", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
