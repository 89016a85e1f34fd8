#!/usr/bin/python3
"""Checks TIFF files we wrote with libtiff's own programs.

For each NAME.tif in DIRECTORY, with NAME.pN.rgb holding the pixels of
its page N (8-bit RGB triples, top row first):
  - tiffinfo must read every directory without a warning or an error;
  - tiff2rgba must turn every page into RGBA without a complaint, and the
    colour of its pixels, read back by Pillow, must be those of
    NAME.pN.rgb.

Usage: check_tiff_with_libtiff.py [DIRECTORY]   (exit status 0 when all pass)
  The default directory, ../data/tiff/ours, holds files of every kind we
  write; the TIFF tests also run this on the files they write afresh.
  Without libtiff's programs the check fails only when RX_REQUIRE_PEERS is 1.
"""
import glob
import os
import subprocess
import sys
import tempfile

from PIL import Image

TIFFINFO = "/usr/bin/tiffinfo"
TIFF2RGBA = "/usr/bin/tiff2rgba"
TIFFCP = "/usr/bin/tiffcp"


def check(path):
    problems = []
    info = subprocess.run([TIFFINFO, path], capture_output=True, text=True)
    said = info.stdout + info.stderr
    if info.returncode != 0 or "Warning" in said or "Error" in said:
        problems.append("tiffinfo: " + info.stderr.strip())
    stem = path[:-4]
    pages = sorted(glob.glob(stem + ".p*.rgb"))
    with tempfile.TemporaryDirectory() as tmp:
        rgba = os.path.join(tmp, "rgba.tif")
        run = subprocess.run([TIFF2RGBA, "-c", "none", path, rgba], capture_output=True, text=True)
        if run.returncode != 0 or run.stderr.strip():
            problems.append("tiff2rgba: " + run.stderr.strip())
            return problems
        # The RGBA file keeps the source's fill order, which Pillow does
        # not read; tiffcp puts it in the usual order.
        out = os.path.join(tmp, "rgba_msb.tif")
        subprocess.run([TIFFCP, "-f", "msb2lsb", rgba, out], check=True, capture_output=True)
        with Image.open(out) as im:
            for n in range(1, len(pages) + 1):
                with open(f"{stem}.p{n}.rgb", "rb") as f:
                    expected = f.read()
                try:
                    im.seek(n - 1)
                except EOFError:
                    problems.append(f"page {n} missing")
                    continue
                got = im.convert("RGB").tobytes()
                if got != expected:
                    problems.append(f"page {n}: pixels differ")
    return problems


def main(args):
    if len(args) > 1:
        sys.exit(__doc__)
    here = os.path.dirname(os.path.abspath(__file__))
    directory = args[0] if args else os.path.join(here, "..", "data", "tiff", "ours")
    missing = [p for p in (TIFFINFO, TIFF2RGBA, TIFFCP) if not os.path.exists(p)]
    if missing:
        print("missing: " + ", ".join(missing))
        return 1 if os.environ.get("RX_REQUIRE_PEERS") == "1" else 0
    failed = 0
    files = sorted(glob.glob(os.path.join(directory, "*.tif")))
    for path in files:
        for problem in check(path):
            print(f"{os.path.basename(path)}: {problem}")
            failed += 1
    if not files:
        print("no files")
        failed = 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
