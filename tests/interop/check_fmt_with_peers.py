#!/usr/bin/python3
"""Checks PCX, DCX, TGA, XBM and Sun raster files with peer readers: every
NAME.EXT in the directory must decode to exactly the RGB triples in
NAME.rgb (top row first, no padding).

Each file is read by Pillow and, where Pillow refuses it or reads other
pixels, by ImageMagick (/usr/bin/convert) and by netpbm (pcxtoppm,
tgatoppm, xbmtopbm, rasttopnm); one peer with the pixels is enough. Pillow
and ImageMagick misread Sun run-length data whose runs carry on from one
row into the next, which netpbm reads; Pillow is not asked about XBM
files, whose bits it takes the other way round. Only page 1 of a DCX is
checked.

Usage: check_fmt_with_peers.py DIRECTORY   (exit status 0 when all match)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_fmt_samples import magick_rgb, netpbm_rgb, pillow_rgb  # noqa: E402


def main(folder):
    failed = []
    names = sorted(n for n in os.listdir(folder) if not n.endswith(".rgb"))
    for name in names:
        path = os.path.join(folder, name)
        want = open(os.path.join(folder, os.path.splitext(name)[0] + ".rgb"), "rb").read()
        readers = (pillow_rgb, magick_rgb, netpbm_rgb)
        if not any(read(path) == want for read in readers):
            failed.append(name)
    for name in failed:
        print("no peer reads %s with its pixels" % name)
    print("%d passed, %d failed" % (len(names) - len(failed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
