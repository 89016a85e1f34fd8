// The header fields the PCX and DCX readers hand to the application's tag
// exchange, checked against a header whose every field is known.
#include <tuple>

#include "filters/bmp/bmp_harness.h"
#include "filters/pcx/pcx.h"
#include "support/engine_fixture.h"

namespace {

using bmpt::Bytes;
// Tag, type, value (a block's first byte), count, and a block's last byte.
using Tag = std::tuple<int32_t, int32_t, uint32_t, int32_t, uint32_t>;

std::vector<Tag> g_tags;

// Single values come as themselves; a block of bytes (type 13) or the
// table of 32-bit offsets (type 14) as its address and length.
int32_t record(uintptr_t, int32_t id, int32_t type, uintptr_t data, int32_t count) {
  uint32_t first = static_cast<uint32_t>(data), last = 0;
  if (type == 13) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    first = bytes[0], last = bytes[count - 1];
  } else if (type == 14) {
    const auto* offsets = reinterpret_cast<const uint32_t*>(data);
    first = offsets[0], last = offsets[count - 1];
  }
  g_tags.emplace_back(id, type, first, count, last);
  return 1;
}

// Two grey pixels, version 5, every field set to a value of its own.
Bytes pcx_page() {
  Bytes h(128);
  h[0] = 10, h[1] = 5, h[2] = 1, h[3] = 8;
  h[8] = 1;                             // Xmax: two pixels wide
  h[12] = 0x2C, h[13] = 0x01;           // 300 dpi across
  h[14] = 150;                          // 150 dpi down
  for (int i = 0; i < 48; ++i) h[16 + i] = static_cast<uint8_t>(100 + i);
  h[64] = 7, h[65] = 1, h[66] = 2;      // reserved, planes, bytes per line
  h[68] = 1;                            // palette information
  h[70] = 0x80, h[71] = 0x02;           // 640
  h[72] = 0xE0, h[73] = 0x01;           // 480
  for (int i = 0; i < 54; ++i) h[74 + i] = static_cast<uint8_t>(200 + i);
  h.insert(h.end(), {0x10, 0xC1, 0xF0});
  return h;
}

const std::vector<Tag> kPageTags = {
    {400, 1, 10, 1, 0},   {401, 1, 5, 1, 0},    {402, 1, 1, 1, 0},     {403, 1, 8, 1, 0},
    {404, 3, 0, 2, 0},    {405, 3, 0, 2, 0},    {406, 3, 1, 2, 0},     {407, 3, 0, 2, 0},
    {408, 3, 300, 2, 0},  {409, 3, 150, 2, 0},  {410, 13, 100, 48, 147}, {411, 1, 7, 1, 0},
    {412, 1, 1, 1, 0},    {413, 3, 2, 2, 0},    {414, 3, 1, 2, 0},     {415, 3, 640, 2, 0},
    {416, 3, 480, 2, 0},  {417, 13, 200, 54, 253}};

class PcxTags : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    g_tags.clear();
  }
};

TEST_F(PcxTags, EveryHeaderFieldIsReported) {
  bmpt::Stream s(pcx_page());
  s.io.tag_set = record;
  ASSERT_EQ(rx::pcx_read(&s.io, nullptr, 1, 1), 0);
  EXPECT_EQ(g_tags, kPageTags);
  EXPECT_EQ(s.image.rows.at(0).at(1), 0xF0);
}

TEST_F(PcxTags, DcxReportsItsMagicAndTableBeforeThePage) {
  // Two pages, at 16 and at 16 + 131.
  Bytes dcx{0xB1, 0x68, 0xDE, 0x3A, 16, 0, 0, 0, 147, 0, 0, 0, 0, 0, 0, 0};
  const Bytes page = pcx_page();
  dcx.insert(dcx.end(), page.begin(), page.end());
  dcx.insert(dcx.end(), page.begin(), page.end());
  bmpt::Stream s(dcx);
  s.io.tag_set = record;
  ASSERT_EQ(rx::dcx_read(&s.io, nullptr, 1, 1), 0);
  std::vector<Tag> want = {{500, 4, 987654321u, 4, 0}, {501, 14, 16, 2, 147}};
  want.insert(want.end(), kPageTags.begin(), kPageTags.end());
  EXPECT_EQ(g_tags, want);
}

}  // namespace
