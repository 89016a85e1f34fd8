// TIFF reader and writer speed against libtiff on a 300-dpi A4 page
// (2480 x 3508) of generated text, in one run, all in memory:
//   - Group 4 decode: the file libtiff wrote (one strip), loaded whole by
//     the engine from memory against TIFFReadEncodedStrip into packed rows;
//   - Group 3 two-dimensional decode: the same with libtiff's G3 2D file;
//   - Group 4 encode: the loaded page saved as a Group 4 TIFF into memory,
//     against libtiff writing the same page in its default strips.
// Figures are the best of RUNS in processor time of this thread, so that a
// busy machine does not skew the ratios. Then the peak memory of the engine's
// load of the Group 4 file, measured in a fresh process, beside the size of
// the page as run rows (the form a loaded 1-bit image takes).
// The LZW cases are tiff_lzw_bench (they need the RXLZW module).
//
//   tiff_bench [RUNS]
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "IO/io_rec.h"
#include "filters/codecs/ccitt.h"
#include "rastrix/rastrix.h"
#include "support/bench_timing.h"
#include "support/peak_memory.h"
#include "support/text_page.h"
#include "support/tiff_mem_file.h"

namespace {

using bench::best_ms;
using bench::MemFile;
using bench::mem_open;

constexpr uint32_t kWidth = bench::kPageWidth;
constexpr uint32_t kHeight = bench::kPageHeight;
constexpr uint32_t kTiffRow = bench::kPageRowBytes;

// libtiff writes the page; one strip, or its default strips.
MemFile tiff_encode(const std::vector<uint8_t>& page, uint16_t compression, uint32_t options,
                    bool one_strip) {
  MemFile f;
  TIFF* t = mem_open(&f, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, options);
  const uint32_t rows = one_strip ? kHeight : TIFFDefaultStripSize(t, 0);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
  std::vector<uint8_t> copy = page;
  for (uint32_t s = 0, y = 0; y < kHeight; ++s, y += rows) {
    const uint32_t n = std::min(rows, kHeight - y);
    TIFFWriteEncodedStrip(t, s, copy.data() + size_t{y} * kTiffRow, static_cast<tmsize_t>(n) * kTiffRow);
  }
  TIFFClose(t);
  return f;
}

void tiff_decode(MemFile& f, std::vector<uint8_t>* out) {
  TIFF* t = mem_open(&f, "r");
  TIFFReadEncodedStrip(t, 0, out->data(), static_cast<tmsize_t>(out->size()));
  TIFFClose(t);
}

// ---- ours ---------------------------------------------------------------------

RX_HIMAGE ours_load(const MemFile& f) {
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(f.bytes.data(), static_cast<int32_t>(f.bytes.size()), 1, 0, &image) != 0) {
    std::fprintf(stderr, "load failed\n");
    std::exit(1);
  }
  return image;
}

int32_t ours_save(RX_HIMAGE image, std::vector<uint8_t>* block) {
  int32_t size = 0;
  const uint32_t word = RX_FORMAT_TIFF | static_cast<uint32_t>(RX_COMPRESSION_GROUP4) << 16;
  if (RX_image_save_memory(image, block->data(), 0, static_cast<int32_t>(block->size()), 0, 0, word,
                           &size) != 0) {
    std::fprintf(stderr, "save failed\n");
    std::exit(1);
  }
  return size;
}

// The page as packed rows with black set, from a loaded image whose
// palette makes index 0 black or white.
bool same_page(RX_HIMAGE image, const std::vector<uint8_t>& page) {
  std::vector<uint8_t> row((kWidth + 31) / 32 * 4);
  std::vector<uint8_t> first(row.size());
  for (uint32_t y = 0; y < kHeight; ++y) {
    if (RX_DIB_raster_get(image, static_cast<int32_t>(y), row.data(), RX_ROW_PACKED) != 0) return false;
    // Either polarity is the page, provided every row has the same one.
    const uint8_t* want = page.data() + size_t{y} * kTiffRow;
    bool plain = true, inverted = true;
    for (uint32_t k = 0; k < kTiffRow; ++k) {
      const uint8_t mask = k + 1 == kTiffRow && kWidth % 8 ? static_cast<uint8_t>(0xFF00 >> (kWidth % 8)) : 0xFF;
      plain &= ((row[k] ^ want[k]) & mask) == 0;
      inverted &= ((row[k] ^ static_cast<uint8_t>(~want[k])) & mask) == 0;
    }
    if (!plain && !inverted) return false;
  }
  return true;
}

size_t runs_bytes(const MemFile& g4) {
  // The raw strip of libtiff's one-strip file, decoded into run rows.
  TIFF* t = mem_open(const_cast<MemFile*>(&g4), "r");
  uint64_t* counts = nullptr;
  TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
  std::vector<uint8_t> raw(static_cast<size_t>(counts[0]));
  TIFFReadRawStrip(t, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
  TIFFClose(t);
  struct Sink {
    size_t bytes = 0;
  } sink;
  IO_REC io{};
  io.raster_set = [](IO_REC* r, const uint8_t*, int32_t, int32_t count) -> int32_t {
    reinterpret_cast<Sink*>(r->cb_data[RX_CBD_RASTER_SET])->bytes += static_cast<size_t>(count);
    return 0;
  };
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&sink);
  rx::CcittDecodeParams s;
  s.variant = rx::kCcittG4;
  s.width = kWidth;
  s.rows = kHeight;
  s.polarity = 0;
  s.run_rows = 1;
  if (rx::ccitt_decode(&io, s, raw.data(), static_cast<uint32_t>(raw.size()), nullptr, nullptr) != 0) return 0;
  return sink.bytes;
}

// ---- memory of a load, in a fresh process ---------------------------------------

int memory_child(const char* path) {
  RX_engine_start(0);
  const long before = bench::peak_reset();
  RX_HIMAGE image = 0;
  if (RX_image_load_file(path, &image) != 0) return 1;
  std::printf("%ld\n", bench::peak_rise_kb(before));
  RX_image_delete(image);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) return memory_child(argv[2]);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  RX_engine_start(0);
  TIFFSetWarningHandler(nullptr);
  const std::vector<uint8_t> page = bench::text_page();
  MemFile g4 = tiff_encode(page, COMPRESSION_CCITTFAX4, 0, true);
  MemFile g3 = tiff_encode(page, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING, true);

  // Both readers must give the page before they are timed.
  std::vector<uint8_t> theirs(size_t{kTiffRow} * kHeight);
  for (MemFile* f : {&g4, &g3}) {
    RX_HIMAGE image = ours_load(*f);
    tiff_decode(*f, &theirs);
    if (!same_page(image, page) || theirs != page) return std::fprintf(stderr, "decoders differ\n"), 1;
    RX_image_delete(image);
  }

  const double g4_ours = best_ms(runs, [&] { RX_image_delete(ours_load(g4)); });
  const double g4_theirs = best_ms(runs, [&] { tiff_decode(g4, &theirs); });
  const double g3_ours = best_ms(runs, [&] { RX_image_delete(ours_load(g3)); });
  const double g3_theirs = best_ms(runs, [&] { tiff_decode(g3, &theirs); });

  RX_HIMAGE image = ours_load(g4);
  std::vector<uint8_t> block(4 << 20);
  int32_t written = 0;
  const double enc_ours = best_ms(runs, [&] { written = ours_save(image, &block); });
  size_t their_size = 0;
  const double enc_theirs =
      best_ms(runs, [&] { their_size = tiff_encode(page, COMPRESSION_CCITTFAX4, 0, false).bytes.size(); });
  // Our file must load as the page again.
  MemFile back;
  back.bytes.assign(block.begin(), block.begin() + written);
  RX_HIMAGE again = ours_load(back);
  if (!same_page(again, page)) return std::fprintf(stderr, "our Group 4 file differs\n"), 1;
  RX_image_delete(again);
  RX_image_delete(image);

  std::printf("page %u x %u; files: G4 %zu bytes and G3 2D %zu bytes (libtiff, one strip); "
              "G4 written %d bytes (ours), %zu bytes (libtiff, default strips)\n",
              kWidth, kHeight, g4.bytes.size(), g3.bytes.size(), written, their_size);
  std::printf("%-28s %10s %10s %8s\n", "case (best of runs, cpu ms)", "ours", "libtiff", "ratio");
  auto line = [](const char* name, double ours, double theirs_ms) {
    std::printf("%-28s %10.2f %10.2f %8.2f\n", name, ours, theirs_ms, ours / theirs_ms);
  };
  line("G4 TIFF decode", g4_ours, g4_theirs);
  line("G3 2D TIFF decode", g3_ours, g3_theirs);
  line("G4 TIFF encode", enc_ours, enc_theirs);

  long extra_kb = -1;
  if (!bench::child_peak_kb(argv[0], g4.bytes, &extra_kb)) return 1;
  const size_t runs_kb = runs_bytes(g4) / 1024;
  std::printf("G4 TIFF load: peak memory above the start %ld KiB; run rows %zu KiB; limit %zu KiB\n",
              extra_kb, runs_kb, runs_kb + 1024);
  return 0;
}
