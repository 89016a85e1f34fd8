// The PSD reader's pixel stage. The image data is every channel's plane in
// turn, each row after row from the top, raw or PackBits-coded. A
// single-plane image goes to the engine row by row; the planes of a
// colour image are laid down in a temporary file and put together a band
// of rows at a time.
#include <algorithm>
#include <climits>

#include "IO/io_callback_status.h"
#include "IO/iobuffer.h"
#include "SUPPORT/error.h"
#include "filters/codecs/packbits.h"
#include "filters/psd/psd_format.h"
#include "filters/psd/psd_lab.h"
#include "platform/kernel.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\psd\\psd_planes.cpp");

namespace rx {
namespace {

// Coded data is read through a buffer of this many bytes.
inline constexpr int32_t kCodedBufferBytes = 65534;
// Plane rows go to the temporary file, and come back from it, in blocks of
// about this many bytes.
inline constexpr uint64_t kBlockBytes = uint64_t{1} << 20;

// Hands out plane rows one after the other.
struct PLANE_SOURCE {
  IO_REC* io;
  bool packbits;
  IO_BUFFER in;  // PackBits only
  PACKBITS_STATE state;
};

uint8_t* scratch_alloc(const PSD_READ* r, uint64_t bytes) {
  auto* p = static_cast<uint8_t*>(RPb_AF_mem_alloc(r->tag, static_cast<size_t>(bytes)));
  if (p == nullptr)
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<uint64_t>(bytes, INT32_MAX)), r->tag);
  return p;
}

// PackBits data follows a table of coded row lengths, two bytes for every
// row of every channel the file has; the rows are decoded as one stream,
// as they were coded.
int32_t source_open(PSD_READ* r, PLANE_SOURCE* s) {
  s->io = r->io;
  s->packbits = r->file.compression == kPsdPackBits;
  if (!s->packbits) return 0;
  const int64_t table = int64_t{r->file.channels} * r->file.rows * 2;
  const int32_t here = RPb_IO_tell(r->io);
  const int64_t target = here + table;
  if (here < 0 || target > INT32_MAX ||
      RPb_IO_seek(r->io, static_cast<int32_t>(target), RX_SEEK_SET) != target)
    return RX_ERR(RXE_TIFF_IMAGE_DATA_READ_ERROR, static_cast<int32_t>(std::min<int64_t>(table, INT32_MAX)), here);
  return io_buffer_open(r->io, r->tag, &s->in, kCodedBufferBytes, kIoBufferRead);
}

int32_t row_next(PLANE_SOURCE* s, uint8_t* out, uint32_t n) {
  if (!s->packbits) {
    const int32_t got = RPb_IO_read(s->io, out, static_cast<int32_t>(n));
    return got == static_cast<int32_t>(n) ? 0 : RX_ERR(RXE_TIFF_IMAGE_DATA_READ_ERROR, n, got);
  }
  size_t done = 0;
  while (done < n) {
    const uint8_t* p = io_buffer_peek(&s->in, 1);
    if (p == nullptr) return RX_ERR(RXE_TIFF_IMAGE_DATA_READ_ERROR, n, static_cast<int32_t>(done));
    const PackBitsStep step = packbits_decode(&s->state, p, static_cast<size_t>(s->in.available),
                                              out + done, n - done);
    if (step.consumed > 0) io_buffer_get(&s->in, static_cast<int32_t>(step.consumed));
    done += step.produced;
  }
  return 0;
}

// Bitmap files store ink: a set bit is black. The image keeps black at 0.
void ink_invert(uint8_t* row, uint32_t bytes, uint32_t width) {
  for (uint32_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  if (width % 8 != 0) row[bytes - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
}

int32_t single_plane_read(PSD_READ* r, PLANE_SOURCE* s) {
  const uint32_t stride = r->geometry.stride;
  uint8_t* row = scratch_alloc(r, stride);
  if (row == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  std::fill(row, row + stride, uint8_t{0});
  const bool bitmap = r->file.mode == kPsdModeBitmap;
  for (int32_t y = 0; y < r->dib.biHeight; ++y) {
    if (const int32_t c = row_next(s, row, r->plane_row)) return c;
    if (bitmap) ink_invert(row, r->plane_row, r->file.columns);
    if (const int32_t c = io_callback_status(RPb_IO_raster_set(r->io, row, y, static_cast<int32_t>(stride))))
      return c;
  }
  return 0;
}

// The temporary file: closed, and so gone, on every path out.
class TempFile {
 public:
  TempFile() : fd_(pk_file_temp_create()) {}
  ~TempFile() {
    if (fd_ >= 0) pk_file_close(fd_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int32_t fd() const { return fd_; }

 private:
  int32_t fd_;
};

struct PLANE_STORE {
  int32_t fd;
  uint32_t width;   // bytes of a plane row
  uint32_t height;
  uint32_t planes;
  uint32_t rows_per_block;
};

// Plane k's row y lies at (k x height + y) x width, so the planes are
// written front to back in the order they are decoded.
int32_t planes_store(PSD_READ* r, PLANE_SOURCE* s, const PLANE_STORE& t) {
  uint8_t* block = scratch_alloc(r, uint64_t{t.rows_per_block} * t.width);
  if (block == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  int64_t at = 0;
  const uint64_t total = uint64_t{t.planes} * t.height;
  for (uint64_t row = 0; row < total;) {
    const auto n = static_cast<uint32_t>(std::min<uint64_t>(t.rows_per_block, total - row));
    for (uint32_t k = 0; k < n; ++k)
      if (const int32_t c = row_next(s, block + size_t{k} * t.width, t.width)) return c;
    const auto bytes = static_cast<int32_t>(uint64_t{n} * t.width);
    const int32_t put = pk_file_write_at(t.fd, at, block, bytes);
    if (put != bytes) return RX_ERR(RXE_TEMP_FILE_FAILED, bytes, put);
    at += bytes;
    row += n;
  }
  return 0;
}

// CMYK files store what a plane's value leaves of the light: 255 is no
// ink. Red, green and blue are what the cyan, magenta and yellow planes
// leave, darkened by the black plane. Lab files are turned into sRGB.
void row_assemble(const PSD_READ& r, const uint8_t* const plane[4], uint8_t* out) {
  const uint32_t width = r.file.columns;
  if (r.file.mode == kPsdModeLab) {
    psd_lab_row(plane[0], plane[1], plane[2], width, out);
    return;
  }
  if (r.planes == 4) {
    for (uint32_t x = 0; x < width; ++x, out += 3) {
      const uint32_t k = plane[3][x];
      out[0] = static_cast<uint8_t>(plane[2][x] * k / 255);
      out[1] = static_cast<uint8_t>(plane[1][x] * k / 255);
      out[2] = static_cast<uint8_t>(plane[0][x] * k / 255);
    }
    return;
  }
  for (uint32_t x = 0; x < width; ++x, out += 3) {
    out[0] = plane[2][x];
    out[1] = plane[1][x];
    out[2] = plane[0][x];
  }
}

int32_t planes_assemble(PSD_READ* r, const PLANE_STORE& t) {
  const uint32_t stride = r->geometry.stride;
  const uint64_t band = uint64_t{t.rows_per_block} * t.width;
  uint8_t* planes = scratch_alloc(r, band * t.planes);
  uint8_t* out = scratch_alloc(r, stride);
  if (planes == nullptr || out == nullptr) return RXE_GLOBAL_MEMORY_DEPLETED;
  std::fill(out, out + stride, uint8_t{0});
  for (uint32_t y0 = 0; y0 < t.height; y0 += t.rows_per_block) {
    const uint32_t n = std::min(t.rows_per_block, t.height - y0);
    const auto bytes = static_cast<int32_t>(uint64_t{n} * t.width);
    for (uint32_t k = 0; k < t.planes; ++k) {
      const int64_t at = (int64_t{k} * t.height + y0) * t.width;
      const int32_t got = pk_file_read_at(t.fd, at, planes + band * k, bytes);
      if (got != bytes) return RX_ERR(RXE_TEMP_FILE_FAILED, bytes, got);
    }
    for (uint32_t y = 0; y < n; ++y) {
      const uint8_t* row[4] = {};
      for (uint32_t k = 0; k < t.planes; ++k) row[k] = planes + band * k + size_t{y} * t.width;
      row_assemble(*r, row, out);
      if (const int32_t c = io_callback_status(
              RPb_IO_raster_set(r->io, out, static_cast<int32_t>(y0 + y), static_cast<int32_t>(stride))))
        return c;
    }
  }
  return 0;
}

int32_t multi_plane_read(PSD_READ* r, PLANE_SOURCE* s) {
  TempFile temp;
  if (temp.fd() < 0) return RX_ERR(RXE_TEMP_FILE_FAILED, 0, 0);
  PLANE_STORE t{temp.fd(), r->plane_row, r->file.rows, r->planes, 1};
  t.rows_per_block = static_cast<uint32_t>(std::clamp<uint64_t>(kBlockBytes / t.width, 1, t.height));
  const int32_t c = planes_store(r, s, t);
  return c != 0 ? c : planes_assemble(r, t);
}

}  // namespace

int32_t psd_pixels_read(PSD_READ* r) {
  PLANE_SOURCE s{};
  int32_t c = source_open(r, &s);
  if (c == 0) c = r->planes == 1 ? single_plane_read(r, &s) : multi_plane_read(r, &s);
  if (s.packbits) io_buffer_close(&s.in);
  return c;
}

}  // namespace rx
