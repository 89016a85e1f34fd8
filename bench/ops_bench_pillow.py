#!/usr/bin/python3
"""Times Pillow's operations that match the engine's benchmark cases on the
same photo and page, in-process, printing "case milliseconds" (best of the
runs, wall clock and the thread's processor time) in the order of
ops_bench. Like ops_bench, each run works on a fresh
copy of the picture, made before the clock starts.

Usage: ops_bench_pillow.py PHOTO.bmp PAGE.bmp [RUNS]
"""
import os
import sys

from PIL import Image, ImageFilter

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "support"))
from pillow_timing import time_case  # noqa: E402

T = Image.Transpose
R = Image.Resampling
Q = Image.Quantize


def main(photo_path, page_path, runs):
    photo = Image.open(photo_path).convert("RGB")
    page = Image.open(page_path)
    page.load()
    w, h = photo.size
    cases = [
        ("resize_nearest_50", photo, lambda im: im.resize((w // 2, h // 2), R.NEAREST)),
        ("resize_nearest_200", photo, lambda im: im.resize((w * 2, h * 2), R.NEAREST)),
        ("resize_bilinear_50", photo, lambda im: im.resize((w // 2, h // 2), R.BILINEAR)),
        ("resize_bilinear_200", photo, lambda im: im.resize((w * 2, h * 2), R.BILINEAR)),
        ("rotate_90", photo, lambda im: im.transpose(T.ROTATE_270)),
        ("flip_left_right", photo, lambda im: im.transpose(T.FLIP_LEFT_RIGHT)),
        ("flip_top_bottom", photo, lambda im: im.transpose(T.FLIP_TOP_BOTTOM)),
        ("rotate_7.5", photo, lambda im: im.rotate(-7.5, resample=R.NEAREST)),
        ("gray", photo, lambda im: im.convert("L")),
        ("octree_256", photo, lambda im: im.quantize(256, method=Q.FASTOCTREE)),
        ("median_cut_256", photo, lambda im: im.quantize(256, method=Q.MEDIANCUT)),
        ("diffuse_1bit", photo, lambda im: im.convert("1")),
        ("crop_1000", photo, lambda im: im.crop((1000, 1000, 2000, 2000))),
        ("blur_box_3", photo, lambda im: im.filter(ImageFilter.BoxBlur(1))),
        ("blur_box_5", photo, lambda im: im.filter(ImageFilter.BoxBlur(2))),
        ("page_rotate_90", page, lambda im: im.transpose(T.ROTATE_270)),
        ("page_flip_left_right", page, lambda im: im.transpose(T.FLIP_LEFT_RIGHT)),
        ("page_resize_nearest_50", page, lambda im: im.resize((1240, 1754), R.NEAREST)),
        ("page_crop_1000", page, lambda im: im.crop((1000, 1000, 2000, 2000))),
    ]
    for name, image, op in cases:
        time_case(name, image, op, runs)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 5)
