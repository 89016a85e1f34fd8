// The converting callbacks: used instead of the defaults when a load is
// asked to reduce depth, crop or resize. Each delivered source row is cut
// to the kept columns and scaled to the stored width once, then reduced and
// stored into every stored row it covers; the row map, the column map and
// the per-palette dither tables are built once at create, so the row work
// is table lookups.
#include <algorithm>
#include <array>
#include <cstring>

#include "LOAD/dfltldcb.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/fixed_palettes.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\LOAD\\dfltldcb_convert.cpp");

namespace rx {
namespace {

// Ordered-dither thresholds, [row mod 8][column mod 8]: A for reductions
// to 1 and 4 bits, B (a 0..31 spread) for the 3-3-2 cube.
constexpr uint8_t kMatrixA[64] = {
    4,   128, 32,  160, 8,   136, 40,  168, 192, 64,  224, 96,  200, 72,  232, 104,
    48,  176, 16,  144, 56,  184, 24,  152, 240, 112, 208, 80,  248, 120, 216, 88,
    12,  140, 44,  172, 4,   132, 36,  164, 204, 76,  236, 108, 196, 68,  228, 100,
    60,  188, 28,  156, 52,  180, 20,  148, 252, 124, 220, 92,  244, 116, 212, 84};
constexpr uint8_t kMatrixB[64] = {
    0,  16, 4,  20, 1,  17, 5,  21, 24, 8,  28, 12, 25, 9,  29, 13, 6,  22, 2,  18, 7,  23,
    3,  19, 30, 14, 26, 10, 31, 15, 27, 11, 1,  17, 5,  21, 0,  16, 4,  20, 25, 9,  29, 13,
    24, 8,  28, 12, 7,  23, 3,  19, 6,  22, 2,  18, 31, 15, 27, 11, 30, 14, 26, 10};

constexpr int32_t kDitherCells = 64;
constexpr int32_t kLutEntries = 256;
// Ordered dither leaves this margin around a threshold before a pixel
// turns black (1 bit) or takes the intensity bit (4 bits).
constexpr int32_t kDitherMargin = 40;

// The three terms of a 3-3-2 cube index for each threshold of matrix B and
// each component value; a component below the threshold adds nothing.
struct CubeTerms {
  uint8_t red[32][256];
  uint8_t green[32][256];
  uint8_t blue[32][256];
};

constexpr CubeTerms make_cube_terms() {
  CubeTerms c{};
  for (uint32_t t = 0; t < 32; ++t) {
    for (uint32_t v = 0; v < 256; ++v) {
      const uint32_t d = v - t;
      c.red[t][v] = static_cast<uint8_t>(v < t ? 0 : d & 0xE0);
      c.green[t][v] = static_cast<uint8_t>(v < t ? 0 : (d & 0xE0) >> 3);
      c.blue[t][v] = static_cast<uint8_t>(v < t ? 0 : d >> 6);
    }
  }
  return c;
}

constexpr CubeTerms kCube = make_cube_terms();
static_assert(kCube.red[0][255] == 0xE0 && kCube.green[0][255] == 0x1C && kCube.blue[0][255] == 3);
static_assert(kCube.red[31][30] == 0 && kCube.blue[31][255] == 3);

constexpr RX_RGBQUAD kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

enum class Reduce : uint8_t { kNone, kIndexedTo1, kIndexedTo4, kRgbTo1, kRgbTo4, kRgbTo8 };

// Luminance of a colour as the reductions weigh it.
constexpr int32_t luminance(uint32_t red, uint32_t green, uint32_t blue) {
  return static_cast<int32_t>((30 * red + 59 * green + 11 * blue) / 100);
}

// The part of the source that is kept, and the image it becomes.
struct Plan {
  int32_t left, top, width, height;  // kept source rectangle
  int32_t out_width, out_height, out_bits;
  Reduce reduce;
};

struct ConvertState {
  Plan plan;
  int32_t src_width, src_bits;
  bool src_runs;            // the reader delivers run rows
  uint32_t src_row_bytes;   // bytes a packed source row must have
  uint32_t out_stride;
  uint32_t pixel_bytes;     // of one scaled pixel: 1 (indexes), 2 or 3
  RX_RGBQUAD palette[256];  // the source palette
  int32_t* first;           // per kept source row: first stored row it fills
  int32_t* last;            // ... and the last
  uint8_t* filled;          // per stored row
  uint32_t* columns;        // per stored column: its source column
  uint8_t* expanded;        // a run row expanded to packed form
  uint8_t* pixels;          // the scaled row, one unpacked pixel per column
  uint8_t* packed;          // the row as stored
  uint8_t* lut;             // indexed sources: [cell][index] -> stored value
};

int32_t failed() { return RPb_AF_error_check(); }

// ---- Planning -------------------------------------------------------------------

// Only reductions that exist are chosen: a 16-bit source keeps its depth
// rather than have its rows copied unreduced into a smaller stored row.
int32_t stored_bits(int32_t mode, int32_t bits, Reduce* reduce) {
  const bool indexed = bits == 4 || bits == 8;
  *reduce = Reduce::kNone;
  if (mode == 1 && (indexed || bits == 24)) {
    *reduce = indexed ? Reduce::kIndexedTo1 : Reduce::kRgbTo1;
    return 1;
  }
  if (mode == 2 && (bits == 8 || bits == 24)) {
    *reduce = bits == 8 ? Reduce::kIndexedTo4 : Reduce::kRgbTo4;
    return 4;
  }
  if (mode == 3 && bits == 24) {
    *reduce = Reduce::kRgbTo8;
    return 8;
  }
  return bits;
}

// One side of the crop. A side of 0 keeps the whole extent (the crop is on
// when only the other side is set); a start past the end is pulled back so
// the rectangle ends at the source's edge.
void crop_side(int64_t start, int64_t size, int64_t extent, int32_t* out_start,
               int32_t* out_size) {
  const int64_t kept = size > 0 ? std::min(size, extent) : extent;
  int64_t at = std::max<int64_t>(start, 0);
  if (at + kept >= extent) at = extent - kept;
  *out_start = static_cast<int32_t>(at);
  *out_size = static_cast<int32_t>(kept);
}

Plan plan_of(LOAD_CB_DATA* data, const RX_BITMAPINFOHEADER& src) {
  Plan p{0, 0, src.biWidth, src.biHeight, 0, 0, 0, Reduce::kNone};
  if (data->crop_on != 0) {
    crop_side(data->crop_left, data->crop_width, src.biWidth, &p.left, &p.width);
    crop_side(data->crop_top, data->crop_height, src.biHeight, &p.top, &p.height);
    // The raster set filters rows by these even after its scratch is gone.
    data->crop_left = p.left;
    data->crop_top = p.top;
    data->crop_width = p.width;
    data->crop_height = p.height;
  }
  const bool resize = data->resize_on != 0;
  p.out_width = resize && data->resize_width > 0 ? data->resize_width : p.width;
  p.out_height = resize && data->resize_height > 0 ? data->resize_height : p.height;
  p.out_bits = stored_bits(data->conversion_mode, src.biBitCount, &p.reduce);
  return p;
}

RX_BITMAPINFOHEADER stored_header(const Plan& p, const RX_BITMAPINFOHEADER& src) {
  RX_BITMAPINFOHEADER h = src;
  h.biWidth = p.out_width;
  h.biHeight = p.out_height;
  h.biBitCount = static_cast<uint16_t>(p.out_bits);
  if (p.out_bits == 1) h.biCompression = RX_BI_RUNS;
  else if (p.out_bits != src.biBitCount) h.biCompression = RX_BI_RGB;
  h.biSizeImage = 0;
  return h;
}

const RX_RGBQUAD* stored_palette(const Plan& p, const RX_RGBQUAD* source) {
  switch (p.reduce) {
    case Reduce::kIndexedTo1:
    case Reduce::kRgbTo1: return kBlackWhite;
    case Reduce::kIndexedTo4:
    case Reduce::kRgbTo4: return kPalette16.data();
    case Reduce::kRgbTo8: return kPalette332.data();
    case Reduce::kNone: break;
  }
  return source;
}

// ---- Maps and tables ----------------------------------------------------------------

void* scratch_alloc(LOAD_CB_DATA* data, uint64_t bytes) {
  void* block = RPb_AF_mem_alloc(data->tag, static_cast<size_t>(std::max<uint64_t>(bytes, 1)));
  if (block == nullptr)
    RX_ERR(RXE_MEMORY_ALLOC_FAILED, std::min<uint64_t>(bytes, 0x7FFFFFFF), 0);
  return block;
}

// Nearest neighbour in 16.16 fixed point, in 64 bits so that wide sources
// do not wrap.
void columns_build(ConvertState* s) {
  const Plan& p = s->plan;
  const uint64_t step = (static_cast<uint64_t>(p.width) << 16) / static_cast<uint64_t>(p.out_width);
  const auto widest = static_cast<uint64_t>(p.width - 1);
  for (int32_t x = 0; x < p.out_width; ++x)
    s->columns[x] = static_cast<uint32_t>(p.left + std::min((x * step) >> 16, widest));
}

// Entry k of the map is k x (stored height / source height), truncated,
// accumulated in floating point; a source row covers its entry up to the
// next larger entry less one, so enlarging repeats rows and shrinking lets
// several source rows share one stored row. The closing entry is the
// stored height itself: the sum can fall just short of it (6 rows to 13
// add up to 12.999...), which would leave the last stored row unfilled.
void rows_build(ConvertState* s, int32_t* map) {
  const Plan& p = s->plan;
  const double step = static_cast<double>(p.out_height) / p.height;
  double at = 0.0;
  for (int32_t k = 0; k < p.height; ++k) {
    map[k] = static_cast<int32_t>(std::min(at, static_cast<double>(p.out_height)));
    at += step;
  }
  map[p.height] = p.out_height;
  int32_t next_larger = p.out_height;
  for (int32_t k = p.height - 1; k >= 0; --k) {
    if (map[k + 1] > map[k]) next_larger = map[k + 1];
    s->first[k] = std::min(map[k], p.out_height - 1);
    s->last[k] = std::max(s->first[k], std::min(next_larger - 1, p.out_height - 1));
  }
}

// Per palette entry and dither cell, the stored value: the whole reduction
// of an indexed pixel becomes one lookup.
void lut_build(ConvertState* s) {
  const uint32_t entries = 1u << s->src_bits;
  for (int32_t cell = 0; cell < kDitherCells; ++cell) {
    const int32_t t = kMatrixA[cell];
    uint8_t* out = s->lut + cell * kLutEntries;
    for (uint32_t i = 0; i < entries; ++i) {
      const RX_RGBQUAD& q = s->palette[i];
      const int32_t y = luminance(q.rgbRed, q.rgbGreen, q.rgbBlue);
      if (s->plan.reduce == Reduce::kIndexedTo1) {
        out[i] = y < t - kDitherMargin ? 0 : 1;
      } else {
        out[i] = static_cast<uint8_t>(8 * (y > t + kDitherMargin) + 4 * (q.rgbRed > t) +
                                      2 * (q.rgbGreen > t) + (q.rgbBlue > t));
      }
    }
  }
}

uint32_t unpacked_bytes(int32_t bits) { return bits <= 8 ? 1 : static_cast<uint32_t>(bits / 8); }

bool indexed_reduction(Reduce r) { return r == Reduce::kIndexedTo1 || r == Reduce::kIndexedTo4; }

void state_describe(ConvertState* s, const Plan& p, const RX_BITMAPINFOHEADER& src,
                    const RX_RGBQUAD* palette) {
  std::memset(s, 0, sizeof *s);
  s->plan = p;
  s->src_width = src.biWidth;
  s->src_bits = src.biBitCount;
  s->src_runs = src.biBitCount == 1 && src.biCompression == RX_BI_RUNS;
  s->src_row_bytes = static_cast<uint32_t>(
      (uint64_t{src.biBitCount} * static_cast<uint64_t>(src.biWidth) + 7) / 8);
  s->out_stride = static_cast<uint32_t>(dib_stride(p.out_bits, p.out_width));
  s->pixel_bytes = unpacked_bytes(s->src_bits);
  if (s->src_bits <= 8 && palette != nullptr)
    std::memcpy(s->palette, palette, (size_t{1} << s->src_bits) * sizeof(RX_RGBQUAD));
}

template <typename T>
bool buffer(LOAD_CB_DATA* data, T** out, uint64_t count) {
  *out = static_cast<T*>(scratch_alloc(data, count * sizeof(T)));
  return *out != nullptr;
}

// Every buffer is sized once here from checked geometry; the row work
// allocates nothing.
bool state_buffers(LOAD_CB_DATA* data, ConvertState* s, int32_t** map) {
  const Plan& p = s->plan;
  const auto rows = static_cast<uint64_t>(p.height);
  const auto width = static_cast<uint64_t>(p.out_width);
  return buffer(data, map, rows + 1) && buffer(data, &s->first, rows) &&
         buffer(data, &s->last, rows) &&
         buffer(data, &s->filled, static_cast<uint64_t>(p.out_height)) &&
         buffer(data, &s->columns, width) && buffer(data, &s->pixels, width * s->pixel_bytes) &&
         buffer(data, &s->packed, s->out_stride) &&
         (!s->src_runs || buffer(data, &s->expanded, dib_stride(1, s->src_width))) &&
         (!indexed_reduction(p.reduce) || buffer(data, &s->lut, kDitherCells * kLutEntries));
}

ConvertState* state_create(LOAD_CB_DATA* data, const Plan& p, const RX_BITMAPINFOHEADER& src,
                           const RX_RGBQUAD* palette) {
  ConvertState* s = nullptr;
  int32_t* map = nullptr;
  if (!buffer(data, &s, 1)) return nullptr;
  state_describe(s, p, src, palette);
  if (!state_buffers(data, s, &map)) return nullptr;
  std::memset(s->filled, 0, static_cast<size_t>(p.out_height));
  rows_build(s, map);
  RPb_AF_mem_free(data->tag, map);
  columns_build(s);
  if (indexed_reduction(p.reduce)) lut_build(s);
  return s;
}

// ---- Row work ----------------------------------------------------------------------

void gather(const ConvertState* s, const uint8_t* src) {
  const int32_t n = s->plan.out_width;
  const uint32_t* col = s->columns;
  uint8_t* out = s->pixels;
  switch (s->src_bits) {
    case 1:
      for (int32_t x = 0; x < n; ++x) out[x] = (src[col[x] >> 3] >> (7 - (col[x] & 7))) & 1;
      break;
    case 4:
      for (int32_t x = 0; x < n; ++x)
        out[x] = (src[col[x] >> 1] >> ((col[x] & 1) != 0 ? 0 : 4)) & 15;
      break;
    case 8:
      for (int32_t x = 0; x < n; ++x) out[x] = src[col[x]];
      break;
    default:
      for (int32_t x = 0; x < n; ++x)
        std::memcpy(out + size_t{s->pixel_bytes} * x, src + size_t{s->pixel_bytes} * col[x],
                    s->pixel_bytes);
      break;
  }
}

// Packs one value per column, most significant bits first; padding is 0.
template <typename Value>
void pack1(uint8_t* out, uint32_t stride, int32_t width, Value value) {
  std::memset(out, 0, stride);
  for (int32_t x = 0; x < width; ++x)
    out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | value(x) << (7 - (x & 7)));
}

template <typename Value>
void pack4(uint8_t* out, uint32_t stride, int32_t width, Value value) {
  std::memset(out, 0, stride);
  for (int32_t x = 0; x < width; ++x)
    out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | value(x) << ((x & 1) != 0 ? 0 : 4));
}

void pack_unreduced(const ConvertState* s) {
  const uint8_t* px = s->pixels;
  const int32_t n = s->plan.out_width;
  switch (s->src_bits) {
    case 1: pack1(s->packed, s->out_stride, n, [px](int32_t x) { return px[x]; }); break;
    case 4: pack4(s->packed, s->out_stride, n, [px](int32_t x) { return px[x]; }); break;
    default:
      std::memset(s->packed, 0, s->out_stride);
      std::memcpy(s->packed, px, size_t{s->pixel_bytes} * static_cast<uint32_t>(n));
      break;
  }
}

// Reduces the scaled row for stored row `target` (whose number anchors the
// dither pattern) into the packed row.
void reduce_row(const ConvertState* s, int32_t target) {
  const uint8_t* px = s->pixels;
  const int32_t n = s->plan.out_width;
  const int32_t cell_row = (target & 7) * 8;
  const uint8_t* a = kMatrixA + cell_row;
  const uint8_t* b = kMatrixB + cell_row;
  const uint8_t* lut = s->lut != nullptr ? s->lut + cell_row * kLutEntries : nullptr;
  const auto y_of = [px](int32_t x) { return luminance(px[3 * x + 2], px[3 * x + 1], px[3 * x]); };
  switch (s->plan.reduce) {
    case Reduce::kNone: pack_unreduced(s); break;
    case Reduce::kIndexedTo1:
      pack1(s->packed, s->out_stride, n,
            [px, lut](int32_t x) { return lut[(x & 7) * kLutEntries + px[x]]; });
      break;
    case Reduce::kIndexedTo4:
      pack4(s->packed, s->out_stride, n,
            [px, lut](int32_t x) { return lut[(x & 7) * kLutEntries + px[x]]; });
      break;
    case Reduce::kRgbTo1:
      pack1(s->packed, s->out_stride, n,
            [a, y_of](int32_t x) { return y_of(x) < a[x & 7] - kDitherMargin ? 0 : 1; });
      break;
    case Reduce::kRgbTo4:
      pack4(s->packed, s->out_stride, n, [px, a, y_of](int32_t x) {
        const int32_t t = a[x & 7];
        const uint8_t* p = px + 3 * x;
        return 8 * (y_of(x) > t + kDitherMargin) + 4 * (p[2] > t) + 2 * (p[1] > t) + (p[0] > t);
      });
      break;
    case Reduce::kRgbTo8:
      std::memset(s->packed, 0, s->out_stride);
      for (int32_t x = 0; x < n; ++x) {
        const uint8_t* p = px + 3 * x;
        const uint32_t t = b[x & 7];
        s->packed[x] = static_cast<uint8_t>(kCube.red[t][p[2]] + kCube.green[t][p[1]] +
                                            kCube.blue[t][p[0]]);
      }
      break;
  }
}

int32_t store(LOAD_CB_DATA* data, IMAGE_REC* record, const ConvertState* s, int32_t target) {
  const int32_t dib_row = s->plan.out_height - 1 - target;
  if (s->plan.out_bits != 1) {
    std::memcpy(dib_pixels(record->dib) + size_t{s->out_stride} * dib_row, s->packed,
                s->out_stride);
    return 0;
  }
  return load_packed_runs_store(data, record, dib_row, s->packed);
}

// The source row in packed form: run rows are checked and expanded first.
const uint8_t* source_row(const ConvertState* s, const uint8_t* row, int32_t bytes,
                          int32_t index) {
  if (!s->src_runs) {
    if (bytes >= 0 && static_cast<uint32_t>(bytes) >= s->src_row_bytes) return row;
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, bytes, s->src_row_bytes);
    return nullptr;
  }
  const auto width = static_cast<uint32_t>(s->src_width);
  if (bytes < 0 || run_row_check(row, static_cast<size_t>(bytes), width) == 0) {
    RX_ERR(RXE_COMPRESSION_ERROR, index, bytes);
    return nullptr;
  }
  run_row_expand(row, width, s->expanded, static_cast<uint32_t>(dib_stride(1, width)));
  return s->expanded;
}

int32_t rows_fill(LOAD_CB_DATA* data, IMAGE_REC* record, ConvertState* s, const uint8_t* src,
                  int32_t index) {
  bool scaled = false;
  for (int32_t t = s->first[index]; t <= s->last[index]; ++t) {
    if (s->filled[t] != 0) continue;
    if (!scaled) gather(s, src);
    scaled = true;
    s->filled[t] = 1;
    reduce_row(s, t);
    const int32_t code = store(data, record, s, t);
    if (code != 0) return code;
  }
  return 0;
}

// Once every kept source row has come, the scratch goes and a runs image is
// packed; rows that still arrive (outside the crop, or repeated) find
// nothing to do.
void source_row_counted(LOAD_CB_DATA* data, IMAGE_REC* record, const ConvertState* s) {
  if (++data->rows_received != s->plan.height) return;
  if (dib_is_runs(record->dib)) runs_finish(record);
  load_scratch_free(data);
}

// False for a row the crop passes over; otherwise `index` is the row within
// the kept rectangle, still to be checked against it when nothing is
// cropped. The crop is compared before subtracting, so a reader's
// arbitrary row index cannot overflow.
bool kept_index(const LOAD_CB_DATA* data, int32_t row_index, int32_t* index) {
  *index = row_index;
  if (data->crop_on == 0) return true;
  if (row_index < data->crop_top || row_index - data->crop_top >= data->crop_height) return false;
  *index = row_index - data->crop_top;
  return true;
}

}  // namespace

int32_t load_dib_create_convert(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                const RX_RGBQUAD* palette) {
  auto* data = io != nullptr ? reinterpret_cast<LOAD_CB_DATA*>(io->cb_data[RX_CBD_DIB_CREATE])
                             : nullptr;
  if (data == nullptr || header == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return failed();
  }
  RX_BITMAPINFOHEADER src = *header;
  if (src.biBitCount == 1 && src.biCompression != RX_BI_RUNS) src.biCompression = RX_BI_RGB;
  if (dib_header_check(src, nullptr) != 0) return failed();
  const Plan p = plan_of(data, src);
  const RX_BITMAPINFOHEADER stored = stored_header(p, src);
  if (dib_header_check(stored, nullptr) != 0) return failed();
  if (load_image_create(data, stored, stored_palette(p, palette), src.biXPelsPerMeter,
                        src.biYPelsPerMeter) != 0)
    return failed();
  data->scratch = state_create(data, p, src, palette);
  return failed();
}

int32_t load_raster_set_convert(IO_REC* io, const uint8_t* row, int32_t row_index,
                                int32_t byte_count) {
  auto* data = io != nullptr ? reinterpret_cast<LOAD_CB_DATA*>(io->cb_data[RX_CBD_RASTER_SET])
                             : nullptr;
  if (data == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, row_index, 0);
    return failed();
  }
  IMAGE_REC* record = load_image(data);
  if (record == nullptr) {
    RX_ERR(RXE_DIB_POINTER_NULL, row_index, 0);
    return failed();
  }
  int32_t index = 0;
  if (!kept_index(data, row_index, &index)) return 0;
  auto* s = static_cast<ConvertState*>(data->scratch);
  if (s == nullptr) return failed();
  if (index < 0 || index >= s->plan.height || row == nullptr) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, row_index, s->plan.height);
    return failed();
  }
  const uint8_t* src = source_row(s, row, byte_count, row_index);
  if (src == nullptr) return failed();
  if (!load_status_continue(data, s->plan.out_height - 1 - s->first[index], s->plan.out_height))
    return failed();
  record = load_image(data);
  if (record == nullptr) {
    RX_ERR(RXE_DIB_POINTER_NULL, row_index, 0);
    return failed();
  }
  if (rows_fill(data, record, s, src, index) == 0) source_row_counted(data, record, s);
  return failed();
}

int32_t load_stored_rows(const LOAD_CB_DATA* data, int32_t row_index, int32_t* first) {
  const IMAGE_REC* record = load_image(data);
  if (record == nullptr) return 0;
  const bool converting = data->conversion_mode != 0 || data->crop_on != 0 || data->resize_on != 0;
  if (!converting) {
    if (row_index < 0 || row_index >= dib_header(record->dib)->biHeight) return 0;
    *first = row_index;
    return 1;
  }
  int32_t index = 0;
  const auto* s = static_cast<const ConvertState*>(data->scratch);
  if (!kept_index(data, row_index, &index) || s == nullptr || index < 0 || index >= s->plan.height)
    return 0;
  *first = s->first[index];
  return s->last[index] - s->first[index] + 1;
}

}  // namespace rx
