// PackBits: the decoder against hand-worked packets and the coder's
// choices, pieces of any size on both sides, and bounds that hold for any
// input. Pillow decodes what the coder makes, and the decoder reads
// libtiff's coding (tests/data/packbits).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "filters/codecs/packbits.h"
#include "support/files.h"
#include "support/peers.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

Bytes decode(const Bytes& in, size_t out_size, size_t* consumed = nullptr) {
  rx::PACKBITS_STATE s;
  Bytes out(out_size, 0xEE);
  const rx::PackBitsStep step = rx::packbits_decode(&s, in.data(), in.size(), out.data(), out.size());
  out.resize(step.produced);
  if (consumed != nullptr) *consumed = step.consumed;
  return out;
}

Bytes encode(const Bytes& in) {
  Bytes out(rx::packbits_bound(in.size()) + 16, 0xEE);
  const size_t n = rx::packbits_encode(in.data(), in.size(), out.data());
  EXPECT_LE(n, rx::packbits_bound(in.size()));
  EXPECT_TRUE(std::all_of(out.begin() + n, out.end(), [](uint8_t b) { return b == 0xEE; })) << "wrote past its bound";
  out.resize(n);
  return out;
}


TEST(PackBits, DecodesTheClassicExample) {
  // The example every description of the code gives, with a -128 in it.
  const Bytes packed = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0xFD, 0xAA, 0x03, 0x80, 0x00,
                        0x2A, 0x22, 0xF7, 0xAA};
  const Bytes unpacked = {0xAA, 0xAA, 0xAA, 0x80, 0x00, 0x2A, 0xAA, 0xAA, 0xAA, 0xAA, 0x80, 0x00,
                          0x2A, 0x22, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  size_t used = 0;
  EXPECT_EQ(decode(packed, 100, &used), unpacked);
  EXPECT_EQ(used, packed.size());
  // 128 is passed over; 129 repeats 128 times; 127 copies 128 bytes.
  EXPECT_EQ(decode({0x80, 0x80, 0x01, 5, 6}, 10), (Bytes{5, 6}));
  EXPECT_EQ(decode({0x81, 9}, 200), Bytes(128, 9));
  Bytes literal = {0x7F};
  for (int i = 0; i < 128; ++i) literal.push_back(uint8_t(i));
  EXPECT_EQ(decode(literal, 200), Bytes(literal.begin() + 1, literal.end()));
}

TEST(PackBits, PacketsContinueAcrossPiecesOfInputAndOutput) {
  const Bytes packed = {0xFE, 0xAA, 0x02, 0x80, 0x00, 0x2A, 0x80, 0xFD, 0xAA, 0x03, 0x80, 0x00, 0x2A, 0x22};
  const Bytes whole = decode(packed, 100);
  for (size_t in_piece = 1; in_piece <= packed.size(); ++in_piece) {
    for (size_t out_piece = 1; out_piece <= whole.size(); ++out_piece) {
      rx::PACKBITS_STATE s;
      Bytes out(whole.size());
      size_t i = 0, o = 0;
      while (o < out.size() && i < packed.size()) {
        const size_t in_n = std::min(in_piece, packed.size() - i);
        const size_t out_n = std::min(out_piece, out.size() - o);
        const rx::PackBitsStep step = rx::packbits_decode(&s, packed.data() + i, in_n, out.data() + o, out_n);
        ASSERT_LE(step.consumed, in_n);
        ASSERT_LE(step.produced, out_n);
        ASSERT_TRUE(step.consumed > 0 || step.produced > 0) << "no progress";
        i += step.consumed;
        o += step.produced;
      }
      ASSERT_EQ(out, whole) << in_piece << " " << out_piece;
    }
  }
  // A run reaching past the output goes on in the next call: a row of 3
  // taken from a run of 5 leaves 2 for the next row.
  rx::PACKBITS_STATE s;
  const Bytes run = {0xFC, 7, 0x00, 9};
  uint8_t row[3];
  rx::PackBitsStep step = rx::packbits_decode(&s, run.data(), run.size(), row, 3);
  EXPECT_EQ(Bytes(row, row + 3), (Bytes{7, 7, 7}));
  step = rx::packbits_decode(&s, run.data() + step.consumed, run.size() - step.consumed, row, 3);
  EXPECT_EQ(Bytes(row, row + 3), (Bytes{7, 7, 9}));
}

TEST(PackBits, CoderChoices) {
  EXPECT_EQ(encode({1, 1, 1, 2, 3}), (Bytes{0xFE, 1, 0x01, 2, 3}));
  EXPECT_EQ(encode({4, 4, 5}), (Bytes{0x02, 4, 4, 5})) << "a pair stays in the literal";
  EXPECT_EQ(encode({}), Bytes{});
  EXPECT_EQ(encode({9}), (Bytes{0x00, 9}));
  // Runs and literals are cut at 128 bytes.
  Bytes same(130, 6);
  EXPECT_EQ(encode(same), (Bytes{0x81, 6, 0x01, 6, 6}));
  Bytes distinct(129);
  for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = uint8_t(i);
  const Bytes coded = encode(distinct);
  ASSERT_EQ(coded.size(), 131u);
  EXPECT_EQ(std::make_pair(coded[0], coded[129]), std::make_pair(uint8_t{0x7F}, uint8_t{0x00}));
}

TEST(PackBits, AnyInputStaysInBoundsAndRoundTrips) {
  std::mt19937 rng(7);
  for (int t = 0; t < 2000; ++t) {
    Bytes in(rng() % 600);
    const int alphabet = 1 + int(rng() % 4);
    for (auto& b : in) b = uint8_t(rng() % alphabet);
    EXPECT_EQ(decode(encode(in), in.size()), in);
    // Noise decodes into at most the room given, reading only the input.
    Bytes noise(rng() % 64);
    for (auto& b : noise) b = uint8_t(rng());
    size_t used = 0;
    const Bytes out = decode(noise, 50, &used);
    EXPECT_LE(out.size(), 50u);
    EXPECT_LE(used, noise.size());
  }
}

// libtiff's coding of rows (written by Pillow's TIFF writer) decodes to
// the rows it was given.
TEST(PackBits, ReadsTheCodingOfLibtiff) {
  const fs::path dir = fs::path(RX_TEST_DATA_DIR) / "packbits";
  int checked = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".pb") continue;
    fs::path raw = e.path();
    raw.replace_extension(".raw");
    const Bytes want = file_bytes(raw);
    EXPECT_EQ(decode(file_bytes(e.path()), want.size()), want) << e.path().filename();
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

// Pillow's PackBits decoder reads what the coder makes.
TEST(PackBits, PillowReadsTheCoding) {
  RX_NEED_PEER(rxtest::runnable(RX_PEER_PYTHON), "python3 with PIL");
  const fs::path dir = fs::temp_directory_path() / ("rastrix_packbits_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::mt19937 rng(11);
  for (int t = 0; t < 40; ++t) {
    const size_t width = 1 + rng() % 300, height = 1 + rng() % 4;
    Bytes rows(width * height), coded;
    const int alphabet = 1 + t % 5;
    for (auto& b : rows) b = uint8_t(rng() % alphabet * 60);
    for (size_t y = 0; y < height; ++y) {
      const Bytes row(rows.begin() + y * width, rows.begin() + (y + 1) * width);
      const Bytes c = encode(row);
      coded.insert(coded.end(), c.begin(), c.end());
    }
    const std::string name = "c" + std::to_string(t) + "_" + std::to_string(width) + "x" + std::to_string(height);
    std::ofstream(dir / (name + ".pb"), std::ios::binary).write(reinterpret_cast<const char*>(coded.data()), coded.size());
    std::ofstream(dir / (name + ".raw"), std::ios::binary).write(reinterpret_cast<const char*>(rows.data()), rows.size());
  }
  const std::string check = std::string(rxtest::kPeersRequired ? "RX_REQUIRE_PEERS=1 " : "") +
                            RX_PEER_PYTHON " " RX_TEST_DATA_DIR "/../interop/check_packbits_with_pillow.py ";
  EXPECT_EQ(std::system((check + dir.string()).c_str()), 0) << "files in " << dir;
  if (!HasFailure()) fs::remove_all(dir);
}

}  // namespace
