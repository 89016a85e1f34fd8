// The JPEG writer: a baseline sequential JFIF file, one frame, one scan,
// the example Huffman tables of T.81 Annex K. This file writes the marker
// segments and names every failure of the encoder (jpeg_write_fail); the
// scan itself lives in jpeg_bands.cpp with its kernels.
//
// Every header field is offered to an installed tag-get callback just
// before it is written, and what the callback leaves is what goes out. The
// scan is then laid out from the fields as written, so the data always
// matches its headers; fields the scan cannot honour (sampling factors,
// table selectors, zero quantisers) fail the save instead of producing a
// file no decoder can read.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/jpeg/jpeg.h"
#include "filters/jpeg/jpeg_encode.h"
#include "filters/jpeg/jpeg_bands.h"
#include "filters/jpeg/jpeg_tables.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\jpeg\\JPGWRITE.cpp");

namespace rx {
namespace {

constexpr char kComment[] = "Created by Orvanta Corp.";
constexpr int32_t kCommentChars = sizeof kComment - 1;
constexpr int32_t kUserSegmentMax = 65533;  // what a length word can describe
constexpr int32_t kMaxDimension = 65535;
constexpr int32_t kMaxBlocksInMcu = 10;     // T.81 limit for an interleaved scan
constexpr double kQualityBase = 384.0;
constexpr uint16_t kJfifVersion = 0x0100;
constexpr uint16_t kDefaultDpi = 96;

enum : uint8_t {
  kSoi = 0xD8, kEoi = 0xD9, kSof0 = 0xC0, kDht = 0xC4, kDqt = 0xDB, kSos = 0xDA,
  kCom = 0xFE, kApp0 = 0xE0, kApp1 = 0xE1
};
namespace tag = jpeg::tag;

// The sampling codes the writer knows: packed factor bytes of Y, Cb, Cr.
// 4x4 luma with 2x2 chroma would need 24 blocks per MCU, beyond what T.81
// allows in one interleaved scan; halving every factor gives the same
// sampling ratios in 6.
struct SamplingCode {
  uint32_t code;
  uint8_t bytes[3];
};
constexpr SamplingCode kSamplingCodes[] = {
    {0x111111, {0x11, 0x11, 0x11}}, {0x211111, {0x21, 0x11, 0x11}},
    {0x121111, {0x12, 0x11, 0x11}}, {0x221111, {0x22, 0x11, 0x11}},
    {0x222121, {0x22, 0x21, 0x21}}, {0x421111, {0x42, 0x11, 0x11}},
    {0x241111, {0x24, 0x11, 0x11}}, {0x411111, {0x41, 0x11, 0x11}},
    {0x141111, {0x14, 0x11, 0x11}}, {0x412121, {0x41, 0x21, 0x21}},
    {0x141212, {0x14, 0x12, 0x12}}, {0x442222, {0x22, 0x11, 0x11}}};

const uint8_t* sampling_bytes(uint32_t code) {
  for (const SamplingCode& s : kSamplingCodes)
    if (s.code == code) return s.bytes;
  return kSamplingCodes[0].bytes;
}

struct Encoder {
  IO_REC* io;
  uint32_t tag;
  JPEG_SAVE_OPTIONS* options;
  const RX_BITMAPINFOHEADER* header;
  const RX_RGBQUAD* palette;
  JPEG_WORK* work;
  JPEG_TABLE_POS* pos;
  bool offer;        // a tag-get callback is installed
  int32_t count;     // components: 1 grey, 3 colour
  int32_t data_start;
};

// ---- Output with checks ---------------------------------------------------

bool marker_put(Encoder& e, uint8_t code) {
  const uint16_t m = static_cast<uint16_t>(0xFF00 | code);
  const int32_t n = RPb_IO_word_write(e.io, &m);
  if (n == 2) return true;
  RX_ERR(RXE_CANT_WRITE_HEADER, 2, n);
  return false;
}

// ---- Tag exchange -------------------------------------------------------

void offer_byte(Encoder& e, int32_t id, uint8_t* v) {
  if (e.offer) RPb_IO_tag_byte_get(e.io, id, v);
}
void offer_word(Encoder& e, int32_t id, uint16_t* v) {
  if (e.offer) RPb_IO_tag_word_get(e.io, id, v);
}
void offer_area(Encoder& e, int32_t id, int32_t type, void* p, int32_t size) {
  if (!e.offer) return;
  int32_t t = type;
  RPb_IO_tag_get(e.io, id, &t, p, size);
}

// ---- Segments -----------------------------------------------------------

// A marker segment whose bytes are counted against its length word.
class Segment {
 public:
  explicit Segment(Encoder& e) : e_(e) {}
  bool start(uint8_t code, int32_t length) {
    length_ = length;
    if (!marker_put(e_, code)) return false;
    const auto word = static_cast<uint16_t>(length);
    const int32_t n = RPb_IO_word_write(e_.io, &word);
    count_ = n;
    if (n == 2) return true;
    RX_ERR(RXE_CANT_WRITE_HEADER, 2, n);
    return false;
  }
  void byte(uint8_t b) { count_ += RPb_IO_byte_write(e_.io, &b); }
  void word(uint16_t w) { count_ += RPb_IO_word_write(e_.io, &w); }
  // Offers a field to the application, then writes what it left there.
  void offered_byte(int32_t id, uint8_t* v) {
    offer_byte(e_, id, v);
    byte(*v);
  }
  void offered_word(int32_t id, uint16_t* v) {
    offer_word(e_, id, v);
    word(*v);
  }
  void bytes(const void* p, int32_t n) {
    const int32_t moved = RPb_IO_write(e_.io, p, n);
    count_ += moved > 0 ? moved : 0;
  }
  bool done() {
    if (count_ == length_) return true;
    RX_ERR(RXE_CANT_WRITE_HEADER, length_, count_);
    return false;
  }

 private:
  Encoder& e_;
  int32_t length_ = 0;
  int32_t count_ = 0;
};

void mark(Encoder& e, uint32_t JPEG_TABLE_POS::*field) {
  if (e.pos != nullptr) e.pos->*field = static_cast<uint32_t>(RPb_IO_tell(e.io));
}
void mark2(Encoder& e, uint32_t (JPEG_TABLE_POS::*field)[2]) {
  if (e.pos == nullptr) return;
  const auto at = static_cast<uint32_t>(RPb_IO_tell(e.io));
  (e.pos->*field)[0] = at;
  (e.pos->*field)[1] = at;
}

// The application may shorten the text; it cannot lengthen it.
bool comment_write(Encoder& e) {
  char text[kCommentChars + 1];
  std::memcpy(text, kComment, sizeof text);
  offer_area(e, tag::kComment, tag::kTypeAscii, text, sizeof text);
  text[kCommentChars] = '\0';
  const auto n = static_cast<int32_t>(std::strlen(text));
  Segment s(e);
  if (!s.start(kCom, n + 2)) return false;
  s.bytes(text, n);
  return s.done();
}

// The header keeps pixels per metre; JFIF unit 1 is dots per inch.
uint16_t dpi_of(int32_t pels_per_metre) {
  if (pels_per_metre <= 0) return 0;
  const double dpi = pels_per_metre / 39.37 + 0.5;
  return dpi >= kMaxDimension ? uint16_t{kMaxDimension} : static_cast<uint16_t>(dpi);
}

bool jfif_write(Encoder& e) {
  JPEG_WORK& w = *e.work;
  std::memcpy(w.jfif_id, "JFIF", 5);
  w.jfif_version = kJfifVersion;
  w.density_units = 1;
  w.x_density = dpi_of(e.header->biXPelsPerMeter);
  w.y_density = dpi_of(e.header->biYPelsPerMeter);
  if (w.x_density == 0) w.x_density = w.y_density = kDefaultDpi;
  if (w.y_density == 0) w.y_density = w.x_density;
  Segment s(e);
  if (!s.start(kApp0, 16)) return false;
  offer_area(e, tag::kJfifIdent, tag::kTypeBytes, w.jfif_id, 5);
  s.bytes(w.jfif_id, 5);
  s.offered_word(tag::kJfifVersion, &w.jfif_version);
  s.offered_byte(tag::kJfifUnits, &w.density_units);
  s.offered_word(tag::kXDensity, &w.x_density);
  s.offered_word(tag::kYDensity, &w.y_density);
  s.offered_byte(tag::kThumbWidth, &w.thumbnail_width);
  s.offered_byte(tag::kThumbHeight, &w.thumbnail_height);
  return s.done();
}

// APP1..APP15 from the user-tag callback, which is asked for each id in
// turn and may fill up to kUserSegmentMax bytes.
bool user_segments_write(Encoder& e) {
  if (RPb_IO_tag_user_get_exists(e.io) == 0) return true;
  auto* data = static_cast<uint8_t*>(RPb_AF_mem_alloc(e.tag, kUserSegmentMax));
  if (data == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kUserSegmentMax, 0);
    return false;
  }
  bool ok = true;
  for (int32_t n = 0; n < 15 && ok; ++n) {
    int32_t id = tag::kApp1 + n, type = 0, count = kUserSegmentMax;
    RPb_IO_tag_user_get(e.io, &id, &type, data, &count);
    if (count <= 0) continue;
    if (count > kUserSegmentMax) {
      RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, tag::kApp1 + n, count);
      ok = false;
      break;
    }
    Segment s(e);
    ok = s.start(static_cast<uint8_t>(kApp1 + n), count + 2);
    if (ok) s.bytes(data, count);
    ok = ok && s.done();
  }
  RPb_AF_mem_free(e.tag, data);
  return ok;
}

void frame_fields_fill(Encoder& e) {
  JPEG_WORK& w = *e.work;
  w.precision = 8;
  w.height = static_cast<uint16_t>(e.header->biHeight);
  w.width = static_cast<uint16_t>(e.header->biWidth);
  w.components = static_cast<uint8_t>(e.count);
  uint8_t sampling[3] = {0x11, 0x11, 0x11};
  if (e.count == 3 && e.pos != nullptr) {
    // Factors too wide for a nibble saturate instead of wrapping, so that
    // the sampling check refuses them rather than reading 17 as 1.
    const auto nibble = [](uint16_t f) { return std::min<uint32_t>(f, 15); };
    sampling[0] = static_cast<uint8_t>(nibble(e.pos->luma_h) << 4 | nibble(e.pos->luma_v));
  } else if (e.count == 3) {
    std::memcpy(sampling, sampling_bytes(e.options->sampling), 3);
  }
  if (e.pos != nullptr) {
    if (e.count == 1) e.pos->luma_h = e.pos->luma_v = 1;
    e.pos->components = static_cast<uint32_t>(e.count);
  }
  for (int i = 0; i < e.count; ++i)
    w.component[i] = {static_cast<uint8_t>(i + 1), sampling[i], static_cast<uint8_t>(i == 0 ? 0 : 1)};
}

bool frame_write(Encoder& e) {
  JPEG_WORK& w = *e.work;
  frame_fields_fill(e);
  Segment s(e);
  if (!s.start(kSof0, 8 + 3 * e.count)) return false;
  s.offered_byte(tag::kPrecision, &w.precision);
  s.offered_word(tag::kLines, &w.height);
  s.offered_word(tag::kSamples, &w.width);
  s.offered_byte(tag::kCount, &w.components);
  for (int i = 0; i < e.count; ++i) {
    JPEG_FRAME_COMPONENT& c = w.component[i];
    s.offered_byte(tag::kCompId + i, &c.id);
    s.offered_byte(tag::kCompSampling + i, &c.sampling);
    s.offered_byte(tag::kCompQuant + i, &c.quant);
  }
  return s.done();
}

// D = trunc(384^(q / 100)); each entry trunc(3 B / D), kept within 1..255.
void quant_table_scale(const uint8_t* base, uint32_t quality, uint8_t zz[64]) {
  auto d = static_cast<int32_t>(std::pow(kQualityBase, static_cast<double>(quality) / 100.0));
  if (d < 1) d = 1;
  for (int k = 0; k < 64; ++k) {
    const int32_t v = 3 * base[jpeg::kZigzag[k]] / d;
    zz[k] = static_cast<uint8_t>(v < 1 ? 1 : (v > 255 ? 255 : v));
  }
}

bool quant_write(Encoder& e) {
  Segment s(e);
  if (!s.start(kDqt, 132)) return false;
  for (int t = 0; t < 2; ++t) {
    s.byte(static_cast<uint8_t>(t));  // 8-bit values, table t
    if (t == 0) mark(e, &JPEG_TABLE_POS::quant_luma);
    else mark2(e, &JPEG_TABLE_POS::quant_chroma);
    uint8_t zz[64];
    quant_table_scale(t == 0 ? jpeg::kBaseLuminance.data() : jpeg::kBaseChrominance.data(),
                      e.options->quality, zz);
    offer_area(e, tag::kQuant + t, tag::kTypeBytes, zz, 64);
    for (int k = 0; k < 64; ++k) e.work->quant[t][jpeg::kZigzag[k]] = zz[k];
    s.bytes(zz, 64);
  }
  return s.done();
}

bool huffman_table_write(Encoder& e, const jpeg::HuffmanSpec& lists, uint8_t class_id) {
  Segment s(e);
  if (!s.start(kDht, 3 + 16 + lists.count)) return false;
  s.byte(class_id);
  switch (class_id) {
    case 0x00: mark(e, &JPEG_TABLE_POS::dc_luma); break;
    case 0x10: mark(e, &JPEG_TABLE_POS::ac_luma); break;
    case 0x01: mark2(e, &JPEG_TABLE_POS::dc_chroma); break;
    default: mark2(e, &JPEG_TABLE_POS::ac_chroma); break;
  }
  s.bytes(lists.bits.data(), 16);
  s.bytes(lists.values, lists.count);
  return s.done();
}

bool huffman_write(Encoder& e) {
  if (!huffman_table_write(e, jpeg::kDcLuminance, 0x00)) return false;
  if (!huffman_table_write(e, jpeg::kAcLuminance, 0x10)) return false;
  if (e.count == 1) return true;
  if (!huffman_table_write(e, jpeg::kDcChrominance, 0x01)) return false;
  return huffman_table_write(e, jpeg::kAcChrominance, 0x11);
}

bool scan_header_write(Encoder& e) {
  JPEG_WORK& w = *e.work;
  w.scan_components = static_cast<uint8_t>(e.count);
  for (int i = 0; i < e.count; ++i) {
    w.scan_selector[i] = static_cast<uint8_t>(i + 1);
    w.scan_tables[i] = i == 0 ? 0x00 : 0x11;
  }
  w.spectral_end = 63;
  Segment s(e);
  if (!s.start(kSos, 6 + 2 * e.count)) return false;
  s.offered_byte(tag::kScanCount, &w.scan_components);
  for (int i = 0; i < e.count; ++i) {
    s.offered_byte(tag::kScanSelector + i, &w.scan_selector[i]);
    s.offered_byte(tag::kScanTables + i, &w.scan_tables[i]);
  }
  s.offered_byte(tag::kSpectralStart, &w.spectral_start);
  s.offered_byte(tag::kSpectralEnd, &w.spectral_end);
  s.offered_byte(tag::kApprox, &w.approximation);
  return s.done();
}

// ---- The scan, laid out from the headers as written -------------------------

bool invalid_field(int32_t tag_id, int32_t value) {
  RX_ERR(RXE_INVALID_FILE_HEADER, tag_id, value);
  return false;
}

bool frame_plan(Encoder& e, jpeg::enc::ScanPlan* p) {
  const JPEG_WORK& w = *e.work;
  if (w.height == 0) return invalid_field(tag::kLines, 0);
  if (w.width == 0) return invalid_field(tag::kSamples, 0);
  for (int c = 0; c < e.count; ++c) {
    const int32_t h = w.component[c].sampling >> 4, v = w.component[c].sampling & 15;
    if (h < 1 || h > 4 || v < 1 || v > 4)
      return invalid_field(tag::kCompSampling + c, w.component[c].sampling);
    if (w.component[c].quant > 1) return invalid_field(tag::kCompQuant + c, w.component[c].quant);
    // One component alone is coded block by block, whatever its factors.
    p->h[c] = e.count == 1 ? 1 : h;
    p->v[c] = e.count == 1 ? 1 : v;
    p->quant[c] = w.quant[w.component[c].quant];
  }
  int32_t hmax = 1, vmax = 1;
  for (int c = 0; c < e.count; ++c) hmax = std::max(hmax, p->h[c]), vmax = std::max(vmax, p->v[c]);
  for (int c = 0; c < e.count; ++c)
    if (hmax % p->h[c] != 0 || vmax % p->v[c] != 0)
      return invalid_field(tag::kCompSampling + c, w.component[c].sampling);
  for (int t = 0; t < 2; ++t)
    for (int n = 0; n < 64; ++n)
      if (w.quant[t][n] == 0) return invalid_field(tag::kQuant + t, n);
  return true;
}

bool scan_plan(Encoder& e, jpeg::enc::ScanPlan* p) {
  const JPEG_WORK& w = *e.work;
  int32_t blocks = 0;
  for (int i = 0; i < e.count; ++i) {
    int j = 0;
    while (j < e.count && w.component[j].id != w.scan_selector[i]) ++j;
    if (j == e.count) {
      RX_ERR(RXE_INVALID_FILE_HEADER, 4, 4);
      return false;
    }
    const int32_t dc = w.scan_tables[i] >> 4, ac = w.scan_tables[i] & 15;
    if (dc > 1 || ac > 1) return invalid_field(tag::kScanTables + i, w.scan_tables[i]);
    p->scan_frame[i] = j;
    p->dc_table[i] = dc;
    p->ac_table[i] = ac;
    blocks += p->h[j] * p->v[j];
  }
  if (blocks > kMaxBlocksInMcu) return invalid_field(tag::kCompSampling, blocks);
  p->scan_components = e.count;
  return true;
}

bool plan_make(Encoder& e, jpeg::enc::ScanPlan* p) {
  *p = jpeg::enc::ScanPlan{};
  p->frame_width = e.work->width;
  p->frame_height = e.work->height;
  p->image_width = e.header->biWidth;
  p->image_height = e.header->biHeight;
  p->bits = e.header->biBitCount;
  p->palette = e.palette;
  p->components = e.count;
  return frame_plan(e, p) && scan_plan(e, p);
}

// ---- The road from SOI to the end of the scan -----------------------------

// 0 entries in the header means the full palette, as in any DIB.
bool palette_is_grey(const RX_RGBQUAD* palette, uint32_t used) {
  const uint32_t n = used == 0 || used > 256 ? 256 : used;
  for (uint32_t i = 0; i < n; ++i)
    if (palette[i].rgbRed != palette[i].rgbGreen || palette[i].rgbGreen != palette[i].rgbBlue)
      return false;
  return true;
}

void after_soi(Encoder& e) {
  const int32_t bits = e.header->biBitCount;
  if (bits == 8) e.count = palette_is_grey(e.palette, e.header->biClrUsed) ? 1 : 3;
  else if (bits == 24) e.count = 3;
  else {
    RX_ERR(RXE_INVALID_BIT_COUNT, bits, 0);
    return;
  }
  e.work->grayscale = e.count == 1 ? 1 : 0;
  if (!comment_write(e) || !jfif_write(e) || !user_segments_write(e) || !frame_write(e) ||
      !quant_write(e) || !huffman_write(e) || !scan_header_write(e))
    return;
  jpeg::enc::ScanPlan plan;
  if (!plan_make(e, &plan)) return;
  e.data_start = RPb_IO_tell(e.io);
  mark(e, &JPEG_TABLE_POS::data_start);
  jpeg::enc::scan_write(e.io, e.tag, plan);
}

bool arguments_usable(IO_REC* io, JPEG_SAVE_OPTIONS* options, const RX_BITMAPINFOHEADER* header,
                      const RX_RGBQUAD* palette, JPEG_WORK* work) {
  if (io != nullptr && options != nullptr && header != nullptr && palette != nullptr &&
      work != nullptr)
    return true;
  RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
  return false;
}

}  // namespace

bool jpeg_write_fail(int32_t code, int32_t ival, int32_t lval) {
  RX_ERR(code, ival, lval);
  return false;
}

int32_t jpeg_encode(IO_REC* io, uint32_t pool_tag, JPEG_SAVE_OPTIONS* options,
                    const RX_BITMAPINFOHEADER* header, const RX_RGBQUAD* palette,
                    JPEG_WORK* work, JPEG_TABLE_POS* positions) {
  if (!arguments_usable(io, options, header, palette, work)) return RPb_AF_error_check();
  if (header->biBitCount < 8) {
    RX_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, header->biBitCount, 0);
    return RPb_AF_error_check();
  }
  // The frame header holds both dimensions in 16 bits.
  if (header->biWidth < 1 || header->biWidth > kMaxDimension || header->biHeight < 1 ||
      header->biHeight > kMaxDimension) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, header->biWidth, header->biHeight);
    return RPb_AF_error_check();
  }
  RPb_IO_byte_order_set(io, RX_ORDER_MOTOROLA);
  options->thumbnail = 0;
  if (options->quality == 0 || options->quality > 100) options->quality = 100;
  *work = JPEG_WORK{};
  Encoder e{io, pool_tag, options, header, palette, work, positions,
            RPb_IO_tag_get_exists(io) != 0, 0, -1};
  const int32_t start = RPb_IO_tell(io);
  if (positions != nullptr) positions->start = static_cast<uint32_t>(start);
  if (!marker_put(e, kSoi)) return RPb_AF_error_check();
  after_soi(e);
  marker_put(e, kEoi);
  if (positions != nullptr) {
    const int32_t end = RPb_IO_tell(io);
    positions->total_length = static_cast<uint32_t>(end - start);
    if (e.data_start >= 0) positions->data_length = static_cast<uint32_t>(end - e.data_start);
  }
  return RPb_AF_error_check();
}

int32_t jpeg_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, 0, 0);
    return RPb_AF_error_check();
  }
  JPEG_SAVE_OPTIONS options = kJpegDefaultOptions;
  if (flags != nullptr) std::memcpy(&options, flags, sizeof options);
  const int32_t start = RPb_IO_tell(io);
  RX_BITMAPINFOHEADER header{};
  RX_RGBQUAD palette[256] = {};
  const int32_t before = RPb_AF_error_check();
  if (RPb_IO_DIB_get(io, &header, palette) != 0) {
    if (RPb_AF_error_check() == before) RX_ERR(RXE_CANT_READ_HEADER, 0, 0);
    return RPb_AF_error_check();
  }
  TagGuard pool;
  auto* work = static_cast<JPEG_WORK*>(pool.alloc(sizeof(JPEG_WORK)));
  if (work == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, sizeof(JPEG_WORK), 0);
    return RPb_AF_error_check();
  }
  const int32_t errors = jpeg_encode(io, pool.tag(), &options, &header, palette, work, nullptr);
  if (errors > before && start >= 0) RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx
