// libtiff as the fax codec's peer: single-strip bi-level TIFF files written
// from pixels (libtiff codes them) or from coded bytes (ours), and read
// back as raw strips or as pixels decoded by libtiff. Pixels here have set
// bits black, as libtiff's fax codec delivers them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "filters/codecs/ccitt_harness.h"

namespace tiff_peer {

// How a variant is described in a TIFF file.
struct Form {
  uint16_t compression;  // 2, 3 or 4
  uint32_t t4_options;   // for compression 3
};
Form form_of(int32_t variant);

// libtiff codes the picture into `path`.
bool write_pixels(const std::string& path, const ccitt_test::Picture& p, Form form,
                  int fill_order);
// Our coded bytes as the strip of `path`.
bool write_coded(const std::string& path, uint32_t width, uint32_t height,
                 const std::vector<uint8_t>& coded, Form form, int fill_order);
// The strip's bytes as stored.
std::vector<uint8_t> read_raw(const std::string& path);
// The pixels as libtiff decodes them; `ok` false when libtiff failed.
ccitt_test::Picture read_pixels(const std::string& path, bool* ok);

// A fresh folder for the test's files.
std::string temp_dir();

}  // namespace tiff_peer
