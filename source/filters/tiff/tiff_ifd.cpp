// The writer's directory: the page's fields, each offered to the
// application through the tag exchange before it is written, the
// application's own tags after them, all in ascending tag order, then the
// values that do not fit their entries.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/tiff/tiff_write.h"
#include "platform/kernel.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// The directory is built in memory: entries in steps of this many, values
// in blocks of this many bytes.
constexpr uint32_t kEntryStep = 50;
constexpr uint32_t kValueStep = 5000;
// The application's own tags are taken through a buffer of this size, and
// no more of them than this.
constexpr int32_t kUserTagBytes = 65536;
constexpr uint32_t kMaxUserTags = 1000;
// Ids of the application's tags: tag + 10000 for the tags up to 9999.
constexpr int32_t kUserIdFirst = 10000;
constexpr int32_t kUserIdLast = 19999;
constexpr int32_t kMaxTag = 65535;
// The DateTime text: 19 characters and a zero.
constexpr uint32_t kDateTimeBytes = 20;
// The Artist field holds the notice below or the application's text of up
// to 39 characters.
constexpr uint32_t kArtistBytes = 40;
constexpr char kArtistNotice[] = "Written by the Rastrix imaging engine";
static_assert(sizeof kArtistNotice <= kArtistBytes);
// Baseline JPEG, and chroma sited at the centre of its luma samples.
constexpr uint16_t kJpegProcBaseline = 1;
constexpr uint16_t kYCbCrCentred = 1;
// Resolution units of the image record: 3 inches, 4 centimetres.
constexpr int32_t kImageUnitsInch = 3;
constexpr int32_t kImageUnitsCentimetre = 4;
constexpr double kPelsPerMetrePerDpi = 39.37;

struct NewEntry {
  uint16_t tag;
  uint16_t type;
  uint32_t count;
  uint32_t at;     // its values in the value store
  uint32_t bytes;
};

struct Builder {
  Writer* w;
  NewEntry* entries = nullptr;
  uint32_t count = 0, capacity = 0;
  uint8_t* values = nullptr;  // host order
  uint32_t used = 0, room = 0;
};

bool grow(Builder& b, uint32_t bytes) {
  if (b.count == b.capacity) {
    const uint32_t cap = b.capacity + kEntryStep;
    void* p = RPb_AF_mem_realloc(b.w->tag, b.entries, sizeof(NewEntry) * cap);
    if (p == nullptr) return fail(b.w, RXE_TIFF_CANT_REALLOC_MEMORY_ERROR, cap, 0);
    b.entries = static_cast<NewEntry*>(p);
    b.capacity = cap;
  }
  const uint64_t need = uint64_t{b.used} + bytes + 1;
  if (need > b.room) {
    const uint64_t room = (need + kValueStep - 1) / kValueStep * kValueStep;
    if (room > UINT32_MAX) return fail(b.w, RXE_TIFF_CANT_REALLOC_MEMORY_ERROR, b.room, bytes);
    void* p = RPb_AF_mem_realloc(b.w->tag, b.values, room);
    if (p == nullptr) return fail(b.w, RXE_TIFF_CANT_REALLOC_MEMORY_ERROR, static_cast<int64_t>(room), 0);
    b.values = static_cast<uint8_t*>(p);
    b.room = static_cast<uint32_t>(room);
  }
  return true;
}

bool add(Builder& b, uint16_t tag, uint16_t type, uint32_t count, const void* data) {
  const uint64_t bytes = uint64_t{count} * type_size(type);
  if (bytes > UINT32_MAX - kValueStep) return fail(b.w, RXE_TIFF_TAG_WRITE_ERROR, tag, count);
  if (!grow(b, static_cast<uint32_t>(bytes))) return false;
  b.used = (b.used + 1) & ~1u;  // values start on even bytes
  std::memcpy(b.values + b.used, data, bytes);
  b.entries[b.count++] = NewEntry{tag, type, count, b.used, static_cast<uint32_t>(bytes)};
  b.used += static_cast<uint32_t>(bytes);
  return true;
}

bool written(const Builder& b, uint32_t tag) {
  for (uint32_t i = 0; i < b.count; ++i)
    if (b.entries[i].tag == tag) return true;
  return false;
}

// ---- The tag exchange -------------------------------------------------------------

// Offers a field's values to the application; true when it answered, and
// then `data` holds its values.
bool offer(Writer* w, int32_t id, uint16_t type, void* data, uint32_t bytes) {
  if (RPb_IO_tag_get_exists(w->io) == 0) return false;
  int32_t answer_type = type;
  return RPb_IO_tag_get(w->io, id, &answer_type, data, static_cast<int32_t>(bytes)) != 0;
}

// A field the application may change: offered, and written as answered.
bool add_offered(Builder& b, uint16_t tag, uint16_t type, uint32_t count, void* data) {
  offer(b.w, tag_report_id(tag), type, data, count * type_size(type));
  return add(b, tag, type, count, data);
}

// A field that says how the data is laid out: the application sees it,
// but the file must describe the data as written.
bool add_shown(Builder& b, uint16_t tag, uint16_t type, uint32_t count, const void* data) {
  const uint64_t bytes = uint64_t{count} * type_size(type);
  if (RPb_IO_tag_get_exists(b.w->io) != 0 && bytes <= UINT32_MAX) {
    auto* copy = static_cast<uint8_t*>(scratch(b.w, bytes + 1));
    if (copy == nullptr) return false;
    std::memcpy(copy, data, bytes);
    offer(b.w, tag_report_id(tag), type, copy, static_cast<uint32_t>(bytes));
    RPb_AF_mem_free(b.w->tag, copy);
  }
  return add(b, tag, type, count, data);
}

bool add_short(Builder& b, uint16_t tag, uint16_t v) { return add_shown(b, tag, kShort, 1, &v); }
bool add_long(Builder& b, uint16_t tag, uint32_t v) { return add_shown(b, tag, kLong, 1, &v); }

// A rational is offered as its numerator and its denominator.
bool add_rational(Builder& b, uint16_t tag, uint32_t numerator, uint32_t denominator) {
  offer(b.w, tag_report_id(tag), kLong, &numerator, 4);
  offer(b.w, tag + kTagOfferDenominator, kLong, &denominator, 4);
  const uint32_t v[2] = {numerator, denominator != 0 ? denominator : 1};
  return add(b, tag, kRational, 1, v);
}

// An ASCII field: the application may give another text; it is cut to
// the field and ends with a zero.
bool add_text(Builder& b, uint16_t tag, const char* text, uint32_t field_bytes) {
  char buffer[kArtistBytes + 1] = {};
  std::snprintf(buffer, sizeof buffer, "%s", text);
  offer(b.w, tag_report_id(tag), kAscii, buffer, field_bytes);
  buffer[field_bytes - 1] = '\0';
  const auto n = static_cast<uint32_t>(std::strlen(buffer)) + 1;
  return add(b, tag, kAscii, n, buffer);
}

// ---- The page's fields ------------------------------------------------------------

// Offered to the application, whose answer is taken for bilevel and grey
// pages only: the value of any other page describes its samples.
uint16_t photometric_of(Writer* w) {
  uint16_t v = kBlackIsZero;
  bool open = false;
  if (w->compression == kSaveJpeg) {
    v = w->samples == 3 ? kYCbCr : kBlackIsZero;
  } else if (w->kind == Kind::kRgb) {
    v = kRgb;
  } else if (w->kind == Kind::kPalette) {
    v = kPalette;
  } else {
    // Fax data codes white and black runs, and the photometric value says
    // which bit value white decodes to; other data stores the pixels' bits.
    const uint8_t red = w->palette[0].rgbRed;
    v = save_is_fax(w->compression) ? (red != 0 ? kBlackIsZero : kWhiteIsZero)
                                    : (red == 255 ? kWhiteIsZero : kBlackIsZero);
    open = true;
  }
  uint16_t answer = v;
  if (offer(w, tag_report_id(kPhotometric), kShort, &answer, 2) && open) v = answer;
  return v;
}

uint16_t compression_value(int32_t c) {
  switch (c) {
    case kSavePackBits: return kCompressionPackBits;
    case kSaveMh: return kCompressionMh;
    case kSaveGroup3: case kSaveGroup3TwoD: return kCompressionGroup3;
    case kSaveGroup4: return kCompressionGroup4;
    case kSaveJpeg: return kCompressionJpeg;
    case kSaveLzw: return kCompressionLzw;
    default: return kCompressionNone;
  }
}

// The image's resolution in dots per inch or per centimetre as it was
// set; a resolution kept in any other unit is given in dots per inch from
// the pixels per metre.
struct Resolution {
  uint32_t x_num, x_den, y_num, y_den;
  uint16_t unit;
};

Resolution resolution_of(Writer* w) {
  int32_t r[5] = {0, 1, 0, 1, 0};
  if (RPb_IO_attribute_get(w->io, RX_ATTR_RESOLUTION, r) != 0 && r[0] >= 0 && r[2] >= 0 &&
      (r[4] == kImageUnitsInch || r[4] == kImageUnitsCentimetre)) {
    return Resolution{static_cast<uint32_t>(r[0]), static_cast<uint32_t>(r[1] > 0 ? r[1] : 1),
                      static_cast<uint32_t>(r[2]), static_cast<uint32_t>(r[3] > 0 ? r[3] : 1),
                      static_cast<uint16_t>(r[4] == kImageUnitsInch ? kResolutionInch
                                                                    : kResolutionCentimetre)};
  }
  const auto dpi = [](int32_t ppm) {
    return ppm > 0 ? static_cast<uint32_t>(ppm / kPelsPerMetrePerDpi + 0.5) : 0u;
  };
  return Resolution{dpi(w->h.biXPelsPerMeter), 1, dpi(w->h.biYPelsPerMeter), 1, kResolutionInch};
}

void date_time(char out[kDateTimeBytes]) {
  pk_local_time t{};
  pk_time_local(&t);
  const auto two = [](int32_t v) { return static_cast<unsigned>(v) % 100u; };
  std::snprintf(out, kDateTimeBytes, "%04u:%2u:%2u %02u:%02u:%02u",
                static_cast<unsigned>(t.year) % 10000u, two(t.month), two(t.day), two(t.hour),
                two(t.minute), two(t.second));
}

bool layout_fields(Builder& b) {
  Writer* w = b.w;
  uint32_t v = kSubfilePage;
  if (!add_offered(b, kNewSubfileType, kLong, 1, &v)) return false;
  if (!add_long(b, kImageWidth, static_cast<uint32_t>(w->h.biWidth)) ||
      !add_long(b, kImageLength, static_cast<uint32_t>(w->h.biHeight)))
    return false;
  const uint16_t bits[3] = {8, 8, 8};
  const uint16_t depth = static_cast<uint16_t>(w->h.biBitCount);
  const bool three = w->samples == 3;
  if (!add_shown(b, kBitsPerSample, kShort, three ? 3 : 1, three ? bits : &depth) ||
      !add_short(b, kCompression, compression_value(w->compression)))
    return false;
  const uint16_t photometric = photometric_of(w);
  if (!add(b, kPhotometric, kShort, 1, &photometric)) return false;
  // Only fax data is written in the fill order of the options.
  const uint16_t fill = save_is_fax(w->compression) ? static_cast<uint16_t>(w->fill_order) : 1;
  if (!add_short(b, kFillOrder, fill) ||
      !add_shown(b, kStripOffsets, kLong, w->strips, w->strip_offsets))
    return false;
  int32_t orientation = 1;
  if (RPb_IO_attribute_get(w->io, RX_ATTR_ORIENTATION, &orientation) == 0 || orientation < 1 ||
      orientation > 8)
    orientation = 1;
  uint16_t o = static_cast<uint16_t>(orientation);
  return add_offered(b, kOrientation, kShort, 1, &o) &&
         add_short(b, kSamplesPerPixel, static_cast<uint16_t>(w->samples)) &&
         add_long(b, kRowsPerStrip, w->rows_per_strip) &&
         add_shown(b, kStripByteCounts, kLong, w->strips, w->strip_counts);
}

bool descriptive_fields(Builder& b) {
  Writer* w = b.w;
  const Resolution r = resolution_of(w);
  uint16_t unit = r.unit;
  const uint16_t chunky = kPlanarChunky;
  if (!add_rational(b, kXResolution, r.x_num, r.x_den) ||
      !add_rational(b, kYResolution, r.y_num, r.y_den) ||
      !add_shown(b, kPlanarConfiguration, kShort, 1, &chunky) ||
      !add_offered(b, kResolutionUnit, kShort, 1, &unit))
    return false;
  const uint16_t page[2] = {static_cast<uint16_t>(w->index), static_cast<uint16_t>(w->pages + 1)};
  if (!add_shown(b, kPageNumber, kShort, 2, page)) return false;
  char date[kDateTimeBytes];
  date_time(date);
  return add_text(b, kDateTime, date, kDateTimeBytes) &&
         add_text(b, kArtist, kArtistNotice, kArtistBytes);
}

bool colour_map(Builder& b) {
  Writer* w = b.w;
  if (w->kind != Kind::kPalette || w->compression == kSaveJpeg) return true;
  const uint32_t n = 1u << w->h.biBitCount;
  auto* map = static_cast<uint16_t*>(scratch(w, 3 * n * sizeof(uint16_t)));
  if (map == nullptr) return false;
  // 8-bit levels fill both bytes of the 16-bit values.
  for (uint32_t i = 0; i < n; ++i) {
    map[i] = static_cast<uint16_t>(w->palette[i].rgbRed * 257);
    map[n + i] = static_cast<uint16_t>(w->palette[i].rgbGreen * 257);
    map[2 * n + i] = static_cast<uint16_t>(w->palette[i].rgbBlue * 257);
  }
  return add_shown(b, kColorMap, kShort, 3 * n, map);
}

bool codec_fields(Builder& b) {
  Writer* w = b.w;
  if (w->compression == kSaveGroup3 || w->compression == kSaveGroup3TwoD)
    return add_long(b, kT4Options, w->compression == kSaveGroup3TwoD ? kT4TwoDimensional : 0);
  if (w->compression != kSaveJpeg) return true;
  const JPEG_TABLE_POS& p = w->jpeg;
  const uint32_t n = w->samples;
  const uint32_t q[3] = {p.quant_luma, p.quant_chroma[0], p.quant_chroma[1]};
  const uint32_t dc[3] = {p.dc_luma, p.dc_chroma[0], p.dc_chroma[1]};
  const uint32_t ac[3] = {p.ac_luma, p.ac_chroma[0], p.ac_chroma[1]};
  if (!add_short(b, kJpegProc, kJpegProcBaseline) || !add_shown(b, kJpegQTables, kLong, n, q) ||
      !add_shown(b, kJpegDcTables, kLong, n, dc) || !add_shown(b, kJpegAcTables, kLong, n, ac))
    return false;
  if (n != 3) return true;
  const uint16_t sampling[2] = {static_cast<uint16_t>(p.luma_h), static_cast<uint16_t>(p.luma_v)};
  return add_shown(b, kYCbCrSubSampling, kShort, 2, sampling) &&
         add_short(b, kYCbCrPositioning, kYCbCrCentred);
}

// The application's tags, taken as long as it gives them. Their values
// are kept in one block that grows with each tag.
bool user_tag_keep(Writer* w, int32_t id, int32_t type, const uint8_t* data, int32_t count,
                   uint32_t* used) {
  const uint32_t size = type >= 1 && type <= 12 ? type_size(static_cast<uint32_t>(type)) : 0;
  if (size == 0) return fail(w, RXE_TIFF_USER_TAG_TYPE, id, type);
  if (count < 0 || count > kUserTagBytes) return fail(w, RXE_TIFF_TAG_WRITE_ERROR, id, count);
  const int32_t tag = id >= kUserIdFirst && id <= kUserIdLast ? id - kUserIdFirst : id;
  if (tag < 1 || tag > kMaxTag) return fail(w, RXE_TIFF_TAG_WRITE_ERROR, id, count);
  const uint32_t values = static_cast<uint32_t>(count) / size;
  if (values == 0) return true;
  const uint32_t bytes = values * size;
  void* t = RPb_AF_mem_realloc(w->tag, w->user_tags, sizeof(Writer::UserTag) * (w->user_count + 1));
  void* v = RPb_AF_mem_realloc(w->tag, w->user_values, uint64_t{*used} + bytes + 1);
  if (t == nullptr || v == nullptr) return fail(w, RXE_TIFF_CANT_REALLOC_MEMORY_ERROR, id, bytes);
  w->user_tags = static_cast<Writer::UserTag*>(t);
  w->user_values = static_cast<uint8_t*>(v);
  std::memcpy(w->user_values + *used, data, bytes);
  w->user_tags[w->user_count++] = Writer::UserTag{static_cast<uint16_t>(tag),
                                                  static_cast<uint16_t>(type), values, *used};
  *used += bytes;
  return true;
}

// A tag the writer writes itself is not taken twice.
bool user_tags_add(Builder& b) {
  Writer* w = b.w;
  for (uint32_t i = 0; i < w->user_count; ++i) {
    const Writer::UserTag& u = w->user_tags[i];
    if (written(b, u.tag)) continue;
    if (!add(b, u.tag, u.type, u.count, w->user_values + u.at)) return false;
  }
  return true;
}

// ---- The directory in the file ------------------------------------------------------

void value_put(bool motorola, uint16_t type, const uint8_t* in, uint8_t* out, uint32_t bytes) {
  const uint32_t size = type_size(type);
  if (size == 2) {
    for (uint32_t i = 0; i + 2 <= bytes; i += 2) {
      uint16_t v;
      std::memcpy(&v, in + i, 2);
      put16(motorola, out + i, v);
    }
  } else if (size == 4 || type == kRational || type == kSRational) {
    for (uint32_t i = 0; i + 4 <= bytes; i += 4) {
      uint32_t v;
      std::memcpy(&v, in + i, 4);
      put32(motorola, out + i, v);
    }
  } else if (size == 8 && motorola) {
    for (uint32_t i = 0; i + 8 <= bytes; i += 8)
      for (uint32_t k = 0; k < 8; ++k) out[i + k] = in[i + 7 - k];
  } else {
    std::memcpy(out, in, bytes);
  }
}

bool serialise_and_write(Builder& b, uint32_t next) {
  Writer* w = b.w;
  std::sort(b.entries, b.entries + b.count,
            [](const NewEntry& x, const NewEntry& y) { return x.tag < y.tag; });
  const uint32_t table = 2 + b.count * kEntryBytes + 4;
  uint64_t area = 0;
  for (uint32_t i = 0; i < b.count; ++i)
    if (b.entries[i].bytes > kValueFieldBytes) area += (b.entries[i].bytes + 1) & ~1u;
  const uint64_t total = table + area;
  const int64_t end = int64_t{w->ifd} + static_cast<int64_t>(total);
  if (end > INT32_MAX) return fail(w, RXE_TIFF_IFD_WRITE_ERROR, w->ifd, static_cast<int64_t>(total));
  auto* out = static_cast<uint8_t*>(scratch(w, total));
  if (out == nullptr) return false;
  std::memset(out, 0, total);
  put16(w->motorola, out, static_cast<uint16_t>(b.count));
  uint64_t value_at = table;
  for (uint32_t i = 0; i < b.count; ++i) {
    const NewEntry& e = b.entries[i];
    uint8_t* p = out + 2 + uint64_t{i} * kEntryBytes;
    put16(w->motorola, p, e.tag);
    put16(w->motorola, p + 2, e.type);
    put32(w->motorola, p + 4, e.count);
    if (e.bytes <= kValueFieldBytes) {
      value_put(w->motorola, e.type, b.values + e.at, p + 8, e.bytes);
    } else {
      put32(w->motorola, p + 8, static_cast<uint32_t>(w->ifd + value_at));
      value_put(w->motorola, e.type, b.values + e.at, out + value_at, e.bytes);
      value_at += (e.bytes + 1) & ~1u;
    }
  }
  put32(w->motorola, out + 2 + uint64_t{b.count} * kEntryBytes, next);
  if (RPb_IO_seek(w->io, static_cast<int32_t>(w->ifd), RX_SEEK_SET) != static_cast<int32_t>(w->ifd))
    return fail(w, RXE_TIFF_SEEK_FAILURE, w->ifd, 0);
  const int32_t n = RPb_IO_write(w->io, out, static_cast<int32_t>(total));
  if (n != static_cast<int32_t>(total))
    return fail(w, RXE_CANT_WRITE_HEADER, static_cast<int64_t>(total), n);
  return true;
}

// Directories start on even offsets.
bool directory_place(Writer* w) {
  const int32_t end = RPb_IO_seek(w->io, 0, RX_SEEK_END);
  if (end < 0) return fail(w, RXE_TIFF_SEEK_FAILURE, end, 0);
  w->ifd = static_cast<uint32_t>(end);
  if ((end & 1) != 0) {
    const uint8_t pad = 0;
    if (RPb_IO_write(w->io, &pad, 1) != 1) return fail(w, RXE_CANT_WRITE_HEADER, 1, 0);
    ++w->ifd;
  }
  return true;
}

}  // namespace

bool directory_write(Writer* w, uint32_t next) {
  Builder b;
  b.w = w;
  return layout_fields(b) && descriptive_fields(b) && colour_map(b) && codec_fields(b) &&
         user_tags_add(b) && directory_place(w) && serialise_and_write(b, next);
}

bool user_tags_take(Writer* w) {
  if (RPb_IO_tag_user_get_exists(w->io) == 0) return true;
  auto* buffer = static_cast<uint8_t*>(scratch(w, kUserTagBytes));
  if (buffer == nullptr) return false;
  uint32_t used = 0;
  for (uint32_t n = 0; n < kMaxUserTags; ++n) {
    int32_t id = 0, type = 0, count = kUserTagBytes;
    if (RPb_IO_tag_user_get(w->io, &id, &type, buffer, &count) == 0) break;
    if (!user_tag_keep(w, id, type, buffer, count, &used)) return false;
  }
  RPb_AF_mem_free(w->tag, buffer);
  return true;
}

}  // namespace rx::tiff
