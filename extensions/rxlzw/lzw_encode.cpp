// LZW encoding. The encoder keeps a copy of the decoder's code width: it
// widens its codes exactly when a decoder reading them would, which keeps
// the two in step whatever the variant.
#include <cstring>

#include "lzw.h"

namespace rxlzw {

void LzwEncoder::reset(const LzwVariant& variant, Sink sink, void* user) {
  v_ = variant;
  sink_ = sink;
  user_ = user;
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
  put_code(clear_);
}

void LzwEncoder::clear_table() {
  next_ = clear_ + 2;
  std::memset(hash_key_, 0, sizeof hash_key_);
}

int LzwEncoder::find(int prefix, uint8_t byte) const {
  const uint32_t key = (static_cast<uint32_t>(prefix) << 8 | byte) + 1;
  for (uint32_t h = (key * 2654435761u) >> (32 - 13);; h = (h + 1) & (kHashSize - 1)) {
    if (hash_key_[h] == key) return hash_code_[h];
    if (hash_key_[h] == 0) return -1;
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
void LzwEncoder::after_code(int code) {
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

bool LzwEncoder::put_code(int code) {
  if (v_.order == BitOrder::kLsbFirst) bits_ |= static_cast<uint32_t>(code) << bit_count_;
  else bits_ = bits_ << width_ | static_cast<uint32_t>(code);
  bit_count_ += width_;
  bool ok = true;
  while (bit_count_ >= 8) {
    if (v_.order == BitOrder::kLsbFirst) {
      out_[out_len_++] = static_cast<uint8_t>(bits_);
      bits_ >>= 8;
    } else {
      out_[out_len_++] = static_cast<uint8_t>(bits_ >> (bit_count_ - 8));
    }
    bit_count_ -= 8;
    if (out_len_ == static_cast<int>(sizeof out_)) ok = flush_bytes() && ok;
  }
  if (v_.order == BitOrder::kMsbFirst) bits_ &= (1u << bit_count_) - 1;
  after_code(code);
  return ok;
}

bool LzwEncoder::write(const uint8_t* data, size_t n) {
  bool ok = true;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = data[i];
    if (current_ < 0) {
      current_ = b;
      continue;
    }
    const int k = find(current_, b);
    if (k >= 0) {
      current_ = k;
      continue;
    }
    ok = put_code(current_) && ok;
    const uint32_t key = (static_cast<uint32_t>(current_) << 8 | b) + 1;
    uint32_t h = (key * 2654435761u) >> (32 - 13);
    while (hash_key_[h] != 0) h = (h + 1) & (kHashSize - 1);
    hash_key_[h] = key;
    hash_code_[h] = static_cast<uint16_t>(next_++);
    current_ = b;
    if (next_ >= limit_) {
      ok = put_code(clear_) && ok;
      clear_table();
    }
    if (!ok) return false;
  }
  return ok;
}

bool LzwEncoder::finish() {
  bool ok = true;
  if (current_ >= 0) ok = put_code(current_);
  current_ = -1;
  ok = put_code(clear_ + 1) && ok;
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
