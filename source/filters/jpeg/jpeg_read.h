// The JPEG reader's internals: the decoder state shared by its stages
// (entry points and start in JPGREAD, segments in jpeg_markers, the scan in
// jpeg_scan) and the status codes of its own.
#pragma once

#include <cstdint>

#include "filters/jpeg/jpeg_huff_dec.h"
#include "rastrix/rx_types.h"

namespace rx::jpeg {

inline constexpr uint16_t kMarkerSOI = 0xFFD8;
inline constexpr uint16_t kMarkerSOF0 = 0xFFC0;
inline constexpr uint16_t kMarkerSOF1 = 0xFFC1;
inline constexpr uint16_t kMarkerDHT = 0xFFC4;
inline constexpr uint16_t kMarkerDAC = 0xFFCC;
inline constexpr uint16_t kMarkerSOS = 0xFFDA;
inline constexpr uint16_t kMarkerDQT = 0xFFDB;
inline constexpr uint16_t kMarkerDRI = 0xFFDD;
inline constexpr uint16_t kMarkerAPP0 = 0xFFE0;
inline constexpr uint16_t kMarkerAPP15 = 0xFFEF;
inline constexpr uint16_t kMarkerCOM = 0xFFFE;

// Resolution given to files that record no density: the engine's default
// of 300 dots per inch.
inline constexpr uint16_t kDefaultDensity = 300;
inline constexpr uint8_t kDefaultDensityUnits = 1;

// The pixels per metre of a JFIF density: units 1 are dots per inch and 2
// dots per centimetre (the writer stores dots per inch); units 0 give only
// the aspect ratio and are passed on as they stand.
constexpr int32_t jfif_pels_per_metre(uint8_t units, uint16_t density) {
  if (units == 1) return static_cast<int32_t>(density * 39.37 + 0.5);
  if (units == 2) return density * 100;
  return density;
}
inline constexpr int32_t kCommentBytes = 80;
// The entropy-coded data is read through a buffer of this size.
inline constexpr int32_t kEntropyBufferBytes = 30720;

struct FrameComponent {
  uint8_t id;
  uint8_t sampling;  // H in the high nibble, V in the low
  uint8_t quant;     // quantisation table selector
};

struct Frame {
  bool read;  // an SOF0 or SOF1 header was parsed
  uint8_t precision;
  uint16_t lines;
  uint16_t samples;
  uint8_t count;  // components in the file; only the first four are kept
  FrameComponent comp[4];
};

struct Jfif {
  uint8_t ident[5];
  uint16_t version;
  uint8_t units;
  uint16_t x_density;
  uint16_t y_density;
  uint8_t thumb_width;
  uint8_t thumb_height;
};

struct Decoder {
  IO_REC* io;
  uint32_t tag;  // memory of this call
  bool tags;     // the application listens for tag reports
  Frame frame;
  Jfif jfif;
  char comment[kCommentBytes];
  int32_t quant[4][64];  // zig-zag order, premultiplied for the inverse DCT
  bool quant_defined[4];
  HuffTable dc[4];
  HuffTable ac[4];
  uint16_t restart_interval;
  bool failed;  // a failure has been reported; the stages are unwinding
};

// Reports a failure where a stage detects it; always false, so stages can
// `return fail(...)`. Every entry names the reader (JPGREAD), whichever
// stage found the fault. Only the first failure of a call is reported: the
// stages stop at it, and what they meet while unwinding is its echo.
bool fail(Decoder* d, int32_t code, int32_t ival, int32_t lval);

// Stream helpers: false (with -2052 recorded) on a short read.
bool read_u8(Decoder* d, uint8_t* v);
bool read_u16(Decoder* d, uint16_t* v);
bool read_bytes(Decoder* d, void* out, int32_t n);
bool skip_bytes(Decoder* d, int32_t n);

// Runs the marker loop: handles table, restart, application and comment
// segments until a marker it does not handle, which it hands back.
bool marker_loop(Decoder* d, uint16_t* marker);
// Parses an SOF0/SOF1 frame header (its marker already read).
bool frame_read(Decoder* d);

// Reads the SOS header (its marker already read), checks everything the
// scan needs, creates the image and decodes the scan into rows.
bool scan_read(Decoder* d);

// The image the frame describes: depth 8 for one component, 24 otherwise.
int32_t frame_depth(const Frame& f);
// Checks that the frame was read and describes an image we can build.
bool frame_check(Decoder* d);


}  // namespace rx::jpeg
