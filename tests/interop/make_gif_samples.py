#!/usr/bin/python3
"""Makes the GIF samples of tests/data/gif with the peers that write GIF
files (Pillow, ImageMagick, GraphicsMagick) and records, for each frame, the
picture the maker's own viewer composites: NAME.N.rgba holds frame N as
width x height RGBA bytes (top row first), preceded by the two sizes as
16-bit little-endian numbers. A few hand-made files cover what the peers
never write (deferred clear, disposal to the previous frame, local colour
tables, frames that lie outside the screen); ImageMagick composites those.

Usage: make_gif_samples.py [--check] [OUTPUT_DIRECTORY]
  (default: ../data/gif). With --check nothing is written there: the
  samples are made afresh in a temporary directory and must be byte for
  byte the files in the directory (a test runs this).
Needs /usr/bin/python3 with PIL, /usr/bin/convert-im6.q16 and /usr/bin/gm.
"""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

IM = "/usr/bin/convert-im6.q16"
GM = "/usr/bin/gm"


def rgba_record(path, width, height, data):
    with open(path, "wb") as f:
        f.write(struct.pack("<HH", width, height) + data)


def record_pillow(out, name):
    with Image.open(os.path.join(out, name + ".gif")) as im:
        for n in range(im.n_frames):
            im.seek(n)
            frame = im.convert("RGBA")
            rgba_record(os.path.join(out, f"{name}.{n}.rgba"), frame.width, frame.height,
                        frame.tobytes())


def record_magick(out, name, tool):
    """Frames as the tool's -coalesce composites them."""
    src = os.path.join(out, name + ".gif")
    with tempfile.TemporaryDirectory() as tmp:
        pattern = os.path.join(tmp, "f%d.png")
        command = [IM, src, "-coalesce", "+adjoin", pattern] if tool == "im" else \
                  [GM, "convert", src, "-coalesce", "+adjoin", pattern]
        subprocess.run(command, check=True)
        n = 0
        while os.path.exists(pattern % n):
            with Image.open(pattern % n) as f:
                frame = f.convert("RGBA")
                rgba_record(os.path.join(out, f"{name}.{n}.rgba"), frame.width, frame.height,
                            frame.tobytes())
            n += 1


def picture(w, h, seed):
    im = Image.new("RGB", (w, h), (seed * 40 % 256, 90, 200))
    d = ImageDraw.Draw(im)
    for k in range(6):
        x = (seed * 7 + k * 5) % w
        d.rectangle([x, k * 3 % h, x + 6, k * 3 % h + 5], fill=((k * 50) % 256, (seed * 90) % 256, k * 30))
    d.line([0, 0, w - 1, h - 1], fill=(255, 255, 0))
    return im


def pillow_samples(out):
    # Interlaced (Pillow interlaces images of 16 rows or more by default).
    picture(40, 33, 1).convert("P", palette=Image.ADAPTIVE, colors=50).save(
        os.path.join(out, "pillow_interlaced.gif"), interlace=True)
    # One frame with a transparent index.
    p = picture(24, 20, 2).convert("P", palette=Image.ADAPTIVE, colors=16)
    p.save(os.path.join(out, "pillow_transparent.gif"), transparency=3)
    # An animation whose frames change only parts of the picture: Pillow
    # writes the changed rectangles with transparency and disposal 2.
    frames = []
    for n in range(4):
        f = Image.new("RGB", (30, 24), (20, 20, 120))
        ImageDraw.Draw(f).ellipse([n * 5, n * 3, n * 5 + 10, n * 3 + 9], fill=(250, 200, 0))
        frames.append(f.convert("P", palette=Image.ADAPTIVE, colors=8))
    frames[0].save(os.path.join(out, "pillow_animated.gif"), save_all=True,
                   append_images=frames[1:], duration=50, loop=0, disposal=2, transparency=0)
    # Two colours: a 1-bit page.
    picture(19, 7, 3).convert("1").save(os.path.join(out, "pillow_bilevel.gif"))
    for name in ("pillow_interlaced", "pillow_transparent", "pillow_animated", "pillow_bilevel"):
        record_pillow(out, name)


def magick_samples(out, tool, prefix):
    run = (lambda *a: subprocess.run([IM, *a], check=True)) if tool == "im" else \
          (lambda *a: subprocess.run([GM, "convert", *a], check=True))
    with tempfile.TemporaryDirectory() as tmp:
        srcs = []
        for n in range(3):
            s = os.path.join(tmp, f"s{n}.png")
            im = Image.new("RGBA", (28, 22), (0, 0, 0, 0) if n else (30, 120, 30, 255))
            ImageDraw.Draw(im).rectangle([n * 6, 2 + n * 4, n * 6 + 9, 10 + n * 4], fill=(200, 40 * n, 90, 255))
            im.save(s)
            srcs.append(s)
        still = os.path.join(tmp, "still.png")
        picture(36, 29, 5).save(still)
        # GraphicsMagick calls GIF interlacing "Line".
        run(still, "-colors", "64", "-interlace", "GIF" if tool == "im" else "Line",
            os.path.join(out, prefix + "_interlaced.gif"))
        run("-dispose", "None", "-delay", "10", *srcs, os.path.join(out, prefix + "_animated.gif"))
        run("-dispose", "Background", "-delay", "10", *srcs,
            os.path.join(out, prefix + "_background.gif"))
        if tool == "im":
            run("-dispose", "Previous", "-delay", "10", *srcs,
                os.path.join(out, prefix + "_previous.gif"))
    for name in os.listdir(out):
        if name.startswith(prefix + "_") and name.endswith(".gif"):
            record_magick(out, name[:-4], tool)


# ---- Hand-made files ---------------------------------------------------------

def lzw_roots(pixels, min_bits, clear_every):
    """Codes every pixel as a root. clear_every=None never sends Clear: the
    table fills and the codes stay 12 bits wide (a deferred clear)."""
    clear, width, nxt, first = 1 << min_bits, min_bits + 1, (1 << min_bits) + 2, True
    out, bits, n = bytearray(), 0, 0

    def put(code):
        nonlocal bits, n
        bits |= code << n
        n += width
        while n >= 8:
            out.append(bits & 255)
            bits >>= 8
            n -= 8

    put(clear)
    since = 0
    for p in pixels:
        put(p)
        since += 1
        if first:
            first = False
        elif nxt < 4096:
            nxt += 1
            if nxt == (1 << width) and width < 12:
                width += 1
        if clear_every and since >= clear_every:
            put(clear)
            width, nxt, first, since = min_bits + 1, clear + 2, True, 0
    put(clear + 1)
    if n:
        out.append(bits & 255)
    return bytes(out)


def sub_blocks(data):
    return b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255]
                    for i in range(0, len(data), 255)) + b"\0"


def table(colours, entries):
    return b"".join(bytes(c) for c in colours) + b"\0" * 3 * (entries - len(colours))


def hand_gif(w, h, gct, frames, background=0):
    o = b"GIF89a" + struct.pack("<HH", w, h)
    o += bytes([0xF0 | ((len(gct) - 1).bit_length() - 1), background, 0]) + table(gct, len(gct))
    for f in frames:
        if "control" in f:
            disposal, transparent = f["control"]
            o += b"\x21\xf9\x04" + bytes([disposal << 2 | (transparent is not None)]) + \
                 b"\x05\x00" + bytes([transparent or 0, 0])
        x, y, fw, fh = f["rect"]
        flags, lct = 0, b""
        if "local" in f:
            entries = len(f["local"])
            flags = 0x80 | ((entries - 1).bit_length() - 1)
            lct = table(f["local"], entries)
        o += b"\x2c" + struct.pack("<HHHH", x, y, fw, fh) + bytes([flags]) + lct
        o += bytes([f.get("min_bits", 8)]) + sub_blocks(lzw_roots(f["pixels"], f.get("min_bits", 8),
                                                               f.get("clear_every", 200)))
    return o + b"\x3b"


def hand_samples(out):
    grey = [(i, i, i) for i in range(256)]
    # 6000 pixels without a Clear: the table fills at 4096 entries.
    pixels = [(i * 7) % 256 for i in range(100 * 60)]
    files = {
        "hand_deferred_clear": hand_gif(100, 60, grey, [
            {"rect": (0, 0, 100, 60), "pixels": pixels, "clear_every": None}]),
        "hand_local_tables": hand_gif(8, 6, grey[:4], [
            {"rect": (0, 0, 8, 6), "pixels": [i % 4 for i in range(48)], "min_bits": 2},
            {"control": (1, None), "rect": (2, 1, 4, 3), "min_bits": 2,
             "local": [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)],
             "pixels": [i % 4 for i in range(12)]}]),
        "hand_previous": hand_gif(8, 6, grey[:16], [
            {"control": (1, None), "rect": (0, 0, 8, 6), "pixels": [5] * 48, "min_bits": 4},
            {"control": (3, None), "rect": (1, 1, 3, 3), "pixels": [9] * 9, "min_bits": 4},
            {"control": (1, 0), "rect": (4, 2, 3, 3), "pixels": [0, 12, 0, 12, 0, 12, 0, 12, 0],
             "min_bits": 4}]),
        # A first frame smaller than the screen, over the background colour;
        # the second is cleared to transparent (disposal 2) after it shows.
        "hand_background": hand_gif(4, 3, [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)], [
            {"rect": (1, 1, 2, 1), "pixels": [0, 0], "min_bits": 2},
            {"control": (2, 3), "rect": (0, 0, 2, 2), "pixels": [1, 3, 3, 1], "min_bits": 2},
            {"control": (0, None), "rect": (3, 2, 1, 1), "pixels": [1], "min_bits": 2}],
            background=2),
        "hand_outside": hand_gif(6, 5, grey[:16], [
            {"rect": (0, 0, 6, 5), "pixels": [1] * 30, "min_bits": 4},
            {"control": (1, None), "rect": (4, 3, 5, 4), "pixels": [i % 16 for i in range(20)], "min_bits": 4}]),
    }
    for name, data in files.items():
        with open(os.path.join(out, name + ".gif"), "wb") as f:
            f.write(data)
        # ImageMagick's composite: it keeps the logical screen's size when
        # a frame reaches past it, as viewers do.
        record_magick(out, name, "im")


def write_samples(out):
    os.makedirs(out, exist_ok=True)
    pillow_samples(out)
    magick_samples(out, "im", "im")
    magick_samples(out, "gm", "gm")
    hand_samples(out)


def compare(fresh, kept):
    """The kept samples must be exactly the ones made now."""
    made = sorted(os.listdir(fresh))
    there = sorted(n for n in os.listdir(kept) if n.endswith((".gif", ".rgba")))
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
        print("review the differences, then run make_gif_samples.py to write the samples again",
              file=sys.stderr)
    else:
        print(f"{len(made)} files are as the programs make them")
    return 1 if bad else 0


def main(args):
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    out = args[0] if args else os.path.join(here, "..", "data", "gif")
    if not check:
        write_samples(out)
        return 0
    with tempfile.TemporaryDirectory() as fresh:
        write_samples(fresh)
        return compare(fresh, out)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
