// Loads one page of an image file into an engine image.
#pragma once

#include <cstdint>
#include <string>

#include "rastrix/rastrix.h"

namespace rxcli {

// Owns an engine image and deletes it on scope exit.
class Image {
 public:
  explicit Image(RX_HIMAGE handle = 0) : handle_(handle) {}
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;
  Image(Image&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }

  RX_HIMAGE get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

 private:
  RX_HIMAGE handle_;
};

// Page 1 loads straight from the file; later pages load from a copy of the
// whole file in memory, the way the engine takes a page number. On failure
// the image is empty and `report` says why.
Image load_page(const std::string& path, int32_t page, std::string& report);

}  // namespace rxcli
