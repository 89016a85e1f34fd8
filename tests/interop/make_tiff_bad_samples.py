#!/usr/bin/python3
"""Writes damaged and hostile TIFF files, one for each way the reader must
refuse a file, named after it. Every file is small; the ones that claim
huge sizes or counts claim them in their fields only.

Files named loop_* chain their directories back onto themselves: the page
count must stay finite, and their last page is the damaged one.

Usage: make_tiff_bad_samples.py [--check] [output directory]   (default: ../data/tiff/bad)
  With --check nothing is written: the files made now must be byte for
  byte the files in the directory (a test runs this).
"""
import os
import struct
import sys

SHORT, LONG = 3, 4
SIZES = {1: 1, 2: 1, 3: 2, 4: 4, 5: 8, 7: 1}


def entry(tag, kind, count, value_or_offset):
    """One little-endian entry whose value field is given as it stands."""
    if isinstance(value_or_offset, bytes):
        field = value_or_offset.ljust(4, b"\0")
    elif kind == SHORT and count == 1:
        field = struct.pack("<HH", value_or_offset, 0)
    else:
        field = struct.pack("<I", value_or_offset)
    return struct.pack("<HHI", tag, kind, count) + field


def directory(entries, next_ifd=0, count=None):
    entries = sorted(entries, key=lambda e: struct.unpack_from("<H", e)[0])
    n = len(entries) if count is None else count
    return struct.pack("<H", n) + b"".join(entries) + struct.pack("<I", next_ifd)


def plain(width, height, bps=8, spp=1, compression=1, photometric=1, strip_at=8, strip_bytes=None,
          extra=()):
    if strip_bytes is None:
        strip_bytes = (width * bps * spp + 7) // 8 * height
    fields = [
        entry(256, LONG, 1, width),
        entry(257, LONG, 1, height),
        entry(258, SHORT, 1, bps),
        entry(259, SHORT, 1, compression),
        entry(262, SHORT, 1, photometric),
        entry(273, LONG, 1, strip_at),
        entry(277, SHORT, 1, spp),
        entry(279, LONG, 1, strip_bytes),
    ]
    drop = {e[:2] for e in extra}
    return [f for f in fields if f[:2] not in drop] + list(extra)


def tiff(pixels, dirs):
    """Header, the pixel bytes at 8, then the directories one after the
    other, each linked to the next unless its next offset is given."""
    out = bytearray(b"II*\0" + struct.pack("<I", 0)) + pixels
    if len(out) % 2:
        out += b"\0"
    offsets = []
    at = len(out)
    for entries, next_ifd, count in dirs:
        offsets.append(at)
        at += 2 + 12 * len(entries) + 4
    struct.pack_into("<I", out, 4, offsets[0])
    for i, (entries, next_ifd, count) in enumerate(dirs):
        if next_ifd == "next":
            next_ifd = offsets[i + 1] if i + 1 < len(offsets) else 0
        elif isinstance(next_ifd, str):  # "ifdN": back to directory N
            next_ifd = offsets[int(next_ifd[3:])]
        out += directory(entries, next_ifd, count)
    return bytes(out)


def bits_to_bytes(bits):
    """A string of 0 and 1, most significant bit first, zero-filled."""
    return bytes(int(bits[i:i + 8].ljust(8, "0"), 2) for i in range(0, len(bits), 8))


def one(entries, pixels=bytes(16), count=None):
    return tiff(pixels, [(entries, 0, count)])


def tiny_jpeg(width, height):
    """A baseline stream of three components whose frame claims the size
    given, with one-code Huffman tables and eight bytes of coded data."""
    ones = bytes([1] + [0] * 15)
    return (b"\xff\xd8"
            + b"\xff\xdb" + struct.pack(">HB", 67, 0) + bytes([1] * 64)
            + b"\xff\xc0" + struct.pack(">HBHHB", 17, 8, height, width, 3)
            + bytes([1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0])
            + b"\xff\xc4" + struct.pack(">H", 2 + 2 * 18) + b"\x00" + ones + b"\x00" + b"\x10" + ones + b"\x00"
            + b"\xff\xda" + struct.pack(">HB", 12, 3) + bytes([1, 0, 2, 0, 3, 0, 0, 63, 0])
            + bytes(8) + b"\xff\xd9")


def samples():
    out = {}
    grey = bytes(range(16))
    out["header_cut_short"] = b"II*\0\x08\0"
    out["first_directory_past_end"] = b"II*\0" + struct.pack("<I", 0x7FFFFF00) + bytes(8)
    out["directory_of_65535_entries"] = one(plain(4, 4), grey, count=65535)
    out["width_zero"] = one(plain(0, 4), grey)
    out["strip_offset_past_end"] = one(plain(4, 4, strip_at=0x10000000), grey)
    out["strip_byte_count_past_end"] = one(plain(4, 64, strip_bytes=0x7FFFFFF0), grey)
    # Four million strips whose tables the file cannot hold.
    out["strips_4000000"] = one(plain(4, 4000000, extra=[entry(273, LONG, 4000000, 8),
                                                          entry(279, LONG, 4000000, 8),
                                                          entry(278, LONG, 1, 1)]), grey)
    # Tag values past the end of the file.
    out["colormap_past_end"] = one(plain(4, 4, photometric=3, extra=[entry(320, SHORT, 768, 0x100000)]), grey)
    # A file of 1 KiB claiming gigabytes of pixels, in each of its codings.
    kib = bytes(1024)
    out["kib_claims_gigabytes_none"] = one(plain(20000, 20000, spp=3, photometric=2, strip_bytes=1024), kib)
    out["kib_claims_gigabytes_packbits"] = one(plain(20000, 20000, spp=3, compression=32773, photometric=2,
                                                     strip_bytes=1024), kib)
    out["kib_claims_gigabytes_g4"] = one(plain(20000, 20000, bps=1, compression=4, photometric=0,
                                               strip_bytes=1024), kib)
    # A small page pointing at a JPEG stream of a few bytes whose frame is
    # 21,549 x 1,309 pixels (found by the fuzz target).
    jpeg = tiny_jpeg(21549, 1309)
    out["jpeg_stream_claims_28_megapixels"] = one(
        plain(45, 29, spp=3, compression=6, photometric=6, strip_bytes=len(jpeg),
              extra=[entry(513, LONG, 1, 8), entry(514, LONG, 1, len(jpeg))]), jpeg)
    # Pages the reader refuses by their fields.
    out["g4_at_depth_8"] = one(plain(4, 4, compression=4), grey)
    out["compression_7"] = one(plain(4, 4, compression=7), grey)
    out["compression_8_deflate"] = one(plain(4, 4, compression=8), grey)
    out["compression_32946_deflate"] = one(plain(4, 4, compression=32946), grey)
    out["planar_2_ycbcr"] = one(plain(4, 4, spp=3, photometric=6, extra=[entry(284, SHORT, 1, 2)]),
                                bytes(48))
    out["planar_3"] = one(plain(4, 4, spp=3, photometric=2, extra=[entry(284, SHORT, 1, 3)]), grey)
    # A Group 4 row whose horizontal-mode white run (2560 + 0) passes the
    # width of 64.
    g4 = bits_to_bytes(("001" + "000000011111" + "00110101" + "0011") * 4)
    out["g4_run_past_width"] = one(plain(64, 8, bps=1, compression=4, photometric=0, strip_bytes=len(g4)), g4)
    # No samples: rows of no bytes (found by the fuzz target).
    out["samples_per_pixel_0"] = one(plain(4, 4, extra=[entry(277, SHORT, 1, 0)]), grey)
    # Directory chains that come back: the last page is the damaged one.
    out["loop_onto_itself"] = tiff(grey, [(plain(0, 4), "ifd0", None)])
    out["loop_back_to_first"] = tiff(grey, [(plain(4, 4), "next", None), (plain(4, 0), "ifd0", None)])
    return out


def main(args):
    check = "--check" in args
    args = [a for a in args if a != "--check"]
    here = os.path.dirname(os.path.abspath(__file__))
    target = args[0] if args else os.path.join(here, "..", "data", "tiff", "bad")
    made = {name + ".tif": data for name, data in samples().items()}
    if not check:
        os.makedirs(target, exist_ok=True)
        for name, data in made.items():
            with open(os.path.join(target, name), "wb") as f:
                f.write(data)
        return 0
    kept = sorted(n for n in os.listdir(target) if n.endswith(".tif"))
    bad = 0
    for name in sorted(set(made) | set(kept)):
        path = os.path.join(target, name)
        if name not in made:
            print(f"{name}: no longer made")
        elif not os.path.exists(path):
            print(f"{name}: missing")
        else:
            with open(path, "rb") as f:
                if f.read() == made[name]:
                    continue
            print(f"{name}: differs from the file made now")
        bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
