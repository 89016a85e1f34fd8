#include "filters/codecs/tiff_peer.h"

#include <tiffio.h>

#include <cstdlib>
#include <cstring>

namespace tiff_peer {

Form form_of(int32_t variant) {
  switch (variant) {
    case 2: return {COMPRESSION_CCITTRLE, 0};
    case 3: return {COMPRESSION_CCITTFAX3, 0};
    case 4: return {COMPRESSION_CCITTFAX3, GROUP3OPT_FILLBITS};
    case 10: return {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING};
    case 11: return {COMPRESSION_CCITTFAX3, GROUP3OPT_2DENCODING | GROUP3OPT_FILLBITS};
    default: return {COMPRESSION_CCITTFAX4, 0};
  }
}

namespace {

TIFF* create(const std::string& path, uint32_t width, uint32_t height, Form form, int fill_order) {
  TIFFSetWarningHandler(nullptr);
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (t == nullptr) return nullptr;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, fill_order == 2 ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, form.compression);
  if (form.compression == COMPRESSION_CCITTFAX3)
    TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, form.t4_options);
  return t;
}

}  // namespace

bool write_pixels(const std::string& path, const ccitt_test::Picture& p, Form form,
                  int fill_order) {
  TIFF* t = create(path, p.width, static_cast<uint32_t>(p.rows.size()), form, fill_order);
  if (t == nullptr) return false;
  const tmsize_t row_bytes = (p.width + 7) / 8;
  std::vector<uint8_t> strip;
  for (const auto& r : p.rows) strip.insert(strip.end(), r.begin(), r.begin() + row_bytes);
  const bool ok = TIFFWriteEncodedStrip(t, 0, strip.data(), static_cast<tmsize_t>(strip.size())) >= 0;
  TIFFClose(t);
  return ok;
}

bool write_coded(const std::string& path, uint32_t width, uint32_t height,
                 const std::vector<uint8_t>& coded, Form form, int fill_order) {
  TIFF* t = create(path, width, height, form, fill_order);
  if (t == nullptr) return false;
  std::vector<uint8_t> copy = coded;
  const bool ok = TIFFWriteRawStrip(t, 0, copy.data(), static_cast<tmsize_t>(copy.size())) >= 0;
  TIFFClose(t);
  return ok;
}

std::vector<uint8_t> read_raw(const std::string& path) {
  std::vector<uint8_t> out;
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return out;
  uint64_t* counts = nullptr;
  if (TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) && counts != nullptr) {
    out.resize(static_cast<size_t>(counts[0]));
    if (TIFFReadRawStrip(t, 0, out.data(), static_cast<tmsize_t>(out.size())) < 0) out.clear();
  }
  TIFFClose(t);
  return out;
}

ccitt_test::Picture read_pixels(const std::string& path, bool* ok) {
  *ok = false;
  TIFFSetErrorHandler(nullptr);
  TIFF* t = TIFFOpen(path.c_str(), "r");
  if (t == nullptr) return ccitt_test::Picture(0, 0);
  uint32_t width = 0, height = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
  ccitt_test::Picture p(width, height);
  std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(t)));
  bool good = true;
  for (uint32_t y = 0; y < height && good; ++y) {
    good = TIFFReadScanline(t, row.data(), y, 0) >= 0;
    std::memcpy(p.rows[y].data(), row.data(), std::min(row.size(), p.rows[y].size()));
  }
  TIFFClose(t);
  *ok = good;
  return p.tidy();
}

std::string temp_dir() {
  char name[] = "/tmp/rx_ccitt_XXXXXX";
  const char* dir = mkdtemp(name);
  return dir != nullptr ? dir : "/tmp";
}

}  // namespace tiff_peer
