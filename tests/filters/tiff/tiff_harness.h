// TIFF files built by hand for the reader's tests, images loaded and saved
// through the engine's memory entry points, and libtiff as the peer that
// writes and decodes files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rastrix/rastrix.h"

namespace tifft {

using Bytes = std::vector<uint8_t>;

// TIFF field types.
enum : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7,
                  kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11, kDouble = 12, kSByte = 6 };

// One directory entry: numbers (rationals as numerator, denominator
// pairs), or raw bytes in file order for other types.
struct Field {
  uint16_t tag = 0;
  uint16_t type = kShort;
  std::vector<uint32_t> values;
  Bytes raw;           // used when not empty (count = bytes / type size)
  int64_t count = -1;  // overrides the count written
  int64_t offset = -1; // overrides the value/offset field
};

struct Page {
  std::vector<Field> fields;
  std::vector<Bytes> strips;  // StripOffsets and StripByteCounts are added for them
  bool tiled = false;         // ... or TileOffsets and TileByteCounts
  bool sort = true;           // entries in ascending tag order
  int64_t next = -1;          // overrides the next-IFD offset
};

// Lays out the header, then for each page its strips, its directory and
// its values; pages are chained in order.
Bytes build(const std::vector<Page>& pages, bool motorola = false);

Field num(uint16_t tag, uint16_t type, std::vector<uint32_t> values);
// The fields of a plain page: size, samples, compression, photometric.
std::vector<Field> basic(uint32_t width, uint32_t height, uint32_t bps, uint32_t spp,
                         uint32_t compression, uint32_t photometric);

// A loaded image's pixels as RGB triples, top row first, and its size.
struct Pixels {
  int32_t width = 0, height = 0, bits = 0;
  Bytes rgb;
};
Pixels pixels_of(RX_HIMAGE image);

// Loads page `page` (tile `tile`) of a file held in memory; 0 when the
// load fails (the error stack says why).
RX_HIMAGE load(const Bytes& file, int32_t page = 1, int32_t tile = 0);
Pixels load_pixels(const Bytes& file, int32_t page = 1, int32_t tile = 0);
// The error codes of a file that must not load (a failure of the test
// when it does).
std::vector<int32_t> refusal(const Bytes& file);
// The error stack's code, iVal and lVal when it holds exactly one entry;
// empty otherwise.
std::vector<int32_t> only_error();
// The page count (-1 when the call fails), and the information call's status, header and
// compression, of a file held in memory.
int32_t page_count(const Bytes& file);
int32_t info(const Bytes& file, RX_BITMAPINFOHEADER* header = nullptr,
             int32_t* compression = nullptr);
// Saves an image into a memory file that already holds `existing`, at
// page position `position`, with an engine compression code.
int32_t save(RX_HIMAGE image, Bytes* file, int32_t compression, int32_t position = 0,
             size_t capacity = 0);
// An image made from pixels of the given depth (1, 4, 8 or 24): rows from
// the top in DIB layout (24-bit pixels blue, green, red) and a palette.
RX_HIMAGE image_from(int32_t width, int32_t height, int32_t bits, const std::vector<Bytes>& rows,
                     const std::vector<RX_RGBQUAD>& palette = {});
// A test picture: smooth colour with detail, or text-like bilevel marks.
RX_HIMAGE picture(int32_t width, int32_t height, int32_t bits, uint32_t seed = 1);

// An image deleted when the test's variable goes.
struct Image {
  RX_HIMAGE handle;
  explicit Image(RX_HIMAGE h) : handle(h) {}
  ~Image() { if (handle != 0) RX_image_delete(handle); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  operator RX_HIMAGE() const { return handle; }
};

// ---- libtiff ------------------------------------------------------------------

#if RX_HAVE_PEER_LIBTIFF
// The pixels libtiff decodes (as RGBA, composed to RGB by dropping alpha),
// top row first; `ok` false when it cannot.
Pixels libtiff_pixels(const std::string& path, int page, bool* ok);
// The warnings and errors libtiff reports when it reads every directory.
std::string libtiff_complaints(const std::string& path);
// Field values as libtiff reads them.
std::vector<uint32_t> libtiff_field(const std::string& path, int page, uint32_t tag);
// Whether libtiff decodes page `page` to `rgb` without a complaint.
::testing::AssertionResult libtiff_sees(const std::string& path, int page, const Bytes& rgb);
#endif

std::string temp_dir();
Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);

}  // namespace tifft
