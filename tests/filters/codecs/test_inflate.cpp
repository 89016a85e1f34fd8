// The inflater against zlib-made streams of every level and strategy, in
// one piece and streamed, and against hand-made streams that break every
// rule a decoder has to enforce.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "filters/codecs/deflate_test_util.h"
#include "filters/codecs/inflate.h"

namespace {

using namespace rx::codec;
using deflate_test::BitWriter;
using deflate_test::Bytes;
using deflate_test::fixed_symbol;

// Samples of the kinds of data deflate meets.
std::vector<Bytes> sources() {
  std::mt19937 rng(42);
  std::vector<Bytes> out;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "word" + std::to_string(rng() % 97) + (i % 13 ? " " : ".\n");
  out.emplace_back(text.begin(), text.end());
  Bytes noise(70000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  out.push_back(noise);
  Bytes image(120000);  // smooth rows with grain, like filtered pixels
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>((i % 600) / 5 + rng() % 3);
  out.push_back(image);
  Bytes runs(100000);
  for (size_t i = 0; i < runs.size(); ++i) runs[i] = static_cast<uint8_t>((i / 700) % 3);
  out.push_back(runs);
  out.push_back(Bytes{});
  out.push_back(Bytes{'x'});
  return out;
}

Bytes zlib_make(const Bytes& src, int level, int strategy, int window_bits) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, window_bits, 9, strategy), Z_OK);
  Bytes out(deflateBound(&z, src.size()) + 64);
  z.next_in = const_cast<Bytef*>(src.data());
  z.avail_in = static_cast<uInt>(src.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

struct Result {
  InflateStatus status;
  Bytes out;
  size_t consumed = 0;
};

std::unique_ptr<Inflater> state() { return std::make_unique<Inflater>(); }

Result raw(const Bytes& in, uint32_t flags = kInflateStored, size_t limit = 1 << 20) {
  auto s = state();
  Bytes out(limit);
  size_t produced = 0, consumed = 0;
  const InflateStatus st = inflate_buffer(s.get(), in.data(), in.size(), out.data(), out.size(), flags,
                                          &produced, &consumed);
  out.resize(produced);
  return {st, out, consumed};
}

// Streams `in` in pieces of `step` bytes through a window of the smallest
// allowed size into a sink.
Result streamed(const Bytes& in, size_t step, uint32_t flags = kInflateStored) {
  struct Feed {
    const Bytes* in;
    size_t at, step;
  } feed{&in, 0, step};
  Result r{InflateStatus::kDone, {}};
  Bytes window(kInflateMinWindow);
  InflateJob job{};
  job.source = {[](void* u, const uint8_t** data) -> size_t {
                  auto* f = static_cast<Feed*>(u);
                  const size_t n = std::min(f->step, f->in->size() - f->at);
                  *data = f->in->data() + f->at;
                  f->at += n;
                  return n;
                },
                &feed};
  job.window = window.data();
  job.window_size = window.size();
  job.sink = {[](void* u, const uint8_t* data, size_t size) {
                auto* out = static_cast<Bytes*>(u);
                out->insert(out->end(), data, data + size);
                return true;
              },
              &r.out};
  job.flags = flags;
  auto s = state();
  r.status = inflate_run(s.get(), &job);
  // A failed run keeps what it decoded after its last flush.
  if (r.status == InflateStatus::kDone) {
    EXPECT_EQ(job.produced, r.out.size());
  }
  return r;
}

TEST(Inflate, ZlibStreamsOfEveryLevelAndStrategy) {
  auto s = state();
  for (const Bytes& src : sources()) {
    for (int level = 0; level <= 9; ++level) {
      for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
        for (int window_bits : {15, 9}) {
          const Bytes z = zlib_make(src, level, strategy, window_bits);
          Bytes out(src.size() + 1);
          size_t produced = 0;
          ASSERT_EQ(zlib_decompress(s.get(), z.data(), z.size(), out.data(), out.size(), &produced),
                    InflateStatus::kDone)
              << src.size() << " " << level << " " << strategy;
          out.resize(produced);
          ASSERT_EQ(out, src) << src.size() << " " << level << " " << strategy;
        }
      }
    }
  }
}

// Piece boundaries and window slides anywhere change nothing.
TEST(Inflate, StreamedInPiecesGivesTheSameBytes) {
  for (const Bytes& src : sources()) {
    for (int level : {0, 1, 6, 9}) {
      const Bytes z = zlib_make(src, level, Z_DEFAULT_STRATEGY, -15);
      for (size_t step : {1, 3, 17, 4096, 1 << 20}) {
        const Result r = streamed(z, step);
        ASSERT_EQ(r.status, InflateStatus::kDone) << src.size() << " " << level << " " << step;
        ASSERT_EQ(r.out, src) << src.size() << " " << level << " " << step;
      }
    }
  }
}

TEST(Inflate, StoredBlocksOnlyWhenAsked) {
  const Bytes src = sources()[0];
  const Bytes z = zlib_make(src, 0, Z_DEFAULT_STRATEGY, -15);
  EXPECT_EQ(raw(z, 0).status, InflateStatus::kStoredRefused);
  EXPECT_EQ(streamed(z, 5, 0).status, InflateStatus::kStoredRefused);
  const Result r = raw(z);
  EXPECT_EQ(r.status, InflateStatus::kDone);
  EXPECT_EQ(r.out, src);
  // LEN 3 with an NLEN that is not its complement.
  EXPECT_EQ(raw(Bytes{0x01, 0x03, 0x00, 0xFC, 0xFE, 'a', 'b', 'c'}).status, InflateStatus::kBadStoredLength);
  EXPECT_EQ(raw(Bytes{0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'}).out, (Bytes{'a', 'b', 'c'}));
}

// Worked by hand: BFINAL 1, BTYPE 01, 'a' = code 10010001, end = 0000000.
TEST(Inflate, HandWorkedFixedBlock) {
  const Result r = raw(Bytes{0x4B, 0x04, 0x00});
  EXPECT_EQ(r.status, InflateStatus::kDone);
  EXPECT_EQ(r.out, Bytes{'a'});
}

// A final fixed-code block of literal/length symbols; items from kDist up
// are 5-bit distance codes (item - kDist).
constexpr uint32_t kDist = 1000;
BitWriter fixed(std::initializer_list<uint32_t> items) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(1, 2);
  for (uint32_t i : items) {
    if (i >= kDist) w.code(i - kDist, 5);
    else fixed_symbol(w, i);
  }
  return w;
}

// The start of a final dynamic block: HLIT, HDIST and HCLEN as sent.
BitWriter dynamic_start(uint32_t hlit, uint32_t hdist, uint32_t hclen) {
  BitWriter w;
  w.bits(1, 1);
  w.bits(2, 2);
  w.bits(hlit, 5);
  w.bits(hdist, 5);
  w.bits(hclen, 4);
  return w;
}

// A dynamic block header whose code lengths are sent with a code-length
// code of sixteen 4-bit codes (for lengths 0..15; no repeat codes); all
// 19 code-length code lengths follow.
BitWriter dynamic_header(const std::vector<uint8_t>& litlen, const std::vector<uint8_t>& dist) {
  BitWriter w =
      dynamic_start(static_cast<uint32_t>(litlen.size() - 257), static_cast<uint32_t>(dist.size() - 1), 15);
  const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (int s : order) w.bits(s < 16 ? 4 : 0, 3);
  for (uint8_t v : litlen) w.code(v, 4);
  for (uint8_t v : dist) w.code(v, 4);
  return w;
}

std::vector<uint8_t> lengths(size_t n, std::initializer_list<std::pair<size_t, uint8_t>> set) {
  std::vector<uint8_t> v(n, 0);
  for (auto [i, len] : set) v[i] = len;
  return v;
}

Bytes zlib_raw(const Bytes& in, bool* done) {
  z_stream z{};
  inflateInit2(&z, -15);
  Bytes out(1 << 16);
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  *done = inflate(&z, Z_FINISH) == Z_STREAM_END;
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

// Incomplete codes are allowed only as deflate allows them: no distance
// code at all, or a single one-bit code.
TEST(Inflate, HandMadeDynamicBlocksAgreeWithZlib) {
  struct Case {
    const char* name;
    std::vector<uint8_t> litlen, dist;
    std::vector<std::pair<uint32_t, uint32_t>> codes;  // (code, length) to send
    Bytes want;
  };
  const std::vector<Case> cases = {
      {"two one-bit codes, no distances", lengths(257, {{'a', 1}, {256, 1}}), lengths(1, {}),
       {{0, 1}, {0, 1}, {1, 1}}, Bytes{'a', 'a'}},
      {"one-bit distance code", lengths(258, {{'a', 2}, {256, 2}, {257, 1}}), lengths(1, {{0, 1}}),
       {{2, 2}, {0, 1}, {0, 1}, {3, 2}}, Bytes{'a', 'a', 'a', 'a'}},
  };
  for (const Case& c : cases) {
    BitWriter w = dynamic_header(c.litlen, c.dist);
    for (auto [code, len] : c.codes) w.code(code, len);
    bool peer_done = false;
    EXPECT_EQ(zlib_raw(w.bytes, &peer_done), c.want) << c.name;
    EXPECT_TRUE(peer_done) << c.name;
    const Result r = raw(w.bytes);
    EXPECT_EQ(r.status, InflateStatus::kDone) << c.name;
    EXPECT_EQ(r.out, c.want) << c.name;
  }
}

TEST(Inflate, HostileStreamsAreRefused) {
  struct Case {
    const char* name;
    Bytes stream;
    InflateStatus want;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, const BitWriter& w, InflateStatus want) {
    cases.push_back({name, w.bytes, want});
  };
  cases.push_back({"block type 3", {0x07}, InflateStatus::kReservedBlockType});  // BFINAL 1, BTYPE 11
  // Length 3 (symbol 257) at distance 1 (code 0), with nothing before it.
  add("copy before the start", fixed({257, kDist + 0, 256}), InflateStatus::kBadDistance);
  // Distance 2 (code 1), one byte out.
  add("copy from too far back", fixed({'a', 257, kDist + 1, 256}), InflateStatus::kBadDistance);
  add("length symbol 286", fixed({286}), InflateStatus::kBadSymbol);
  add("distance code 30", fixed({'a', 257, kDist + 30}), InflateStatus::kBadSymbol);
  {
    BitWriter w = dynamic_header(lengths(258, {{'a', 2}, {256, 2}, {257, 1}}), lengths(1, {{0, 1}}));
    w.code(2, 2);
    w.code(0, 1);
    w.code(1, 1);  // the unused half of the one-bit distance code
    add("unused distance code", w, InflateStatus::kBadSymbol);
  }
  add("over-subscribed literal code", dynamic_header(lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), lengths(1, {})),
      InflateStatus::kBadCodeLengths);
  add("incomplete literal code", dynamic_header(lengths(257, {{'a', 2}, {256, 2}}), lengths(1, {})),
      InflateStatus::kBadCodeLengths);
  add("incomplete distance code", dynamic_header(lengths(257, {{'a', 1}, {256, 1}}), lengths(2, {{0, 2}, {1, 2}})),
      InflateStatus::kBadCodeLengths);
  add("no end-of-block code", dynamic_header(lengths(257, {{'a', 1}, {'b', 1}}), lengths(1, {})),
      InflateStatus::kBadCodeLengths);
  add("too many literal/length codes", dynamic_start(30, 0, 0), InflateStatus::kBadCodeLengths);  // 287
  add("too many distance codes", dynamic_start(0, 30, 0), InflateStatus::kBadCodeLengths);        // 31
  {
    BitWriter w = dynamic_start(0, 0, 15);  // code-length code: every symbol one bit long
    for (int i = 0; i < 19; ++i) w.bits(1, 3);
    add("over-subscribed code-length code", w, InflateStatus::kBadCodeLengths);
  }
  {
    BitWriter w = dynamic_start(0, 0, 0);  // code-length code: only the length 16 code, 2 bits
    w.bits(2, 3);
    for (int i = 0; i < 3; ++i) w.bits(0, 3);
    add("incomplete code-length code", w, InflateStatus::kBadCodeLengths);
  }
  {
    // Code-length code: 16 and 0 one bit each; "repeat previous" first.
    BitWriter w = dynamic_start(0, 0, 0);  // lengths of 16, 17, 18, 0
    for (uint32_t v : {1u, 0u, 0u, 1u}) w.bits(v, 3);
    w.code(1, 1);  // 16 (code 1: symbol 16 sorts after symbol 0)
    w.bits(0, 2);
    add("repeat with nothing to repeat", w, InflateStatus::kBadCodeLengths);
  }
  {
    // Code-length code: 18 and 0 one bit each; repeat 138 zeros, twice,
    // past the 258 lengths.
    BitWriter w = dynamic_start(0, 0, 0);
    for (uint32_t v : {0u, 0u, 1u, 1u}) w.bits(v, 3);
    for (int k = 0; k < 2; ++k) {
      w.code(1, 1);
      w.bits(127, 7);
    }
    add("repeat past the last length", w, InflateStatus::kBadCodeLengths);
  }
  for (const Case& c : cases) {
    EXPECT_EQ(raw(c.stream).status, c.want) << c.name;
    EXPECT_EQ(streamed(c.stream, 1).status, c.want) << c.name;
    bool peer_done = true;
    zlib_raw(c.stream, &peer_done);
    EXPECT_FALSE(peer_done) << c.name << " (zlib accepts it)";
  }
}

// No prefix of a good stream passes for a whole one, and none is read past.
TEST(Inflate, EveryTruncationIsReported) {
  const Bytes text = sources()[0];
  const Bytes src(text.begin(), text.begin() + 3000);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    for (int level : {0, 6}) {
      const Bytes z = zlib_make(src, level, strategy, -15);
      for (size_t n = 0; n < z.size(); ++n) {
        const Bytes part(z.begin(), z.begin() + static_cast<ptrdiff_t>(n));
        ASSERT_EQ(raw(part, kInflateStored, src.size()).status, InflateStatus::kTruncated) << level << " " << n;
      }
      EXPECT_EQ(raw(z).status, InflateStatus::kDone);
      EXPECT_EQ(streamed(Bytes(z.begin(), z.end() - 1), 7).status, InflateStatus::kTruncated);
    }
  }
}

TEST(Inflate, OutputLimitsAndEarlyStops) {
  const Bytes src = sources()[2];
  const Bytes z = zlib_make(src, 6, Z_DEFAULT_STRATEGY, -15);
  EXPECT_EQ(raw(z, kInflateStored, src.size() - 1).status, InflateStatus::kOutputFull);
  EXPECT_EQ(raw(z, kInflateStored, src.size()).status, InflateStatus::kDone);
  // A sink that has enough after the first window.
  Bytes window(kInflateMinWindow);
  size_t pushes = 0;
  InflateJob job{};
  job.in = z.data();
  job.in_size = z.size();
  job.window = window.data();
  job.window_size = window.size();
  job.sink = {[](void* u, const uint8_t*, size_t) { return ++*static_cast<size_t*>(u) < 1; }, &pushes};
  auto s = state();
  EXPECT_EQ(inflate_run(s.get(), &job), InflateStatus::kStopped);
  EXPECT_EQ(pushes, 1u);
  // A streaming window must hold the history and room to work in.
  job.window_size = kInflateMinWindow - 1;
  EXPECT_EQ(inflate_run(s.get(), &job), InflateStatus::kOutputFull);
}

// Empty blocks cost input, so a stream of them ends with its input.
TEST(Inflate, EmptyBlocksEndWithTheInput) {
  BitWriter w;
  for (int i = 0; i < 50000; ++i) {
    w.bits(0, 1);
    w.bits(1, 2);
    fixed_symbol(w, 256);
  }
  EXPECT_EQ(raw(w.bytes).status, InflateStatus::kTruncated);
  w.bits(1, 1);
  w.bits(1, 2);
  fixed_symbol(w, 256);
  const Result r = raw(w.bytes);
  EXPECT_EQ(r.status, InflateStatus::kDone);
  EXPECT_TRUE(r.out.empty());
}

// What follows the deflate data is left for the container, as zlib leaves it.
TEST(Inflate, StopsAtTheEndOfTheFinalBlock) {
  for (int level : {0, 1, 9}) {
    Bytes z = zlib_make(sources()[0], level, Z_DEFAULT_STRATEGY, -15);
    const size_t length = z.size();
    z.insert(z.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const Result r = raw(z);
    EXPECT_EQ(r.status, InflateStatus::kDone) << level;
    EXPECT_EQ(r.consumed, length) << level;
  }
}

TEST(Inflate, ZlibHeaderAndChecksum) {
  const Bytes src = sources()[0];
  const Bytes good = zlib_make(src, 6, Z_DEFAULT_STRATEGY, 15);
  auto s = state();
  Bytes out(src.size());
  size_t produced = 0;
  auto run = [&](Bytes z) { return zlib_decompress(s.get(), z.data(), z.size(), out.data(), out.size(), &produced); };
  EXPECT_EQ(run(good), InflateStatus::kDone);
  const auto changed = [&good](size_t at, uint8_t value, int second = -1) {
    Bytes bad = good;
    bad[at] = value;
    if (second >= 0) bad[1] = static_cast<uint8_t>(second);
    return bad;
  };
  EXPECT_EQ(run(changed(0, 0x77)), InflateStatus::kBadZlibHeader);  // method 7
  EXPECT_EQ(run(changed(1, good[1] ^ 1)), InflateStatus::kBadZlibHeader);  // check bits
  // A window of 64 KiB, with check bits that make the header a multiple of 31.
  EXPECT_EQ(run(changed(0, 0x88, 31 - (0x8800 % 31))), InflateStatus::kBadZlibHeader);
  EXPECT_EQ(run(Bytes{0x78, 0xBB, 0, 0, 0, 0}), InflateStatus::kBadZlibHeader);  // preset dictionary
  EXPECT_EQ(run(changed(good.size() - 1, good.back() ^ 0x40)), InflateStatus::kBadChecksum);
  EXPECT_EQ(run(Bytes(good.begin(), good.end() - 2)), InflateStatus::kTruncated);
}

// Inputs that once stopped the fuzzer: one byte of piece size, then raw
// deflate data. One piece, streamed, and zlib agree on each.
TEST(Inflate, FuzzFindingsAgreeWithZlib) {
  namespace fs = std::filesystem;
  size_t count = 0;
  for (const auto& e : fs::directory_iterator(fs::path(RX_TEST_DATA_DIR) / "deflate" / "bad")) {
    std::ifstream f(e.path(), std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(f)), {});
    ASSERT_FALSE(file.empty());
    const Bytes data(file.begin() + 1, file.end());
    const Result one = raw(data);
    const Result piecewise = streamed(data, 1 + file[0] % 64);
    bool peer_done = false;
    const Bytes peer = zlib_raw(data, &peer_done);
    EXPECT_EQ(one.status, piecewise.status) << e.path().filename();
    EXPECT_EQ(one.status == InflateStatus::kDone, peer_done) << e.path().filename();
    if (peer_done) {
      EXPECT_EQ(one.out, peer) << e.path().filename();
    }
    ++count;
  }
  EXPECT_GT(count, 0u);
}

}  // namespace
