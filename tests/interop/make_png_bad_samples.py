#!/usr/bin/python3
"""Writes damaged PNG files, one for each way the reader must refuse a
file, named after it. zlib compresses and checksums the parts.

Usage: make_png_bad_samples.py [output directory]   (default: ../data/png/bad)
"""
import os
import struct
import sys
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


SIGNATURE = bytes([137, 80, 78, 71, 13, 10, 26, 10])


def ihdr(width=8, height=4, depth=8, colour=2, interlace=0):
    return chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace))


def rows(width=8, height=4, channels=3, filter_type=0):
    return b"".join(bytes([filter_type]) + bytes((x * 7 + y) % 256 for x in range(width * channels))
                    for y in range(height))


def png(*chunks):
    return SIGNATURE + b"".join(chunks) + chunk(b"IEND", b"")


def bits(fields):
    """Packs (value, count) fields least significant bit first."""
    acc, n, out = 0, 0, bytearray()
    for value, count in fields:
        acc |= value << n
        n += count
    while n > 0:
        out.append(acc & 0xFF)
        acc >>= 8
        n -= 8
    return bytes(out)


def zlib_wrap(deflate):
    return b"\x78\x9c" + deflate + b"\x00\x00\x00\x00"


def samples():
    good_data = zlib.compress(rows(), 6)
    out = {}
    out["stored_blocks"] = png(ihdr(), chunk(b"IDAT", zlib.compress(rows(), 0)))
    bad_text = bytearray(chunk(b"tEXt", b"a\x00b"))
    bad_text[-1] ^= 1
    out["crc_before_palette"] = png(ihdr(colour=3), bytes(bad_text), chunk(b"PLTE", bytes(range(30))),
                                    chunk(b"IDAT", zlib.compress(rows(channels=1), 6)))
    idat = bytearray(chunk(b"IDAT", good_data))
    idat[10] ^= 1
    out["idat_crc"] = png(ihdr(), bytes(idat))
    out["idat_cut_short"] = (SIGNATURE + ihdr() + chunk(b"IDAT", good_data))[:-10]
    out["no_idat"] = png(ihdr())
    out["too_little_data"] = png(ihdr(), chunk(b"IDAT", zlib.compress(rows()[:20], 6)))
    out["block_type_3"] = png(ihdr(), chunk(b"IDAT", zlib_wrap(bits([(1, 1), (3, 2)]))))
    # Fixed block: length 3 (code 0000001, sent from its top bit), distance 1.
    out["copy_before_start"] = png(ihdr(), chunk(b"IDAT", zlib_wrap(bits(
        [(1, 1), (1, 2), (0b1000000, 7), (0, 5)]))))
    # Dynamic block whose code-length code gives all 19 symbols one bit.
    out["oversubscribed_codes"] = png(ihdr(), chunk(b"IDAT", zlib_wrap(bits(
        [(1, 1), (2, 2), (0, 5), (0, 5), (15, 4)] + [(1, 3)] * 19))))
    out["filter_type_5"] = png(ihdr(), chunk(b"IDAT", zlib.compress(rows(filter_type=5), 6)))
    out["header_not_first"] = SIGNATURE + chunk(b"tEXt", b"a\x00b") + ihdr()[0:] + chunk(
        b"IDAT", good_data) + chunk(b"IEND", b"")
    cut = SIGNATURE + ihdr()
    out["header_cut_short"] = cut[:20]
    out["rgb_4_bit"] = png(ihdr(depth=4), chunk(b"IDAT", good_data))
    out["palette_missing"] = png(ihdr(colour=3), chunk(b"IDAT", zlib.compress(rows(channels=1), 6)))
    out["palette_257_entries"] = png(ihdr(colour=3), chunk(b"PLTE", bytes(3 * 257)),
                                     chunk(b"IDAT", zlib.compress(rows(channels=1), 6)))
    # Sizes that the engine cannot hold, and one it can but the data cannot fill.
    out["bomb_100000_square"] = png(ihdr(100000, 100000), chunk(b"IDAT", good_data))
    out["bomb_40000_square_grey"] = png(ihdr(40000, 40000, colour=0), chunk(b"IDAT", good_data))
    return out


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "data", "png", "bad")
    os.makedirs(out_dir, exist_ok=True)
    for name, data in samples().items():
        with open(os.path.join(out_dir, name + ".png"), "wb") as f:
            f.write(data)
        print(name)


if __name__ == "__main__":
    main()
