#!/usr/bin/python3
"""Checks GIF files with Pillow: every NAME.gif in the directory must have
as many frames as there are NAME.N.rgb files, and frame N, as Pillow
composites it, must be exactly the RGB triples of NAME.N.rgb (top row
first, no padding). Where NAME.transparency exists, the first frame's
transparent index must be the number it holds.

Usage: pillow_reads_gif.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

from PIL import Image


def expected_frames(stem):
    frames = []
    while os.path.exists(f"{stem}.{len(frames)}.rgb"):
        with open(f"{stem}.{len(frames)}.rgb", "rb") as f:
            frames.append(f.read())
    return frames


def mismatch(path):
    """None when the file matches, else what differs."""
    stem = os.path.splitext(path)[0]
    want = expected_frames(stem)
    try:
        with Image.open(path) as im:
            if im.format != "GIF":
                return f"read as {im.format}"
            if getattr(im, "n_frames", 1) != len(want):
                return f"{im.n_frames} frames, {len(want)} expected"
            if os.path.exists(stem + ".transparency"):
                with open(stem + ".transparency") as f:
                    index = int(f.read())
                if im.info.get("transparency") != index:
                    return f"transparency {im.info.get('transparency')}, {index} expected"
            for n, rgb in enumerate(want):
                im.seek(n)
                if im.convert("RGB").tobytes() != rgb:
                    return f"frame {n} pixels"
    except Exception as e:  # a refusal is a mismatch
        return str(e)
    return None


def main():
    directory = sys.argv[1]
    names = sorted(n for n in os.listdir(directory) if n.endswith(".gif"))
    failures = 0
    for name in names:
        why = mismatch(os.path.join(directory, name))
        if why is not None:
            failures += 1
            print(f"mismatch: {name}: {why}")
    print(f"{len(names) - failures} of {len(names)} files match")
    return 1 if failures or not names else 0


if __name__ == "__main__":
    sys.exit(main())
