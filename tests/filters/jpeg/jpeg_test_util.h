// Helpers for the JPEG reader tests: a reader run with capturing image
// callbacks, a builder of small hand-made files, and the peer encoder and
// decoder from the command line for files made the usual way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "rastrix/rx_types.h"

namespace jpegtest {

using Bytes = std::vector<uint8_t>;

// What the reader handed to the image callbacks, and whether it kept to
// their contract: one create, rows inside the image, each of the stored
// row length, each once.
struct Capture {
  RX_BITMAPINFOHEADER header{};
  std::vector<RX_RGBQUAD> palette;
  int creates = 0;
  std::vector<Bytes> rows;
  std::vector<int> delivered;
  int refuse_row = -1;  // raster set fails at this row
  std::string violation;
  bool complete() const;
  int stride() const;
};

struct TagReport {
  int32_t id, type, count;
  Bytes data;  // the bytes for arrays and text, the value for single values
};

struct Outcome {
  int32_t result = 0;
  std::vector<int32_t> codes;
  Capture cap;
  int32_t position = 0;  // stream position after the call
  std::vector<TagReport> tags;
};

Outcome read(const Bytes& file, int refuse_row = -1, bool with_tags = false);
Outcome info(const Bytes& file, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
         int32_t* compression);

// A hand-made file: segments in order, then the entropy-coded data. Every
// block of the default file is all zeros (DC category 0, end of block), so
// it decodes to samples of 128.
struct Segment {
  uint8_t marker;
  Bytes body;  // without the length word
};

struct Builder {
  int width = 16, height = 16;
  int comps = 1;
  uint8_t sampling[4] = {0x11, 0x11, 0x11, 0x11};
  uint16_t restart = 0;
  int level[4] = {0, 0, 0, 0};  // each component's flat level-shifted value
  std::vector<Segment> segs{};  // filled by make(), free to edit afterwards
  Bytes entropy{};

  Builder& make();
  Bytes bytes() const;
  Segment* find(uint8_t marker);
  void insert_before(uint8_t marker, Segment s);
};

Bytes jfif_body(uint16_t xd, uint16_t yd, uint8_t thumb_w = 0, uint8_t thumb_h = 0);

// Peer tools, used only to make and check test files.
bool peer_available();
// A deterministic colour picture with edges, gradients and texture.
Bytes picture(int w, int h, int channels, uint32_t seed, bool mid_range = false);
// Encodes a PPM (3 channels) or PGM (1 channel) picture with the given
// peer encoder options.
Bytes peer_encode(const Bytes& pixels, int w, int h, int channels, const std::string& options);
// Decodes with the peer decoder, chroma replicated; returns top-down rows
// of w * channels bytes in R, G, B order.
Bytes peer_decode(const Bytes& file, int* w, int* h, int* channels);

std::filesystem::path data_dir();

}  // namespace jpegtest
