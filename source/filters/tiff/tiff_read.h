// The TIFF reader's internals: the state of one load shared by its stages
// (the entry points in TIFREAD, the sample decoders in tiff_strips, the
// fax pages in tiff_fax, the JPEG pages in TIFF_JPG) and the report
// function through which every stage names the reader.
#pragma once

#include <cstdint>

#include "filters/tiff/tiff_dir.h"
#include "filters/tiff/tiff_page.h"
#include "rastrix/rx_types.h"

namespace rx::tiff {

struct Reader {
  IO_REC* io = nullptr;
  uint32_t tag = 0;  // memory of this call
  Source src;
  Directory dir;
  Page page;
  Layout layout;
  RX_BITMAPINFOHEADER dib{};
  uint32_t stride = 0;  // bytes of one image row
  bool run_rows = false;  // fax rows are delivered as run rows
  bool failed = false;  // a failure has been reported
};

// Reports a failure of the reader where a stage finds it: every entry names
// TIFREAD. Only the first failure of a call is reported. Always false.
bool fail(Reader* r, int32_t code, int64_t ival, int64_t lval);
// Passes on a failure a callee has pushed (an image callback, a codec);
// pushes `code` only when nothing was. Always false.
bool failed_after(Reader* r, int32_t code, int64_t ival, int64_t lval);

// Allocates scratch memory of the call; reports -1000 when it is not there.
void* scratch(Reader* r, uint64_t bytes);

// The bytes of a segment's data that lie inside the file: its byte count,
// or everything up to the end of the file when the count is 0 (or larger
// than what is there).
uint64_t segment_available(const Reader& r, const Segment& s);

// Decoders, one per family of compressions. Each delivers every row of
// the image once.
bool samples_decode(Reader* r);  // none, PackBits, LZW
bool fax_decode(Reader* r);      // Modified Huffman, Group 3, Group 4
bool jpeg_decode(Reader* r);     // JPEG (TIFF_JPG)
// JPEG pages that point at one whole JPEG stream are loaded by the JPEG
// reader, which builds the image itself.
bool jpeg_whole_stream(const Reader& r);
bool jpeg_stream_load(Reader* r);

// Checks made before the image is created: what each family needs of the
// page, and that the file holds enough data for the rows it claims.
bool samples_check(Reader* r);
bool fax_check(Reader* r);
bool jpeg_check(Reader* r);

}  // namespace rx::tiff
