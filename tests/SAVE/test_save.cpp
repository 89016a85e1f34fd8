// The save pipeline and the writer-side callbacks, driven through a
// capturing writer that behaves as a format writer does (header, then every
// row from the top, stopping at the first failure) and through BMP.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "LOAD/filter_table.h"
#include "SAVE/dfltsvcb.h"
#include "SAVE/save.h"
#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "support/engine_fixture.h"

namespace {

struct Capture {
  RX_BITMAPINFOHEADER header{};
  std::vector<std::vector<uint8_t>> rows;
  int32_t a = -1, b = -1, option = -1, alpha = 0;
  int32_t payload = 0;  // bytes put on the stream, after what is there when appending
  bool append = false;
};
Capture g;

int32_t capture_writer(IO_REC* io, void*, int32_t a, int32_t b, int32_t option) {
  RX_RGBQUAD palette[256];
  g.a = a, g.b = b, g.option = option;
  g.alpha = RPb_IO_alpha_get(io, &g.header, palette);
  RPb_AF_error_clear();
  if (RPb_IO_DIB_get(io, &g.header, palette) != 0) return RPb_AF_error_check();
  const auto stride = static_cast<int32_t>(test::stride_of(g.header.biWidth, g.header.biBitCount));
  for (int32_t r = 0; r < g.header.biHeight; ++r) {
    g.rows.emplace_back(stride, 0xEE);
    if (RPb_IO_raster_get(io, g.rows.back().data(), r, stride) != 0) return RPb_AF_error_check();
  }
  if (g.append) RPb_IO_seek(io, 0, RX_SEEK_END);
  const std::vector<uint8_t> bytes(g.payload, 0xAB);
  const int32_t put = RPb_IO_write(io, bytes.data(), g.payload);
  if (put != g.payload) RPb_AF_error_set("fake", 1, RXE_CANT_WRITE_PIXEL_DATA, put, g.payload);
  return RPb_AF_error_check();
}

int32_t silent_failure_writer(IO_REC*, void*, int32_t, int32_t, int32_t) { return 3; }

const rx::SaveTarget kCapture{capture_writer, 0, -1};

// The internal runs leave the error stack to their caller.
int32_t save_to(RX_HIMAGE im, const std::string& p, rx::SaveTarget t = kCapture) {
  RPb_AF_error_clear();
  return rx::save_file_run(rx::record_of(im), p.c_str(), t, 9);
}

// A stream set up as a save sets it up, for calling the callbacks directly.
struct Stream {
  IO_REC io{};
  rx::SAVE_CB_DATA data{};
  explicit Stream(RX_HIMAGE im) {
    RPb_IO_inst_lookup(&io);
    EXPECT_EQ(rx::save_cb_data_init(&io, &data, rx::record_of(im)), 0);
  }
  ~Stream() { rx::save_cb_data_free(&data); }
};

class SaveTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    g = Capture{};
    stem_ = ::testing::TempDir() + "rx_save_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
  }
  std::string path(const char* leaf) const { return stem_ + leaf; }
  static RX_HIMAGE image(int32_t w, int32_t h, int32_t bits) {
    auto dib = test::make_dib(w, h, bits);
    test::fill_pattern(dib, static_cast<uint32_t>(bits));
    const RX_HIMAGE im = test::create(dib);
    EXPECT_EQ(bits == 1 ? RX_IP_convert_DIB_to_runs(im) : 0, 0);
    return im;
  }
  std::string stem_;
};

bool exists(const std::string& p) { return std::ifstream(p).good(); }
std::string contents(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}
void write_file(const std::string& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }

uint32_t packed_pixel(const std::vector<uint8_t>& row, int32_t bits, int32_t x) {
  if (bits == 24) return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
  if (bits == 8) return row[x];
  return (row[x * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1u << bits) - 1);
}
uint32_t image_pixel(RX_HIMAGE im, int32_t x, int32_t y) {
  uint8_t v[3] = {};
  EXPECT_EQ(RX_image_pixel_get(im, x, y, v), 0);
  return v[0] | v[1] << 8 | v[2] << 16;
}

using Codes = std::vector<int32_t>;
// The count a call returned, then the codes it left on the stack.
Codes result(int32_t count) {
  Codes c{count};
  for (const int32_t code : error_codes()) c.push_back(code);
  return c;
}

TEST_F(SaveTest, ExtensionSelectsFirstListedRowIgnoringCase) {
  const struct { const char* name; int32_t code; } kCases[] = {
      {"photo.jpg", RX_FORMAT_JPEG}, {"photo.JPG", RX_FORMAT_JPEG}, {"scan.301", RX_FORMAT_BRK},
      {"x.ras", RX_FORMAT_CALS},     {"x.ICA", RX_FORMAT_IOCA},
      {"a.b/pic.TiFf", RX_FORMAT_TIFF}};
  for (const auto& c : kCases)
    EXPECT_EQ(rx::filter_format_code(rx::save_filter_by_extension(c.name)), c.code) << c.name;
  for (const char* bad : {"photo", "/tmp/a.b/photo", "x.tiffs", "x.abcdefghijklmnopqrstuvwxyz",
                          "x.", "x.TIF|TIFF"})
    EXPECT_EQ(rx::save_filter_by_extension(bad), RXE_SAVE_EXTENSION_UNKNOWN) << bad;
}

TEST_F(SaveTest, FailuresKnownInAdvanceLoseNothing) {
  const RX_HIMAGE im = image(8, 8, 8);
  const struct { const char* name; uint32_t word; int32_t code; } kCases[] = {
      {"scan.301", RX_FORMAT_UNKNOWN, RXE_FILE_READ_ONLY},
      {"x.gem", RX_FORMAT_UNKNOWN, RXE_FILE_READ_ONLY},
      {"photo", RX_FORMAT_UNKNOWN, RXE_SAVE_EXTENSION_UNKNOWN},
      {"x.bmp", 999, RXE_INVALID_IMAGE_FORMAT}};
  write_file(path("x.gem"), "keep me");
  for (const auto& c : kCases)
    EXPECT_EQ(result(RX_image_save_file(im, path(c.name).c_str(), c.word)), (Codes{1, c.code}));
  EXPECT_EQ(contents(path("scan.301")), "") << "a new file is left empty, as saves always did";
  EXPECT_EQ(contents(path("x.gem")), "keep me") << "an existing file is never emptied";
  EXPECT_EQ(result(RX_image_save_file(im, nullptr, RX_FORMAT_BMP)),
            (Codes{1, RXE_INVALID_POINTER}));
  rx::record_of(im)->lock = 1;
  EXPECT_EQ(result(save_to(im, path("out"))), (Codes{1, RXE_MEMORY_LOCK_FAILED}));
  rx::record_of(im)->lock = 0;
  int32_t size = 77;
  EXPECT_EQ(RX_image_save_file(0x12345, path("out").c_str(), RX_FORMAT_BMP), 0) << "invalid handle";
  EXPECT_EQ(RX_image_save_memory(0, &size, 0, 4, 0, 1, RX_FORMAT_BMP, &size), 0);
  EXPECT_EQ(size, 77);
  EXPECT_FALSE(exists(path("out")));
  std::remove(path("x.gem").c_str());
}

TEST_F(SaveTest, RectangleSavesOnlyThosePixels) {
  // Odd bit offsets, a two-column strip, a one-pixel-wide image, the whole.
  const struct { int32_t width, rect[4]; } kCases[] = {{37, {10, 10, 19, 19}}, {37, {3, 5, 30, 6}},
                                                        {37, {0, 0, 0, 22}},   {1, {0, 2, 0, 4}},
                                                        {21, {0, 0, 99, 99}}};
  for (const auto& c : kCases)
    for (const int32_t bits : {1, 4, 8, 24}) {
      SCOPED_TRACE(testing::Message() << bits << " bits, left " << c.rect[0]);
      g = Capture{};
      const RX_HIMAGE im = image(c.width, 23, bits);
      int32_t r[4];
      ASSERT_EQ(RX_display_image_rect_set(im, c.rect), 0);
      ASSERT_EQ(RX_display_image_rect_get(im, r), 0);
      ASSERT_EQ(save_to(im, path("out")), 0);
      const int32_t w = r[2] - r[0] + 1, h = r[3] - r[1] + 1;
      EXPECT_EQ(g.header.biWidth * 1000 + g.header.biHeight, w * 1000 + h);
      EXPECT_EQ(g.header.biCompression, RX_BI_RGB) << "run rows reach writers as plain rows";
      EXPECT_EQ(g.header.biSizeImage, test::stride_of(w, bits) * h);
      ASSERT_EQ(g.rows.size(), static_cast<size_t>(h));
      for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(packed_pixel(g.rows[y], bits, x), image_pixel(im, r[0] + x, r[1] + y));
        if (bits < 8 && w < c.width) {
          EXPECT_EQ(packed_pixel(g.rows[y], bits, w), 0u) << "the cut row's padding is clean";
        }
      }
      RX_image_delete(im);
    }
  std::remove(path("out").c_str());
}

TEST_F(SaveTest, MultiPageFormatsAddToTheFileOthersReplaceIt) {
  const RX_HIMAGE im = image(4, 4, 8);
  g.payload = 3;
  g.append = true;
  write_file(path("out"), "OLD");
  EXPECT_EQ(save_to(im, path("out"), {capture_writer, 1, -1}), 0);
  EXPECT_EQ(contents(path("out")), "OLD\xAB\xAB\xAB");
  EXPECT_EQ(save_to(im, path("out")), 0);
  EXPECT_EQ(contents(path("out")), "\xAB\xAB\xAB");
  EXPECT_EQ(g.a * 100 + g.b * 10 + g.option, 19);
  EXPECT_EQ(g.alpha, 1) << "a save has no alpha channel to hand out";
  EXPECT_EQ(result(save_to(im, path("out"), {silent_failure_writer, 0, -1})),
            (Codes{1, RXE_CANT_WRITE_FILE}));
  EXPECT_EQ(result(save_to(im, "/nonexistent-dir/x")), (Codes{1, RXE_FILE_CREATE_FAILED}));
  std::remove(path("out").c_str());
}

TEST_F(SaveTest, MemorySizeIsTheHighWaterMark) {
  const RX_HIMAGE im = image(4, 4, 8);
  std::vector<uint8_t> block(64, 0);
  int32_t size = -1;
  // A block too small keeps what fits and the writer reports the short write.
  const struct { int32_t valid, capacity, payload, size, error; } kCases[] = {
      {40, 64, 25, 40, 0}, {40, 64, 50, 50, 0}, {0, 10, 25, 10, RXE_CANT_WRITE_PIXEL_DATA}};
  for (const auto& c : kCases) {
    g.payload = c.payload;
    RPb_AF_error_clear();
    rx::save_memory_run(rx::record_of(im), {block.data(), c.valid, c.capacity}, kCapture, 7, 8, 0,
                        &size);
    EXPECT_EQ(size, c.size) << "payload " << c.payload;
    EXPECT_EQ(error_codes(), c.error ? Codes{c.error} : Codes{});
  }
  EXPECT_EQ(g.a * 10 + g.b, 78);
  EXPECT_EQ(result(RX_image_save_memory(im, block.data(), 12, 64, 0, 1, RX_FORMAT_UNKNOWN, &size)),
            (Codes{1, RXE_INVALID_IMAGE_FORMAT})) << "no extension to go by";
  EXPECT_EQ(size, 12);
  EXPECT_EQ(result(RX_image_save_memory(im, nullptr, 0, 64, 0, 1, RX_FORMAT_BMP, &size)),
            (Codes{1, RXE_INVALID_POINTER}));
  EXPECT_EQ(size, 0);
}

TEST_F(SaveTest, BmpRoundTripKeepsTheRectangle) {
  const int32_t rect[4] = {10, 10, 19, 19};
  for (const int32_t bits : {1, 8, 24}) {
    SCOPED_TRACE(testing::Message() << bits << " bits");
    const RX_HIMAGE im = image(37, 23, bits);
    ASSERT_EQ(RX_display_image_rect_set(im, rect), 0);
    std::vector<uint8_t> block(4096);
    int32_t size = 0;
    RX_HIMAGE back = 0;
    ASSERT_EQ(RX_image_save_memory(im, block.data(), 0, 4096, 0, 1, RX_FORMAT_BMP, &size), 0);
    ASSERT_EQ(RX_image_load_memory(block.data(), size, 1, 1, &back), 0);
    ASSERT_EQ(RX_image_save_file(im, path("x.bmp").c_str(), RX_FORMAT_UNKNOWN), 0);
    EXPECT_EQ(contents(path("x.bmp")), std::string(block.begin(), block.begin() + size));
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x)
        ASSERT_EQ(image_pixel(back, x, y), image_pixel(im, 10 + x, 10 + y)) << x << "," << y;
    EXPECT_GT(RX_image_save_memory(im, block.data(), 0, 60, 0, 1, RX_FORMAT_BMP, &size), 0);
    EXPECT_EQ(size, 60) << "the part that fitted";
    RX_image_delete(back);
  }
  std::remove(path("x.bmp").c_str());
}

int32_t g_calls = 0;
int32_t stop_on_second(uintptr_t, int32_t, int32_t) { return ++g_calls < 2; }
int32_t delete_image(uintptr_t image, int32_t, int32_t) { return RX_image_delete(image) == 0; }

TEST_F(SaveTest, StatusCallbackInterruptsAndSurvivesDeletion) {
  const RX_HIMAGE im = image(6, 9, 4);
  RX_status_callback_set(stop_on_second, 0);
  EXPECT_EQ(save_to(im, path("out")), 1);
  const auto e = error_entries();
  EXPECT_EQ(e[0].code * 100 + e[0].iVal * 10 + e[0].lVal, RXE_INTERRUPTED_BY_USER * 100 + 79);
  EXPECT_EQ(g.rows.size(), 2u) << "the second row was asked for and refused";
  RX_status_callback_set(delete_image, im);
  EXPECT_EQ(result(save_to(im, path("out"))), (Codes{1, RXE_INVALID_HANDLE}));
  RX_status_callback_set(nullptr, 0);
  std::remove(path("out").c_str());
}

TEST_F(SaveTest, RowRequestsAreBoundedByTheImage) {
  const RX_HIMAGE im = image(5, 3, 8);
  Stream s(im);
  std::vector<uint8_t> row(64, 0xEE);
  EXPECT_EQ(RPb_IO_raster_get(&s.io, row.data(), 0, 64), 0);
  EXPECT_EQ(row[4], image_pixel(im, 4, 0));
  EXPECT_EQ(row[8] | row[63], 0) << "bytes past the row are zero, not the next row";
  const auto alone = [](int32_t count) { return count == 1 && (RPb_AF_error_clear(), true); };
  for (const int32_t r : {-1, 3}) EXPECT_TRUE(alone(RPb_IO_raster_get(&s.io, row.data(), r, 8)));
  EXPECT_TRUE(alone(RPb_IO_raster_get(&s.io, nullptr, 0, 8)));
  EXPECT_TRUE(alone(RPb_IO_raster_get(&s.io, row.data(), 0, -8)));
  EXPECT_TRUE(alone(RPb_IO_alpha_raster_get(&s.io, row.data(), 0, 8)));
  const int32_t rect[4] = {1, 1, 3, 2};
  ASSERT_EQ(RX_display_image_rect_set(im, rect), 0);
  Stream cropped(im);
  for (const int32_t r : {2, INT32_MAX})
    EXPECT_TRUE(alone(RPb_IO_raster_get(&cropped.io, row.data(), r, 8)))
        << r << " lies past the rectangle's rows";
}

TEST_F(SaveTest, AttributesComeFromTheSavedImage) {
  auto dib = test::make_dib(4, 2, 16, RX_BI_BITFIELDS);
  const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
  std::memcpy(dib.data() + 40, masks, sizeof masks);
  const RX_HIMAGE im = test::create(dib);
  Stream s(im);
  uint32_t v[5] = {};
  EXPECT_EQ(RPb_IO_attribute_get(&s.io, RX_ATTR_PAIR, v), 0) << "pair never set";
  for (int32_t id = RX_ATTR_RED_MASK; id <= RX_ATTR_BLUE_MASK; ++id) {
    EXPECT_EQ(RPb_IO_attribute_get(&s.io, id, v), 1);
    EXPECT_EQ(v[0], masks[id - RX_ATTR_RED_MASK]);
  }
  const int32_t unanswered[] = {0, RX_ATTR_GRAY_MASKS, RX_ATTR_INFO_TYPE, 13};
  for (const int32_t id : unanswered) EXPECT_EQ(RPb_IO_attribute_get(&s.io, id, v), 0) << id;
  EXPECT_EQ(result(RPb_IO_attribute_get(&s.io, RX_ATTR_WORD2, nullptr)), Codes{0});
}

TEST_F(SaveTest, ImageRectIsClampedEvenOnOnePixelImages) {
  const RX_HIMAGE im = image(37, 23, 8), thin = image(1, 1, 8);
  int32_t r[4] = {};
  const struct { RX_HIMAGE image; int32_t in[4], out[4]; } kCases[] = {
      {im, {-5, -5, 1000, 1000}, {0, 0, 36, 22}}, {im, {40, 30, 2, 2}, {35, 21, 36, 22}},
      {thin, {3, 2, -1, 4}, {0, 0, 0, 0}}};
  for (const auto& c : kCases) {
    EXPECT_EQ(RX_display_image_rect_set(c.image, c.in), 0);
    RX_display_image_rect_get(c.image, r);
    EXPECT_EQ(Codes(r, r + 4), Codes(c.out, c.out + 4));
  }
  EXPECT_EQ(RX_display_image_rect_set(im, nullptr), 0);
  RX_display_image_rect_get(im, r);
  EXPECT_EQ(Codes(r, r + 4), (Codes{0, 0, 36, 22}));
  EXPECT_EQ(result(RX_display_image_rect_get(im, nullptr)), (Codes{1, RXE_INVALID_POINTER}));
}

}  // namespace
