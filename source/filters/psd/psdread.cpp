// The PSD reader's entry points: information, loading and the page count.
// Loading reads the header, checks that the file can hold the planes it
// claims, and only then has the engine build the image.
#include <algorithm>
#include <climits>

#include "IO/single_image_read.h"
#include "SUPPORT/error.h"
#include "filters/psd/psd.h"
#include "filters/psd/psd_format.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\psd\\psdread.cpp");

namespace rx {
namespace {

// PackBits needs at least two bytes for every 128 bytes of a row.
uint64_t coded_row_min(uint64_t row_bytes) { return 2 * ((row_bytes + 127) / 128); }

// The fewest bytes the file must still hold for the planes the image is
// made from: whole rows when raw; when coded, the table of row lengths
// and the shortest coding of every row. A header can claim gigabytes that
// the file does not hold; this is found out before anything is allocated.
int32_t data_fits(const PSD_READ& r) {
  IO_REC* io = r.io;
  const int32_t here = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, here, RX_SEEK_SET);
  const int64_t available = here < 0 || end < 0 ? 0 : std::max<int64_t>(int64_t{end} - here, 0);
  const uint64_t rows = uint64_t{r.planes} * r.file.rows;
  const uint64_t needed =
      r.file.compression == kPsdRaw
          ? rows * r.plane_row
          : uint64_t{r.file.channels} * r.file.rows * 2 + rows * coded_row_min(r.plane_row);
  if (static_cast<uint64_t>(available) < needed)
    return RX_ERR(RXE_TIFF_IMAGE_DATA_READ_ERROR, static_cast<int32_t>(available),
                  static_cast<int32_t>(std::min<uint64_t>(needed, INT32_MAX)));
  return 0;
}

// The PSD side of the single-image frame.
class PsdReader final : public SingleImageRecord<PSD_READ> {
 public:
  int32_t data_check() override { return data_fits(r_); }
  int32_t rows_read() override { return psd_pixels_read(&r_); }

 private:
  int32_t header_read() override { return psd_header_read(&r_); }
};

}  // namespace

int32_t psd_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void*, int32_t) {
  if (io == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return RPb_AF_error_check();
  }
  const int32_t start = RPb_IO_tell(io);
  PSD_READ r{};
  r.io = io;
  if (psd_header_read(&r) != 0) return read_failed(io, start);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  if (header != nullptr) *header = r.dib;
  if (palette != nullptr)
    std::copy(r.palette, r.palette + dib_palette_entries(r.dib.biBitCount, RX_BI_RGB), palette);
  if (compression != nullptr)
    *compression = r.file.compression == kPsdPackBits ? RX_COMPRESSION_PACKBITS : RX_COMPRESSION_NONE;
  return 0;
}

int32_t psd_read(IO_REC* io, void*, int32_t, int32_t) {
  PsdReader reader;
  return single_image_read(io, reader);
}

int32_t psd_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
