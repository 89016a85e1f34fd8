#include "filters/codecs/ccitt_harness.h"

#include <cstring>
#include <random>

#include "IO/io_rec.h"
#include "rastrix/rpb.h"

namespace ccitt_test {

std::vector<uint8_t> bits(const std::string& text) {
  std::vector<uint8_t> out;
  uint32_t n = 0;
  for (char c : text) {
    if (c != '0' && c != '1') continue;
    if (n % 8 == 0) out.push_back(0);
    if (c == '1') out.back() |= static_cast<uint8_t>(0x80 >> (n % 8));
    ++n;
  }
  return out;
}

std::string bit_string(const std::vector<uint8_t>& bytes) {
  std::string s;
  for (uint8_t b : bytes) {
    for (int k = 7; k >= 0; --k) s += ((b >> k) & 1) ? '1' : '0';
    s += ' ';
  }
  return s;
}

Picture::Picture(uint32_t w, uint32_t h) : width(w), rows(h, std::vector<uint8_t>((w + 31) / 32 * 4)) {}

uint32_t Picture::stride() const { return (width + 31) / 32 * 4; }

bool Picture::get(uint32_t x, uint32_t y) const { return (rows[y][x / 8] >> (7 - x % 8)) & 1; }

void Picture::set(uint32_t x, uint32_t y, bool on) {
  const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
  if (on) rows[y][x / 8] |= bit;
  else rows[y][x / 8] &= static_cast<uint8_t>(~bit);
}

void Picture::span(uint32_t y, uint32_t from, uint32_t to) {
  for (uint32_t x = from; x < to; ++x) set(x, y, true);
}

Picture Picture::tidy() const {
  Picture p = *this;
  for (auto& r : p.rows)
    for (uint32_t x = width; x < stride() * 8; ++x) r[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
  return p;
}

Picture Picture::inverted() const {
  Picture p = *this;
  for (auto& r : p.rows)
    for (auto& b : r) b = static_cast<uint8_t>(~b);
  return p.tidy();
}

bool Picture::operator==(const Picture& o) const {
  return width == o.width && tidy().rows == o.tidy().rows;
}

Picture text_page(uint32_t width, uint32_t height, uint32_t seed) {
  Picture p(width, height);
  for (auto& r : p.rows) std::fill(r.begin(), r.end(), 0xFF);  // white paper
  std::mt19937 rng(seed);
  const uint32_t margin = width / 12;
  const uint32_t line = 50, glyph_h = 30, glyph_w = 22;
  for (uint32_t top = height / 14; top + line < height - height / 14; top += line) {
    uint32_t x = margin;
    while (x + glyph_w < width - margin) {
      if (rng() % 7 == 0) {  // a space
        x += glyph_w;
        continue;
      }
      // A glyph: a few vertical and horizontal strokes 3 pixels thick.
      const uint32_t strokes = 2 + rng() % 3;
      for (uint32_t s = 0; s < strokes; ++s) {
        if (rng() % 2) {
          const uint32_t cx = x + rng() % (glyph_w - 4);
          for (uint32_t y = top; y < top + glyph_h; ++y)
            for (uint32_t k = 0; k < 3; ++k) p.set(cx + k, y, false);
        } else {
          const uint32_t cy = top + rng() % (glyph_h - 3);
          for (uint32_t k = 0; k < 3; ++k)
            for (uint32_t xx = x; xx < x + glyph_w - 4; ++xx) p.set(xx, cy + k, false);
        }
      }
      x += glyph_w + 4;
    }
  }
  return p.tidy();
}

Picture noise(uint32_t width, uint32_t height, uint32_t percent, uint32_t seed) {
  Picture p(width, height);
  std::mt19937 rng(seed);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) p.set(x, y, rng() % 100 < percent);
  return p;
}

namespace {

struct Source {
  const Picture* picture;
};

int32_t raster_get(IO_REC* io, uint8_t* row, int32_t index, int32_t count) {
  const auto* s = reinterpret_cast<const Source*>(io->cb_data[RX_CBD_RASTER_GET]);
  const auto& r = s->picture->rows.at(static_cast<size_t>(index));
  std::memset(row, 0, static_cast<size_t>(count));
  std::memcpy(row, r.data(), std::min<size_t>(r.size(), static_cast<size_t>(count)));
  return 0;
}

int32_t raster_set(IO_REC* io, const uint8_t* row, int32_t index, int32_t count) {
  auto* d = reinterpret_cast<Decoded*>(io->cb_data[RX_CBD_RASTER_SET]);
  d->indexes.push_back(index);
  d->rows.emplace_back(row, row + count);
  return 0;
}

}  // namespace

std::vector<uint8_t> encode(const Picture& p, const rx::CcittEncodeParams& params, int32_t* code) {
  std::vector<uint8_t> block(1 << 24);
  IO_REC io;
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.data(), static_cast<int32_t>(block.size()), 0);
  Source s{&p};
  io.raster_get = raster_get;
  io.cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(&s);
  RX_BITMAPINFOHEADER h{40, static_cast<int32_t>(p.width), static_cast<int32_t>(p.rows.size()),
                        1, 1, 0, 0, 0, 0, 2, 2};
  uint64_t written = 0;
  const int32_t c = rx::ccitt_encode(&io, params, h, 0, static_cast<int32_t>(p.rows.size()), &written);
  if (code != nullptr) *code = c;
  block.resize(static_cast<size_t>(rx::io_data_length_get(&io)));
  return block;
}

Decoded decode(const std::vector<uint8_t>& data, uint32_t width, int32_t rows,
               rx::CcittDecodeParams params) {
  Decoded d;
  IO_REC io{};
  io.raster_set = raster_set;
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&d);
  params.width = width;
  params.rows = rows;
  d.code = rx::ccitt_decode(&io, params, data.data(), static_cast<uint32_t>(data.size()), nullptr,
                            &d.result);
  return d;
}

Picture Decoded::picture(uint32_t width) const {
  Picture p(width, static_cast<uint32_t>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    std::memcpy(p.rows[y].data(), rows[y].data(), std::min(rows[y].size(), p.rows[y].size()));
  return p;
}

std::vector<uint16_t> run_values(const std::vector<uint8_t>& run_row) {
  std::vector<uint16_t> v(run_row.size() / 2);
  std::memcpy(v.data(), run_row.data(), v.size() * 2);
  return v;
}

}  // namespace ccitt_test
