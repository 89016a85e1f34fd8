// The image record: one packed DIB plus the image's display and processing
// attributes. An image handle is the record's address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rastrix/rpb.h"

namespace rx {

inline constexpr char kImageSignature[4] = {'R', 'E', 'E', 'B'};
// The platform's source-copy raster operation, the default for drawing.
inline constexpr uint32_t kRopSourceCopy = 13369376;

// A logical palette as the display layer hands it to the device.
struct LOGICAL_PALETTE {
  uint16_t version;
  uint16_t count;
  struct Entry {
    uint8_t red, green, blue, flags;
  } entries[256];
};

// The display attributes of an image. The display engine gives them their
// meaning; the record only stores them and their defaults.
struct DISPLAY_ATTR {
  int32_t image_rect[4];      // left, top, right, bottom, inclusive
  double device_rect[4];      // left, top, right, bottom; right/bottom exclusive
  int32_t zoom_rect[8];       // the rectangle zoom 100 maps to, as stored by zoom
  int32_t scroll[4];          // horizontal and vertical scroll ratio, two more values
  int32_t rotation;           // 0..3: 0, 90, 180, 270 degrees
  int32_t alias_mode;
  int32_t alias_quality;
  int32_t alias_variant;
  int32_t dither_mode;
  uint32_t rop;
  uint8_t transparent_color[3];  // blue, green, red
  int32_t transparent_on;
  int32_t background_on;
  uintptr_t background_pattern;
  uint8_t foreground_color[3];   // blue, green, red
  uint8_t background_color[3];   // blue, green, red
  int32_t centered;
  int32_t aspect_mode;
  int32_t pixel_aspect;
  LOGICAL_PALETTE* logical_palette;  // under the image's tag
  int32_t palette_mode;
  int32_t colours_realised;
  uint8_t lut_red[256];
  uint8_t lut_green[256];
  uint8_t lut_blue[256];
  int32_t clip_rect[4];
  int32_t clip_on;
  // The attribute pair and the two attribute words readers may set.
  uint16_t attr_pair[2];
  int32_t attr_pair_set;
  int32_t attr_word2;  // default 100
  int32_t attr_word3;  // default 1
};

}  // namespace rx

struct IMAGE_REC {
  char signature[4];  // "REEB" while live, zeroed at delete
  uint32_t tag;       // owns the record, its DIB and its run table
  int32_t lock;       // 1 while an operation replaces or grows the DIB
  void* dib;
  rx::DISPLAY_ATTR display;
  uint32_t* run_table;  // runs DIBs: byte offset of each DIB row's run row
  int32_t x_res[2];     // numerator, denominator
  int32_t y_res[2];
  int32_t res_units;    // 1..6
  int32_t orientation;  // TIFF convention, 1 = normal
  uint32_t info_tag;
  uint32_t info_type;
  void* info;
};

namespace rx {

inline IMAGE_REC* record_of(RX_HIMAGE image) { return reinterpret_cast<IMAGE_REC*>(image); }
inline RX_HIMAGE handle_of(IMAGE_REC* record) { return reinterpret_cast<RX_HIMAGE>(record); }

inline RX_BITMAPINFOHEADER* dib_header(void* dib) { return static_cast<RX_BITMAPINFOHEADER*>(dib); }
inline const RX_BITMAPINFOHEADER* dib_header(const void* dib) {
  return static_cast<const RX_BITMAPINFOHEADER*>(dib);
}

// Record life cycle (the engine-internal half of the record functions).
IMAGE_REC* record_create(uint32_t tag);
int32_t record_lock(IMAGE_REC* record);  // 1 if the lock was taken
void record_unlock(IMAGE_REC* record);

// The live-record registry behind handle validation: a handle is looked up
// here before its memory is touched.
void image_registry_add(IMAGE_REC* record);
void image_registry_remove(IMAGE_REC* record);
bool image_registry_contains(const void* address);

// Image is-grey: 8-bit with the identity grey palette, or 24-bit with every
// pixel grey.
int32_t image_is_gray(IMAGE_REC* record);

// Resolution set and get on a record (the public calls wrap these).
int32_t image_resolution_set(IMAGE_REC* record, int32_t x_num, int32_t x_den, int32_t y_num,
                             int32_t y_den, int32_t units);

}  // namespace rx
