#!/usr/bin/python3
"""Makes the raw fax samples under tests/data/ccitt with peer tools.

A page is drawn with Pillow, written uncompressed, and coded by libtiff's
tiffcp in each fax form; the strip of each coded file is stored alone as a
raw fax file. page.pbm holds the pixels libtiff decodes (1 = black). The
files under bad/ are damaged forms of the same data. Run from the
repository root: /usr/bin/python3 tests/interop/make_ccitt_samples.py
"""
import os
import struct
import subprocess
import tempfile

from PIL import Image, ImageDraw

OUT = os.path.join("tests", "data", "ccitt")
WIDTH, HEIGHT = 240, 96


def page():
    img = Image.new("1", (WIDTH, HEIGHT), 1)
    d = ImageDraw.Draw(img)
    d.text((6, 6), "RAW FAX 0123456789", fill=0)
    d.text((6, 26), "the quick brown fox", fill=0)
    d.rectangle((150, 50, 230, 90), fill=0)
    d.ellipse((10, 50, 60, 90), outline=0, width=3)
    d.line((70, 90, 140, 50), fill=0, width=2)
    return img


def write_plain(img, path):
    """An uncompressed TIFF in which 0 is white and 1 black, as fax data
    means them (Pillow would write 0 as black)."""
    rows = img.point(lambda v: 0 if v else 255).tobytes()  # packed, 1 = black
    data_at = 8 + 2 + 12 * 9 + 4  # header, nine entries, next-IFD offset
    entries = [(256, 4, WIDTH), (257, 4, HEIGHT), (258, 3, 1), (259, 3, 1), (262, 3, 0),
               (273, 4, data_at), (277, 3, 1), (278, 4, HEIGHT), (279, 4, len(rows))]
    ifd = struct.pack("<H", len(entries))
    for tag, kind, value in entries:
        ifd += struct.pack("<HHI", tag, kind, 1) + (struct.pack("<HH", value, 0) if kind == 3
                                                    else struct.pack("<I", value))
    ifd += struct.pack("<I", 0)
    assert 8 + len(ifd) == data_at
    with open(path, "wb") as f:
        f.write(b"II*\x00" + struct.pack("<I", 8) + ifd + rows)


def strip_of(path):
    """The bytes of the single strip of a TIFF file."""
    with Image.open(path) as im:
        offset = im.tag_v2[273][0]
        count = im.tag_v2[279][0]
    with open(path, "rb") as f:
        f.seek(offset)
        return f.read(count)


def main():
    os.makedirs(os.path.join(OUT, "bad"), exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        plain = os.path.join(tmp, "plain.tif")
        img = page()
        write_plain(img, plain)
        forms = {
            "page_g4.raw": ["-c", "g4"],
            "page_g4_lsb.raw": ["-c", "g4", "-f", "lsb2msb"],
            "page_g3.raw": ["-c", "g3:1d"],
            "page_g3_fill_lsb.raw": ["-c", "g3:1d:fill", "-f", "lsb2msb"],
        }
        for name, args in forms.items():
            coded = os.path.join(tmp, name + ".tif")
            subprocess.run(["tiffcp", "-r", str(HEIGHT)] + args + [plain, coded], check=True)
            with open(os.path.join(OUT, name), "wb") as f:
                f.write(strip_of(coded))
            if name == "page_g4.raw":
                with Image.open(coded) as decoded:
                    decoded.convert("1").save(os.path.join(OUT, "page.pbm"))
    g4 = open(os.path.join(OUT, "page_g4.raw"), "rb").read()
    g3 = open(os.path.join(OUT, "page_g3.raw"), "rb").read()
    bad = {
        # Cut in the middle of the page.
        "g4_truncated.raw": g4[: len(g4) // 2],
        # A run of the extension code where a mode is expected.
        "g4_extension_code.raw": g4[:40] + bytes([0x02, 0x02, 0x02, 0x02]) + g4[44:],
        # Every byte set: rows of short runs and never an EOL.
        "g3_all_ones.raw": bytes([0xFF]) * 4096,
        # Nothing but zero bits: fill that never reaches an EOL.
        "g3_zeros.raw": bytes(8192),
        # A black code that does not exist, right after the first EOL.
        "g3_bad_code.raw": g3[:2] + bytes([0x00, 0x20, 0x00, 0x20]) + g3[6:],
        # The first rows only, without an RTC.
        "g3_truncated.raw": g3[: len(g3) // 3],
    }
    for name, data in bad.items():
        with open(os.path.join(OUT, "bad", name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
