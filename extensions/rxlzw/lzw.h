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
  // With copying off, every string is written by walking its codes back
  // from the last byte: the plain path the copying one must agree with.
  void copying_set(bool on) { copying_ = on; }

 private:
  template <BitOrder kOrder>
  size_t read_codes(uint8_t* out, size_t done, size_t n);
  template <BitOrder kOrder>
  int next_code();
  void clear_table();
  // Writes the string of `code` (length `len`) at out; the last len bytes.
  void emit(int code, uint8_t* out, int len) const;
  // Writes the string of `code` at out[at]: copied from where the string
  // stands earlier in out when it does, else by emit.
  void put_string(int code, uint8_t* out, size_t at, size_t n, int len);

  LzwVariant v_{};
  const uint8_t* data_ = nullptr;
  size_t size_ = 0, pos_ = 0;
  uint64_t bits_ = 0;  // up to 7 + 32 bits waiting
  int bit_count_ = 0;
  int width_ = 0, next_ = 0, prev_ = -1, clear_ = 0;
  State state_ = State::kEnd;
  // The string of a code that did not fit the last read(): pending_[head_..len_).
  uint8_t pending_[kTableSize];
  int pending_len_ = 0, pending_head_ = 0;
  bool copying_ = true;
  // Output positions counted over the whole stream: where the output of
  // this read() starts, where the last string written started (when it
  // was written whole), and where each code's string stands in the
  // output; a place before base_ is in an earlier read's buffer, gone.
  uint64_t base_ = 0, total_ = 0, prev_at_ = 0;
  uint64_t at_[kTableSize];
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

  // The sink gets the coded bytes in pieces of `piece` bytes (the last
  // shorter), 1 to kLongestPiece: GIF's sub-blocks (kGifSubBlock), or as
  // long as may be for a TIFF strip.
  static constexpr int kLongestPiece = 4096;
  static constexpr int kGifSubBlock = 255;
  void reset(const LzwVariant& variant, Sink sink, void* user, int piece);
  bool write(const uint8_t* data, size_t n);
  // Sends the last string, End, and the bits left in the last byte.
  bool finish();
  // Coded bytes handed to the sink so far.
  uint64_t bytes_out() const { return total_; }

 private:
  template <BitOrder kOrder>
  bool write_codes(const uint8_t* data, size_t n);
  template <BitOrder kOrder>
  bool put_code(int code);
  template <BitOrder kOrder>
  bool drain();
  bool put_code_any(int code);
  bool flush_bytes();
  void clear_table();
  void after_code(int code);

  static constexpr int kHashSize = 1 << 13;  // twice the table, for short probes
  LzwVariant v_{};
  Sink sink_ = nullptr;
  void* user_ = nullptr;
  int piece_ = kLongestPiece;
  uint64_t total_ = 0;
  uint64_t bits_ = 0;  // fewer than 32 + 12 bits waiting
  int bit_count_ = 0;
  int clear_ = 0, next_ = 0, width_ = 0;
  int mirror_next_ = 0;   // the decoder's next free code after it reads our last code
  bool first_code_ = true;  // the next code is the first after Clear
  int limit_ = 0;         // Clear is sent when next_ reaches this
  int current_ = -1;      // code of the string being extended
  uint8_t out_[kLongestPiece];  // handed to the sink when piece_ bytes are in
  int out_len_ = 0;
  // Keys are the table's generation (counted up by every Clear) over
  // prefix << 8 | byte, so that a Clear empties the table without
  // touching it; a key of another generation is an empty slot. A reset
  // starts a new generation too, so an encoder kept for the next strip
  // costs nothing to reuse.
  uint32_t generation_ = 0;
  uint32_t hash_key_[kHashSize] = {};
  uint16_t hash_code_[kHashSize];
};

}  // namespace rxlzw
