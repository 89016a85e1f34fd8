#!/usr/bin/python3
"""Writes the icon, PSD and SGI files that other programs produce, for the
readers' tests.

Each sample NAME.EXT comes with NAME.rgb: its pixels as 8-bit RGB triples,
top row first, no padding, as the programs that read it decode them (for a
multi-image icon, NAME.rgb is the first image and NAME.pN.rgb image N).
Every sample is decoded by at least two programs, which must agree, or it
is not written. The writers and readers:

- icons: ImageMagick writes 16-colour icons (one or several images),
  Pillow 2-colour ones (several sizes in one file), netpbm a 16-colour
  and a 2-colour image in one file; Pillow, ImageMagick, GraphicsMagick
  (and netpbm, for its own) read them. GraphicsMagick (1.4) stops with
  "unexpected end-of-file" on netpbm's icons, though they hold every byte
  their directories promise, so those are read by the other three.
- PSD: ImageMagick writes grey, indexed, RGB and CMYK files, raw and
  PackBits, with an alpha channel or without, and 1-bit bitmap files.
  Pillow and ImageMagick read them, with two exceptions. Pillow takes the
  set bits of bitmap files for white, where ImageMagick (and the format)
  take them for black ink, so those are checked with ImageMagick alone.
  ImageMagick 6 reads the composite of a file with an alpha channel with
  other colours than it holds, and refuses the indexed files it writes,
  so those are checked with Pillow and against the colours written. CMYK
  files are checked channel by channel (both programs must read the same
  inks) and turned to RGB by the rule r = (255 - c) x (255 - k) / 255,
  since the two programs mix inks differently.
- SGI: ImageMagick, GraphicsMagick, Pillow and netpbm write grey, RGB and
  RGBA files, plain and run-length coded; all four read them.

Usage: make_ico_psd_sgi_samples.py [--check] [data directory]   (default:
  ../data; with --check, nothing is written and the exit status is 0 when
  the committed samples are what the script makes now)
"""
import filecmp
import io
import os
import subprocess
import sys
import tempfile

from PIL import Image, IcoImagePlugin

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
GM = "/usr/bin/gm"


def run(*args, **kw):
    return subprocess.run(list(args), check=True, capture_output=True, **kw).stdout


def magick_rgb(path, frame=0):
    return run(CONVERT, f"{path}[{frame}]", "-alpha", "off", "-depth", "8", "rgb:-")


def gm_rgb(path, frame=0):
    return run(GM, "convert", f"{path}[{frame}]", "-depth", "8", "rgb:-")


def pillow_rgb(path, size=None):
    with Image.open(path) as im:
        if size is not None:
            im.size = size
        im.load()
        if im.mode in ("RGBA", "LA", "PA"):
            im = im.convert(im.mode[:-1] if im.mode != "PA" else "P")
        return im.convert("RGB").tobytes()


def netpbm_rgb(path):
    im = Image.open(io.BytesIO(run("sgitopnm", path)))
    return im.convert("RGB").tobytes()


def netpbm_icon_rgb(path, image=0):
    pam = run("winicontopam", f"-image={image}", path)
    im = Image.open(io.BytesIO(run("pamtopnm", input=pam)))
    return im.convert("RGB").tobytes()


def source(width, height, colours=None, grey=False):
    """Flat blocks on the left (runs), varied pixels on the right."""
    im = Image.new("RGB", (width, height))
    px = im.load()
    for y in range(height):
        for x in range(width):
            if x < width // 2:
                px[x, y] = ((x // 3) * 70 % 256, (y // 2) * 50 % 256, 200)
            else:
                px[x, y] = ((x * 37 + y * 11) % 256, (x * 13 + 40) % 256, (y * 29 + x) % 256)
    if grey:
        im = im.convert("L")
    if colours:
        im = im.quantize(colours, dither=Image.Dither.NONE)
    return im


def keep(directory, name, ext, data_path, expected):
    os.makedirs(directory, exist_ok=True)
    with open(data_path, "rb") as f:
        data = f.read()
    with open(os.path.join(directory, f"{name}.{ext}"), "wb") as f:
        f.write(data)
    for page, pixels in enumerate(expected, 1):
        suffix = "" if page == 1 else f".p{page}"
        with open(os.path.join(directory, f"{name}{suffix}.rgb"), "wb") as f:
            f.write(pixels)


def agree(name, results):
    values = [v for v in results.values()]
    if any(v != values[0] for v in values):
        raise SystemExit(f"{name}: the readers disagree: {list(results)}")
    return values[0]


def icons(out, tmp):
    # 16 colours, one image and two images.
    a = os.path.join(tmp, "a.png")
    b = os.path.join(tmp, "b.png")
    source(32, 32, colours=16).convert("RGB").save(a)
    source(16, 16, colours=16).convert("RGB").save(b)
    pa = os.path.join(tmp, "a.bmp")
    pb = os.path.join(tmp, "b.bmp")
    for src, dst in ((a, pa), (b, pb)):
        run(CONVERT, src, "-alpha", "off", "-colors", "16", "-type", "Palette", f"BMP3:{dst}")
    cases = {
        "im_4bit_32": [pa],
        "im_4bit_32_16": [pa, pb],
    }
    for name, inputs in cases.items():
        path = os.path.join(tmp, name + ".ico")
        run(CONVERT, *inputs, "-alpha", "off", f"ico:{path}")
        pages = []
        for i, src in enumerate(inputs):
            size = Image.open(src).size
            pages.append(agree(name, {"pillow": pillow_rgb(path, size), "magick": magick_rgb(path, i),
                                      "gm": gm_rgb(path, i)}))
        keep(out, name, "ico", path, pages)
    # Two colours in three sizes, written by Pillow.
    path = os.path.join(tmp, "pil_1bit.ico")
    im = source(64, 64, grey=True).point(lambda v: 255 if v > 110 else 0).convert("1")
    im.save(path, sizes=[(16, 16), (32, 32), (64, 64)], bitmap_format="bmp")
    pages = [agree("pil_1bit", {"pillow": pillow_rgb(path, (s, s)), "magick": magick_rgb(path, i),
                                "gm": gm_rgb(path, i)})
             for i, s in enumerate((16, 32, 64))]
    keep(out, "pil_1bit", "ico", path, pages)
    # 16 colours at 32 x 32 and 2 colours at 16 x 16, written by netpbm.
    pa = os.path.join(tmp, "a.ppm")
    pb = os.path.join(tmp, "b.ppm")
    source(32, 32, colours=16).convert("RGB").save(pa)
    source(16, 16, grey=True).point(lambda v: 255 if v > 110 else 0).convert("RGB").save(pb)
    path = os.path.join(tmp, "pbm_4bit_1bit.ico")
    with open(path, "wb") as f:
        f.write(run("ppmtowinicon", pa, pb))
    pages = [agree("pbm_4bit_1bit", {"pillow": pillow_rgb(path, (s, s)), "magick": magick_rgb(path, i),
                                     "netpbm": netpbm_icon_rgb(path, i)})
             for i, s in enumerate((32, 16))]
    keep(out, "pbm_4bit_1bit", "ico", path, pages)


def cmyk_to_rgb(inks):
    out = bytearray()
    for i in range(0, len(inks), 4):
        c, m, y, k = inks[i:i + 4]
        out += bytes(((255 - c) * (255 - k) // 255, (255 - m) * (255 - k) // 255,
                      (255 - y) * (255 - k) // 255))
    return bytes(out)


def psds(out, tmp):
    src = os.path.join(tmp, "psd_src.png")
    source(19, 11).save(src)
    few = os.path.join(tmp, "psd_few.png")
    source(19, 11, colours=40).save(few)
    cases = {
        "im_rgb_raw": ["-compress", "None"],
        "im_rgb_packbits": ["-compress", "RLE"],
        "im_rgba_packbits": ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel",
                             "-compress", "RLE"],
        "im_rgba_raw": ["-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel",
                        "-compress", "None"],
        "im_grey_raw": ["-colorspace", "Gray", "-type", "Grayscale", "-compress", "None"],
        "im_grey_packbits": ["-colorspace", "Gray", "-type", "Grayscale", "-compress", "RLE"],
        "im_indexed_raw": ["-type", "Palette", "-compress", "None"],
        "im_indexed_packbits": ["-type", "Palette", "-compress", "RLE"],
        "im_cmyk_raw": ["-colorspace", "CMYK", "-compress", "None"],
        "im_cmyk_packbits": ["-colorspace", "CMYK", "-compress", "RLE"],
        "im_bitmap_raw": ["-monochrome", "-depth", "1", "-compress", "None"],
        "im_bitmap_packbits": ["-monochrome", "-depth", "1", "-compress", "RLE"],
    }
    for name, options in cases.items():
        path = os.path.join(tmp, name + ".psd")
        indexed = "indexed" in name
        run(CONVERT, few if indexed else src, "-depth", "8", *options, f"psd:{path}")
        if "cmyk" in name:
            magick_inks = run(CONVERT, f"{path}[0]", "-depth", "8", "cmyk:-")
            with Image.open(path) as im:
                pillow_inks = im.tobytes()
            expected = cmyk_to_rgb(agree(name, {"pillow": pillow_inks, "magick": magick_inks}))
        elif "bitmap" in name:
            expected = magick_rgb(path)
        elif "rgba" in name or indexed:
            expected = agree(name, {"pillow": pillow_rgb(path), "source": pillow_rgb(few if indexed else src)})
        else:
            expected = agree(name, {"pillow": pillow_rgb(path), "magick": magick_rgb(path)})
        keep(out, name, "psd", path, [expected])


def sgis(out, tmp):
    src = os.path.join(tmp, "sgi_src.png")
    source(23, 9).save(src)
    grey = os.path.join(tmp, "sgi_grey.png")
    source(23, 9, grey=True).save(grey)
    rgba = os.path.join(tmp, "sgi_rgba.png")
    im = source(23, 9).convert("RGBA")
    im.putalpha(128)
    im.save(rgba)
    ppm = os.path.join(tmp, "sgi_src.ppm")
    pgm = os.path.join(tmp, "sgi_src.pgm")
    Image.open(src).save(ppm)
    Image.open(grey).save(pgm)

    def magick(name, png, *options):
        path = os.path.join(tmp, name + ".sgi")
        run(CONVERT, png, "-depth", "8", *options, f"sgi:{path}")
        return path

    def gm(name, png, *options):
        path = os.path.join(tmp, name + ".sgi")
        run(GM, "convert", png, "-depth", "8", *options, f"sgi:{path}")
        return path

    def pillow(name, png):
        path = os.path.join(tmp, name + ".sgi")
        Image.open(png).save(path, format="SGI")
        return path

    def netpbm(name, pnm, *options):
        path = os.path.join(tmp, name + ".sgi")
        with open(path, "wb") as f:
            f.write(run("pnmtosgi", *options, pnm))
        return path

    made = {
        "im_rgb_rle": magick("im_rgb_rle", src, "-compress", "RLE"),
        "im_rgb_plain": magick("im_rgb_plain", src, "-compress", "None"),
        "im_grey_rle": magick("im_grey_rle", grey, "-type", "Grayscale", "-compress", "RLE"),
        "im_rgba_rle": magick("im_rgba_rle", rgba, "-compress", "RLE"),
        "gm_rgb_rle": gm("gm_rgb_rle", src, "-compress", "RLE"),
        "gm_grey_plain": gm("gm_grey_plain", grey, "-compress", "None"),
        "pil_rgb_plain": pillow("pil_rgb_plain", src),
        "pil_grey_plain": pillow("pil_grey_plain", grey),
        "pil_rgba_plain": pillow("pil_rgba_plain", rgba),
        "pbm_rgb_rle": netpbm("pbm_rgb_rle", ppm, "-rle"),
        "pbm_grey_plain": netpbm("pbm_grey_plain", pgm, "-verbatim"),
    }
    for name, path in made.items():
        expected = agree(name, {"pillow": pillow_rgb(path), "magick": magick_rgb(path),
                                "gm": gm_rgb(path), "netpbm": netpbm_rgb(path)})
        keep(out, name, "sgi", path, [expected])


def main(data):
    with tempfile.TemporaryDirectory() as tmp:
        icons(os.path.join(data, "ico", "peer"), tmp)
        psds(os.path.join(data, "psd", "peer"), tmp)
        sgis(os.path.join(data, "sgi", "peer"), tmp)


def same_samples(made, committed):
    same = True
    for fmt in ("ico", "psd", "sgi"):
        a, b = os.path.join(made, fmt, "peer"), os.path.join(committed, fmt, "peer")
        names = os.listdir(a)
        _, differ, missing = filecmp.cmpfiles(a, b, names, shallow=False)
        for name in differ + missing:
            print(f"{os.path.join(b, name)}: not what the script makes")
        same = same and not differ and not missing
    return same


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in sys.argv[1:] if a != "--check"]
    data = args[0] if args else os.path.join(here, "..", "data")
    if "--check" not in sys.argv[1:]:
        main(data)
        sys.exit(0)
    with tempfile.TemporaryDirectory() as made:
        main(made)
        sys.exit(0 if same_samples(made, data) else 1)
