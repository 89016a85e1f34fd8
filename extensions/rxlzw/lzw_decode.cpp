// LZW decoding. Every code is checked against the table before it is
// used: a code beyond the next free one, or a first code after Clear that
// is not a root, stops the stream as corrupt, and a full table takes no
// more strings (the codes stay 12 bits wide until the next Clear), so no
// input can index outside the table or grow a string past its size.
#include <algorithm>
#include <cstring>

#include "lzw.h"

namespace rxlzw {

void LzwDecoder::reset(const LzwVariant& variant, const uint8_t* data, size_t size) {
  v_ = variant;
  data_ = data;
  size_ = data != nullptr ? size : 0;
  pos_ = 0;
  bits_ = 0;
  bit_count_ = 0;
  pending_len_ = pending_head_ = 0;
  base_ = total_ = prev_at_ = 0;
  clear_ = 1 << v_.min_bits;
  for (int i = 0; i < clear_; ++i) {
    prefix_[i] = 0;
    length_[i] = 1;
    suffix_[i] = first_[i] = static_cast<uint8_t>(i);
  }
  state_ = v_.min_bits >= 1 && v_.min_bits <= 8 ? State::kRunning : State::kCorrupt;
  clear_table();
}

void LzwDecoder::clear_table() {
  width_ = v_.min_bits + 1;
  next_ = clear_ + 2;
  prev_ = -1;
}

template <BitOrder kOrder>
int LzwDecoder::next_code() {
  if (bit_count_ < width_) {
    if (size_ - pos_ >= 4) {
      // Four bytes at once while the input has them.
      const uint8_t* p = data_ + pos_;
      if constexpr (kOrder == BitOrder::kLsbFirst)
        bits_ |= (uint64_t{p[0]} | uint64_t{p[1]} << 8 | uint64_t{p[2]} << 16 | uint64_t{p[3]} << 24) << bit_count_;
      else
        bits_ = bits_ << 32 | (uint64_t{p[0]} << 24 | uint64_t{p[1]} << 16 | uint64_t{p[2]} << 8 | p[3]);
      pos_ += 4;
      bit_count_ += 32;
    } else {
      while (bit_count_ < width_) {
        if (pos_ >= size_) return -1;
        const uint64_t byte = data_[pos_++];
        if constexpr (kOrder == BitOrder::kLsbFirst) bits_ |= byte << bit_count_;
        else bits_ = bits_ << 8 | byte;
        bit_count_ += 8;
      }
    }
  }
  const uint64_t mask = (uint64_t{1} << width_) - 1;
  int code;
  if constexpr (kOrder == BitOrder::kLsbFirst) {
    code = static_cast<int>(bits_ & mask);
    bits_ >>= width_;
    bit_count_ -= width_;
  } else {
    code = static_cast<int>((bits_ >> (bit_count_ - width_)) & mask);
    bit_count_ -= width_;
    bits_ &= (uint64_t{1} << bit_count_) - 1;
  }
  return code;
}

void LzwDecoder::emit(int code, uint8_t* out, int len) const {
  for (uint8_t* p = out + len - 1; p >= out; --p) {
    *p = suffix_[code];
    code = prefix_[code];
  }
}

[[gnu::always_inline]] inline void LzwDecoder::put_string(int code, uint8_t* out, size_t at, size_t n, int len) {
  const uint64_t where = at_[code];
  if (!copying_ || len == 1 || where < base_) {
    emit(code, out + at, len);
    return;
  }
  const auto from = static_cast<size_t>(where - base_);
  const auto count = static_cast<size_t>(len);
  if (from + count > at) {
    // The code being defined by this very code ("KwKwK"): the previous
    // string, which ends where this one starts, and its own first byte.
    std::memcpy(out + at, out + from, count - 1);
    out[at + count - 1] = out[from];
  } else if (count <= 16 && at + 16 <= n) {
    // Short strings, the most of a photo's, as two loads and two stores;
    // the bytes past the string are written again by the strings after.
    uint64_t a, b;
    std::memcpy(&a, out + from, 8);
    std::memcpy(&b, out + from + 8, 8);
    std::memcpy(out + at, &a, 8);
    std::memcpy(out + at + 8, &b, 8);
  } else {
    std::memcpy(out + at, out + from, count);
  }
}

size_t LzwDecoder::read(uint8_t* out, size_t n) {
  base_ = total_;
  size_t done = 0;
  if (pending_head_ < pending_len_) {
    const size_t take = std::min<size_t>(n, static_cast<size_t>(pending_len_ - pending_head_));
    std::memcpy(out, pending_ + pending_head_, take);
    pending_head_ += static_cast<int>(take);
    done = take;
  }
  if (done < n && state_ == State::kRunning)
    done = v_.order == BitOrder::kLsbFirst ? read_codes<BitOrder::kLsbFirst>(out, done, n)
                                           : read_codes<BitOrder::kMsbFirst>(out, done, n);
  total_ += done;
  return done;
}

template <BitOrder kOrder>
size_t LzwDecoder::read_codes(uint8_t* out, size_t done, size_t n) {
  while (done < n && state_ == State::kRunning) {
    const int code = next_code<kOrder>();
    if (code < 0) {
      state_ = State::kExhausted;
      break;
    }
    if (code == clear_) {
      clear_table();
      continue;
    }
    if (code == clear_ + 1) {
      state_ = State::kEnd;
      break;
    }
    if (prev_ < 0) {
      if (code > clear_) {
        state_ = State::kCorrupt;
        break;
      }
    } else if (code <= next_ && next_ < kTableSize) {
      // The new string is the previous one plus the first byte of this
      // one; when this code is the one being defined ("KwKwK"), that first
      // byte is the previous string's own. It stands where the previous
      // string was written, the first byte of this one following.
      const int first = code < next_ ? first_[code] : first_[prev_];
      prefix_[next_] = static_cast<uint16_t>(prev_);
      suffix_[next_] = static_cast<uint8_t>(first);
      first_[next_] = first_[prev_];
      length_[next_] = static_cast<uint16_t>(length_[prev_] + 1);
      at_[next_] = prev_at_;
      ++next_;
      const int grow_at = (1 << width_) - (v_.early_change ? 1 : 0);
      if (next_ >= grow_at && width_ < kMaxBits) ++width_;
    } else if (code >= next_) {
      state_ = State::kCorrupt;
      break;
    }
    prev_ = code;
    const int len = length_[code];
    if (static_cast<size_t>(len) <= n - done) {
      put_string(code, out, done, n, len);
      prev_at_ = base_ + done;
      if (code > clear_) at_[code] = prev_at_;
      done += static_cast<size_t>(len);
    } else {
      // The string does not fit: the rest waits for the next read, whose
      // output starts past every place kept so far.
      emit(code, pending_, len);
      const size_t take = n - done;
      std::memcpy(out + done, pending_, take);
      pending_head_ = static_cast<int>(take);
      pending_len_ = len;
      done = n;
    }
  }
  return done;
}

}  // namespace rxlzw
