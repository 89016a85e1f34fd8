// Inflate: decodes deflate data (stored, fixed-Huffman and dynamic-Huffman
// blocks) with a 32 KiB history window, and zlib streams around them.
//
// The codec is a set of pure functions over bounded buffers. It holds no
// engine state, allocates nothing and pushes nothing on the error stack:
// every call returns an InflateStatus, which the calling filter maps to its
// own format's codes (and pushes) where it detects the failure. The caller
// owns the decoder state (an Inflater, about 16 KiB) and every buffer.
//
// Input and output can both be streamed:
// - input arrives in pieces: the first in the job, further ones from the
//   source's pull callback whenever the current piece is used up;
// - output goes into the job's window. Without a sink the window is the
//   whole output and a stream that would overfill it stops with
//   kOutputFull. With a sink, a full window is handed to the sink and all
//   but the last 32 KiB of history are dropped; the sink may answer false
//   to stop the decoder early (kStopped), for example when a reader has
//   every row it needs.
//
// Nothing read from the data is trusted: over-subscribed and incomplete
// codes (beyond the single one-bit code deflate allows), repeat codes with
// nothing to repeat or running past the lengths, symbols that stand for no
// length or distance, and distances before the start of the output are all
// refused, and input that ends early is reported as such rather than read
// past. Work is linear in input plus output, so no stream runs forever.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rx::codec {

enum class InflateStatus : int32_t {
  kDone = 0,            // the final block ended
  kStopped,             // the sink answered false
  kTruncated,           // the input ended before the final block did
  kBadCodeLengths,      // a code that cannot be built, or a bad block header
  kBadSymbol,           // a code word that stands for nothing
  kBadDistance,         // a copy from before the start of the output
  kStoredRefused,       // a stored block while kInflateStored is not set
                        // (its LEN and NLEN have been read)
  kBadStoredLength,     // NLEN is not the complement of LEN
  kReservedBlockType,   // block type 3
  kOutputFull,          // no sink, and the window cannot hold the output
  kBadZlibHeader,       // zlib_decompress: not a deflate stream header
  kBadChecksum,         // zlib_decompress: the Adler-32 does not match
};

// Flags of a job.
enum : uint32_t {
  // Decode stored blocks. Without it a stored block stops the decoder with
  // kStoredRefused, as readers of formats that never use them want.
  kInflateStored = 1u << 0,
};

inline constexpr size_t kInflateHistory = 32768;
// A streaming window must hold the history and room to decode into.
inline constexpr size_t kInflateMinWindow = 2 * kInflateHistory;

// Decoding tables: 11 index bits for literals and lengths, 8 for
// distances, 7 for the code-length code; longer codes continue in
// subtables after the main table. The sizes bound every complete code.
inline constexpr uint32_t kLitlenTableBits = 11;
inline constexpr uint32_t kDistTableBits = 8;
inline constexpr uint32_t kPrecodeTableBits = 7;
inline constexpr size_t kLitlenTableSize = (1u << kLitlenTableBits) + 1024;
inline constexpr size_t kDistTableSize = (1u << kDistTableBits) + 768;

// The decoder state. Zero-initialise it once (Inflater{}); it may be
// reused for any number of jobs.
struct Inflater {
  uint32_t litlen[kLitlenTableSize];
  uint32_t dist[kDistTableSize];
  uint32_t precode[1u << kPrecodeTableBits];
  uint32_t fixed_litlen[1u << kLitlenTableBits];
  uint32_t fixed_dist[1u << kDistTableBits];
  bool fixed_built;
};

// Hands the decoder its next piece of input: stores the address in *data
// and returns the size; 0 means there is no more.
struct InflateSource {
  size_t (*pull)(void* user, const uint8_t** data);
  void* user;
};

// Takes `size` new bytes of output; false stops the decoder.
struct InflateSink {
  bool (*push)(void* user, const uint8_t* data, size_t size);
  void* user;
};

struct InflateJob {
  // Input: the first piece, then the source (pull may be null).
  const uint8_t* in;
  size_t in_size;
  InflateSource source;
  // Output: the window, and the sink (push may be null). With a sink the
  // window must hold at least kInflateMinWindow bytes.
  uint8_t* window;
  size_t window_size;
  InflateSink sink;
  uint32_t flags;
  // Results, set on every return.
  uint64_t produced;  // bytes of output in all (after a failure with a sink,
                      // the last ones decoded may never have been pushed)
  // After kDone: the bytes of the current input piece after the deflate
  // data (the partial last byte skipped). With a single piece this is
  // where a container's trailer starts.
  const uint8_t* rest;
  size_t rest_size;
};

// Runs the job to the end of the final block, or until it fails or the
// sink stops it. With a sink, every byte of output has been pushed on kDone.
InflateStatus inflate_run(Inflater* state, InflateJob* job);

// One-shot raw deflate: decodes `in` into `out`. `produced` and `consumed`
// (either may be null) receive the output size and the input bytes used.
InflateStatus inflate_buffer(Inflater* state, const uint8_t* in, size_t in_size, uint8_t* out,
                             size_t out_size, uint32_t flags, size_t* produced, size_t* consumed);

// One-shot zlib stream: checks the two-byte header (method 8, window of at
// most 32 KiB, no preset dictionary, check bits), inflates with stored
// blocks allowed, and checks the Adler-32 trailer.
InflateStatus zlib_decompress(Inflater* state, const uint8_t* in, size_t in_size, uint8_t* out,
                              size_t out_size, size_t* produced);

}  // namespace rx::codec
