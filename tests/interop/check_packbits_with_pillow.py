#!/usr/bin/python3
"""Checks PackBits coding with Pillow's decoder: every NAME_WxH.pb in the
directory must decode, as H rows of W bytes, to exactly NAME_WxH.raw.

Usage: check_packbits_with_pillow.py [DIRECTORY]   (default: ../data/packbits;
  exit status 0 when all match)
"""
import os
import sys

from PIL import Image


def main(directory):
    names = sorted(n[:-3] for n in os.listdir(directory) if n.endswith(".pb"))
    bad = 0
    for name in names:
        width, height = (int(v) for v in name.rsplit("_", 1)[1].split("x"))
        coded = open(os.path.join(directory, name + ".pb"), "rb").read()
        want = open(os.path.join(directory, name + ".raw"), "rb").read()
        try:
            got = Image.frombytes("L", (width, height), coded, "packbits", "L").tobytes()
        except Exception as e:  # a refusal is a mismatch
            got = repr(e)
        if got != want:
            bad += 1
            print(f"{name}: Pillow does not decode the expected bytes")
    print(f"{len(names) - bad} of {len(names)} codings match")
    return 0 if names and bad == 0 else 1


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "packbits")))
