// The frame the single-image readers share. A reader describes the image
// (header, colour map), says whether the file can hold the pixels it
// claims, and delivers the rows; the frame checks the geometry against the
// engine's limits, has the image built through the callback, and on any
// failure puts the stream back where the caller had it.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>

#include "IO/io_rec.h"
#include "IO/iobuffer.h"
#include "SUPPORT/dib_size.h"

namespace rx {

class SingleImageReader {
 public:
  virtual ~SingleImageReader() = default;
  // Reads everything before the pixels; pushes and returns a code on
  // failure. Scratch memory comes from `tag`.
  virtual int32_t describe(IO_REC* io, uint32_t tag) = 0;
  // What describe() found: the image to build, its palette and geometry.
  virtual const RX_BITMAPINFOHEADER& dib() const = 0;
  virtual const RX_RGBQUAD* palette() const = 0;
  virtual const DibGeometry& geometry() const = 0;
  // Whether the file can hold the pixels the header claims, found out
  // before anything is built.
  virtual int32_t data_check() = 0;
  // Delivers every row to the built image (see row_deliver).
  virtual int32_t rows_read() = 0;
};

// The usual reader: a state record R with the members io, tag, dib,
// palette and geometry, whose header_read() fills it.
template <class R>
class SingleImageRecord : public SingleImageReader {
 public:
  int32_t describe(IO_REC* io, uint32_t tag) final {
    r_.io = io;
    r_.tag = tag;
    return header_read();
  }
  const RX_BITMAPINFOHEADER& dib() const final { return r_.dib; }
  const RX_RGBQUAD* palette() const final { return r_.palette; }
  const DibGeometry& geometry() const final { return r_.geometry; }

 protected:
  virtual int32_t header_read() = 0;
  R r_{};
};

// describe, the load limits (RXE_LOAD_LIMIT_EXCEEDED, width and height),
// data_check, the image built through RPb_IO_DIB_create, rows_read: the
// first failure ends the load and its code is returned.
int32_t single_image_load(IO_REC* io, SingleImageReader& reader, uint32_t tag);

// A filter's read entry point: RXE_INVALID_POINTER for a null stream, the
// load on a fresh scratch tag, and the stream put back on failure. Returns
// the error count.
int32_t single_image_read(IO_REC* io, SingleImageReader& reader);

// Puts the stream back at `start` after a failure and returns the error
// count.
int32_t read_failed(IO_REC* io, int32_t start);

// Hands image row y (stride bytes) to the built image; 0 or the pushed
// callback status.
int32_t row_deliver(IO_REC* io, const uint8_t* row, int32_t y, uint32_t stride);

// Rows read in file order from a buffered stream, for the readers whose
// rows follow one another in the file. The read buffer holds five rows,
// within 4 KiB and 4 MiB, but always at least one.
struct BufferedRows {
  uint32_t line_bytes = 0;       // the file bytes of one row
  uint32_t stride = 0;           // the image row
  int32_t rows = 0;
  int32_t data_end = INT32_MAX;  // no reading past this offset
  // The n-th row's file bytes, read or decoded into `line` (line_bytes),
  // or null when the file ends short.
  std::function<const uint8_t*(IO_BUFFER* in, uint8_t* line)> line;
  // The file bytes into the image row (zeroed once before the first).
  std::function<void(const uint8_t* line, uint8_t* row)> convert;
  // The image row the n-th file row goes to; none: the n-th.
  std::function<int32_t(int32_t n)> place;
};

// Reads and delivers every row. Pushes RXE_GLOBAL_MEMORY_DEPLETED
// (line bytes, tag) when the rows cannot be had and
// RXE_CANT_READ_PIXEL_DATA (n, line bytes) for a file that ends short.
int32_t buffered_rows_read(IO_REC* io, uint32_t tag, const BufferedRows& b);

}  // namespace rx
