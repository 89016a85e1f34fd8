// One page of a TIFF file as the reader builds it: the fields that steer
// decoding (with their defaults and the application's overrides), the kind
// of image they make, its palette and resolution, and where its strips or
// tiles lie.
#pragma once

#include <cstdint>

#include "filters/tiff/tiff_dir.h"
#include "rastrix/rx_types.h"

namespace rx::tiff {

enum class Colour { kBilevel, kGray, kPalette, kRgb, kCmyk, kYCbCr };

struct Page {
  uint32_t width = 0, height = 0;  // of the page
  uint32_t bps = 1;                // BitsPerSample (the first value)
  uint32_t spp = 1;                // SamplesPerPixel
  uint32_t extra = 0;              // number of ExtraSamples
  uint32_t compression = kCompressionNone;
  uint32_t photometric = kWhiteIsZero;
  uint32_t fill_order = kFillMsbFirst;
  uint32_t planar = kPlanarChunky;
  uint32_t predictor = kPredictorNone;
  uint32_t orientation = 1;
  uint32_t t4 = 0;
  uint32_t rows_per_strip = 0;
  uint32_t subsampling_h = 2, subsampling_v = 2;  // YCbCr data units
  double luma[3] = {0.299, 0.587, 0.114};        // YCbCr coefficients
  bool tiled = false;
  uint32_t tile_width = 0, tile_length = 0;
  uint32_t tiles_across = 0, tiles_down = 0;

  Colour colour = Colour::kBilevel;
  uint32_t dib_bits = 1;  // depth of the image built
  uint32_t kept = 1;      // samples of each pixel the image is made from
  RX_RGBQUAD palette[256] = {};
  double x_resolution = 0, y_resolution = 0;  // as in the file
  uint32_t resolution_unit = kResolutionInch;
  int32_t x_ppm = 0, y_ppm = 0;  // pixels per metre
  int32_t engine_compression = 0;

  // The image a load builds: the page, or one tile of it.
  uint32_t unit_width() const { return tiled ? tile_width : width; }
  uint32_t unit_height() const { return tiled ? tile_length : height; }
  // Samples stored together: all of them for chunky data, one per plane.
  uint32_t samples_per_segment() const { return planar == kPlanarSeparate ? 1 : spp; }
  // Bytes of one row of one segment (a strip's or tile's row of one plane).
  uint64_t segment_row_bytes() const {
    return (uint64_t{bps} * samples_per_segment() * unit_width() + 7) / 8;
  }
};

// Describes the page from its directory and the reader's flags block (the
// photometric and fill order overrides). Fails as the information call and
// the load must: missing or zero size, a depth or photometric value that
// makes no image, a missing colour map, a Group 4 page deeper than 1 bit.
bool page_describe(const Directory& d, const uint8_t* flags, Page* p, Fault* f);

// True for the compressions the reader decodes.
bool compression_decoded(uint32_t compression);
// The engine's name for a TIFF compression.
int32_t engine_compression_of(uint32_t compression);

// One strip or tile of one plane: the rows it holds and where its data is.
struct Segment {
  uint32_t first_row = 0;  // in the image built
  uint32_t rows = 0;
  uint32_t offset = 0;     // file offset of its data
  uint32_t bytes = 0;      // StripByteCounts / TileByteCounts (0 when not given)
};

// Where the strips or tiles of a page are, and how many there are.
struct Layout {
  const Entry* offsets = nullptr;
  const Entry* counts = nullptr;  // may be null
  uint32_t per_plane = 0;         // segments of one plane
  uint32_t planes = 1;            // planes that are read
  uint32_t segments = 0;          // segments delivered (strips of the page, or 1 tile)
  uint32_t tile = 0;              // the tile loaded
};

// Finds the strips or tiles: a tiled page needs its tile offsets and
// counts (or strip offsets and counts standing in for them), an untiled one
// its strip offsets, with enough values for every segment that is read.
// `tile` is the caller's tile index, clamped to the page's tiles.
bool layout_find(const Directory& d, const Page& p, int32_t tile, Layout* l, Fault* f);
// Segment `index` (0 .. l.segments - 1) of plane `plane`.
Segment segment_at(const Page& p, const Layout& l, uint32_t index, uint32_t plane);

}  // namespace rx::tiff
