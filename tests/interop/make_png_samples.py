#!/usr/bin/python3
"""Writes PNG files that other programs produce, for the reader's tests.

Each sample NAME.png comes with NAME.rgb: the pixels the reader must load,
as 8-bit RGB triples, top row first. They are worked out from the samples
as the peers decode them, then turned into what the engine's image holds:
16-bit samples become (v + 128) // 257, alpha is laid over white with
v * a // 255 - a + 255 (at 16 bits for 16-bit samples: v * a // 65535 -
a + 65535, then reduced), transparency chunks are not used.

Pillow writes grey (1, 8 and 16 bits), palette (1, 2, 4, 8 bits),
RGB, RGBA and grey-with-alpha files, some with a tRNS chunk; it cannot
interlace. ImageMagick writes every colour type and depth, interlaced and
not. Eight-bit samples are decoded by both programs, which must agree;
16-bit ones by ImageMagick alone, since Pillow keeps only their high byte.

Usage: make_png_samples.py [output directory]   (default: ../data/png/peer)
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
WIDTH, HEIGHT = 37, 23        # odd sizes: partial bytes and partial Adam7 passes


def source_image():
    """Smooth colour with a little detail: it compresses, so zlib never
    falls back to stored blocks, which the reader refuses."""
    im = Image.new("RGBA", (WIDTH, HEIGHT))
    px = im.load()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            px[x, y] = (x * 255 // (WIDTH - 1), y * 255 // (HEIGHT - 1),
                        (x + y) * 255 // (WIDTH + HEIGHT - 2), 255 - (x * 7) % 256)
    return im


def magick_samples(path, channels, depth):
    """Raw samples as ImageMagick decodes them, big-endian at 16 bits."""
    raw = subprocess.run([CONVERT, path, "-depth", str(depth), "-endian", "MSB",
                          f"{channels}:-"], check=True, capture_output=True).stdout
    if depth == 8:
        return list(raw)
    return [v for (v,) in struct.iter_unpack(">H", raw)]


def reduce16(v):
    return (v + 128) // 257


def over_white8(v, a):
    return v * a // 255 - a + 255


def over_white16(v, a):
    return v * a // 65535 - a + 65535


def png_header(path):
    data = open(path, "rb").read()
    depth, colour, _, _, interlace = struct.unpack_from(">BBBBB", data, 24)
    return depth, colour, interlace


def first_block_stored(path):
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos + 8 <= len(data):
        length, kind = struct.unpack_from(">I4s", data, pos)
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    return ((idat[2] >> 1) & 3) == 0


def expected_rgb(path):
    """The reader's pixels, from the peers' decoding of the file."""
    depth, colour, _ = png_header(path)
    if colour in (0, 3, 2) and depth <= 8:
        with Image.open(path) as im:
            pillow = im.convert("RGB").tobytes()
        magick = bytes(magick_samples(path, "rgb", 8))
        if pillow != magick:
            raise SystemExit(f"{path}: Pillow and ImageMagick disagree")
        return pillow
    if colour in (0, 2) and depth == 16:
        channels = "gray" if colour == 0 else "rgb"
        samples = [reduce16(v) for v in magick_samples(path, channels, 16)]
        if colour == 0:
            samples = [v for g in samples for v in (g, g, g)]
        return bytes(samples)
    # Alpha: grey-alpha and RGBA, laid over white.
    if depth == 8:
        with Image.open(path) as im:
            pillow = im.convert("RGBA").tobytes()
        magick = bytes(magick_samples(path, "rgba", 8))
        if pillow != magick:
            raise SystemExit(f"{path}: Pillow and ImageMagick disagree")
        rgba = list(pillow)
        out = []
        for i in range(0, len(rgba), 4):
            a = rgba[i + 3]
            out += [over_white8(v, a) for v in rgba[i:i + 3]]
        return bytes(out)
    rgba = magick_samples(path, "rgba", 16)
    out = []
    for i in range(0, len(rgba), 4):
        a = rgba[i + 3]
        out += [reduce16(over_white16(v, a)) for v in rgba[i:i + 3]]
    return bytes(out)


def pillow_samples(src, out_dir):
    rgb = src.convert("RGB")
    grey = src.convert("L")
    files = {}

    def save(name, im, **options):
        path = os.path.join(out_dir, f"pillow_{name}.png")
        im.save(path, **options)
        files[name] = path

    save("grey1", grey.convert("1", dither=Image.NONE))
    save("grey8", grey)
    save("grey16", grey.point(lambda v: v * 257 - (v % 7)).convert("I"))
    save("grey8_trns", grey, transparency=128)
    for colours, bits in ((2, 1), (4, 2), (16, 4), (200, 8)):
        save(f"palette{bits}", rgb.quantize(colours, dither=Image.NONE), bits=bits)
    save("palette8_trns", rgb.quantize(200, dither=Image.NONE), transparency=3)
    save("rgb8", rgb)
    save("rgb8_trns", rgb, transparency=(0, 0, 0))
    save("rgba8", src)
    save("grey_alpha8", src.convert("LA"))
    return files


def magick_samples_write(src, out_dir):
    files = {}
    with tempfile.TemporaryDirectory() as tmp:
        base = os.path.join(tmp, "src.png")
        src.save(base)
        variants = {
            "grey1": ["-colorspace", "gray", "-threshold", "50%", "-define", "png:color-type=0",
                      "-define", "png:bit-depth=1"],
            "grey2": ["-colorspace", "gray", "-define", "png:color-type=0", "-define", "png:bit-depth=2"],
            "grey4": ["-colorspace", "gray", "-define", "png:color-type=0", "-define", "png:bit-depth=4"],
            "grey8": ["-colorspace", "gray", "-define", "png:color-type=0", "-define", "png:bit-depth=8"],
            "grey16": ["-colorspace", "gray", "-define", "png:color-type=0", "-define", "png:bit-depth=16"],
            "grey_alpha8": ["-colorspace", "gray", "-define", "png:color-type=4", "-define",
                            "png:bit-depth=8"],
            "grey_alpha16": ["-colorspace", "gray", "-define", "png:color-type=4", "-define",
                             "png:bit-depth=16"],
            "palette8": ["-alpha", "off", "-colors", "60", "-define", "png:color-type=3"],
            "palette4": ["-alpha", "off", "-colors", "12", "-define", "png:color-type=3",
                         "-define", "png:bit-depth=4"],
            # Two colours: ImageMagick stores them in 2 bits.
            "palette2": ["-alpha", "off", "-colors", "2", "-define", "png:color-type=3"],
            "rgb8": ["-alpha", "off", "-define", "png:color-type=2", "-define", "png:bit-depth=8"],
            "rgb16": ["-alpha", "off", "-define", "png:color-type=2", "-define", "png:bit-depth=16"],
            "rgba8": ["-define", "png:color-type=6", "-define", "png:bit-depth=8"],
            "rgba16": ["-define", "png:color-type=6", "-define", "png:bit-depth=16"],
        }
        for name, options in variants.items():
            for interlace in ("none", "png"):
                suffix = "_adam7" if interlace == "png" else ""
                path = os.path.join(out_dir, f"magick_{name}{suffix}.png")
                subprocess.run([CONVERT, base, *options, "-interlace", interlace,
                                "PNG:" + path], check=True)
                files[name + suffix] = path
    return files


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "data", "png", "peer")
    os.makedirs(out_dir, exist_ok=True)
    src = source_image()
    written = []
    for path in [*pillow_samples(src, out_dir).values(),
                 *magick_samples_write(src, out_dir).values()]:
        if first_block_stored(path):
            raise SystemExit(f"{path}: the peer stored the data uncompressed")
        with open(os.path.splitext(path)[0] + ".rgb", "wb") as f:
            f.write(expected_rgb(path))
        depth, colour, interlace = png_header(path)
        written.append(f"{os.path.basename(path)}: colour type {colour}, {depth} bits,"
                       f" interlace {interlace}")
    print("\n".join(written))


if __name__ == "__main__":
    main()
