// The GIF writer: 1-, 4- and 8-bit images, one frame each. A new file gets
// the image's palette as its global colour table; a save into an existing
// GIF adds the image as a further frame, with its palette as the frame's
// own table, before the trailer (the logical screen grows to hold it). A
// transparent colour of the image that its palette holds becomes the
// frame's transparent index.
#include <algorithm>
#include <cstring>
#include <new>

#include "ext_error.h"
#include "gif.h"
#include "gif_blocks.h"
#include "lzw.h"

RXLZW_SOURCE("extensions\\rxlzw\\GIFWRITE.cpp");

namespace rxlzw {
namespace {

constexpr int32_t kMaxSide = 0xFFFF;  // a GIF stores sizes in 16 bits

struct Image {
  RX_BITMAPINFOHEADER header{};
  RX_RGBQUAD palette[256]{};
  int32_t entries = 0;     // 2^depth
  int32_t transparent = -1;
};

// Where the frame goes: after the blocks of an existing GIF, or at the
// start for a new file.
struct Target {
  int32_t start = 0;      // the stream's position at entry
  bool append = false;
  size_t insert_at = 0;   // offset from start where the frame goes
  GifScreen screen;
  const uint8_t* original = nullptr;  // the GIF that was there, to put back
  size_t original_size = 0;           // on failure
};

bool callback_ok(int32_t result) {
  if (result == 0) return true;
  if (RPb_AF_error_check() == 0) RXLZW_ERR(RXE_FAILURE, result, 0);
  return false;
}

bool image_get(IO_REC* io, Image* im) {
  if (!callback_ok(RPb_IO_DIB_get(io, &im->header, im->palette))) return false;
  const int32_t depth = im->header.biBitCount;
  if (depth != 1 && depth != 4 && depth != 8) {
    RXLZW_ERR(RXE_INVALID_BITCOUNT_FOR_FORMAT, depth, 0);
    return false;
  }
  const int32_t w = im->header.biWidth, h = std::abs(im->header.biHeight);
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) {
    RXLZW_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, w, h);
    return false;
  }
  im->entries = 1 << depth;
  uint32_t colour = 0;
  if (RPb_IO_attribute_get(io, RX_ATTR_TRANSPARENT_COLOR, &colour) == 1) {
    for (int32_t i = 0; i < im->entries && im->transparent < 0; ++i) {
      const RX_RGBQUAD& q = im->palette[i];
      if ((q.rgbBlue | q.rgbGreen << 8 | q.rgbRed << 16) == static_cast<int32_t>(colour & 0xFFFFFF))
        im->transparent = i;
    }
  }
  return true;
}

// Reads what the stream already holds; a GIF there is appended to.
bool target_find(Pool& pool, IO_REC* io, Target* t) {
  t->start = RPb_IO_tell(io);
  const int32_t end = RPb_IO_seek(io, 0, RX_SEEK_END);
  RPb_IO_seek(io, t->start, RX_SEEK_SET);
  if (t->start < 0 || end <= t->start) return true;
  const auto size = static_cast<size_t>(end - t->start);
  auto* data = static_cast<uint8_t*>(pool.alloc(size));
  if (data == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, size, 0);
    return false;
  }
  const int32_t got = RPb_IO_read(io, data, static_cast<int32_t>(size));
  RPb_IO_seek(io, t->start, RX_SEEK_SET);
  size_t blocks = 0;
  if (got <= 0 || !gif_screen_parse(data, static_cast<size_t>(got), &t->screen, &blocks))
    return true;
  t->append = true;
  t->original = data;
  t->original_size = static_cast<size_t>(got);
  gif_frames_walk(data, static_cast<size_t>(got), blocks,
                  [](const GifFrame&, int32_t) { return true; }, &t->insert_at);
  return true;
}

bool put(IO_REC* io, const void* bytes, size_t n, int32_t code) {
  if (RPb_IO_write(io, bytes, static_cast<int32_t>(n)) == static_cast<int32_t>(n)) return true;
  RXLZW_ERR(code, static_cast<int32_t>(n), 0);
  return false;
}

void le16(uint8_t* p, int32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

bool table_put(IO_REC* io, const Image& im) {
  uint8_t rgb[256 * 3];
  for (int32_t i = 0; i < im.entries; ++i) {
    rgb[3 * i] = im.palette[i].rgbRed;
    rgb[3 * i + 1] = im.palette[i].rgbGreen;
    rgb[3 * i + 2] = im.palette[i].rgbBlue;
  }
  return put(io, rgb, size_t(im.entries) * 3, RXE_CANT_WRITE_PALETTE);
}

// The header and logical screen of a new file, or the screen of an
// existing one grown to the image (and the version raised when a graphic
// control block is added to a GIF87a file).
bool screen_put(IO_REC* io, const Image& im, const Target& t) {
  const int32_t depth = im.header.biBitCount;
  const int32_t w = im.header.biWidth, h = std::abs(im.header.biHeight);
  const bool control = im.transparent >= 0;
  if (!t.append) {
    uint8_t head[13];
    std::memcpy(head, control ? "GIF89a" : "GIF87a", 6);
    le16(head + 6, w);
    le16(head + 8, h);
    head[10] = static_cast<uint8_t>(0x80 | (depth - 1) << 4 | (depth - 1));
    head[11] = 0;
    head[12] = 0;
    return put(io, head, sizeof head, RXE_CANT_WRITE_HEADER) && table_put(io, im);
  }
  if (w > t.screen.width || h > t.screen.height) {
    uint8_t size[4];
    le16(size, std::max(w, t.screen.width));
    le16(size + 2, std::max(h, t.screen.height));
    if (RPb_IO_seek(io, t.start + 6, RX_SEEK_SET) < 0 ||
        !put(io, size, sizeof size, RXE_CANT_WRITE_HEADER))
      return false;
  }
  if (control && !t.screen.version_89a &&
      (RPb_IO_seek(io, t.start + 3, RX_SEEK_SET) < 0 || !put(io, "89a", 3, RXE_CANT_WRITE_HEADER)))
    return false;
  if (RPb_IO_seek(io, t.start + static_cast<int32_t>(t.insert_at), RX_SEEK_SET) < 0) {
    RXLZW_ERR(RXE_CANT_WRITE_FILE, t.insert_at, 0);
    return false;
  }
  return true;
}

bool frame_head_put(IO_REC* io, const Image& im, const Target& t, bool interlace) {
  if (im.transparent >= 0) {
    const uint8_t control[8] = {0x21, 0xF9, 4, 1, 0, 0, static_cast<uint8_t>(im.transparent), 0};
    if (!put(io, control, sizeof control, RXE_CANT_WRITE_HEADER)) return false;
  }
  const int32_t depth = im.header.biBitCount;
  uint8_t d[10] = {0x2C};
  le16(d + 5, im.header.biWidth);
  le16(d + 7, std::abs(im.header.biHeight));
  d[9] = static_cast<uint8_t>((interlace ? 0x40 : 0) | (t.append ? 0x80 | (depth - 1) : 0));
  if (!put(io, d, sizeof d, RXE_CANT_WRITE_HEADER)) return false;
  return !t.append || table_put(io, im);
}

// Sends each coded chunk (at most 255 bytes) as one sub-block.
bool sub_block_sink(void* user, const uint8_t* bytes, size_t n) {
  auto* io = static_cast<IO_REC*>(user);
  const uint8_t length = static_cast<uint8_t>(n);
  return RPb_IO_write(io, &length, 1) == 1 &&
         RPb_IO_write(io, bytes, static_cast<int32_t>(n)) == static_cast<int32_t>(n);
}

// The n-th row sent: interlaced frames send rows 0, 8, 16 ..., then 4, 12
// ..., then 2, 6 ..., then the odd rows.
int32_t row_sent(int32_t n, int32_t height) {
  static constexpr int32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  for (int32_t pass = 0; pass < 4; ++pass) {
    const int32_t in_pass = (height - kStart[pass] + kStep[pass] - 1) / kStep[pass];
    if (n < std::max(in_pass, 0)) return kStart[pass] + n * kStep[pass];
    n -= std::max(in_pass, 0);
  }
  return 0;
}

bool pixels_put(Pool& pool, IO_REC* io, const Image& im, bool interlace) {
  const int32_t depth = im.header.biBitCount;
  const int32_t w = im.header.biWidth, h = std::abs(im.header.biHeight);
  const size_t stride = (size_t(depth) * size_t(w) + 31) / 32 * 4;
  auto* packed = static_cast<uint8_t*>(pool.alloc(stride));
  auto* indexes = static_cast<uint8_t*>(pool.alloc(size_t(w)));
  void* room = pool.alloc(sizeof(LzwEncoder));
  if (packed == nullptr || indexes == nullptr || room == nullptr) {
    RXLZW_ERR(RXE_MEMORY_ALLOC_FAILED, stride, 0);
    return false;
  }
  const uint8_t min_bits = static_cast<uint8_t>(std::max(2, depth));
  if (!put(io, &min_bits, 1, RXE_CANT_WRITE_PIXEL_DATA)) return false;
  auto* encoder = new (room) LzwEncoder;
  encoder->reset(gif_lzw(min_bits), sub_block_sink, io, LzwEncoder::kGifSubBlock);
  for (int32_t n = 0; n < h; ++n) {
    const int32_t r = interlace ? row_sent(n, h) : n;
    if (!callback_ok(RPb_IO_raster_get(io, packed, r, static_cast<int32_t>(stride)))) return false;
    for (int32_t x = 0; x < w; ++x)
      indexes[x] = depth == 8   ? packed[x]
                   : depth == 4 ? static_cast<uint8_t>(packed[x >> 1] >> ((x & 1) ? 0 : 4) & 15)
                                : static_cast<uint8_t>(packed[x >> 3] >> (7 - (x & 7)) & 1);
    if (!encoder->write(indexes, size_t(w))) {
      RXLZW_ERR(RXE_CANT_WRITE_PIXEL_DATA, r, 0);
      return false;
    }
  }
  static constexpr uint8_t kEnd[2] = {0, 0x3B};  // block terminator, trailer
  if (!encoder->finish()) {
    RXLZW_ERR(RXE_CANT_WRITE_PIXEL_DATA, h, 0);
    return false;
  }
  return put(io, kEnd, sizeof kEnd, RXE_CANT_WRITE_PIXEL_DATA);
}

// An append that fails part-way has already grown the screen, raised the
// version or written over the trailer: the GIF that was there is written
// back whole, so it reads as before. Pushes nothing; the failure that led
// here has been reported.
void original_restore(IO_REC* io, const Target& t) {
  if (RPb_IO_seek(io, t.start, RX_SEEK_SET) == t.start)
    RPb_IO_write(io, t.original, static_cast<int32_t>(t.original_size));
}

bool image_write(IO_REC* io, const GifFlags& flags, Target* t) {
  Pool pool;
  Image im;
  if (!image_get(io, &im) || !target_find(pool, io, t)) return false;
  const bool interlace = flags.interlace != 0;
  const bool written = screen_put(io, im, *t) && frame_head_put(io, im, *t, interlace) &&
                       pixels_put(pool, io, im, interlace);
  if (!written && t->append) original_restore(io, *t);
  return written;
}

}  // namespace

int32_t gif_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t) {
  GifFlags f = kGifFlagDefaults;
  if (flags != nullptr) std::memcpy(&f, flags, sizeof f);
  Target t;
  t.start = RPb_IO_tell(io);
  if (!image_write(io, f, &t)) RPb_IO_seek(io, t.start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rxlzw
