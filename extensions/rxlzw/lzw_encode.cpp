// LZW encoding. The encoder keeps a copy of the decoder's code width: it
// widens its codes exactly when a decoder reading them would, which keeps
// the two in step whatever the variant.
#include <cstring>

#include "lzw.h"

namespace rxlzw {

void LzwEncoder::reset(const LzwVariant& variant, Sink sink, void* user, int piece) {
  v_ = variant;
  sink_ = sink;
  user_ = user;
  piece_ = piece >= 1 && piece <= kLongestPiece ? piece : kLongestPiece;
  total_ = 0;
  bits_ = 0;
  bit_count_ = 0;
  out_len_ = 0;
  clear_ = 1 << v_.min_bits;
  // With the early change a decoder widens its codes one free code
  // sooner, so the table is cleared one string earlier to stay at 12 bits.
  limit_ = v_.early_change ? kTableSize - 2 : kTableSize;
  current_ = -1;
  clear_table();
  width_ = v_.min_bits + 1;
  put_code_any(clear_);
}

// Generations start at 1 so that the zeroed table is empty; after 4095
// of them the keys would repeat, and the table is zeroed again.
constexpr uint32_t kGenerationShift = 20;  // keys: 12 bits of prefix, 8 of byte
constexpr uint32_t kGenerations = 1u << (32 - kGenerationShift);
constexpr uint32_t kKeyMask = (1u << kGenerationShift) - 1;

void LzwEncoder::clear_table() {
  next_ = clear_ + 2;
  if (++generation_ == kGenerations) {
    std::memset(hash_key_, 0, sizeof hash_key_);
    generation_ = 1;
  }
}

bool LzwEncoder::flush_bytes() {
  if (out_len_ == 0) return true;
  const bool ok = sink_(user_, out_, static_cast<size_t>(out_len_));
  total_ += static_cast<uint64_t>(out_len_);
  out_len_ = 0;
  return ok;
}

// Follows what a decoder does after reading `code`, so that width_ is the
// width it will read the next code with.
[[gnu::always_inline]] inline void LzwEncoder::after_code(int code) {
  if (code == clear_) {
    width_ = v_.min_bits + 1;
    mirror_next_ = clear_ + 2;
    first_code_ = true;
    return;
  }
  if (code == clear_ + 1) return;
  if (first_code_) {
    first_code_ = false;
    return;
  }
  if (mirror_next_ >= kTableSize) return;
  ++mirror_next_;
  const int grow_at = (1 << width_) - (v_.early_change ? 1 : 0);
  if (mirror_next_ >= grow_at && width_ < kMaxBits) ++width_;
}

// Writes the whole bytes waiting, a piece to the sink whenever one fills.
template <BitOrder kOrder>
bool LzwEncoder::drain() {
  bool ok = true;
  while (bit_count_ >= 8) {
    if constexpr (kOrder == BitOrder::kLsbFirst) {
      out_[out_len_++] = static_cast<uint8_t>(bits_);
      bits_ >>= 8;
    } else {
      out_[out_len_++] = static_cast<uint8_t>(bits_ >> (bit_count_ - 8));
    }
    bit_count_ -= 8;
    if (out_len_ == piece_) ok = flush_bytes() && ok;
  }
  return ok;
}

// Codes wait in the bit buffer until 32 bits are there, which go out as
// four bytes at once. Most significant bits first, the buffer keeps only
// its low bit_count_ bits meaningful: what a shift pushes above them is
// never read.
template <BitOrder kOrder>
[[gnu::always_inline]] inline bool LzwEncoder::put_code(int code) {
  const auto c = static_cast<uint64_t>(code);
  if constexpr (kOrder == BitOrder::kLsbFirst) bits_ |= c << bit_count_;
  else bits_ = bits_ << width_ | c;
  bit_count_ += width_;
  after_code(code);
  if (bit_count_ < 32) return true;
  if (out_len_ + 4 > piece_) return drain<kOrder>();
  uint8_t* p = out_ + out_len_;
  uint32_t word;
  if constexpr (kOrder == BitOrder::kLsbFirst) {
    word = static_cast<uint32_t>(bits_);
    bits_ >>= 32;
    p[0] = static_cast<uint8_t>(word);
    p[1] = static_cast<uint8_t>(word >> 8);
    p[2] = static_cast<uint8_t>(word >> 16);
    p[3] = static_cast<uint8_t>(word >> 24);
  } else {
    word = static_cast<uint32_t>(bits_ >> (bit_count_ - 32));
    p[0] = static_cast<uint8_t>(word >> 24);
    p[1] = static_cast<uint8_t>(word >> 16);
    p[2] = static_cast<uint8_t>(word >> 8);
    p[3] = static_cast<uint8_t>(word);
  }
  bit_count_ -= 32;
  out_len_ += 4;
  return out_len_ < piece_ || flush_bytes();
}

bool LzwEncoder::put_code_any(int code) {
  return v_.order == BitOrder::kLsbFirst ? put_code<BitOrder::kLsbFirst>(code)
                                         : put_code<BitOrder::kMsbFirst>(code);
}

bool LzwEncoder::write(const uint8_t* data, size_t n) {
  return v_.order == BitOrder::kLsbFirst ? write_codes<BitOrder::kLsbFirst>(data, n)
                                         : write_codes<BitOrder::kMsbFirst>(data, n);
}

template <BitOrder kOrder>
bool LzwEncoder::write_codes(const uint8_t* data, size_t n) {
  bool ok = true;
  size_t i = 0;
  if (current_ < 0 && n > 0) current_ = data[i++];
  // The string being extended stays in a register while the bytes run.
  auto current = static_cast<uint32_t>(current_);
  uint32_t generation = generation_ << kGenerationShift;
  for (; i < n; ++i) {
    const uint8_t b = data[i];
    const uint32_t string = current << 8 | b;
    const uint32_t key = generation | string;
    uint32_t h = (string * 2654435761u) >> (32 - 13);
    // A slot of this generation holds a string; any other is empty.
    while ((hash_key_[h] & ~kKeyMask) == generation && hash_key_[h] != key) h = (h + 1) & (kHashSize - 1);
    if (hash_key_[h] == key) {
      current = hash_code_[h];
      continue;
    }
    ok = put_code<kOrder>(static_cast<int>(current)) && ok;
    hash_key_[h] = key;
    hash_code_[h] = static_cast<uint16_t>(next_++);
    current = b;
    if (next_ >= limit_) {
      ok = put_code<kOrder>(clear_) && ok;
      clear_table();
      generation = generation_ << kGenerationShift;
    }
    if (!ok) break;
  }
  current_ = static_cast<int>(current);
  return ok;
}

bool LzwEncoder::finish() {
  bool ok = true;
  if (current_ >= 0) ok = put_code_any(current_);
  current_ = -1;
  ok = put_code_any(clear_ + 1) && ok;
  ok = (v_.order == BitOrder::kLsbFirst ? drain<BitOrder::kLsbFirst>() : drain<BitOrder::kMsbFirst>()) && ok;
  if (bit_count_ > 0) {
    out_[out_len_++] = static_cast<uint8_t>(v_.order == BitOrder::kLsbFirst
                                                ? bits_
                                                : bits_ << (8 - bit_count_));
    bits_ = 0;
    bit_count_ = 0;
  }
  return flush_bytes() && ok;
}

}  // namespace rxlzw
