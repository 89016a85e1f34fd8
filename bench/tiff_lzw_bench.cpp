// LZW TIFF speed against libtiff on a 24-bit photo (make_photo's 12
// megapixels), in one run, all in memory, with the RXLZW module loaded:
//   - decode: the file libtiff wrote (LZW, horizontal predictor, its
//     default strips), loaded by the engine from memory against
//     TIFFReadEncodedStrip of every strip into one buffer;
//   - encode: the loaded photo saved by the engine as an LZW TIFF into
//     memory, against libtiff writing the same pixels with the predictor.
// Figures are the best of RUNS in processor time of this thread, so that a
// busy machine does not skew the ratios. Both decoders must give the same
// pixels, and our file must load back as the photo, before anything is timed.
//
//   tiff_lzw_bench PHOTO.bmp [RUNS]
#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "rastrix/rastrix.h"
#include "support/bench_timing.h"
#include "support/tiff_mem_file.h"

namespace {

using bench::best_ms;
using bench::MemFile;
using bench::mem_open;

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows from the top, red first
};

Picture picture_of(RX_HIMAGE image) {
  Picture p;
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(image, &w, &h, &bits);
  p.width = static_cast<uint32_t>(w);
  p.height = static_cast<uint32_t>(h);
  p.rgb.resize(size_t{p.width} * 3 * p.height);
  std::vector<uint8_t> row((size_t{p.width} * 3 + 3) / 4 * 4);
  for (uint32_t y = 0; y < p.height; ++y) {
    RX_DIB_raster_get(image, static_cast<int32_t>(y), row.data(), RX_ROW_PACKED);
    uint8_t* out = p.rgb.data() + size_t{y} * p.width * 3;
    for (uint32_t x = 0; x < p.width; ++x) {
      out[3 * x] = row[3 * x + 2];
      out[3 * x + 1] = row[3 * x + 1];
      out[3 * x + 2] = row[3 * x];
    }
  }
  return p;
}

MemFile tiff_encode(const Picture& p) {
  MemFile f;
  TIFF* t = mem_open(&f, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  const uint32_t rows = TIFFDefaultStripSize(t, 0);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rows);
  const size_t row_bytes = size_t{p.width} * 3;
  std::vector<uint8_t> copy(p.rgb);  // libtiff applies the predictor in place
  for (uint32_t s = 0, y = 0; y < p.height; ++s, y += rows) {
    const uint32_t n = std::min(rows, p.height - y);
    TIFFWriteEncodedStrip(t, s, copy.data() + y * row_bytes, static_cast<tmsize_t>(n * row_bytes));
  }
  TIFFClose(t);
  return f;
}

void tiff_decode(MemFile& f, std::vector<uint8_t>* out) {
  TIFF* t = mem_open(&f, "r");
  const tstrip_t strips = TIFFNumberOfStrips(t);
  const tmsize_t strip_bytes = TIFFStripSize(t);
  uint8_t* at = out->data();
  for (tstrip_t s = 0; s < strips; ++s) {
    const tmsize_t left = static_cast<tmsize_t>(out->data() + out->size() - at);
    const tmsize_t got = TIFFReadEncodedStrip(t, s, at, std::min(strip_bytes, left));
    if (got < 0) break;
    at += got;
  }
  TIFFClose(t);
}

RX_HIMAGE ours_load(const std::vector<uint8_t>& bytes) {
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(bytes.data(), static_cast<int32_t>(bytes.size()), 1, 0, &image) != 0) {
    std::fprintf(stderr, "load failed\n");
    std::exit(1);
  }
  return image;
}

int32_t ours_save(RX_HIMAGE image, std::vector<uint8_t>* block) {
  int32_t size = 0;
  const uint32_t word = RX_FORMAT_TIFF | static_cast<uint32_t>(RX_COMPRESSION_LZW) << 16;
  if (RX_image_save_memory(image, block->data(), 0, static_cast<int32_t>(block->size()), 0, 0, word,
                           &size) != 0) {
    std::fprintf(stderr, "save failed\n");
    std::exit(1);
  }
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return std::fprintf(stderr, "usage: tiff_lzw_bench PHOTO.bmp [RUNS]\n"), 2;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  RX_engine_start(0);
  if (RX_extension_load(RX_RXLZW_MODULE) != 0) return std::fprintf(stderr, "no RXLZW module\n"), 1;
  TIFFSetWarningHandler(nullptr);
  RX_HIMAGE photo = 0;
  if (RX_image_load_file(argv[1], &photo) != 0) return std::fprintf(stderr, "cannot load %s\n", argv[1]), 1;
  const Picture p = picture_of(photo);
  MemFile theirs_file = tiff_encode(p);

  std::vector<uint8_t> theirs(p.rgb.size());
  tiff_decode(theirs_file, &theirs);
  RX_HIMAGE loaded = ours_load(theirs_file.bytes);
  if (theirs != p.rgb || picture_of(loaded).rgb != p.rgb) return std::fprintf(stderr, "decoders differ\n"), 1;
  RX_image_delete(loaded);

  std::vector<uint8_t> block(p.rgb.size() * 2 + (1 << 20));
  int32_t written = ours_save(photo, &block);
  if (picture_of(ours_load({block.begin(), block.begin() + written})).rgb != p.rgb)
    return std::fprintf(stderr, "our LZW file differs\n"), 1;

  const double dec_ours = best_ms(runs, [&] { RX_image_delete(ours_load(theirs_file.bytes)); });
  const double dec_theirs = best_ms(runs, [&] { tiff_decode(theirs_file, &theirs); });
  const double enc_ours = best_ms(runs, [&] { written = ours_save(photo, &block); });
  size_t their_size = 0;
  const double enc_theirs = best_ms(runs, [&] { their_size = tiff_encode(p).bytes.size(); });

  std::printf("photo %u x %u; files: %zu bytes (libtiff, predictor 2), %d bytes (ours)\n", p.width,
              p.height, theirs_file.bytes.size(), written);
  std::printf("%-28s %10s %10s %8s\n", "case (best of runs, cpu ms)", "ours", "libtiff", "ratio");
  auto line = [](const char* name, double ours, double theirs_ms) {
    std::printf("%-28s %10.2f %10.2f %8.2f\n", name, ours, theirs_ms, ours / theirs_ms);
  };
  line("LZW TIFF decode", dec_ours, dec_theirs);
  line("LZW TIFF encode", enc_ours, enc_theirs);
  RX_image_delete(photo);
  return 0;
}
