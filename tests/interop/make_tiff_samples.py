#!/usr/bin/python3
"""Makes the TIFF files other programs write, for the reader's tests.

Four small pictures (45 x 29 pixels: colour, grey, a 200-colour palette
and bilevel marks) are written by libtiff's tools (tiffcp in every
compression, layout and byte order it offers, fax2tiff from raw fax data),
by ImageMagick and by Pillow. Each sample NAME.tif comes with NAME.rgb,
and with NAME.pN.rgb for its page N > 1: the pixels the reader must load
as 8-bit RGB triples, top row first, as the program that wrote the file
decodes it, turned into what the engine holds:

  - 16-bit samples keep their high byte;
  - alpha (extra samples) is dropped, not laid over a background;
  - CMYK inks become 255 - min(255, ink + K) for red from cyan, green from
    magenta and blue from yellow, from the inks the program reads back;
  - a tiled page loads one tile at a time: the test crops the tiles from
    the whole picture kept in NAME.rgb (padding beyond the edges is not
    compared).

Files named *_refused.tif use compressions the reader does not decode
(the later JPEG-in-TIFF, deflate): they must be refused and described.

The TIFF 6.0 JPEG files (ojpeg_*) are assembled here around streams that
Pillow's libjpeg codes: one points at a whole JFIF stream
(JPEGInterchangeFormat), the other keeps the tables in JPEGQTables,
JPEGDCTables and JPEGACTables and the bare entropy-coded data in two
strips. Their NAME.rgb is libjpeg's decoding (djpeg -nosmooth: chroma
upsampled by repetition); the test allows the few levels by which inverse
DCTs differ.

The fax2tiff files' NAME.rgb is what libtiff decodes (tiff2rgba). The
ColorMap of a palette file holds 16-bit values; the reader takes their
high byte, where ImageMagick rounds, so its palette sample may be one
level apart.

Usage: /usr/bin/python3 tests/interop/make_tiff_samples.py [--check]
  With --check nothing is written to tests/data/tiff/peer: the samples are
  made afresh in a temporary directory and must be byte for byte the files
  kept there (a test runs this).
"""
import filecmp
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
TIFFCP = "/usr/bin/tiffcp"
FAX2TIFF = "/usr/bin/fax2tiff"
TIFF2RGBA = "/usr/bin/tiff2rgba"
DJPEG = "/usr/bin/djpeg"
HERE = os.path.dirname(os.path.abspath(__file__))
KEPT = os.path.join(HERE, "..", "data", "tiff", "peer")
OUT = KEPT  # where the samples are made; a temporary directory with --check
WIDTH, HEIGHT = 45, 29


# ---- The pictures ---------------------------------------------------------------

def colour():
    im = Image.new("RGB", (WIDTH, HEIGHT))
    px = im.load()
    for y in range(HEIGHT):
        for x in range(WIDTH):
            px[x, y] = (x * 255 // (WIDTH - 1), y * 255 // (HEIGHT - 1),
                        ((x * 7) ^ (y * 13)) & 0xFF)
    return im


def grey():
    return colour().convert("L")


def palette():
    return colour().quantize(200)


def bilevel():
    im = Image.new("1", (WIDTH, HEIGHT), 1)
    d = ImageDraw.Draw(im)
    d.text((2, 2), "TIF 42", fill=0)
    d.rectangle((30, 15, 42, 26), fill=0)
    d.line((2, 26, 25, 14), fill=0)
    return im


def rgb_of(im):
    return im.convert("RGB").tobytes()


def cmyk_rgb(inks):
    out = bytearray()
    for i in range(0, len(inks), 4):
        c, m, y, k = inks[i:i + 4]
        out += bytes((255 - min(255, c + k), 255 - min(255, m + k), 255 - min(255, y + k)))
    return bytes(out)


def save_rgb(name, data, page=1):
    suffix = ".rgb" if page == 1 else f".p{page}.rgb"
    with open(os.path.join(OUT, name + suffix), "wb") as f:
        f.write(data)


def run(*args):
    subprocess.run(list(args), check=True, capture_output=True)


# ---- libtiff's tools -------------------------------------------------------------------

def base_files(tmp):
    """Uncompressed TIFF files of the four pictures, written by Pillow."""
    bases = {}
    for name, im in (("rgb", colour()), ("grey", grey()), ("pal", palette()), ("bw", bilevel())):
        path = os.path.join(tmp, name + ".tif")
        im.save(path, compression="raw")
        bases[name] = (path, rgb_of(im))
    return bases


TIFFCP_SAMPLES = [
    # name, base, options
    ("tc_rgb_none", "rgb", ["-c", "none"]),
    ("tc_rgb_packbits", "rgb", ["-c", "packbits"]),
    ("tc_rgb_lzw", "rgb", ["-c", "lzw"]),
    ("tc_rgb_lzw_pred", "rgb", ["-c", "lzw:2"]),
    ("tc_rgb_lzw_pred_mm", "rgb", ["-c", "lzw:2", "-B"]),
    ("tc_rgb_strips5", "rgb", ["-c", "none", "-r", "5"]),
    ("tc_rgb_planar", "rgb", ["-c", "none", "-p", "separate"]),
    ("tc_rgb_planar_lzw", "rgb", ["-c", "lzw", "-p", "separate"]),
    ("tc_rgb_tiles16", "rgb", ["-c", "packbits", "-t", "-w", "16", "-l", "16"]),
    ("tc_rgb_mm", "rgb", ["-c", "none", "-B"]),
    ("tc_grey_none", "grey", ["-c", "none"]),
    ("tc_grey_packbits_mm", "grey", ["-c", "packbits", "-B"]),
    ("tc_grey_lzw_pred", "grey", ["-c", "lzw:2"]),
    ("tc_pal_none", "pal", ["-c", "none"]),
    ("tc_pal_lzw", "pal", ["-c", "lzw"]),
    ("tc_bw_none", "bw", ["-c", "none"]),
    ("tc_bw_packbits", "bw", ["-c", "packbits"]),
    ("tc_bw_g3", "bw", ["-c", "g3"]),
    ("tc_bw_g3_strips7", "bw", ["-c", "g3", "-r", "7"]),
    ("tc_bw_g3_fill", "bw", ["-c", "g3:fill"]),
    ("tc_bw_g3_2d", "bw", ["-c", "g3:2d"]),
    ("tc_bw_g3_2d_fill_mm", "bw", ["-c", "g3:2d:fill", "-B"]),
    ("tc_bw_g4", "bw", ["-c", "g4"]),
    ("tc_bw_g4_lsb", "bw", ["-c", "g4", "-f", "lsb2msb"]),
    ("tc_bw_g4_strips7_mm", "bw", ["-c", "g4", "-r", "7", "-B"]),
    ("tc_bw_g4_tiles16", "bw", ["-c", "g4", "-t", "-w", "16", "-l", "16"]),
    ("tc_rgb_jpeg_refused", "rgb", ["-c", "jpeg"]),
    ("tc_rgb_zip_refused", "rgb", ["-c", "zip"]),
]


def tiffcp_samples(bases):
    for name, base, options in TIFFCP_SAMPLES:
        path, pixels = bases[base]
        run(TIFFCP, *options, path, os.path.join(OUT, name + ".tif"))
        if not name.endswith("_refused"):
            save_rgb(name, pixels)
    # Three pages of three kinds, then the same in big-endian order.
    for name, extra in (("tc_pages3", []), ("tc_pages3_mm", ["-B"])):
        run(TIFFCP, "-c", "packbits", *extra, bases["rgb"][0], bases["grey"][0], bases["bw"][0],
            os.path.join(OUT, name + ".tif"))
        for page, base in enumerate(("rgb", "grey", "bw"), 1):
            save_rgb(name, bases[base][1], page)


def fax2tiff_samples(tmp, bases):
    """Raw one-dimensional Group 3 rows (libtiff codes them, the strip is
    taken out), turned into fax files by fax2tiff."""
    coded = os.path.join(tmp, "g3.tif")
    run(TIFFCP, "-c", "g3", "-r", "10000", bases["bw"][0], coded)
    with Image.open(coded) as im:
        offset, count = im.tag_v2[273][0], im.tag_v2[279][0]
    raw = os.path.join(tmp, "g3.raw")
    with open(coded, "rb") as f:
        f.seek(offset)
        data = f.read(count)
    with open(raw, "wb") as f:
        f.write(data)
    for name, options in (("fax2tiff_g3_2d_lsb", []),
                          ("fax2tiff_g3_1d_msb", ["-5", "-m"]),
                          ("fax2tiff_g4", ["-8"])):
        out = os.path.join(OUT, name + ".tif")
        run(FAX2TIFF, "-M", "-X", str(WIDTH), *options, "-o", out, raw)
        save_rgb(name, libtiff_rgb(out, tmp))


def libtiff_rgb(path, tmp):
    """The pixels libtiff decodes (through tiff2rgba), alpha dropped. The
    RGBA file keeps the fill order of the source, which Pillow does not
    read; tiffcp puts it in the usual order first."""
    rgba = os.path.join(tmp, "rgba.tif")
    out = os.path.join(tmp, "rgba_msb.tif")
    run(TIFF2RGBA, "-c", "none", path, rgba)
    run(TIFFCP, "-f", "msb2lsb", rgba, out)
    with Image.open(out) as im:
        return im.convert("RGB").tobytes()


# ---- ImageMagick --------------------------------------------------------------------------

def magick(path, fmt, depth=8):
    return subprocess.run([CONVERT, path, "-depth", str(depth), fmt + ":-"], check=True,
                          capture_output=True).stdout


def magick_samples(tmp):
    src = os.path.join(tmp, "src.png")
    colour().save(src)
    grey_src = os.path.join(tmp, "grey.png")
    grey().save(grey_src)
    bw_src = os.path.join(tmp, "bw.png")
    bilevel().save(bw_src)
    samples = [
        ("im_rgb_none", src, ["-compress", "none"]),
        ("im_rgb_lzw", src, ["-compress", "lzw"]),
        ("im_rgb_msb", src, ["-endian", "msb", "-compress", "none"]),
        ("im_rgb16", src, ["-depth", "16", "-compress", "none"]),
        ("im_rgba", src, ["-alpha", "set", "-channel", "A", "-evaluate", "set", "60%", "+channel",
                          "-compress", "none"]),
        ("im_grey_none", grey_src, ["-compress", "none"]),
        ("im_pal", src, ["-colors", "50", "-type", "palette", "-compress", "none"]),
        ("im_bw_g4", bw_src, ["-type", "bilevel", "-compress", "group4"]),
        ("im_bw_fax", bw_src, ["-type", "bilevel", "-compress", "fax"]),
        ("im_rgb_zip_refused", src, ["-compress", "zip"]),
    ]
    for name, source, options in samples:
        out = os.path.join(OUT, name + ".tif")
        run(CONVERT, source, *options, out)
        if name.endswith("_refused"):
            continue
        if name == "im_rgb16":
            wide = magick(out, "rgb", 16)
            save_rgb(name, wide[0::2])  # big-endian: the high byte first
        elif name == "im_rgba":
            save_rgb(name, magick(out, "rgb"))  # the colour channels as stored
        else:
            save_rgb(name, magick(out, "rgb"))
    out = os.path.join(OUT, "im_cmyk.tif")
    run(CONVERT, src, "-colorspace", "cmyk", "-compress", "none", out)
    save_rgb("im_cmyk", cmyk_rgb(magick(out, "cmyk")))
    # Three pages.
    out = os.path.join(OUT, "im_pages3.tif")
    run(CONVERT, src, grey_src, bw_src, "-compress", "none", out)
    for page in range(3):
        save_rgb("im_pages3", magick(f"{out}[{page}]", "rgb"), page + 1)


# ---- Pillow ---------------------------------------------------------------------------------

def pillow_samples():
    rgb = colour()
    samples = [
        ("pil_rgb_raw", rgb, {"compression": "raw"}),
        ("pil_rgb_packbits", rgb, {"compression": "packbits"}),
        ("pil_rgb_lzw", rgb, {"compression": "tiff_lzw"}),
        ("pil_grey", grey(), {"compression": "raw"}),
        ("pil_pal", palette(), {"compression": "raw"}),
        ("pil_bw_raw", bilevel(), {"compression": "raw"}),
        ("pil_bw_g4", bilevel(), {"compression": "group4"}),
        ("pil_bw_g3", bilevel(), {"compression": "group3"}),
        ("pil_rgba", Image.merge("RGBA", (*rgb.split(), grey())), {"compression": "raw"}),
        ("pil_rgb_jpeg_refused", rgb, {"compression": "jpeg"}),
    ]
    for name, im, options in samples:
        im.save(os.path.join(OUT, name + ".tif"), **options)
        if name.endswith("_refused"):
            continue
        with Image.open(os.path.join(OUT, name + ".tif")) as back:
            save_rgb(name, back.convert("RGB").tobytes())
    cmyk = rgb.convert("CMYK")
    cmyk.save(os.path.join(OUT, "pil_cmyk.tif"), compression="raw")
    with Image.open(os.path.join(OUT, "pil_cmyk.tif")) as back:
        save_rgb("pil_cmyk", cmyk_rgb(back.tobytes()))
    wide = Image.new("I;16", (WIDTH, HEIGHT))
    wide.putdata([(x * 1500 + y * 700 + 77) % 65536 for y in range(HEIGHT) for x in range(WIDTH)])
    wide.save(os.path.join(OUT, "pil_grey16.tif"), compression="raw")
    with Image.open(os.path.join(OUT, "pil_grey16.tif")) as back:
        high = bytes(v >> 8 for v in back.getdata())
        save_rgb("pil_grey16", bytes(b for v in high for b in (v, v, v)))
    pages = [rgb, grey(), bilevel()]
    pages[0].save(os.path.join(OUT, "pil_pages3.tif"), save_all=True, append_images=pages[1:],
                  compression="packbits")
    for page, im in enumerate(pages, 1):
        save_rgb("pil_pages3", rgb_of(im), page)


# ---- TIFF 6.0 JPEG --------------------------------------------------------------------------

def jpeg_parts(data):
    """The DQT tables (64 bytes each, zig-zag), DHT tables (counts and
    values) by class and id, and the entropy-coded data of a baseline
    JPEG stream."""
    q, dc, ac = {}, {}, {}
    i = 2
    while True:
        marker, length = data[i + 1], struct.unpack(">H", data[i + 2:i + 4])[0]
        body = data[i + 4:i + 2 + length]
        if marker == 0xDB:
            k = 0
            while k < len(body):
                q[body[k] & 15] = body[k + 1:k + 65]
                k += 65
        elif marker == 0xC4:
            k = 0
            while k < len(body):
                cls, ident = body[k] >> 4, body[k] & 15
                n = sum(body[k + 1:k + 17])
                (dc if cls == 0 else ac)[ident] = body[k + 1:k + 17 + n]
                k += 17 + n
        elif marker == 0xDA:
            scan = data[i + 2 + length:]
            return q, dc, ac, scan[:scan.rindex(b"\xff\xd9")]
        i += 2 + length


class TiffWriter:
    """A little-endian TIFF file with one directory, built by hand."""

    def __init__(self):
        self.data = bytearray(b"II*\x00\x00\x00\x00\x00")

    def blob(self, payload):
        if len(self.data) % 2:
            self.data += b"\x00"
        at = len(self.data)
        self.data += payload
        return at

    def finish(self, entries):
        """entries: (tag, type, values); values are numbers."""
        sizes = {1: "B", 2: "B", 3: "H", 4: "I", 5: "II"}
        entries = sorted(entries)
        packed = []
        for tag, kind, values in entries:
            raw = b"".join(struct.pack("<" + sizes[kind], *(v if isinstance(v, tuple) else (v,)))
                           for v in values)
            if len(raw) <= 4:
                field = raw.ljust(4, b"\x00")
            else:
                field = struct.pack("<I", self.blob(raw))
            packed.append(struct.pack("<HHI", tag, kind, len(values)) + field)
        ifd = self.blob(struct.pack("<H", len(packed)) + b"".join(packed) + b"\x00" * 4)
        self.data[4:8] = struct.pack("<I", ifd)
        return bytes(self.data)


def djpeg_rgb(stream):
    """libjpeg's decoding with plain (not smoothed) chroma upsampling, as
    the engine's JPEG reader does it."""
    ppm = subprocess.run([DJPEG, "-nosmooth", "-pnm"], input=stream, check=True,
                         capture_output=True).stdout
    with Image.open(io.BytesIO(ppm)) as im:
        return im.convert("RGB").tobytes()


def ojpeg_samples():
    rgb = colour()
    common = [(256, 4, [WIDTH]), (257, 4, [HEIGHT]), (258, 3, [8, 8, 8]), (259, 3, [6]),
              (262, 3, [6]), (277, 3, [3]), (284, 3, [1]), (512, 3, [1]), (530, 3, [2, 2])]
    # A whole JFIF stream.
    buf = io.BytesIO()
    rgb.save(buf, "JPEG", quality=90, subsampling=2)  # 4:2:0
    stream = buf.getvalue()
    w = TiffWriter()
    at = w.blob(stream)
    data = w.finish(common + [(273, 4, [at]), (279, 4, [len(stream)]), (278, 4, [HEIGHT]),
                              (513, 4, [at]), (514, 4, [len(stream)])])
    with open(os.path.join(OUT, "ojpeg_interchange.tif"), "wb") as f:
        f.write(data)
    save_rgb("ojpeg_interchange", djpeg_rgb(stream))
    # Tables and two strips of bare data: each strip is its own JPEG
    # stream of 16 rows (the last 13) with the same tables.
    rows = 16
    strips, decoded = [], b""
    for top in range(0, HEIGHT, rows):
        part = rgb.crop((0, top, WIDTH, min(HEIGHT, top + rows)))
        buf = io.BytesIO()
        part.save(buf, "JPEG", quality=90, subsampling=2)
        strips.append(jpeg_parts(buf.getvalue()))
        decoded += djpeg_rgb(buf.getvalue())
    q, dc, ac, _ = strips[0]
    w = TiffWriter()
    offsets = [w.blob(s[3]) for s in strips]
    counts = [len(s[3]) for s in strips]
    qt = [w.blob(q[0]), w.blob(q[1]), w.blob(q[1])]
    dct = [w.blob(dc[0]), w.blob(dc[1]), w.blob(dc[1])]
    act = [w.blob(ac[0]), w.blob(ac[1]), w.blob(ac[1])]
    data = w.finish(common + [(273, 4, offsets), (279, 4, counts), (278, 4, [rows]),
                              (519, 4, qt), (520, 4, dct), (521, 4, act)])
    with open(os.path.join(OUT, "ojpeg_tables.tif"), "wb") as f:
        f.write(data)
    save_rgb("ojpeg_tables", decoded)


def make_all():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    with tempfile.TemporaryDirectory() as tmp:
        bases = base_files(tmp)
        tiffcp_samples(bases)
        fax2tiff_samples(tmp, bases)
        magick_samples(tmp)
    pillow_samples()
    ojpeg_samples()


def compare(fresh, kept):
    """The kept samples must be exactly the ones made now."""
    made = sorted(os.listdir(fresh))
    there = sorted(n for n in os.listdir(kept) if n.endswith((".tif", ".rgb")))
    _, differ, missing = filecmp.cmpfiles(fresh, kept, made, shallow=False)
    extra = sorted(set(there) - set(made))
    for name in differ:
        print(f"{name}: differs from the sample made now")
    for name in missing:
        print(f"{name}: missing")
    for name in extra:
        print(f"{name}: no longer made")
    return 1 if differ or missing or extra else 0


def main(args):
    global OUT
    if "--check" not in args:
        make_all()
        return 0
    with tempfile.TemporaryDirectory() as fresh:
        OUT = os.path.join(fresh, "peer")
        make_all()
        return compare(OUT, KEPT)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
