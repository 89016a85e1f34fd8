// A page's description from its directory: sizes, samples, the kind of
// image, palette, resolution, and the location of its strips or tiles.
#include "filters/tiff/tiff_page.h"

#include <algorithm>
#include <cstring>

#include "SUPPORT/fixed_palettes.h"
#include "rastrix/rx_codes.h"
#include "rastrix/rx_status.h"

namespace rx::tiff {
namespace {

// Pixels per metre in an inch and in a centimetre.
constexpr double kMetresPerInchInverse = 39.37;
constexpr double kCentimetresPerMetre = 100;

// The grey levels of the 4-bit pages of compression 32010, in index order.
constexpr uint8_t kAbicGrayLevels[16] = {0x00, 0x11, 0x33, 0x22, 0x77, 0x66, 0x44, 0x55,
                                         0xFF, 0xEE, 0xCC, 0xDD, 0x88, 0x99, 0xBB, 0xAA};

uint16_t flags16(const uint8_t* flags, uint32_t at) {
  uint16_t v = 0;
  if (flags != nullptr) std::memcpy(&v, flags + at, 2);
  return v;
}

bool size_read(const Directory& d, Page* p, Fault* f) {
  if (d.find(kImageWidth) == nullptr || d.find(kImageLength) == nullptr)
    return fail(f, RXE_TIFF_REQUIRED_INFORMATION_MISSING, RX_FORMAT_TIFF, 0);
  p->width = field(d, kImageWidth, 0);
  p->height = field(d, kImageLength, 0);
  if (p->width == 0 || p->height == 0)
    return fail(f, RXE_TIFF_INVALID_IMAGE_DIMENSION, p->width, p->height);
  return true;
}

// The application's overrides come before the file's fields. A fill order
// override other than 1 or 2 names no order and is passed over.
void fields_read(const Directory& d, const uint8_t* flags, Page* p) {
  p->bps = field(d, kBitsPerSample, 1);
  p->spp = field(d, kSamplesPerPixel, 1);
  // The number of extra samples is the entry's count; its values say what
  // kind they are.
  const Entry* extra = d.find(kExtraSamples);
  p->extra = extra != nullptr && extra->data != nullptr ? extra->count : 0;
  p->compression = field(d, kCompression, kCompressionNone);
  const uint16_t photometric = flags16(flags, kFlagsPhotometric);
  p->photometric = photometric < kOptionNotSet ? photometric : field(d, kPhotometric, kWhiteIsZero);
  const uint16_t fill = flags16(flags, kFlagsFillOrder);
  const uint32_t fill_order =
      fill == kFillMsbFirst || fill == kFillLsbFirst ? fill : field(d, kFillOrder, kFillMsbFirst);
  p->fill_order = fill_order == kFillLsbFirst ? kFillLsbFirst : kFillMsbFirst;
  p->orientation = field(d, kOrientation, 1);
  p->planar = field(d, kPlanarConfiguration, kPlanarChunky);
  p->predictor = field(d, kPredictor, kPredictorNone);
  p->t4 = field(d, kT4Options, 0);
  const uint32_t rps = field(d, kRowsPerStrip, p->height);
  p->rows_per_strip = std::clamp<uint32_t>(rps, 1, p->height);
  if (const Entry* s = d.find(kYCbCrSubSampling); s != nullptr && s->count >= 2) {
    p->subsampling_h = value_at(*s, 0);
    p->subsampling_v = value_at(*s, 1);
  }
  if (const Entry* c = d.find(kYCbCrCoefficients);
      c != nullptr && c->type == kRational && c->count >= 3 && c->data != nullptr) {
    for (int i = 0; i < 3; ++i) {
      uint32_t v[2];
      std::memcpy(v, c->data + 8 * i, 8);
      if (v[1] != 0) p->luma[i] = static_cast<double>(v[0]) / v[1];
    }
  }
}

void grey_palette(Page* p, uint32_t bits) {
  if (bits == 1) {
    p->palette[0] = rgb_quad(0, 0, 0);
    p->palette[1] = rgb_quad(255, 255, 255);
  } else if (bits == 4) {
    std::copy(kGrayRamp16.begin(), kGrayRamp16.end(), p->palette);
  } else {
    std::copy(kGrayRamp256.begin(), kGrayRamp256.end(), p->palette);
  }
}

// One byte of each 16-bit value: the high byte, unless the map was written
// with 8-bit values in the low bytes, which the first non-zero red value
// shows. LZW files always use the high byte.
bool colour_map_read(const Directory& d, Page* p, Fault* f) {
  const uint32_t n = 1u << p->bps;
  const Entry* map = d.find(kColorMap);
  if (map == nullptr || map->type != kShort || map->data == nullptr || map->count < 3 * n)
    return fail(f, RXE_TIFF_INVALID_COLOR_MAP, map != nullptr ? map->count : 0, 3 * n);
  bool low = false;
  if (p->compression != kCompressionLzw) {
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t v = value_at(*map, i);
      if (v != 0) {
        low = (v >> 8) == 0;
        break;
      }
    }
  }
  const int shift = low ? 0 : 8;
  for (uint32_t i = 0; i < n; ++i)
    p->palette[i] = rgb_quad((value_at(*map, i) >> shift) & 0xFF,
                             (value_at(*map, n + i) >> shift) & 0xFF,
                             (value_at(*map, 2 * n + i) >> shift) & 0xFF);
  return true;
}

bool grey_or_bilevel(Page* p, uint32_t samples) {
  if (samples != 1) return false;
  switch (p->bps) {
    case 1: p->colour = Colour::kBilevel; p->dib_bits = 1; break;
    case 4: p->colour = Colour::kGray; p->dib_bits = 4; break;
    case 8: case 16: p->colour = Colour::kGray; p->dib_bits = 8; break;
    default: return false;
  }
  grey_palette(p, p->dib_bits);
  return true;
}

bool rgb(Page* p, uint32_t samples) {
  if (samples < 3 || (p->bps != 8 && p->bps != 16)) return false;
  p->colour = Colour::kRgb;
  p->dib_bits = 24;
  p->kept = 3;
  return true;
}

// The kind of image by PhotometricInterpretation and depth. Pages with
// extra samples keep only their colour samples; 16-bit samples keep their
// high byte.
bool colour_type(const Directory& d, Page* p, Fault* f) {
  // No samples, or only extra ones, make a depth of 0.
  if (p->spp == 0 || p->spp <= p->extra)
    return fail(f, RXE_TIFF_INVALID_BITS_PER_SAMPLE, p->bps, p->spp);
  const uint32_t samples = p->spp - p->extra;
  const uint32_t depth = p->bps * samples;
  p->kept = 1;
  switch (p->photometric) {
    case kWhiteIsZero:
    case kBlackIsZero:
      if (grey_or_bilevel(p, samples) || rgb(p, samples)) return true;
      break;
    case kRgb:
      if (rgb(p, samples)) return true;
      if (depth == 8) {
        p->colour = Colour::kGray;
        p->dib_bits = 8;
        grey_palette(p, 8);
        return true;
      }
      break;
    case kPalette:
      if (samples != 1 || (p->bps != 1 && p->bps != 4 && p->bps != 8)) break;
      p->colour = Colour::kPalette;
      p->dib_bits = p->bps;
      if (p->bps == 4 && p->compression == kCompressionAbicGray) {
        for (uint32_t i = 0; i < 16; ++i)
          p->palette[i] = rgb_quad(kAbicGrayLevels[i], kAbicGrayLevels[i], kAbicGrayLevels[i]);
        return true;
      }
      return colour_map_read(d, p, f);
    case kSeparated:
      if (p->bps != 8 || p->spp < 4) break;
      p->colour = Colour::kCmyk;
      p->dib_bits = 24;
      p->kept = 4;
      return true;
    case kYCbCr:
      if (p->bps != 8 || p->spp < 3) break;
      p->colour = Colour::kYCbCr;
      p->dib_bits = 24;
      p->kept = 3;
      return true;
    default:
      return fail(f, RXE_TIFF_INVALID_PHOTOMETRIC_INTERPRETATION_VALUE, p->photometric, 0);
  }
  return fail(f, RXE_TIFF_INVALID_BITS_PER_SAMPLE, p->bps, p->spp);
}

int32_t per_metre(double value, uint32_t unit) {
  double factor = 0;
  if (unit == kResolutionInch) factor = kMetresPerInchInverse;
  else if (unit == kResolutionCentimetre) factor = kCentimetresPerMetre;
  const double ppm = value * factor + 0.5;
  return ppm > 0 && ppm < 2147483647.0 ? static_cast<int32_t>(ppm) : 0;
}

void resolution_read(const Directory& d, Page* p) {
  p->x_resolution = rational(d, kXResolution);
  p->y_resolution = rational(d, kYResolution);
  p->resolution_unit = field(d, kResolutionUnit, kResolutionInch);
  p->x_ppm = per_metre(p->x_resolution, p->resolution_unit);
  p->y_ppm = per_metre(p->y_resolution, p->resolution_unit);
}

bool tiles_read(const Directory& d, Page* p, Fault* f) {
  p->tiled = d.find(kTileWidth) != nullptr && d.find(kTileLength) != nullptr;
  if (!p->tiled) return true;
  p->tile_width = field(d, kTileWidth, 0);
  p->tile_length = field(d, kTileLength, 0);
  if (p->tile_width == 0 || p->tile_length == 0)
    return fail(f, RXE_TIFF_INVALID_IMAGE_DIMENSION, p->tile_width, p->tile_length);
  p->tiles_across = static_cast<uint32_t>((uint64_t{p->width} + p->tile_width - 1) / p->tile_width);
  p->tiles_down = static_cast<uint32_t>((uint64_t{p->height} + p->tile_length - 1) / p->tile_length);
  return true;
}

bool ccitt(uint32_t compression) {
  return compression == kCompressionMh || compression == kCompressionGroup3 ||
         compression == kCompressionGroup4;
}

}  // namespace

bool compression_decoded(uint32_t c) {
  return c == kCompressionNone || c == kCompressionPackBits || c == kCompressionLzw ||
         c == kCompressionJpeg || ccitt(c);
}

int32_t engine_compression_of(uint32_t c) {
  switch (c) {
    case kCompressionNone: return RX_COMPRESSION_NONE;
    case kCompressionMh: return RX_COMPRESSION_HUFFMAN;
    case kCompressionGroup3: return RX_COMPRESSION_GROUP3;
    case kCompressionGroup4: return RX_COMPRESSION_GROUP4;
    case kCompressionLzw: return RX_COMPRESSION_LZW;
    case kCompressionJpeg: return RX_COMPRESSION_JPEG;
    case kCompressionAbicBw: return RX_COMPRESSION_ABIC_BW;
    case kCompressionAbicGray: return RX_COMPRESSION_ABIC_GRAY;
    case kCompressionPackBits: return RX_COMPRESSION_PACKBITS;
    // A compression the reader does not know is not described as none.
    default: return RX_COMPRESSION_UNKNOWN;
  }
}

bool page_describe(const Directory& d, const uint8_t* flags, Page* p, Fault* f) {
  *p = Page{};
  if (!size_read(d, p, f)) return false;
  fields_read(d, flags, p);
  if (!colour_type(d, p, f) || !tiles_read(d, p, f)) return false;
  if (ccitt(p->compression) && p->dib_bits != 1)
    return fail(f, RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION, p->bps * p->spp, p->compression);
  resolution_read(d, p);
  p->engine_compression = engine_compression_of(p->compression);
  return true;
}

bool layout_find(const Directory& d, const Page& p, int32_t tile, Layout* l, Fault* f) {
  *l = Layout{};
  if (p.tiled) {
    l->offsets = d.find(kTileOffsets);
    l->counts = d.find(kTileByteCounts);
    if (l->offsets == nullptr || l->counts == nullptr) {
      l->offsets = d.find(kStripOffsets);
      l->counts = d.find(kStripByteCounts);
    }
    if (l->offsets == nullptr || l->counts == nullptr)
      return fail(f, RXE_TIFF_REQUIRED_INFORMATION_MISSING, kTileOffsets, 0);
    const uint64_t tiles = uint64_t{p.tiles_across} * p.tiles_down;
    const uint64_t last = tiles - 1;
    l->tile = static_cast<uint32_t>(std::clamp<int64_t>(tile, 0, static_cast<int64_t>(last)));
    l->per_plane = static_cast<uint32_t>(std::min<uint64_t>(tiles, UINT32_MAX));
    l->segments = 1;
  } else {
    l->offsets = d.find(kStripOffsets);
    l->counts = d.find(kStripByteCounts);
    if (l->offsets == nullptr)
      return fail(f, RXE_TIFF_REQUIRED_INFORMATION_MISSING, kStripOffsets, 0);
    l->per_plane = (p.height + p.rows_per_strip - 1) / p.rows_per_strip;
    l->segments = l->per_plane;
  }
  l->planes = p.planar == kPlanarSeparate ? p.kept : 1;
  // The last offset read must be in the entry.
  const uint64_t last_segment = p.tiled ? l->tile : l->segments - 1;
  const uint64_t last = uint64_t{l->planes - 1} * l->per_plane + last_segment;
  if (l->offsets->data == nullptr || last >= l->offsets->count)
    return fail(f, RXE_TIFF_REQUIRED_INFORMATION_MISSING, l->offsets->tag, l->offsets->count);
  return true;
}

Segment segment_at(const Page& p, const Layout& l, uint32_t index, uint32_t plane) {
  Segment s;
  const uint32_t position = p.tiled ? l.tile : index;
  const uint64_t at = uint64_t{plane} * l.per_plane + position;
  s.offset = value_at(*l.offsets, static_cast<uint32_t>(at));
  s.bytes = l.counts != nullptr ? value_at(*l.counts, static_cast<uint32_t>(at)) : 0;
  if (p.tiled) {
    s.first_row = 0;
    s.rows = p.tile_length;
  } else {
    s.first_row = index * p.rows_per_strip;
    s.rows = std::min(p.rows_per_strip, p.height - s.first_row);
  }
  return s;
}

}  // namespace rx::tiff
