// The control's property stream: its version, its extent and the three
// stock properties, and nothing else (every custom member starts at its
// initial value in each new control). 25 bytes, little-endian:
//   uint32 version 0x00010000, int32 extent cx, int32 extent cy (HIMETRIC),
//   uint8 stock mask (1 BackColor, 2 BorderStyle, 4 Appearance),
//   then each stock value present in the mask as a 32-bit value.
#include <cstring>

#include "RastCtl.h"

namespace rast {

using namespace com;

namespace {

constexpr uint32_t kStreamVersion = 0x00010000u;
constexpr uint8_t kStockBackColor = 1, kStockBorderStyle = 2, kStockAppearance = 4;
constexpr uint32_t kStreamSize = 25;

void put32(uint8_t*& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
}

bool read32(IStream* s, uint32_t* v) {
  uint8_t b[4];
  uint32_t got = 0;
  if (FAILED(s->Read(b, 4, &got)) || got != 4) return false;
  *v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

}  // namespace

HRESULT CRastCtrl::Save(IStream* stream, int32_t clear_dirty) {
  if (stream == nullptr) return E_POINTER;
  uint8_t buffer[kStreamSize];
  uint8_t* p = buffer;
  put32(p, kStreamVersion);
  put32(p, static_cast<uint32_t>(extent_cx_));
  put32(p, static_cast<uint32_t>(extent_cy_));
  *p++ = kStockBackColor | kStockBorderStyle | kStockAppearance;
  put32(p, back_color_);
  put32(p, static_cast<uint32_t>(static_cast<int32_t>(border_style_)));
  put32(p, static_cast<uint32_t>(static_cast<int32_t>(appearance_)));
  uint32_t written = 0;
  HRESULT hr = stream->Write(buffer, kStreamSize, &written);
  if (FAILED(hr)) return hr;
  if (written != kStreamSize) return STG_E_READFAULT;
  if (clear_dirty) modified_ = false;
  return S_OK;
}

// A stream that is short, of another version or with unknown mask bits
// changes nothing.
HRESULT CRastCtrl::Load(IStream* stream) {
  if (stream == nullptr) return E_POINTER;
  uint32_t version = 0, cx = 0, cy = 0;
  if (!read32(stream, &version) || !read32(stream, &cx) || !read32(stream, &cy))
    return STG_E_READFAULT;
  if ((version >> 16) != 1) return STG_E_READFAULT;
  uint8_t mask = 0;
  uint32_t got = 0;
  if (FAILED(stream->Read(&mask, 1, &got)) || got != 1) return STG_E_READFAULT;
  if (mask & ~(kStockBackColor | kStockBorderStyle | kStockAppearance)) return STG_E_READFAULT;
  uint32_t color = back_color_;
  uint32_t border = static_cast<uint32_t>(border_style_), look = static_cast<uint32_t>(appearance_);
  if ((mask & kStockBackColor) && !read32(stream, &color)) return STG_E_READFAULT;
  if ((mask & kStockBorderStyle) && !read32(stream, &border)) return STG_E_READFAULT;
  if ((mask & kStockAppearance) && !read32(stream, &look)) return STG_E_READFAULT;
  if (static_cast<int32_t>(cx) < 0 || static_cast<int32_t>(cy) < 0) return STG_E_READFAULT;
  extent_cx_ = static_cast<int32_t>(cx);
  extent_cy_ = static_cast<int32_t>(cy);
  back_color_ = color;
  border_style_ = static_cast<int16_t>(border);
  appearance_ = static_cast<int16_t>(look);
  modified_ = false;
  return S_OK;
}

HRESULT CRastCtrl::GetSizeMax(uint64_t* size) {
  if (size == nullptr) return E_POINTER;
  *size = kStreamSize;
  return S_OK;
}

}  // namespace rast
