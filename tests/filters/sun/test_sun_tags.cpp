// The eight header words the Sun raster reader and writer hand to the
// application's tag exchange.
#include <tuple>

#include "filters/bmp/bmp_harness.h"
#include "filters/sun/sun.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;
using Tag = std::tuple<int32_t, int32_t, uint32_t, int32_t>;  // tag, type, value, count

std::vector<Tag> g_tags;

int32_t record(uintptr_t, int32_t id, int32_t type, uintptr_t data, int32_t count) {
  g_tags.emplace_back(id, type, static_cast<uint32_t>(data), count);
  return 1;
}

std::vector<Tag> words(std::vector<uint32_t> values) {
  std::vector<Tag> out;
  for (size_t i = 0; i < values.size(); ++i) out.emplace_back(1300 + static_cast<int32_t>(i), 4, values[i], 4);
  return out;
}

class SunTags : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    g_tags.clear();
  }
};

TEST_F(SunTags, TheReaderReportsTheHeaderAsItStands) {
  // 2 x 1, 8 bits, standard, a map of two entries as planes, and a data
  // length that says 99 (it is not used).
  Bytes f;
  for (uint32_t v : {0x59A66A95u, 2u, 1u, 8u, 99u, 1u, 1u, 6u})
    for (int k = 3; k >= 0; --k) f.push_back(static_cast<uint8_t>(v >> 8 * k));
  f.insert(f.end(), {10, 20, 11, 21, 12, 22, 1, 0});
  bmpt::Stream s(f);
  s.io.tag_set = record;
  ASSERT_EQ(rx::sun_read(&s.io, nullptr, 1, 1), 0);
  EXPECT_EQ(g_tags, words({0x59A66A95u, 2, 1, 8, 99, 1, 1, 6}));
  EXPECT_EQ(s.image.rows.at(0).at(0), 1);
  EXPECT_EQ(s.image.palette.at(1).rgbRed, 20);
}

TEST_F(SunTags, TheWriterOffersTheHeaderItWrote) {
  // 3 x 1 at 24 bits: a file row of 9 bytes padded to 10.
  bmpt::Stream s({}, 4096);
  RPb_DIB_init(&s.image.header, 3, 1, 24, 0, 0, 0);
  s.image.rows = {Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}};
  s.io.tag_set = record;
  uint32_t plain = 0;
  ASSERT_EQ(rx::sun_write(&s.io, &plain, 0, 1, 0), 0);
  EXPECT_EQ(g_tags, words({0x59A66A95u, 3, 1, 24, 10, 1, 0, 0}));
  EXPECT_EQ(s.written().size(), 32u + 10);
}

}  // namespace
