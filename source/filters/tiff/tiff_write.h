// The TIFF writer's internals: the state of one save shared by its stages
// (the entry point in TIFWRITE, the strips in tiff_wstrips, the directory
// in tiff_ifd, the chain of pages in tiff_link) and the report function
// through which every stage names the writer.
#pragma once

#include <cstdint>

#include "filters/jpeg/jpeg_encode.h"
#include "filters/tiff/tiff_dir.h"
#include "rastrix/rx_types.h"

namespace rx::tiff {

// What a page is written as.
enum class Kind { kBilevel, kGray, kPalette, kRgb };

struct Writer {
  IO_REC* io = nullptr;
  uint32_t tag = 0;  // memory of this call
  uint8_t flags[kFlagsBytes] = {};
  int32_t position = 0;     // page position: 0 appends, n inserts before page n
  int32_t compression = 0;  // the engine's code
  Source src;               // the output, from its start
  bool motorola = false;
  uint32_t first_ifd = 0;
  uint32_t pages = 0;       // pages already there
  uint32_t index = 0;       // the new page's place, from 0
  uint32_t* page_ifds = nullptr;  // directory offsets of the pages there

  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD palette[256] = {};
  Kind kind = Kind::kBilevel;
  uint32_t fill_order = kFillMsbFirst;
  uint32_t row_bytes = 0;       // of one row in the file
  uint32_t stride = 0;          // of one image row
  uint32_t rows_per_strip = 0;
  uint32_t strips = 0;
  uint32_t* strip_offsets = nullptr;
  uint32_t* strip_counts = nullptr;
  JPEG_TABLE_POS jpeg{};        // where the JPEG strip's tables landed
  uint32_t samples = 1;         // SamplesPerPixel written

  // The application's own tags, taken before anything is written.
  struct UserTag {
    uint16_t tag, type;
    uint32_t count, at;  // values at `at` in user_values, host order
  };
  UserTag* user_tags = nullptr;
  uint32_t user_count = 0;
  uint8_t* user_values = nullptr;

  uint32_t ifd = 0;  // where the new directory went
  bool failed = false;
};

// Reports a failure where a stage finds it: every entry names TIFWRITE.
// Only the first failure of a call is reported. Always false.
bool fail(Writer* w, int32_t code, int64_t ival, int64_t lval);
// Passes on a failure a callee has pushed (an image callback, a codec),
// pushing `code` only when nothing was. Always false.
bool failed_after(Writer* w, int32_t code, int64_t ival, int64_t lval);
// Scratch memory of the call; -1000 when it is not there.
void* scratch(Writer* w, uint64_t bytes);

// The engine compression codes the writer takes.
enum : int32_t {
  kSaveNone = 0,
  kSavePackBits = 1,
  kSaveMh = 2,
  kSaveGroup3 = 3,
  kSaveGroup4 = 4,
  kSaveGroup3TwoD = 5,
  kSaveJpeg = 6,
  kSaveLzw = 8,
};
bool save_is_fax(int32_t compression);

// The strips: their layout (rows per strip, the one-strip flag, the budget
// that shrinks once LZW saves are made) and their data, written at the
// stream's position. Fills the strip offsets and byte counts.
bool strips_plan(Writer* w);
bool strips_write(Writer* w);
// Whether a page of this kind and compression can be written, checked
// before anything is.
bool strips_possible(Writer* w);

// Takes the application's own tags through the tag exchange, checking
// them, before anything is written.
bool user_tags_take(Writer* w);
// Builds the directory (with the application's say through the tag
// exchange, and its own tags), and writes it with its values at the end of
// the stream; the new page's next-IFD offset is `next`.
bool directory_write(Writer* w, uint32_t next);

// The pages already there: where the new page goes in the chain, and the
// next-IFD offset its directory gets.
bool chain_plan(Writer* w, uint32_t* next);
// Links the written directory in and renumbers the other pages; on a
// failure puts back what it had changed.
bool chain_link(Writer* w);

}  // namespace rx::tiff
