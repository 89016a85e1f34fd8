// Texture: a second image is laid over the rectangle as tiles edge to edge
// from the rectangle's top-left corner, and raises or lowers every channel
// of the pixel under it by its grey value less 128. Mid-grey 128 is
// neutral, lighter texture brightens, darker texture darkens, so a relief
// such as canvas or paper shows through the picture.
#include <algorithm>
#include <array>

#include "IMG_PROC/fx_common.h"
#include "IMG_PROC/grey_row.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/mem_tag.h"

RX_SOURCE("source\\IMG_PROC\\fx_texture.cpp");

namespace rx::ip::fx {
namespace {

// Grey value of each 8-bit texture index through its palette, weighted as
// the engine's grey conversion weights channels.
std::array<uint8_t, 256> palette_grey(const void* dib) {
  std::array<uint8_t, 256> g{};
  const RX_RGBQUAD* p = dib_palette(dib);
  for (size_t i = 0; i < 256; ++i)
    g[i] = static_cast<uint8_t>((p[i].rgbRed * 77u + p[i].rgbGreen * 151u + p[i].rgbBlue * 28u) >> 8);
  return g;
}

// The texture as rows of grey values, copied first so that an image
// textured with itself reads its unchanged pixels.
uint8_t* texture_grey(IMAGE_REC* texture, TagGuard& tag) {
  const RX_BITMAPINFOHEADER* h = dib_header(texture->dib);
  const auto width = static_cast<size_t>(h->biWidth);
  const int64_t bytes = int64_t{h->biWidth} * h->biHeight;
  auto* grey = static_cast<uint8_t*>(tag.alloc(static_cast<size_t>(bytes)));
  if (grey == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX)), 0);
    return nullptr;
  }
  const std::array<uint8_t, 256> index_grey =
      h->biBitCount == 8 ? palette_grey(texture->dib) : std::array<uint8_t, 256>{};
  for (int32_t y = 0; y < h->biHeight; ++y) {
    const uint8_t* row = dib_image_row(texture->dib, y);
    uint8_t* out = grey + static_cast<size_t>(y) * width;
    if (h->biBitCount == 24) grey_row_24(row, static_cast<uint32_t>(width), out);
    else for (size_t x = 0; x < width; ++x) out[x] = index_grey[row[x]];
  }
  return grey;
}

bool texture_ok(RX_HIMAGE texture) {
  if (texture == 0 || !RPb_iRX_image_is_valid(texture) ||
      image_header(record_of(texture)) == nullptr) {
    RX_ERR(RXE_INVALID_HANDLE, 0, 0);
    return false;
  }
  const RX_BITMAPINFOHEADER* h = dib_header(record_of(texture)->dib);
  if (h->biBitCount == 8 || h->biBitCount == 24) return true;
  // lVal 1 tells the texture's depth from the image's.
  RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, h->biBitCount, 1);
  return false;
}

// The value v moved by g - 128, limited to 0..255, for every v and g.
const std::array<std::array<uint8_t, 256>, 256>& shift_table() {
  static const auto table = [] {
    std::array<std::array<uint8_t, 256>, 256> t{};
    for (int32_t g = 0; g < 256; ++g)
      for (int32_t v = 0; v < 256; ++v)
        t[static_cast<size_t>(g)][static_cast<size_t>(v)] =
            static_cast<uint8_t>(std::clamp(v + g - 128, 0, 255));
    return t;
  }();
  return table;
}

}  // namespace
}  // namespace rx::ip::fx

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_effect_texture(RX_HIMAGE image, const int32_t* rect, RX_HIMAGE texture) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  if (!fx::depth_8_or_24(record) || !fx::texture_ok(texture)) return RPb_AF_error_check();
  TagGuard tag;
  const uint8_t* grey = fx::texture_grey(record_of(texture), tag);
  if (grey == nullptr) return RPb_AF_error_check();
  const RX_BITMAPINFOHEADER* th = dib_header(record_of(texture)->dib);
  const int32_t tw = th->biWidth, tht = th->biHeight;
  const int32_t bpp = dib_header(record->dib)->biBitCount == 24 ? 3 : 1;
  const Span span = span_clamp(rect, dib_header(record->dib));
  const auto& shift = fx::shift_table();
  span_walk(record, span, 1, [&](int32_t y) {
    const uint8_t* g = grey + static_cast<size_t>((y - span.top) % tht) * static_cast<size_t>(tw);
    uint8_t* p = dib_image_row(record->dib, y) + static_cast<size_t>(span.left) * bpp;
    for (int32_t x = 0, tx = 0; x < span.columns(); ++x, p += bpp) {
      const auto& t = shift[g[tx]];
      for (int32_t c = 0; c < bpp; ++c) p[c] = t[p[c]];
      if (++tx == tw) tx = 0;
    }
    return true;
  });
  return RPb_AF_error_check();
}
