// Bit-level reading and writing of fax data, most significant bit first
// after the fill order is applied.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "filters/codecs/ccitt_tables.h"
#include "rastrix/rpb.h"
#include "rastrix/rx_types.h"

namespace rx::ccitt {

// Reverses the bits of every byte of a 64-bit word.
inline uint64_t reverse_each_byte(uint64_t v) {
  v = ((v >> 1) & 0x5555555555555555u) | ((v & 0x5555555555555555u) << 1);
  v = ((v >> 2) & 0x3333333333333333u) | ((v & 0x3333333333333333u) << 2);
  return ((v >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((v & 0x0F0F0F0F0F0F0F0Fu) << 4);
}

// Coded bytes come from a block that may be refilled from a stream.
struct Source {
  uint8_t* block = nullptr;   // refills land here
  uint32_t capacity = 0;      // bytes the block can take
  IO_REC* io = nullptr;       // null: the block is all there is
  int64_t available = 0;      // bytes still to read from io; negative: until it ends
};

// The next bits sit at the top of a 64-bit word. Bits below the `count`
// valid ones are zero or the true bits that follow, never anything else.
class BitReader {
 public:
  BitReader(const uint8_t* data, uint32_t size, Source* source, bool reversed)
      : p_(data), end_(data + size), source_(source), reversed_(reversed) {
    refill();
  }

  uint32_t count() const { return count_; }
  uint64_t word() const { return acc_; }
  // The next n (1..32) bits, zero-padded past the end of the data.
  uint32_t peek(uint32_t n) const { return static_cast<uint32_t>(acc_ >> (64 - n)); }
  // n may be all 64 bits the word holds, which a plain shift cannot take.
  void skip(uint32_t n) {
    acc_ = n < 64 ? acc_ << n : 0;
    count_ -= n;
  }
  bool ensure(uint32_t n) {
    if (count_ < n) refill();
    return count_ >= n;
  }
  // Drops the bits up to the next byte boundary of the data.
  void align() { skip(count_ & 7); }

  [[gnu::always_inline]] void refill() {
    if (count_ > 56) return;
    if (end_ - p_ >= 8) [[likely]] {
      uint64_t v;
      std::memcpy(&v, p_, 8);
      if (reversed_) v = reverse_each_byte(v);
      acc_ |= __builtin_bswap64(v) >> count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    slow_refill();
  }

 private:
  [[gnu::noinline]] void slow_refill() {
    while (count_ <= 56) {
      if (p_ == end_ && !more()) return;
      uint8_t b = *p_++;
      if (reversed_) b = kBitReverse[b];
      acc_ |= uint64_t{b} << (56 - count_);
      count_ += 8;
    }
  }

  // Reads the next piece of the stream into the block.
  bool more() {
    if (source_ == nullptr || source_->io == nullptr || source_->block == nullptr ||
        source_->available == 0)
      return false;
    int64_t want = source_->capacity;
    if (source_->available > 0 && source_->available < want) want = source_->available;
    const int32_t got = RPb_IO_read(source_->io, source_->block, static_cast<int32_t>(want));
    if (got <= 0) {
      source_->available = 0;
      return false;
    }
    if (source_->available > 0) source_->available -= got;
    p_ = source_->block;
    end_ = p_ + got;
    return true;
  }

  uint64_t acc_ = 0;
  uint32_t count_ = 0;
  const uint8_t* p_;
  const uint8_t* end_;
  Source* source_;
  bool reversed_;
};

// Where coded bytes go: a function that takes each full output block.
// It returns false when the bytes could not all be written.
using SinkFn = bool (*)(void* user, const uint8_t* bytes, uint32_t count);

// Collects codes in a 64-bit word and whole bytes in a block, which goes to
// the sink when full and at the end. `free_bits` of the current byte are
// those not yet written (8 when the byte is empty).
class BitWriter {
 public:
  BitWriter(uint8_t* block, uint32_t capacity, SinkFn sink, void* user, bool reversed)
      : block_(block), capacity_(capacity), sink_(sink), user_(user), reversed_(reversed) {}

  // Appends the low `length` bits of `bits` (length 0..32).
  void put(uint32_t bits, uint32_t length) {
    if (length == 0) return;
    acc_ |= (uint64_t{bits} & ((uint64_t{1} << length) - 1)) << (64 - count_ - length);
    count_ += length;
    if (count_ >= 32) spill();
  }
  // Appends `length` (any number of) zero bits.
  void zeros(uint64_t length) {
    while (length > 32) {
      put(0, 32);
      length -= 32;
    }
    put(0, static_cast<uint32_t>(length));
  }
  uint32_t free_bits() const { return 8 - (count_ & 7); }
  // Pads the current byte with zero bits.
  void align() {
    if ((count_ & 7) != 0) put(0, 8 - (count_ & 7));
  }
  // Pads and hands everything to the sink. False when the sink failed at
  // any time.
  bool finish() {
    align();
    spill();
    flush();
    return ok_;
  }
  uint64_t bytes_written() const { return written_ + used_; }
  bool ok() const { return ok_; }

 private:
  void spill() {
    while (count_ >= 8) {
      if (used_ == capacity_) flush();
      block_[used_++] = static_cast<uint8_t>(acc_ >> 56);
      acc_ <<= 8;
      count_ -= 8;
    }
  }
  void flush() {
    if (used_ == 0) return;
    if (reversed_)
      for (uint32_t i = 0; i < used_; ++i) block_[i] = kBitReverse[block_[i]];
    if (ok_ && !sink_(user_, block_, used_)) ok_ = false;
    written_ += used_;
    used_ = 0;
  }

  uint64_t acc_ = 0;
  uint32_t count_ = 0;
  uint8_t* block_;
  uint32_t capacity_;
  uint32_t used_ = 0;
  uint64_t written_ = 0;
  SinkFn sink_;
  void* user_;
  bool reversed_;
  bool ok_ = true;
};

}  // namespace rx::ccitt
