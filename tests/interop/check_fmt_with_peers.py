#!/usr/bin/python3
"""Checks PCX, DCX, TGA, XBM and Sun raster files with peer readers: every
NAME.EXT in a directory must decode to exactly the RGB triples in NAME.rgb
(top row first, no padding), or, for a file of several pages, page N to
those in NAME.pN.rgb.

Each page is read by Pillow and, where Pillow refuses it or reads other
pixels, by ImageMagick (/usr/bin/convert) and by netpbm (pcxtoppm,
tgatoppm, xbmtopbm, rasttopnm; first pages only); one peer with the
pixels is enough. Pillow and ImageMagick misread Sun run-length data whose
runs carry on from one row into the next, which netpbm reads; Pillow is
not asked about XBM files, whose bits it takes the other way round.

Without a directory the committed peer samples under tests/data are
checked. When ImageMagick or netpbm is missing the check is skipped
(exit status 0), unless RX_REQUIRE_PEERS=1 is in the environment.

Usage: check_fmt_with_peers.py [DIRECTORY...]   (exit status 0 when all match)
"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_fmt_samples import CONVERT, FORMATS, NETPBM_READERS, magick_rgb, netpbm_rgb, pillow_rgb  # noqa: E402

REQUIRE_PEERS = os.environ.get("RX_REQUIRE_PEERS") == "1"


def missing_peers():
    tools = [CONVERT] + [shutil.which(t) or t for t in NETPBM_READERS.values()] + [shutil.which("pnmtopng") or "pnmtopng"]
    return [t for t in tools if not os.access(t, os.X_OK)]


def expected_pages(folder, base):
    """The .rgb files of a sample by page, page 1 first."""
    single = os.path.join(folder, base + ".rgb")
    if os.path.exists(single):
        return [open(single, "rb").read()]
    pages = []
    while os.path.exists(os.path.join(folder, "%s.p%d.rgb" % (base, len(pages) + 1))):
        pages.append(open(os.path.join(folder, "%s.p%d.rgb" % (base, len(pages) + 1)), "rb").read())
    return pages


def check(folder):
    """The names of the files no peer reads with their pixels, and the count."""
    failed = []
    names = sorted(n for n in os.listdir(folder) if not n.endswith(".rgb"))
    for name in names:
        path = os.path.join(folder, name)
        pages = expected_pages(folder, os.path.splitext(name)[0])
        if not pages:
            failed.append(name + " (no .rgb file)")
        for page, want in enumerate(pages):
            if not any(read(path, page) == want for read in (pillow_rgb, magick_rgb, netpbm_rgb)):
                failed.append("%s page %d" % (name, page + 1))
    return failed, len(names)


def main(folders):
    missing = missing_peers()
    if missing:
        print("peer programs missing: " + ", ".join(missing))
        return 1 if REQUIRE_PEERS else 0
    if not folders:
        data = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
        folders = [os.path.join(data, fmt, "peer") for fmt in FORMATS]
    failed, total = [], 0
    for folder in folders:
        f, n = check(folder)
        failed += f
        total += n
    for name in failed:
        print("no peer reads %s with its pixels" % name)
    print("%d files, %d failed" % (total, len(failed)))
    return 1 if failed or total == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
