// The tests' TIFF LZW codec. The decoder keeps, for each code, where its
// string already stands in the output and how long it is, so a code's
// string is one copy from what was decoded before.
#include "filters/tiff/lzw_test_codec.h"

#include <cstring>
#include <memory>

#include "SUPPORT/ext.h"
#include "filters/codecs/ccitt_tables.h"
#include "rastrix/rpb.h"

namespace tifft {
namespace {

constexpr uint32_t kClear = 256;
constexpr uint32_t kEnd = 257;
constexpr uint32_t kFirst = 258;
constexpr uint32_t kMinBits = 9;
constexpr uint32_t kMaxBits = 12;
constexpr uint32_t kTableSize = 1u << kMaxBits;
// The encoder starts a new table when this code would be the next.
constexpr uint32_t kTableFull = kTableSize - 2;
constexpr int32_t kLzwCodec = 8;

struct DecodeTable {
  uint32_t at[kTableSize];
  uint32_t length[kTableSize];
};

size_t decode_into(const uint8_t* in, size_t n, uint8_t* out, size_t cap, bool* ok) {
  auto table = std::make_unique<DecodeTable>();
  uint64_t acc = 0;
  uint32_t bits = 0, width = kMinBits, next = kFirst;
  size_t ip = 0, o = 0, prev_at = 0;
  uint32_t prev_length = 0;
  bool have_prev = false;
  *ok = true;
  for (;;) {
    while (bits < width) {
      if (ip == n) return o;
      acc = acc << 8 | in[ip++];
      bits += 8;
    }
    const uint32_t code = static_cast<uint32_t>(acc >> (bits - width)) & ((1u << width) - 1);
    bits -= width;
    if (code == kClear) {
      width = kMinBits;
      next = kFirst;
      have_prev = false;
      continue;
    }
    if (code == kEnd) return o;
    const size_t at = o;
    uint32_t length = 0;
    if (code < kClear) {
      if (o == cap) return o;
      out[o] = static_cast<uint8_t>(code);
      length = 1;
    } else if (have_prev && code < next) {
      length = table->length[code];
      if (cap - o < length) return o;
      std::memcpy(out + o, out + table->at[code], length);
    } else if (have_prev && code == next) {
      // The string just decoded and its own first byte.
      length = prev_length + 1;
      if (cap - o < length) return o;
      for (uint32_t i = 0; i < length; ++i) out[o + i] = out[prev_at + i];
    } else {
      *ok = false;
      return o;
    }
    o += length;
    if (have_prev && next < kTableSize) {
      // The previous string and the first byte of this one, which follow
      // each other in the output.
      table->at[next] = static_cast<uint32_t>(prev_at);
      table->length[next] = prev_length + 1;
      ++next;
      if (next == (1u << width) - 1 && width < kMaxBits) ++width;
    }
    have_prev = true;
    prev_at = at;
    prev_length = length;
  }
}

class BitOut {
 public:
  explicit BitOut(uint8_t* out) : out_(out) {}
  void put(uint32_t code, uint32_t width) {
    acc_ = acc_ << width | code;
    bits_ += width;
    while (bits_ >= 8) {
      bits_ -= 8;
      out_[n_++] = static_cast<uint8_t>(acc_ >> bits_);
    }
  }
  size_t finish() {
    if (bits_ > 0) out_[n_++] = static_cast<uint8_t>(acc_ << (8 - bits_));
    bits_ = 0;
    return n_;
  }

 private:
  uint8_t* out_;
  uint64_t acc_ = 0;
  uint32_t bits_ = 0;
  size_t n_ = 0;
};

constexpr uint32_t kHashBits = 14;
constexpr uint32_t kHashSize = 1u << kHashBits;

// Strings of the table by (prefix code, next byte); entries of an older
// table are told apart by their generation rather than cleared.
struct EncodeTable {
  uint32_t key[kHashSize];
  uint16_t code[kHashSize];
  uint16_t generation[kHashSize];
  uint16_t current = 1;
  void reset() {
    if (++current == 0) {
      std::memset(generation, 0, sizeof generation);
      current = 1;
    }
  }
};

uint32_t slot_of(uint32_t key) { return (key * 2654435761u) >> (32 - kHashBits); }

size_t encode_into(const uint8_t* in, size_t n, uint8_t* out) {
  auto t = std::make_unique<EncodeTable>();
  std::memset(t->generation, 0, sizeof t->generation);
  BitOut w(out);
  uint32_t width = kMinBits, next = kFirst;
  w.put(kClear, width);
  if (n == 0) {
    w.put(kEnd, width);
    return w.finish();
  }
  // After each table entry: a new table when it is full, a wider code
  // when the next code needs one.
  const auto grown = [&](uint32_t at_width) {
    if (next == kTableFull) {
      w.put(kClear, at_width);
      t->reset();
      width = kMinBits;
      next = kFirst;
    } else if (next > (1u << width) - 1) {
      ++width;
    }
  };
  uint32_t ent = in[0];
  for (size_t i = 1; i < n; ++i) {
    const uint32_t key = ent << 8 | in[i];
    uint32_t h = slot_of(key);
    bool found = false;
    while (t->generation[h] == t->current) {
      if (t->key[h] == key) {
        ent = t->code[h];
        found = true;
        break;
      }
      h = (h + 1) & (kHashSize - 1);
    }
    if (found) continue;
    w.put(ent, width);
    t->key[h] = key;
    t->code[h] = static_cast<uint16_t>(next);
    t->generation[h] = t->current;
    ++next;
    ent = in[i];
    grown(width);
  }
  w.put(ent, width);
  ++next;
  grown(width);
  w.put(kEnd, width);
  return w.finish();
}

size_t encode_bound(size_t n) { return n * 2 + 16; }

}  // namespace

std::vector<uint8_t> lzw_encode(const uint8_t* in, size_t n) {
  std::vector<uint8_t> out(encode_bound(n));
  out.resize(encode_into(in, n, out.data()));
  return out;
}

bool lzw_decode(const uint8_t* in, size_t n, std::vector<uint8_t>* out, size_t limit) {
  out->assign(limit, 0);
  bool ok = false;
  out->resize(decode_into(in, n, out->data(), limit, &ok));
  return ok;
}

int32_t lzw_test_decode(IO_REC* io, uint8_t* buffer, int32_t buffer_size, uint32_t pool_tag,
                        const RX_BITMAPINFOHEADER*, int32_t, int32_t, int32_t,
                        const RX_CODEC_STRIP* strip, void*) {
  if (io == nullptr || buffer == nullptr || strip == nullptr || strip->strip_bytes <= 0) return 1;
  auto* coded = static_cast<uint8_t*>(RPb_AF_mem_alloc(pool_tag, static_cast<size_t>(strip->strip_bytes)));
  if (coded == nullptr) return 2;
  const int32_t got = RPb_IO_read(io, coded, strip->strip_bytes);
  if (got <= 0) {
    RPb_AF_mem_free(pool_tag, coded);
    return 3;
  }
  if (strip->fill_order == 2)
    for (int32_t i = 0; i < got; ++i) coded[i] = rx::ccitt::kBitReverse[coded[i]];
  bool ok = false;
  decode_into(coded, static_cast<size_t>(got), buffer, static_cast<size_t>(buffer_size), &ok);
  RPb_AF_mem_free(pool_tag, coded);
  return ok ? 0 : 4;
}

int32_t lzw_test_encode(IO_REC* io, uint32_t pool_tag, const uint8_t* buffer, int32_t* byte_count) {
  if (io == nullptr || buffer == nullptr || byte_count == nullptr || *byte_count < 0) return 1;
  const auto n = static_cast<size_t>(*byte_count);
  auto* out = static_cast<uint8_t*>(RPb_AF_mem_alloc(pool_tag, encode_bound(n)));
  if (out == nullptr) return 2;
  const auto size = static_cast<int32_t>(encode_into(buffer, n, out));
  const int32_t written = RPb_IO_write(io, out, size);
  RPb_AF_mem_free(pool_tag, out);
  if (written != size) return 3;
  *byte_count = size;
  return 0;
}

LzwInstalled::LzwInstalled() {
  rx::extension_codec_test_install(kLzwCodec, lzw_test_decode, lzw_test_encode);
}

LzwInstalled::~LzwInstalled() { rx::extension_codec_test_install(kLzwCodec, nullptr, nullptr); }

}  // namespace tifft
