#!/usr/bin/python3
"""Makes the peer samples of the PCX, DCX, TGA, XBM and Sun raster tests.

Each sample NAME.EXT is written by a peer (ImageMagick's convert,
GraphicsMagick's gm, Pillow or netpbm) from a small picture whose pixels
are known; NAME.rgb holds those pixels as RGB triples, top row first (for
a DCX, NAME.pN.rgb per page). A sample is kept only when a peer reader
(Pillow, ImageMagick or netpbm) decodes it to exactly those pixels, so
that the .rgb files are what the peers read. Pillow and ImageMagick both
misread Sun run-length files whose runs carry on from one row into the
next (as netpbm writes them); netpbm reads those.

Usage: make_fmt_samples.py [--check] [DATA_DIR]
  (writes DATA_DIR/<format>/peer/; DATA_DIR defaults to ../data). With
  --check nothing is written there: the samples are made afresh in a
  temporary directory and must be byte for byte the committed ones (a
  test runs this), and when a peer program is missing the check is
  skipped unless RX_REQUIRE_PEERS=1 is in the environment.
"""
import filecmp
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

CONVERT = "/usr/bin/convert"  # Debian's ImageMagick, not a wrapper on the PATH
GM = "/usr/bin/gm"
FORMATS = ("pcx", "dcx", "tga", "xbm", "sun")
WIDTH, HEIGHT = 29, 7


def picture():
    im = Image.new("RGB", (WIDTH, HEIGHT))
    for y in range(HEIGHT):
        for x in range(WIDTH):
            im.putpixel((x, y), ((x * 37 + y * 11) % 256, (y * 41 + x * 3) % 256, (x * y * 13 + 7) % 256))
    return im


def pictures():
    rgb = picture()
    many = rgb.resize((WIDTH, HEIGHT))
    q256 = rgb.quantize(200, dither=Image.Dither.NONE).convert("RGB")
    q16 = rgb.quantize(16, dither=Image.Dither.NONE).convert("RGB")
    q8 = rgb.quantize(8, dither=Image.Dither.NONE).convert("RGB")
    q4 = rgb.quantize(4, dither=Image.Dither.NONE).convert("RGB")
    gray = rgb.convert("L").convert("RGB")
    bw = rgb.convert("L").point(lambda v: 255 if v > 110 else 0).convert("1").convert("RGB")
    return {"rgb": many, "q256": q256, "q16": q16, "q8": q8, "q4": q4, "gray": gray, "bw": bw}


def run(args, stdin=None, stdout=None):
    return subprocess.run(args, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL).returncode == 0


def pillow_rgb(path, page=0):
    # Pillow reads and writes XBM bits the other way round (a set bit
    # white), against the format's own convention that the others keep.
    if path.endswith(".xbm"):
        return None
    try:
        with Image.open(path) as im:
            im.seek(page)
            return im.convert("RGB").tobytes()
    except Exception:
        return None


NETPBM_READERS = {".pcx": "pcxtoppm", ".tga": "tgatoppm", ".xbm": "xbmtopbm", ".ras": "rasttopnm"}


def netpbm_rgb(path, page=0):
    tool = NETPBM_READERS.get(os.path.splitext(path)[1])
    if tool is None or page != 0:
        return None
    r = subprocess.run(["sh", "-c", '%s "$1" | pnmtopng' % tool, "-", path], capture_output=True)
    if r.returncode != 0:
        return None
    with tempfile.NamedTemporaryFile(suffix=".png") as f:
        f.write(r.stdout)
        f.flush()
        return pillow_rgb(f.name)


def magick_rgb(path, page=0):
    r = subprocess.run([CONVERT, "%s[%d]" % (path, page), "-depth", "8", "rgb:-"],
                       capture_output=True)
    return r.stdout if r.returncode == 0 else None


class Maker:
    def __init__(self, out, tmp):
        self.out, self.tmp, self.kept, self.dropped = out, tmp, [], []
        self.src = pictures()
        for name, im in self.src.items():
            im.save(os.path.join(tmp, name + ".ppm"))
            im.save(os.path.join(tmp, name + ".png"))
            gray = im.convert("L")
            gray.save(os.path.join(tmp, name + ".pgm"))
            if name == "bw":
                im.convert("1").save(os.path.join(tmp, "bw.pbm"))

    def path(self, name):
        return os.path.join(self.tmp, name)

    def keep(self, fmt, name, made, pixels):
        """Keeps `made` as fmt/peer/name when a peer reads it as `pixels`."""
        if not made or not os.path.exists(self.path(name)):
            self.dropped.append(name + " (not written)")
            return
        pages = pixels if isinstance(pixels, list) else [pixels]
        for page, want in enumerate(pages):
            got = [f(self.path(name), page) for f in (pillow_rgb, magick_rgb, netpbm_rgb)]
            if want not in got:
                self.dropped.append(name + " (peers disagree)")
                return
        folder = os.path.join(self.out, fmt, "peer")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(self.path(name), os.path.join(folder, name))
        base = os.path.splitext(name)[0]
        for page, want in enumerate(pages):
            suffix = ".p%d.rgb" % (page + 1) if len(pages) > 1 else ".rgb"
            with open(os.path.join(folder, base + suffix), "wb") as f:
                f.write(want)
        self.kept.append(name)

    def im(self, fmt, name, src, *opts):
        ok = run([CONVERT, self.path(src)] + list(opts) + [fmt + ":" + self.path(name)])
        self.keep(fmt if fmt != "sun" else "sun", name, ok, self.src[src.split(".")[0]].tobytes())

    def gm(self, fmt, name, src, *opts):
        ok = run([GM, "convert", self.path(src)] + list(opts) + [fmt + ":" + self.path(name)])
        self.keep(fmt, name, ok, self.src[src.split(".")[0]].tobytes())

    def pil(self, fmt, name, src, mode, **kw):
        im = self.src[src]
        if mode == "P":
            conv = im.quantize(256, dither=Image.Dither.NONE)
        else:
            conv = im.convert(mode, dither=Image.Dither.NONE) if mode == "1" else im.convert(mode)
        conv.save(self.path(name), **kw)
        self.keep(fmt, name, True, self.src[src].tobytes())

    def netpbm(self, fmt, name, src, *tool):
        with open(self.path(src), "rb") as i, open(self.path(name), "wb") as o:
            ok = run(list(tool), stdin=i, stdout=o)
        self.keep(fmt, name, ok, self.src[src.split(".")[0]].tobytes())


def make(out):
    with tempfile.TemporaryDirectory() as tmp:
        m = Maker(out, tmp)
        # PCX: every plane layout the peers write.
        m.im("pcx", "im_24.pcx", "rgb.ppm")
        m.im("pcx", "im_8.pcx", "q16.png", "-type", "palette")
        m.im("pcx", "im_1.pcx", "bw.pbm", "-type", "bilevel")
        m.gm("pcx", "gm_24.pcx", "rgb.ppm")
        # GraphicsMagick writes palette pages uncoded, which the PCX
        # detection (coded files only) does not take.
        m.pil("pcx", "pil_1.pcx", "bw", "1")
        m.pil("pcx", "pil_gray.pcx", "gray", "L")
        m.pil("pcx", "pil_8.pcx", "q256", "P")
        m.pil("pcx", "pil_24.pcx", "rgb", "RGB")
        m.netpbm("pcx", "nb_24.pcx", "rgb.ppm", "ppmtopcx", "-24bit")
        m.netpbm("pcx", "nb_8.pcx", "q256.ppm", "ppmtopcx", "-8bit")
        m.netpbm("pcx", "nb_4planes.pcx", "q16.ppm", "ppmtopcx")
        m.netpbm("pcx", "nb_3planes.pcx", "q8.ppm", "ppmtopcx", "-planes", "3")
        m.netpbm("pcx", "nb_2planes.pcx", "q4.ppm", "ppmtopcx", "-planes", "2")
        m.netpbm("pcx", "nb_packed4.pcx", "q16.ppm", "ppmtopcx", "-packed")
        m.netpbm("pcx", "nb_packed2.pcx", "q4.ppm", "ppmtopcx", "-packed")
        # DCX: two pages of different depths.
        ok = run([CONVERT, m.path("rgb.ppm"), m.path("q16.png"), "-type", "palette",
                  "dcx:" + m.path("im_2pages.dcx")])
        m.keep("dcx", "im_2pages.dcx", ok, [m.src["rgb"].tobytes(), m.src["q16"].tobytes()])
        ok = run([GM, "convert", m.path("q16.png"), m.path("rgb.ppm"), "dcx:" + m.path("gm_2pages.dcx")])
        m.keep("dcx", "gm_2pages.dcx", ok, [m.src["q16"].tobytes(), m.src["rgb"].tobytes()])
        # TGA: colour-mapped, true-colour and grey, plain and coded, both
        # vertical origins, and 32-bit pixels.
        # ImageMagick 6 writes pictures without an orientation top row
        # first under a bottom-left origin (and reads them back so); the
        # other readers then show them upside down. Told the orientation,
        # it writes a top-left origin.
        top = ("-orient", "TopLeft")
        m.im("tga", "im_24.tga", "rgb.ppm", *top)
        m.im("tga", "im_24_rle.tga", "rgb.ppm", *top, "-compress", "RLE")
        m.im("tga", "im_map.tga", "q16.png", *top, "-type", "palette")
        m.im("tga", "im_map_rle.tga", "q16.png", *top, "-type", "palette", "-compress", "RLE")
        m.im("tga", "im_gray.tga", "gray.pgm", *top, "-type", "grayscale")
        m.im("tga", "im_gray_rle.tga", "gray.pgm", *top, "-type", "grayscale", "-compress", "RLE")
        m.pil("tga", "pil_24.tga", "rgb", "RGB")
        m.pil("tga", "pil_24_top.tga", "rgb", "RGB", orientation=1)
        m.pil("tga", "pil_24_rle.tga", "rgb", "RGB", compression="tga_rle")
        m.pil("tga", "pil_32.tga", "rgb", "RGBA")
        m.pil("tga", "pil_32_rle_top.tga", "rgb", "RGBA", compression="tga_rle", orientation=1)
        m.pil("tga", "pil_gray.tga", "gray", "L")
        m.pil("tga", "pil_map.tga", "q256", "P")
        m.pil("tga", "pil_map_rle.tga", "q256", "P", compression="tga_rle")
        m.netpbm("tga", "nb_24.tga", "rgb.ppm", "pamtotga", "-rgb", "-norle")
        m.netpbm("tga", "nb_24_rle.tga", "rgb.ppm", "pamtotga", "-rgb")
        m.netpbm("tga", "nb_map_rle.tga", "q256.ppm", "pamtotga", "-cmap")
        m.netpbm("tga", "nb_gray_rle.tga", "gray.pgm", "pamtotga", "-mono")
        m.gm("tga", "gm_24.tga", "rgb.ppm")
        m.gm("tga", "gm_map.tga", "q16.png", "-type", "palette")
        m.gm("tga", "gm_gray.tga", "gray.pgm", "-type", "grayscale")
        # XBM: byte arrays from two peers, 16-bit words from netpbm.
        m.im("xbm", "im.xbm", "bw.pbm")
        m.gm("xbm", "gm.xbm", "bw.pbm")
        m.netpbm("xbm", "nb.xbm", "bw.pbm", "pbmtoxbm")
        m.netpbm("xbm", "nb_x10.xbm", "bw.pbm", "pbmtoxbm", "-x10")
        # Sun raster: 1, 8, 24 and 32 bits, standard and coded.
        m.im("sun", "im_24.ras", "rgb.ppm")
        m.im("sun", "im_8.ras", "q16.png", "-type", "palette")
        m.im("sun", "im_1.ras", "bw.pbm", "-type", "bilevel")
        m.im("sun", "im_32.ras", "rgb.png", "-alpha", "on")
        m.gm("sun", "gm_24.ras", "rgb.ppm")
        m.gm("sun", "gm_8.ras", "q16.png", "-type", "palette")
        m.gm("sun", "gm_1.ras", "bw.pbm", "-type", "bilevel")
        # pnmtorast drops the pixels of a 1-bit row's last byte when the
        # width is not a multiple of 8, so its 1-bit files are not used.
        m.netpbm("sun", "nb_8.ras", "q256.ppm", "pnmtorast", "-standard")
        m.netpbm("sun", "nb_8_rle.ras", "q256.ppm", "pnmtorast")
        m.netpbm("sun", "nb_gray_rle.ras", "gray.pgm", "pnmtorast")
        m.netpbm("sun", "nb_24.ras", "rgb.ppm", "pnmtorast", "-standard")
        m.netpbm("sun", "nb_24_rle.ras", "rgb.ppm", "pnmtorast")
        print("kept %d: %s" % (len(m.kept), " ".join(m.kept)))
        if m.dropped:
            print("dropped: " + ", ".join(m.dropped))


def compare(fresh, data):
    """The committed samples must be exactly the ones made now."""
    bad = made_count = 0
    for fmt in FORMATS:
        made_dir, kept_dir = os.path.join(fresh, fmt, "peer"), os.path.join(data, fmt, "peer")
        made = sorted(os.listdir(made_dir)) if os.path.isdir(made_dir) else []
        kept = sorted(os.listdir(kept_dir)) if os.path.isdir(kept_dir) else []
        _, differ, missing = filecmp.cmpfiles(made_dir, kept_dir, made, shallow=False)
        extra = sorted(set(kept) - set(made))
        for name in differ:
            print("%s/%s: differs from what the peers make now" % (fmt, name), file=sys.stderr)
        for name in missing:
            print("%s/%s: not committed" % (fmt, name), file=sys.stderr)
        for name in extra:
            print("%s/%s: not made by this script" % (fmt, name), file=sys.stderr)
        bad += len(differ) + len(missing) + len(extra)
        made_count += len(made)
    if bad:
        print("review the differences, then run make_fmt_samples.py to write the samples again",
              file=sys.stderr)
    else:
        print("%d files are as the peers make them" % made_count)
    return 1 if bad else 0


def missing_peers():
    tools = [CONVERT, GM] + [shutil.which(t) or t for t in
                             ("pcxtoppm", "tgatoppm", "xbmtopbm", "rasttopnm", "pnmtopng", "ppmtopcx",
                              "pamtotga", "pbmtoxbm", "pnmtorast")]
    return [t for t in tools if not os.access(t, os.X_OK)]


def main(args):
    check = "--check" in args
    missing = missing_peers()
    if missing:
        print("peer programs missing: " + ", ".join(missing))
        return 1 if not check or os.environ.get("RX_REQUIRE_PEERS") == "1" else 0
    args = [a for a in args if a != "--check"]
    data = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
    if not check:
        make(data)
        return 0
    with tempfile.TemporaryDirectory() as fresh:
        make(fresh)
        return compare(fresh, data)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
