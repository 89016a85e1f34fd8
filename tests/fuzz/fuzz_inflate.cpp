// Inflates each input as raw deflate data three ways and checks that they
// agree: in one piece into a bounded buffer, streamed in small pieces
// through a small window and a sink, and by zlib as the peer. Any
// difference in outcome or output is a finding, as is any memory fault.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "filters/codecs/inflate.h"

namespace {

using rx::codec::InflateStatus;

// Output beyond this is not compared: the streams are bounded so that a
// run stays fast.
constexpr size_t kOutputLimit = 1 << 18;

rx::codec::Inflater g_state{};

struct Pieces {
  const uint8_t* data;
  size_t size, at, step;
};

size_t pull(void* user, const uint8_t** data) {
  auto* p = static_cast<Pieces*>(user);
  const size_t n = p->size - p->at < p->step ? p->size - p->at : p->step;
  *data = p->data + p->at;
  p->at += n;
  return n;
}

struct Collected {
  std::vector<uint8_t> bytes;
};

bool push(void* user, const uint8_t* data, size_t size) {
  auto& c = static_cast<Collected*>(user)->bytes;
  c.insert(c.end(), data, data + size);
  return c.size() <= kOutputLimit;
}

// zlib's verdict: true with the output when the stream ends properly
// within the limit.
bool zlib_inflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out, bool* too_long) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) abort();
  out.resize(kOutputLimit);
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&z, Z_FINISH);
  *too_long = rc == Z_BUF_ERROR && z.avail_out == 0;
  out.resize(out.size() - z.avail_out);
  inflateEnd(&z);
  return rc == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the piece size of the streamed run.
  const size_t step = 1 + data[0] % 64;
  ++data;
  --size;

  static std::vector<uint8_t> buffer(kOutputLimit);
  size_t produced = 0;
  const InflateStatus one = rx::codec::inflate_buffer(&g_state, data, size, buffer.data(), buffer.size(),
                                                      rx::codec::kInflateStored, &produced, nullptr);
  const std::vector<uint8_t> whole(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(produced));

  Pieces pieces{data, size, 0, step};
  Collected collected;
  static std::vector<uint8_t> window(rx::codec::kInflateMinWindow);
  rx::codec::InflateJob job{};
  job.source = {pull, &pieces};
  job.window = window.data();
  job.window_size = window.size();
  job.sink = {push, &collected};
  job.flags = rx::codec::kInflateStored;
  const InflateStatus streamed = rx::codec::inflate_run(&g_state, &job);

  std::vector<uint8_t> peer;
  bool peer_too_long = false;
  const bool peer_done = zlib_inflate(data, size, peer, &peer_too_long);

  if (one == InflateStatus::kOutputFull || peer_too_long || streamed == InflateStatus::kStopped)
    return 0;  // longer than the limit: nothing to compare
  if (one != streamed) abort();
  if ((one == InflateStatus::kDone) != peer_done) abort();
  if (one == InflateStatus::kDone && (whole != peer || collected.bytes != peer)) abort();
  // A failed run never hands over what it decoded after its last flush.
  if (one == InflateStatus::kDone && job.produced != collected.bytes.size()) abort();
  return 0;
}
