#!/usr/bin/python3
"""Times Pillow's filters beside conv_bench's cases on the same photo,
in-process, printing "case wall_ms cpu_ms" (best of the runs) in the same
order. Each run filters a fresh copy made before the clock starts. The
edge cases all stand against FIND_EDGES, Pillow's one edge filter.

Usage: conv_bench_pillow.py PHOTO.bmp [RUNS]
"""
import os
import sys

from PIL import Image, ImageFilter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from pillow_timing import time_case  # noqa: E402

SOFT = ImageFilter.Kernel((3, 3), (1, 2, 1, 2, 4, 2, 1, 2, 1), scale=16)


def main(photo_path, runs):
    photo = Image.open(photo_path).convert("RGB")
    cases = [
        ("convolve_3x3", SOFT),
        ("sharpen_1", ImageFilter.SHARPEN),
        ("smooth_1", ImageFilter.SMOOTH),
        ("edges_gradient", ImageFilter.FIND_EDGES),
        ("edges_laplace", ImageFilter.FIND_EDGES),
        ("edges_vertical", ImageFilter.FIND_EDGES),
    ]
    for name, kernel in cases:
        time_case(name, photo, lambda im, k=kernel: im.filter(k), runs)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 5)
