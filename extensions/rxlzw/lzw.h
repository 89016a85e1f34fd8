// The LZW code of GIF images and TIFF strips: variable-width codes of up
// to 12 bits over a string table that starts with one entry per root value
// and two control codes, Clear (2^min_bits) and End (Clear + 1).
//
// The two formats differ in two ways, both set at reset: the order in
// which codes are packed into bytes (GIF fills each byte from its lowest
// bit, TIFF from its highest), and when the code width grows (GIF when the
// table's next free code reaches 2^width, TIFF one code earlier, "the
// early change"). Old TIFF writers packed codes like GIF; those strips
// begin with the bytes 0x00 0x01 and decode as LSB-first without the early
// change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rxlzw {

inline constexpr int kMaxBits = 12;
inline constexpr int kTableSize = 1 << kMaxBits;

enum class BitOrder { kLsbFirst, kMsbFirst };

struct LzwVariant {
  int min_bits;         // root values are 0 .. 2^min_bits - 1; 1..8
  BitOrder order;
  bool early_change;
};

inline constexpr LzwVariant kTiffLzw{8, BitOrder::kMsbFirst, true};
inline constexpr LzwVariant kTiffOldLzw{8, BitOrder::kLsbFirst, false};
inline LzwVariant gif_lzw(int min_bits) { return {min_bits, BitOrder::kLsbFirst, false}; }

// A decoder over one code stream held in memory. read() may be called
// again and again for the next bytes (a row at a time, say); the string a
// code stands for is carried over when it does not fit the output.
class LzwDecoder {
 public:
  enum class State {
    kRunning,    // more output may follow
    kEnd,        // the End code was read
    kExhausted,  // the input ran out before the End code
    kCorrupt     // a code that names no string yet
  };

  // Starts decoding `size` bytes at `data` (kept by the caller).
  void reset(const LzwVariant& variant, const uint8_t* data, size_t size);
  // Writes up to n decoded bytes to out; returns how many. Fewer than n
  // means the stream stopped: state() says why.
  size_t read(uint8_t* out, size_t n);
  State state() const { return state_; }
  // Input bytes the decoder has taken so far.
  size_t consumed() const { return pos_; }

 private:
  int next_code();
  void clear_table();
  // Writes the string of `code` (length `len`) at out; the last len bytes.
  void emit(int code, uint8_t* out, int len) const;

  LzwVariant v_{};
  const uint8_t* data_ = nullptr;
  size_t size_ = 0, pos_ = 0;
  uint32_t bits_ = 0;
  int bit_count_ = 0;
  int width_ = 0, next_ = 0, prev_ = -1, clear_ = 0;
  State state_ = State::kEnd;
  // The string of a code that did not fit the last read(): pending_[head_..len_).
  uint8_t pending_[kTableSize];
  int pending_len_ = 0, pending_head_ = 0;
  uint16_t prefix_[kTableSize];
  uint16_t length_[kTableSize];
  uint8_t suffix_[kTableSize];
  uint8_t first_[kTableSize];
};

// An encoder that writes its codes through a byte sink; min_bits 2 to 8
// (with 1 root bit the first free code would not fit the first width). Every stream
// starts with Clear; when the table fills, the encoder sends Clear and
// starts a new table, so that no code ever needs more than 12 bits.
class LzwEncoder {
 public:
  // Receives the coded bytes; returns false to stop (a write failed).
  using Sink = bool (*)(void* user, const uint8_t* bytes, size_t n);

  void reset(const LzwVariant& variant, Sink sink, void* user);
  bool write(const uint8_t* data, size_t n);
  // Sends the last string, End, and the bits left in the last byte.
  bool finish();
  // Coded bytes handed to the sink so far.
  uint64_t bytes_out() const { return total_; }

 private:
  bool put_code(int code);
  bool flush_bytes();
  void clear_table();
  void after_code(int code);
  int find(int prefix, uint8_t byte) const;

  static constexpr int kHashSize = 1 << 13;  // twice the table, for short probes
  LzwVariant v_{};
  Sink sink_ = nullptr;
  void* user_ = nullptr;
  uint64_t total_ = 0;
  uint32_t bits_ = 0;
  int bit_count_ = 0;
  int clear_ = 0, next_ = 0, width_ = 0;
  int mirror_next_ = 0;   // the decoder's next free code after it reads our last code
  bool first_code_ = true;  // the next code is the first after Clear
  int limit_ = 0;         // Clear is sent when next_ reaches this
  int current_ = -1;      // code of the string being extended
  uint8_t out_[255];  // handed to the sink when full: GIF sub-blocks are this long
  int out_len_ = 0;
  uint32_t hash_key_[kHashSize];  // (prefix << 8 | byte) + 1; 0 is empty
  uint16_t hash_code_[kHashSize];
};

}  // namespace rxlzw
