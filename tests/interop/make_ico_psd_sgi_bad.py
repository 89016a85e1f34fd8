#!/usr/bin/python3
"""Writes damaged icon, PSD and SGI files, each of which must fail to load
with an error and nothing else: directories, channel counts, sizes,
section lengths and offset tables that lie, and data cut short. Inputs the
fuzz targets ever crash on are kept beside them by hand.

Usage: make_ico_psd_sgi_bad.py [--check] [data directory]   (default: ../data;
  with --check, nothing is written and the exit status is 0 when the
  committed files are what the script makes now)
"""
import os
import struct
import sys


def icon(width=32, height=32, colors=16, bits=4, count=None, offset=None, header_height=None, cut=None):
    w = width or 256
    h = height or 256
    stride = (bits * w + 31) // 32 * 4
    data = struct.pack("<IiiHHIIiiII", 40, w, header_height if header_height is not None else 2 * h,
                       1, bits, 0, 0, 0, 0, 0, 0)
    data += bytes(4 * colors) + bytes(range(256)) * (stride * h // 256 + 1)
    data = data[:40 + 4 * colors + stride * h] + bytes((w + 31) // 32 * 4 * h)
    head = struct.pack("<HHH", 0, 1, count if count is not None else 1)
    head += struct.pack("<BBBBHHII", width, height, colors, 0, 1, bits, len(data),
                        offset if offset is not None else 22)
    f = head + data
    return f[:cut] if cut else f


def psd(channels=3, depth=8, mode=3, width=4, height=4, compression=0, version=1,
        resources=b"", data=None, color=b""):
    f = b"8BPS" + struct.pack(">H6xHIIHH", version, channels, height, width, depth, mode)
    f += struct.pack(">I", len(color)) + color
    f += struct.pack(">I", len(resources)) + resources + struct.pack(">I", 0)
    f += struct.pack(">H", compression)
    if data is None:
        data = bytes(range(256))[: channels * width * height]
    return f + data


def patched(data, at, part):
    return data[:at] + part + data[at + len(part):]


def sgi(storage=0, bpc=1, dimension=3, x=4, y=4, z=3, colormap=0, body=None):
    head = struct.pack(">HBBHHHHIII", 474, storage, bpc, dimension, x, y, z, 0, 255, 0)
    head += b"no name".ljust(80, b"\0") + struct.pack(">I", colormap)
    head = head.ljust(512, b"\0")
    if body is None:
        body = bytes(x * y * z)
    return head + body


def rle_tables(y, z, starts, lengths):
    return b"".join(struct.pack(">I", v) for v in starts + lengths)


def main(data, check):
    files = {
        "ico": {
            "offset_past_end": icon(offset=0x7FFFFFF0),
            "offset_wraps": icon(offset=0xFFFFFFFF),
            "offset_into_directory": icon(offset=2),
            "header_claims_8_bits": icon(bits=8),
            "header_height_lies": icon(header_height=500),
            "rows_cut": icon(cut=22 + 40 + 64 + 100),
            "palette_cut": icon(cut=22 + 40 + 10),
            "eight_colours": icon(colors=8, bits=3),
            "directory_cut": icon()[:14],
            "count_zero": icon(count=0),
        },
        "psd": {
            "channels_fewer_than_mode": psd(channels=2),
            "channels_none": psd(channels=0, mode=1),
            "size_lies_raw": psd(width=20000, height=20000),
            "size_lies_packbits": psd(width=20000, height=20000, compression=1),
            "packbits_cut": psd(channels=1, mode=1, compression=1, data=b"\0\5" * 4 + b"\x04abc"),
            "channels_too_many": psd(channels=65535, compression=1, data=b"\0\5" * 12 + b"\x04abcde" * 12),
            "rgb_packbits_cut": psd(compression=1, data=b"\0\5" * 12 + b"\x04abcde" * 7),
            "cmyk_raw_cut": psd(channels=4, mode=4, data=bytes(50)),
            "raw_cut": psd(data=bytes(20)),
            "resources_past_end": patched(psd(resources=b"ab"), 30 + 0, b"\x7f\0\0\0"),
            "version_2": psd(version=2),
            "depth_16": psd(depth=16),
            "deflate": psd(compression=2),
            "indexed_without_table": psd(channels=1, mode=2, color=bytes(100)),
            "too_large": psd(width=0x7FFFFFFF, height=0x7FFFFFFF),
        },
        "sgi": {
            "rle_offsets_outside": sgi(storage=1, z=1, dimension=2, y=2, x=2,
                                       body=rle_tables(2, 1, [0x7FFFFFF0, 528], [4, 4]) + b"\x82ab\0"),
            "rle_offsets_wrap": sgi(storage=1, z=1, dimension=2, y=2, x=2,
                                    body=rle_tables(2, 1, [0xFFFFFFF0, 528], [4, 4]) + b"\x82ab\0"),
            "rle_lengths_past_end": sgi(storage=1, z=1, dimension=2, y=2, x=2,
                                        body=rle_tables(2, 1, [528, 528], [4, 0xFFFFFFFF]) + b"\x82ab\0"),
            "rle_tables_past_end": sgi(storage=1, dimension=2, x=40000, y=40000, z=1, body=bytes(100)),
            "plain_cut": sgi(body=bytes(10)),
            "plain_size_lies": sgi(dimension=2, x=40000, y=40000, z=1, body=bytes(100)),
            "colormap_screen": sgi(colormap=2),
            "colormap_map": sgi(colormap=3),
            "two_bytes_a_channel": sgi(bpc=2),
            "four_dimensions": sgi(dimension=4),
            "no_channels": sgi(z=0),
            "header_cut": sgi()[:300],
        },
    }
    differ = 0
    for fmt, named in files.items():
        out = os.path.join(data, fmt, "bad")
        os.makedirs(out, exist_ok=True)
        for name, content in named.items():
            path = os.path.join(out, f"{name}.{fmt}")
            if check:
                if not os.path.exists(path) or open(path, "rb").read() != content:
                    differ += 1
                    print(f"{path}: not what the script makes")
                continue
            with open(path, "wb") as f:
                f.write(content)
    return 1 if differ else 0


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    args = [a for a in sys.argv[1:] if a != "--check"]
    sys.exit(main(args[0] if args else os.path.join(here, "..", "data"), "--check" in sys.argv[1:]))
