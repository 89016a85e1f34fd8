// Fax codec speed against libtiff on a 300-dpi A4 page (2480 x 3508) of
// generated text, in one run, all in memory:
//   Group 4 decode, Group 4 encode, Group 3 two-dimensional decode.
// Ours decodes into run rows kept back to back in memory (the form a
// loaded 1-bit image takes) and, for reference, into packed rows; libtiff
// decodes a strip into packed rows. Encoders code packed rows into memory.
// Each figure is the best of RUNS. Then the peak memory of a raw Group 4
// load through the engine, measured in a fresh process.
//
//   ccitt_bench [RUNS]
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "IO/io_rec.h"
#include "filters/codecs/ccitt.h"
#include "rastrix/rastrix.h"
#include "support/bench_timing.h"
#include "support/peak_memory.h"
#include "support/text_page.h"
#include "support/tiff_mem_file.h"

namespace {

using bench::MemFile;
using bench::mem_open;

constexpr uint32_t kWidth = bench::kPageWidth;
constexpr uint32_t kHeight = bench::kPageHeight;
constexpr uint32_t kStride = (kWidth + 31) / 32 * 4;
constexpr uint32_t kTiffRow = bench::kPageRowBytes;

// ---- libtiff ----------------------------------------------------------------------

void tiff_fields(TIFF* t, uint16_t compression, uint32_t options) {
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, kHeight);
  TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, options);
}

// libtiff codes the page; returns the TIFF file.
MemFile tiff_encode(const std::vector<uint8_t>& page, uint16_t compression, uint32_t options) {
  MemFile f;
  TIFF* t = mem_open(&f, "w");
  tiff_fields(t, compression, options);
  std::vector<uint8_t> copy = page;
  TIFFWriteEncodedStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size()));
  TIFFClose(t);
  return f;
}

std::vector<uint8_t> tiff_raw_strip(MemFile& f) {
  TIFF* t = mem_open(&f, "r");
  uint64_t* counts = nullptr;
  TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
  std::vector<uint8_t> raw(static_cast<size_t>(counts[0]));
  TIFFReadRawStrip(t, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
  TIFFClose(t);
  return raw;
}

// ---- ours ---------------------------------------------------------------------

struct Sink {
  std::vector<uint8_t> bytes;  // run rows back to back, or packed rows
};

int32_t keep_row(IO_REC* io, const uint8_t* row, int32_t, int32_t count) {
  auto* s = reinterpret_cast<Sink*>(io->cb_data[RX_CBD_RASTER_SET]);
  s->bytes.insert(s->bytes.end(), row, row + count);
  return 0;
}

void ours_decode(const std::vector<uint8_t>& raw, int32_t variant, bool runs, Sink* sink) {
  IO_REC io{};
  io.raster_set = keep_row;
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(sink);
  sink->bytes.clear();
  rx::CcittDecodeParams s;
  s.variant = variant;
  s.width = kWidth;
  s.rows = kHeight;
  s.polarity = 0;
  s.run_rows = runs ? 1 : 0;
  if (rx::ccitt_decode(&io, s, raw.data(), static_cast<uint32_t>(raw.size()), nullptr, nullptr) != 0) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(1);
  }
}

struct Rows {
  const std::vector<uint8_t>* page;
};

int32_t give_row(IO_REC* io, uint8_t* row, int32_t index, int32_t count) {
  auto* r = reinterpret_cast<Rows*>(io->cb_data[RX_CBD_RASTER_GET]);
  std::memcpy(row, r->page->data() + size_t{kTiffRow} * static_cast<size_t>(index), kTiffRow);
  std::memset(row + kTiffRow, 0, static_cast<size_t>(count) - kTiffRow);
  return 0;
}

size_t ours_encode(const std::vector<uint8_t>& page, std::vector<uint8_t>* block) {
  IO_REC io;
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block->data(), static_cast<int32_t>(block->size()), 0);
  Rows r{&page};
  io.raster_get = give_row;
  io.cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(&r);
  rx::CcittEncodeParams e;
  e.variant = rx::kCcittG4;
  e.polarity = 0;
  RX_BITMAPINFOHEADER h{40, static_cast<int32_t>(kWidth), static_cast<int32_t>(kHeight), 1, 1, 0, 0, 0, 0, 2, 2};
  uint64_t n = 0;
  if (rx::ccitt_encode(&io, e, h, 0, static_cast<int32_t>(kHeight), &n) != 0) std::exit(1);
  return static_cast<size_t>(n);
}

// The best of RUNS on the wall clock.
double best_ms(int runs, const std::function<void()>& f) { return bench::best_ms(runs, f, bench::wall_ms); }

// ---- memory of a raw load, in a fresh process -------------------------------------

int memory_child(const char* path) {
  RX_engine_start(0);
  const int fd = ::open(path, O_RDONLY);
  const long before = bench::peak_reset();
  RX_HIMAGE image = 0;
  if (RX_image_load_raw_CCITT(fd, kWidth, kHeight, 4, 1, &image) != 0) return 1;
  const long peak = bench::peak_rise_kb(before);
  RX_BITMAPINFOHEADER h{};
  RX_DIB_raster_get(image, 0, nullptr, 0);  // nothing; the header comes from the handle below
  int32_t w = 0, hh = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &hh, &bits);
  (void)h;
  std::printf("%ld\n", peak);
  ::close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--memory") == 0) return memory_child(argv[2]);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  RX_engine_start(0);
  TIFFSetWarningHandler(nullptr);
  const std::vector<uint8_t> page = bench::text_page();

  MemFile g4 = tiff_encode(page, COMPRESSION_CCITTFAX4, 0);
  MemFile g3 = tiff_encode(page, COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING);
  const std::vector<uint8_t> g4_raw = tiff_raw_strip(g4);
  const std::vector<uint8_t> g3_raw = tiff_raw_strip(g3);

  // Both decoders must agree before they are timed.
  Sink packed;
  ours_decode(g4_raw, rx::kCcittG4, false, &packed);
  std::vector<uint8_t> theirs(size_t{kTiffRow} * kHeight);
  for (size_t y = 0; y < kHeight; ++y)
    if (std::memcmp(packed.bytes.data() + y * kStride, page.data() + y * kTiffRow, kTiffRow) != 0) {
      std::fprintf(stderr, "row %zu differs\n", y);
      return 1;
    }

  auto tiff_decode = [&theirs](MemFile& f) {
    TIFF* t = mem_open(&f, "r");
    TIFFReadEncodedStrip(t, 0, theirs.data(), static_cast<tmsize_t>(theirs.size()));
    TIFFClose(t);
  };
  Sink runs_sink, packed_sink;
  runs_sink.bytes.reserve(8 << 20);
  packed_sink.bytes.reserve(size_t{kStride} * kHeight);
  std::vector<uint8_t> block(4 << 20);

  const double g4_ours_runs = best_ms(runs, [&] { ours_decode(g4_raw, rx::kCcittG4, true, &runs_sink); });
  const double g4_ours_packed = best_ms(runs, [&] { ours_decode(g4_raw, rx::kCcittG4, false, &packed_sink); });
  const double g4_theirs = best_ms(runs, [&] { tiff_decode(g4); });
  if (theirs != page) return std::fprintf(stderr, "libtiff decode differs\n"), 1;
  const double g3_ours_runs = best_ms(runs, [&] { ours_decode(g3_raw, rx::kCcittG3TwoD, true, &runs_sink); });
  const double g3_ours_packed = best_ms(runs, [&] { ours_decode(g3_raw, rx::kCcittG3TwoD, false, &packed_sink); });
  const double g3_theirs = best_ms(runs, [&] { tiff_decode(g3); });
  size_t coded = 0;
  const double enc_ours = best_ms(runs, [&] { coded = ours_encode(page, &block); });
  const double enc_theirs = best_ms(runs, [&] { tiff_encode(page, COMPRESSION_CCITTFAX4, 0); });

  const bool same = coded == g4_raw.size() && std::memcmp(block.data(), g4_raw.data(), coded) == 0;
  std::printf("page %u x %u, G4 %zu bytes (libtiff), %zu bytes (ours, %s); G3 2D %zu bytes; run rows %zu bytes\n",
              kWidth, kHeight, g4_raw.size(), coded, same ? "the same bytes" : "other bytes",
              g3_raw.size(), runs_sink.bytes.size());
  std::printf("%-26s %10s %10s %8s\n", "case (best of runs, ms)", "ours", "libtiff", "ratio");
  auto line = [](const char* name, double ours, double theirs_ms) {
    std::printf("%-26s %10.2f %10.2f %8.2f\n", name, ours, theirs_ms, ours / theirs_ms);
  };
  line("G4 decode (run rows)", g4_ours_runs, g4_theirs);
  line("G4 decode (packed rows)", g4_ours_packed, g4_theirs);
  line("G3 2D decode (run rows)", g3_ours_runs, g3_theirs);
  line("G3 2D decode (packed rows)", g3_ours_packed, g3_theirs);
  line("G4 encode", enc_ours, enc_theirs);

  // Peak memory of the engine's raw Group 4 load, in a fresh process.
  long extra_kb = -1;
  if (!bench::child_peak_kb(argv[0], g4_raw, &extra_kb)) return 1;
  std::printf("raw G4 load: peak memory above the start %ld KiB; run rows %zu KiB; limit %zu KiB\n",
              extra_kb, runs_sink.bytes.size() / 1024, runs_sink.bytes.size() / 1024 + 1024);
  return 0;
}
