#!/usr/bin/python3
"""Writes the BMP files that other programs produce, for the reader's tests.

Each sample NAME.bmp comes with NAME.rgb: its pixels as 8-bit RGB triples,
top row first, no padding, as decoded by the programs themselves.
ImageMagick writes the files it can (1, 4, 8 and 24 bits, RLE8, the 12-byte
header); Pillow writes its own 1-, 8- and 24-bit files. Neither writes
top-down rows, so one top-down file is made from a Pillow file by
reversing its rows and negating its height, and both programs must agree
on its pixels. Both programs decode every sample and must agree, or the
sample is not written.

Usage: make_bmp_samples.py [--check] [output directory]
  (default: ../data/bmp/peer). With --check nothing is written there: the
  samples are made afresh in a temporary directory and must be byte for
  byte the files in the directory (a test runs this).
"""
import os
import struct
import subprocess
import sys
import filecmp
import tempfile

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH


def source_image(width, height):
    """Blocks of flat colour on the left (runs), varied pixels on the right
    (literals), so that run-length coders have both to do."""
    im = Image.new("RGB", (width, height))
    px = im.load()
    for y in range(height):
        for x in range(width):
            if x < width // 2:
                px[x, y] = ((x // 4) * 60 % 256, (y // 2) * 70 % 256, 128)
            else:
                px[x, y] = ((x * 37 + y * 11) % 256, (x * 13) % 256, (y * 29 + x) % 256)
    return im


def magick_pixels(path):
    return subprocess.run([CONVERT, path, "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout


def pillow_pixels(path):
    with Image.open(path) as im:
        return im.convert("RGB").tobytes()


def magick_write(src_png, out, prefix, options):
    subprocess.run([CONVERT, src_png, *options, f"{prefix}:{out}"], check=True)


def top_down_copy(src, out):
    """The same image with its rows stored top row first."""
    data = open(src, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    bits, = struct.unpack_from("<H", data, 28)
    stride = (bits * width + 31) // 32 * 4
    rows = [data[offset + r * stride: offset + (r + 1) * stride] for r in range(height)]
    head = bytearray(data[:offset])
    struct.pack_into("<i", head, 22, -height)
    open(out, "wb").write(bytes(head) + b"".join(reversed(rows)))


def main(args):
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = args[0] if args else os.path.join(here, "..", "data", "bmp", "peer")
    if not check:
        return write_samples(out_dir)
    with tempfile.TemporaryDirectory() as fresh:
        if write_samples(fresh):
            return 1
        return compare(fresh, out_dir)


def compare(fresh, kept):
    """The kept samples must be exactly the ones made now."""
    made = sorted(os.listdir(fresh))
    there = sorted(n for n in os.listdir(kept) if n.endswith((".bmp", ".rgb")))
    _, differ, missing = filecmp.cmpfiles(fresh, kept, made, shallow=False)
    extra = sorted(set(there) - set(made))
    for name in differ:
        print(f"{name}: differs from what the programs make now", file=sys.stderr)
    for name in missing:
        print(f"{name}: not in {kept}", file=sys.stderr)
    for name in extra:
        print(f"{name}: not made by this script", file=sys.stderr)
    bad = len(differ) + len(missing) + len(extra)
    if bad:
        print("review the differences, then run make_bmp_samples.py to write the samples again",
              file=sys.stderr)
    else:
        print(f"{len(made)} files are as the programs make them")
    return 1 if bad else 0


def write_samples(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "src.png")
        wide = os.path.join(tmp, "wide.png")
        source_image(13, 7).save(src)
        source_image(61, 9).save(wide)
        plain = ["-compress", "None"]
        samples = {
            "im_info_1bit": lambda o: magick_write(src, o, "BMP3", ["-monochrome", *plain]),
            "im_info_4bit": lambda o: magick_write(src, o, "BMP3", ["-colors", "16", *plain]),
            "im_info_8bit": lambda o: magick_write(src, o, "BMP3", ["-type", "Palette", *plain]),
            "im_info_24bit": lambda o: magick_write(src, o, "BMP3", ["-type", "TrueColor", *plain]),
            "im_info_rle8": lambda o: magick_write(wide, o, "BMP3",
                                                   ["-type", "Palette", "-compress", "RLE"]),
            "im_core_1bit": lambda o: magick_write(src, o, "BMP2", ["-monochrome", *plain]),
            "im_core_4bit": lambda o: magick_write(src, o, "BMP2", ["-colors", "16", *plain]),
            "im_core_8bit": lambda o: magick_write(src, o, "BMP2", ["-type", "Palette", *plain]),
            "im_core_24bit": lambda o: magick_write(src, o, "BMP2", ["-type", "TrueColor", *plain]),
            "pil_1bit": lambda o: Image.open(src).convert("1").save(o),
            "pil_8bit_grey": lambda o: Image.open(src).convert("L").save(o),
            "pil_8bit_palette": lambda o: Image.open(wide).quantize(200).save(o),
            "pil_24bit": lambda o: Image.open(wide).save(o),
        }
        failures = 0
        for name, write in samples.items():
            bmp = os.path.join(out_dir, name + ".bmp")
            write(bmp)
            failures += not record(bmp)
        top_down = os.path.join(out_dir, "pil_24bit_top_down.bmp")
        top_down_copy(os.path.join(out_dir, "pil_24bit.bmp"), top_down)
        failures += not record(top_down)
    return 1 if failures else 0


def record(bmp):
    """Writes the pixels next to the file when both programs agree on them."""
    a, b = magick_pixels(bmp), pillow_pixels(bmp)
    if a != b:
        print(f"{os.path.basename(bmp)}: the programs disagree; not kept", file=sys.stderr)
        os.remove(bmp)
        return False
    with open(bmp[:-4] + ".rgb", "wb") as f:
        f.write(a)
    print(f"{os.path.basename(bmp)}: {os.path.getsize(bmp)} bytes")
    return True


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
