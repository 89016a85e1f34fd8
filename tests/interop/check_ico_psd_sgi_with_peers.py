#!/usr/bin/python3
"""Checks icon, PSD and SGI files with other programs: every NAME.ico,
NAME.psd and NAME.sgi in the directory must decode to exactly the RGB
triples in NAME.rgb (top row first, no padding) in each program that reads
the kind of file, and at least one program must have read it.

- icons: Pillow, ImageMagick, GraphicsMagick and netpbm's winicontopam;
  GraphicsMagick not for the icons netpbm wrote (named pbm_*), on which
  it stops with "unexpected end-of-file" though they are whole;
- PSD: Pillow and ImageMagick; bitmap (1-bit) files ImageMagick only,
  since Pillow takes their set bits for white where the format means black
  ink; indexed files Pillow only, since ImageMagick 6 refuses every
  indexed file, its own included;
- SGI: Pillow, ImageMagick, GraphicsMagick and netpbm's sgitopnm.

The first image of an icon is checked (Pillow is told its size, since it
opens the largest). CMYK PSD files are checked by their inks, turned to RGB
by r = (255 - c) x (255 - k) / 255, since the programs mix inks
differently; PSD files with an alpha channel are not given to ImageMagick 6,
which reads their composite with other colours than they hold.

Programs that are not installed are left out; with RX_REQUIRE_PEERS=1 in
the environment a missing ImageMagick, GraphicsMagick or netpbm is a
failure instead.

Usage: check_ico_psd_sgi_with_peers.py [DIRECTORY...]   (default: the
  committed samples in ../data/ico/peer, ../data/psd/peer and
  ../data/sgi/peer; exit status 0 when all match)
"""
import io
import os
import struct
import subprocess
import sys

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
GM = "/usr/bin/gm"
SGITOPNM = "/usr/bin/sgitopnm"
WINICONTOPAM = "/usr/bin/winicontopam"
REQUIRE_PEERS = os.environ.get("RX_REQUIRE_PEERS") == "1"


def output(*args):
    run = subprocess.run(list(args), capture_output=True)
    return run.stdout if run.returncode == 0 else None


def pillow(path):
    try:
        with Image.open(path) as im:
            if path.endswith(".ico"):
                im.size = icon_first_size(path)
            im.load()
            if im.mode == "CMYK":
                return cmyk_to_rgb(im.tobytes())
            return im.convert("RGB").tobytes()
    except Exception:  # a refusal is a mismatch
        return None


def icon_first_size(path):
    width, height = open(path, "rb").read(8)[6:8]
    return (width or 256, height or 256)


def cmyk_to_rgb(inks):
    out = bytearray()
    for i in range(0, len(inks), 4):
        c, m, y, k = inks[i:i + 4]
        out += bytes(((255 - c) * (255 - k) // 255, (255 - m) * (255 - k) // 255,
                      (255 - y) * (255 - k) // 255))
    return bytes(out)


def magick(path):
    return output(CONVERT, f"{path}[0]", "-alpha", "off", "-depth", "8", "rgb:-")


def magick_inks(path):
    inks = output(CONVERT, f"{path}[0]", "-depth", "8", "cmyk:-")
    return None if inks is None else cmyk_to_rgb(inks)


def graphicsmagick(path):
    return output(GM, "convert", f"{path}[0]", "-depth", "8", "rgb:-")


def netpbm(path):
    pnm = output(SGITOPNM, path)
    return None if pnm is None else Image.open(io.BytesIO(pnm)).convert("RGB").tobytes()


def netpbm_icon(path):
    pam = output(WINICONTOPAM, "-image=0", path)
    if pam is None:
        return None
    run = subprocess.run(["/usr/bin/pamtopnm"], input=pam, capture_output=True)
    if run.returncode != 0:
        return None
    return Image.open(io.BytesIO(run.stdout)).convert("RGB").tobytes()


def psd_mode(path):
    """The colour mode, and whether the file has more channels than it."""
    data = open(path, "rb").read(26)
    channels, mode = struct.unpack_from(">H", data, 12)[0], struct.unpack_from(">H", data, 24)[0]
    used = {3: 3, 4: 4, 9: 3}.get(mode, 1)
    return mode, channels > used


def readers(path):
    ext = path.rsplit(".", 1)[1]
    have_magick = os.path.exists(CONVERT)
    have_gm = os.path.exists(GM)
    have_netpbm = os.path.exists(SGITOPNM)
    chosen = []
    if ext == "ico":
        netpbm_made = os.path.basename(path).startswith("pbm_")
        chosen = [("Pillow", pillow), ("ImageMagick", magick if have_magick else None),
                  ("GraphicsMagick", graphicsmagick if have_gm else None),
                  ("netpbm", netpbm_icon if os.path.exists(WINICONTOPAM) else None)]
        if netpbm_made:
            chosen = [(name, fn) for name, fn in chosen if name != "GraphicsMagick"]
    elif ext == "psd":
        mode, extra = psd_mode(path)
        if mode != 2 and not extra:  # indexed, or alpha
            chosen.append(("ImageMagick", (magick_inks if mode == 4 else magick) if have_magick else None))
        if mode != 0:  # bitmap
            chosen.append(("Pillow", pillow))
    elif ext == "sgi":
        chosen = [("Pillow", pillow), ("ImageMagick", magick if have_magick else None),
                  ("GraphicsMagick", graphicsmagick if have_gm else None),
                  ("netpbm", netpbm if have_netpbm else None)]
    return chosen


def main(directories):
    paths = sorted(os.path.join(d, n) for d in directories for n in os.listdir(d)
                   if n.rsplit(".", 1)[-1] in ("ico", "psd", "sgi"))
    bad = 0
    for path in paths:
        name = os.path.basename(path)
        expected = open(path.rsplit(".", 1)[0] + ".rgb", "rb").read()
        programs = readers(path)
        missing = [program for program, read in programs if read is None]
        if missing and REQUIRE_PEERS:
            bad += 1
            print(f"{name}: {', '.join(missing)} missing (required)")
        programs = [(program, read) for program, read in programs if read is not None]
        if not programs:
            bad += 1
            print(f"{name}: no program to read it")
        for program, read in programs:
            if read(path) != expected:
                bad += 1
                print(f"{name}: {program} does not read the expected pixels")
    print(f"{len(paths)} files, {bad} mismatches")
    return 0 if paths and bad == 0 else 1


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    committed = [os.path.join(here, "..", "data", f, "peer") for f in ("ico", "psd", "sgi")]
    sys.exit(main(sys.argv[1:] or committed))
