// Resizing 4-, 8-, 16- and 24-bit images. Replicate copies whole pixels;
// the average and bilinear methods work per sample: a byte of an 8- or
// 24-bit pixel, a channel of a 16-bit pixel as its masks give it (a grey
// 16-bit pixel is one sample).
#include <algorithm>
#include <cstring>

#include "IMG_PROC/resize.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\IMG_PROC\\resize_samples.cpp");

namespace rx::ip {
namespace {

template <class T>
T* scratch_array(TagGuard& scratch, uint64_t count) {
  const uint64_t bytes = count * sizeof(T);
  void* p = bytes <= SIZE_MAX ? scratch.alloc(static_cast<size_t>(bytes)) : nullptr;
  if (p == nullptr) RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(bytes, INT32_MAX), 0);
  return static_cast<T*>(p);
}

// Calls the status callback for destination row y; false once stopped.
bool row_done(const Progress& progress, int32_t y, int32_t rows) {
  if (progress.go_on(y, rows)) return true;
  push_interrupted(y, rows);
  return false;
}

// ---- Replicate ----------------------------------------------------------------

// Whole pixels of P bytes gathered through a table of source byte offsets;
// a destination row that takes the same source row as the one above is a
// copy of it. 24-bit pixels move as 32-bit words, each writing one byte of
// the next pixel, which that pixel then overwrites: as long as the word
// read stays inside the source row and the word written is not the row's
// last, no byte outside the image moves.
template <uint32_t P>
bool gather(IMAGE_REC* record, NewDib& out, const Scale& s, const uint32_t* offsets,
            const int32_t* rows) {
  const Progress progress;
  const auto n = static_cast<size_t>(s.new_width);
  const uint32_t source_stride = dib_stride_of(dib_header(record->dib));
  // Offsets only grow: the pixels read by words are a leading run.
  size_t by_words = n > 0 ? n - 1 : 0;
  while (by_words > 0 && offsets[by_words - 1] + 4 > source_stride) --by_words;
  for (int32_t y = 0; y < s.new_height; ++y) {
    uint8_t* d = out.row(y);
    if (y > 0 && rows[y] == rows[y - 1]) {
      std::memcpy(d, out.row(y - 1), n * P);
    } else {
      const uint8_t* src = dib_image_row(record->dib, rows[y]);
      size_t x = 0;
      if constexpr (P == 3) {
        for (; x < by_words; ++x, d += 3) {
          uint32_t word;
          std::memcpy(&word, src + offsets[x], 4);
          std::memcpy(d, &word, 4);
        }
      }
      for (; x < n; ++x, d += P) std::memcpy(d, src + offsets[x], P);
    }
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

bool gather_nibbles(IMAGE_REC* record, NewDib& out, const Scale& s, const int32_t* columns,
                    const int32_t* rows) {
  const Progress progress;
  const auto n = static_cast<uint32_t>(s.new_width);
  for (int32_t y = 0; y < s.new_height; ++y) {
    const uint8_t* src = dib_image_row(record->dib, rows[y]);
    uint8_t* d = out.row(y);
    for (uint32_t x = 0; x < n; ++x) {
      const auto c = static_cast<uint32_t>(columns[x]);
      const uint32_t v = (c & 1) ? src[c >> 1] & 15u : src[c >> 1] >> 4;
      d[x >> 1] = static_cast<uint8_t>((x & 1) ? (d[x >> 1] & 0xF0u) | v : v << 4);
    }
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

bool replicate(IMAGE_REC* record, NewDib& out, const Scale& s) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  TagGuard scratch;
  auto* columns = scratch_array<int32_t>(scratch, static_cast<uint64_t>(s.new_width));
  auto* rows = scratch_array<int32_t>(scratch, static_cast<uint64_t>(s.new_height));
  if (columns == nullptr || rows == nullptr) return false;
  if (bits == 4 || bits == 16) {
    for (int32_t x = 0; x < s.new_width; ++x)
      columns[x] = rounded_position(x, s.h_ratio, s.width);
    for (int32_t y = 0; y < s.new_height; ++y)
      rows[y] = rounded_position(y, s.v_ratio, s.height);
  } else {
    Accumulated across(s.h_ratio, s.width), down(s.v_ratio, s.height);
    for (int32_t x = 0; x < s.new_width; ++x) columns[x] = across.next();
    for (int32_t y = 0; y < s.new_height; ++y) rows[y] = down.next();
  }
  if (bits == 4) return gather_nibbles(record, out, s, columns, rows);
  // The byte offsets of the source pixels, in place of their columns.
  auto* offsets = reinterpret_cast<uint32_t*>(columns);
  const uint32_t bytes = bits / 8;
  for (int32_t x = 0; x < s.new_width; ++x) offsets[x] = static_cast<uint32_t>(columns[x]) * bytes;
  if (bits == 8) return gather<1>(record, out, s, offsets, rows);
  if (bits == 16) return gather<2>(record, out, s, offsets, rows);
  return gather<3>(record, out, s, offsets, rows);
}

// ---- Samples ----------------------------------------------------------------------

// How the samples of a row are read and written: 8- and 24-bit rows are
// their own samples; 16-bit rows are split into channels by their masks.
struct Channels16 {
  int32_t count;
  uint32_t mask[3];
  uint32_t shift[3];
};

uint32_t low_zero_bits(uint32_t mask) {
  uint32_t n = 0;
  while (n < 32 && ((mask >> n) & 1u) == 0) ++n;
  return n < 32 ? n : 0;
}

Channels16 channels_of(const void* dib) {
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  if (h->biCompression == RX_BI_GRAY16) return Channels16{1, {0xFFFF, 0, 0}, {0, 0, 0}};
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (h->biCompression == RX_BI_BITFIELDS) std::memcpy(masks, dib_masks(dib), sizeof masks);
  Channels16 c{3, {}, {}};
  for (int i = 0; i < 3; ++i) {
    c.mask[i] = masks[i] & 0xFFFFu;
    c.shift[i] = low_zero_bits(c.mask[i]);
  }
  return c;
}

void unpack16(const uint8_t* row, uint32_t width, const Channels16& ch, uint16_t* out) {
  for (uint32_t x = 0; x < width; ++x) {
    uint16_t v;
    std::memcpy(&v, row + 2 * size_t{x}, sizeof v);
    for (int32_t c = 0; c < ch.count; ++c)
      *out++ = static_cast<uint16_t>((v & ch.mask[c]) >> ch.shift[c]);
  }
}

void pack16(const uint16_t* in, uint32_t width, const Channels16& ch, uint8_t* row) {
  for (uint32_t x = 0; x < width; ++x) {
    uint32_t v = 0;
    for (int32_t c = 0; c < ch.count; ++c) v |= (uint32_t{*in++} << ch.shift[c]) & ch.mask[c];
    const auto w = static_cast<uint16_t>(v);
    std::memcpy(row + 2 * size_t{x}, &w, sizeof w);
  }
}

// Two cached rows; a miss replaces the one not handed out last, so the two
// rows of one destination row are both valid.
template <class T>
class RowPair {
 public:
  T* slot[2] = {nullptr, nullptr};
  template <class Fill>
  const T* get(int32_t key, Fill&& fill) {
    for (int i = 0; i < 2; ++i)
      if (key_[i] == key) {
        last_ = i;
        return slot[i];
      }
    last_ ^= 1;
    key_[last_] = key;
    fill(slot[last_]);
    return slot[last_];
  }

 private:
  int32_t key_[2] = {-1, -1};
  int last_ = 1;
};

// The source rows and destination rows of one resize as sample arrays.
template <class T>
class SampleIo {
 public:
  SampleIo(IMAGE_REC* record, NewDib& out, const Scale& s, TagGuard& scratch)
      : record_(record), out_(out), width_(static_cast<uint32_t>(s.width)),
        new_width_(static_cast<uint32_t>(s.new_width)) {
    if constexpr (sizeof(T) == 2) {
      ch_ = channels_of(record->dib);
      channels_ = ch_.count;
      for (auto& p : rows_.slot) p = scratch_array<uint16_t>(scratch, uint64_t{width_} * channels_);
      line_ = scratch_array<uint16_t>(scratch, uint64_t{new_width_} * channels_);
      ok_ = rows_.slot[0] != nullptr && rows_.slot[1] != nullptr && line_ != nullptr;
    } else {
      channels_ = dib_header(record->dib)->biBitCount / 8;
    }
  }
  bool ok() const { return ok_; }
  int32_t channels() const { return channels_; }
  const T* source(int32_t y) {
    if constexpr (sizeof(T) == 2) {
      return rows_.get(y, [&](uint16_t* buffer) {
        unpack16(dib_image_row(record_->dib, y), width_, ch_, buffer);
      });
    } else {
      return dib_image_row(record_->dib, y);
    }
  }
  T* line(int32_t y) {
    if constexpr (sizeof(T) == 2) return line_;
    else return out_.row(y);
  }
  void line_done(int32_t y) {
    if constexpr (sizeof(T) == 2) pack16(line_, new_width_, ch_, out_.row(y));
  }

 private:
  IMAGE_REC* record_;
  NewDib& out_;
  uint32_t width_, new_width_;
  int32_t channels_ = 1;
  Channels16 ch_{};
  RowPair<uint16_t> rows_;
  uint16_t* line_ = nullptr;
  bool ok_ = true;
};

// ---- Four-corner average --------------------------------------------------------

template <class T>
bool average(IMAGE_REC* record, NewDib& out, const Scale& s) {
  TagGuard scratch;
  SampleIo<T> io(record, out, s, scratch);
  auto* xs = scratch_array<Corners>(scratch, static_cast<uint64_t>(s.new_width));
  if (!io.ok() || xs == nullptr) return false;
  const auto c = static_cast<uint32_t>(io.channels());
  for (int32_t x = 0; x < s.new_width; ++x) {
    xs[x] = corners_at(x, s.h_ratio, s.width);
    xs[x].first *= c;
    xs[x].second *= c;
  }
  const Progress progress;
  for (int32_t y = 0; y < s.new_height; ++y) {
    const Corners ys = corners_at(y, s.v_ratio, s.height);
    const T* a = io.source(ys.first);
    const T* b = io.source(ys.second);
    T* o = io.line(y);
    for (int32_t x = 0; x < s.new_width; ++x) {
      const uint32_t i0 = xs[x].first, i1 = xs[x].second;
      for (uint32_t k = 0; k < c; ++k)
        *o++ = static_cast<T>((uint32_t{a[i0 + k]} + a[i1 + k] + b[i0 + k] + b[i1 + k]) >> 2);
    }
    io.line_done(y);
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

// ---- Bilinear ----------------------------------------------------------------------

// Each source row is interpolated across once into doubles, kept for the
// destination rows that share it; the vertical step then combines two such
// rows. The arithmetic is the same as interpolating each pixel on its own.
template <class T>
bool bilinear(IMAGE_REC* record, NewDib& out, const Scale& s) {
  TagGuard scratch;
  SampleIo<T> io(record, out, s, scratch);
  const auto c = static_cast<uint32_t>(io.channels());
  const uint64_t samples = uint64_t(static_cast<uint32_t>(s.new_width)) * c;
  auto* xs = scratch_array<Between>(scratch, static_cast<uint64_t>(s.new_width));
  RowPair<double> across;
  for (auto& p : across.slot) p = scratch_array<double>(scratch, samples);
  if (!io.ok() || xs == nullptr || across.slot[0] == nullptr || across.slot[1] == nullptr)
    return false;
  for (int32_t x = 0; x < s.new_width; ++x) {
    xs[x] = between_at(x, s.h_ratio, s.width);
    xs[x].first *= static_cast<int32_t>(c);
    xs[x].second *= static_cast<int32_t>(c);
  }
  auto interpolate = [&](int32_t j, double* d) {
    const T* p = io.source(j);
    for (int32_t x = 0; x < s.new_width; ++x) {
      const uint32_t i0 = static_cast<uint32_t>(xs[x].first);
      const uint32_t i1 = static_cast<uint32_t>(xs[x].second);
      const double f = xs[x].fraction;
      for (uint32_t k = 0; k < c; ++k) {
        const int32_t p0 = p[i0 + k];
        *d++ = p0 + (p[i1 + k] - p0) * f;
      }
    }
  };
  const Progress progress;
  for (int32_t y = 0; y < s.new_height; ++y) {
    const Between ys = between_at(y, s.v_ratio, s.height);
    const double* top = across.get(ys.first, [&](double* d) { interpolate(ys.first, d); });
    const double* bottom = across.get(ys.second, [&](double* d) { interpolate(ys.second, d); });
    const double fy = ys.fraction;
    T* o = io.line(y);
    for (uint64_t k = 0; k < samples; ++k) o[k] = static_cast<T>(top[k] + (bottom[k] - top[k]) * fy);
    io.line_done(y);
    if (!row_done(progress, y, s.new_height)) return false;
  }
  return true;
}

}  // namespace

bool resize_bytes(IMAGE_REC* record, NewDib& out, const Scale& s, int32_t method) {
  const uint32_t bits = dib_header(record->dib)->biBitCount;
  if (method == kReplicate) return replicate(record, out, s);
  if (bits == 16)
    return method == kAverage ? average<uint16_t>(record, out, s)
                              : bilinear<uint16_t>(record, out, s);
  return method == kAverage ? average<uint8_t>(record, out, s) : bilinear<uint8_t>(record, out, s);
}

}  // namespace rx::ip
