// Builds PNG files for the reader's tests from parts that zlib (the peer)
// compresses and checksums, and drives the filter through the recording
// stream of the BMP harness.
#pragma once

#include <zlib.h>

#include <string>
#include <vector>

#include "filters/bmp/bmp_harness.h"
#include "filters/png/png.h"

namespace pngt {

using Bytes = std::vector<uint8_t>;

inline void be32(Bytes& b, uint32_t v) {
  for (int k = 3; k >= 0; --k) b.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

inline Bytes chunk(const std::string& type, const Bytes& data) {
  Bytes c;
  be32(c, static_cast<uint32_t>(data.size()));
  c.insert(c.end(), type.begin(), type.end());
  c.insert(c.end(), data.begin(), data.end());
  be32(c, static_cast<uint32_t>(crc32(0, c.data() + 4, static_cast<uInt>(c.size() - 4))));
  return c;
}

inline Bytes zlib_stream(const Bytes& raw, int level) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes z(size);
  compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level);
  z.resize(size);
  return z;
}

inline const Bytes kSignature = {137, 'P', 'N', 'G', 13, 10, 26, 10};

struct File {
  uint32_t width = 5, height = 3;
  uint8_t depth = 8, colour = 2, interlace = 0;
  Bytes palette;             // PLTE data, written when not empty
  std::vector<Bytes> before;  // chunks between IHDR and PLTE (or IDAT)
  Bytes raw;                  // filtered rows; empty: filter 0 and bytes 1, 2, 3...
  int level = 6;
  size_t idat_piece = 0;      // split the zlib stream into IDATs of this size
  bool iend = true;

  Bytes ihdr_data() const {
    Bytes d;
    be32(d, width);
    be32(d, height);
    d.insert(d.end(), {depth, colour, 0, 0, interlace});
    return d;
  }
  Bytes rows() const {
    if (!raw.empty()) return raw;
    const size_t samples = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
    const size_t bytes = (width * samples * depth + 7) / 8;
    Bytes r;
    for (uint32_t y = 0; y < height; ++y) {
      r.push_back(0);
      for (size_t x = 0; x < bytes; ++x) r.push_back(static_cast<uint8_t>(1 + y * bytes + x));
    }
    return r;
  }
  Bytes build(const Bytes* zlib_data = nullptr) const {
    Bytes f = kSignature;
    auto add = [&](const Bytes& c) { f.insert(f.end(), c.begin(), c.end()); };
    add(chunk("IHDR", ihdr_data()));
    for (const Bytes& c : before) add(c);
    if (!palette.empty()) add(chunk("PLTE", palette));
    const Bytes z = zlib_data != nullptr ? *zlib_data : zlib_stream(rows(), level);
    const size_t piece = idat_piece == 0 ? z.size() : idat_piece;
    for (size_t at = 0; at < z.size() || at == 0; at += piece) {
      add(chunk("IDAT", Bytes(z.begin() + static_cast<ptrdiff_t>(at),
                              z.begin() + static_cast<ptrdiff_t>(std::min(z.size(), at + piece)))));
      if (z.empty()) break;
    }
    if (iend) add(chunk("IEND", {}));
    return f;
  }
};

// Offset of the first chunk of this type in a file.
inline size_t chunk_at(const Bytes& f, const std::string& type) {
  for (size_t pos = 8; pos + 8 <= f.size();) {
    const uint32_t length = bmpt::get(f, pos, 1) << 24 | bmpt::get(f, pos + 1, 1) << 16 |
                            bmpt::get(f, pos + 2, 1) << 8 | bmpt::get(f, pos + 3, 1);
    if (std::string(f.begin() + static_cast<ptrdiff_t>(pos + 4), f.begin() + static_cast<ptrdiff_t>(pos + 8)) == type)
      return pos;
    pos += 12 + length;
  }
  return std::string::npos;
}

}  // namespace pngt
