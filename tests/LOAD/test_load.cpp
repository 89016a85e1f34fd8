// The load pipeline and the default reader-side callbacks: images built
// row by row, the checks on what a reader hands over, the status
// callback, attributes, and the entry points with their clean-up.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "LOAD/fake_reader.h"
#include "LOAD/load.h"
#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

namespace {

using test::FakeLoad;
using test::SourceImage;
using Codes = std::vector<int32_t>;

int32_t g_status_calls = 0;
RX_HIMAGE* g_delete_in_status = nullptr;

int32_t stop_at_once(uintptr_t, int32_t, int32_t) { return 0; }

int32_t count_and_delete(uintptr_t, int32_t, int32_t) {
  ++g_status_calls;
  if (g_delete_in_status != nullptr) RX_image_delete(*g_delete_in_status);
  return 1;
}

// Makes the handle registry, which lives on once made, so that block
// counts before and after a load compare.
void registry_prime() { RX_image_delete(test::create(test::make_dib(1, 1, 8))); }

// Test files in a fresh directory, removed afterwards.
class LoadFiles : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    dir_ = std::filesystem::temp_directory_path() /
           ("rx_load_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EngineTest::TearDown();
  }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
  }
  std::filesystem::path dir_;
};

const std::vector<uint8_t> kTiffHead = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0, 0};

// A reader that fails after some rows, or never.
const SourceImage* g_source = nullptr;
int32_t g_fail_at_row = -1;

int32_t fake_read(IO_REC* io, void*, int32_t, int32_t) {
  const SourceImage& s = *g_source;
  if (int32_t n = RPb_IO_DIB_create(io, &s.header, s.palette.data())) return n;
  for (int32_t r = 0; r < s.header.biHeight; ++r) {
    if (r == g_fail_at_row)
      return RPb_AF_error_set("fake", 1, RXE_CANT_READ_PIXEL_DATA, r, 0) ? 1 : 0;
    if (int32_t n = RPb_IO_raster_set(io, s.rows[r].data(), r, 4)) return n;
  }
  return 0;
}

int32_t read_nothing(IO_REC*, void*, int32_t, int32_t) { return 0; }
int32_t read_silent_failure(IO_REC*, void*, int32_t, int32_t) { return 3; }

// The file layout of the BMP format: file header (unless bare),
// information header, palette, rows from the bottom.
std::vector<uint8_t> bmp_of(const SourceImage& s, bool bare = false) {
  std::vector<uint8_t> out;
  const auto put = [&out](const void* p, size_t n) {
    out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  const auto palette = static_cast<uint32_t>(s.palette.size() * 4);
  size_t pixels = 0;
  for (const auto& row : s.rows) pixels += row.size();
  const uint32_t head[3] = {static_cast<uint32_t>(54 + palette + pixels), 0, 54 + palette};
  if (!bare) {
    put("BM", 2);
    put(head, 12);
  }
  put(&s.header, 40);
  put(s.palette.data(), palette);
  for (size_t r = s.rows.size(); r-- > 0;) put(s.rows[r].data(), s.rows[r].size());
  return out;
}

SourceImage random_image(int32_t bits) {
  SourceImage s(13, 5, bits);
  std::mt19937 random(static_cast<uint32_t>(bits));
  for (auto& row : s.rows)
    for (auto& byte : row) byte = static_cast<uint8_t>(random());
  for (auto& q : s.palette) q = RX_RGBQUAD{static_cast<uint8_t>(random()), 7, 9, 0};
  return s;
}

bool same_image(RX_HIMAGE a, RX_HIMAGE b) {
  int32_t wa = 0, ha = 0, ba = 0, wb = 0, hb = 0, bb = 0;
  RX_image_dimensions_get(a, &wa, &ha, &ba);
  RX_image_dimensions_get(b, &wb, &hb, &bb);
  if (wa != wb || ha != hb || ba != bb || wa == 0) return false;
  for (int32_t y = 0; y < ha; ++y)
    if (test::row_of(a, y) != test::row_of(b, y)) return false;
  return ba > 8 || std::memcmp(RPb_palette_pointer_get(rx::record_of(a)),
                               RPb_palette_pointer_get(rx::record_of(b)), size_t{4} << ba) == 0;
}

}  // namespace

// ---- Default callbacks -------------------------------------------------------------

using LoadDefaults = EngineTest;

// Rows land bottom-up whichever end they come from, with the reader's
// palette and resolution; packed bi-level rows become run rows; run rows
// from a reader are stored as given once checked.
TEST_F(LoadDefaults, RowsFromEitherEndReadBackExactly) {
  for (int32_t bits : {8, 1}) {
    for (int32_t width : {1, 37, 200}) {
      SourceImage s = random_image(bits);
      s.header.biWidth = width;
      for (auto& row : s.rows) row.resize(rx::dib_stride(bits, width), 0xFF);
      for (bool from_bottom : {false, true}) {
        FakeLoad load;
        ASSERT_EQ(load.deliver(s, from_bottom), 0);
        for (int32_t y = 0; y < 5; ++y)
          for (int32_t x = 0; x < width; ++x)
            ASSERT_EQ(test::pixel_of(load.image, x, y),
                      bits == 1 ? test::bit_at(s.rows[y].data(), x) : s.rows[y][x])
                << bits << "-bit, width " << width << " at " << x << "," << y;
        EXPECT_EQ(std::memcmp(RPb_palette_pointer_get(rx::record_of(load.image)),
                              s.palette.data(), s.palette.size() * 4), 0);
        int32_t r[5] = {};
        RX_image_resolution_get(load.image, &r[0], &r[1], &r[2], &r[3], &r[4]);
        EXPECT_EQ(Codes(r, r + 5), Codes({3780, 1, 2835, 1, 2}));
        if (bits == 1) {
          EXPECT_EQ(rx::dib_header(rx::record_of(load.image)->dib)->biSizeImage, load.cb.run_offset);
        }
        RX_image_delete(load.image);
      }
    }
  }
  FakeLoad load;
  ASSERT_EQ(load.create(SourceImage(16, 2, 1, RX_BI_RUNS)), 0);
  EXPECT_EQ(load.row(0, {12, 0, 3, 0, 9, 0, 16, 0, 16, 0, 16, 0}), 0);  // 1 in 0..2, 9..15
  EXPECT_EQ(test::row_of(load.image, 0), std::vector<uint8_t>({0xE0, 0x7F, 0, 0}));
  EXPECT_EQ(load.row(1, {12, 0, 3, 0, 40, 0, 16, 0, 16, 0, 16, 0}), 1) << "column past the width";
  EXPECT_EQ(error_codes(), Codes{RXE_COMPRESSION_ERROR});
  RX_image_delete(load.image);
}

TEST_F(LoadDefaults, BadHeadersAreRefusedBeforeAnyAllocation) {
  const struct {
    int32_t width, height, bits;
    uint32_t compression;
    int32_t code;
  } cases[] = {{0, 4, 8, 0, RXE_DIB_SIZE_WRONG},          {4, -4, 8, 0, RXE_DIB_SIZE_WRONG},
               {4, 4, 3, 0, RXE_INVALID_BIT_COUNT},       {4, 4, 8, 1, RXE_INVALID_COMPRESSION},
               {70000, 70000, 24, 0, RXE_DIB_SIZE_WRONG}, {40000, 2, 1, 0, RXE_DIB_SIZE_WRONG}};
  registry_prime();
  for (const auto& c : cases) {
    FakeLoad load;
    const int32_t live = rx::mem_live_block_count();
    SourceImage s(1, 1, 8);
    s.header = {40, c.width, c.height, 1, static_cast<uint16_t>(c.bits), c.compression, 0, 0, 0, 0, 0};
    EXPECT_EQ(load.create(s), 1) << c.width << "x" << c.height << "x" << c.bits;
    EXPECT_EQ(error_codes(), Codes{c.code});
    EXPECT_EQ(load.image, 0u);
    EXPECT_EQ(rx::mem_live_block_count(), live);
    RPb_AF_error_clear();
  }
}

// A corrupt file or a reader bug must not write outside the image.
TEST_F(LoadDefaults, RowsThatDoNotFitTheImageAreRefused) {
  FakeLoad load;
  const std::vector<uint8_t> row(8, 0xAB);
  EXPECT_EQ(load.row(0, row), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_DIB_POINTER_NULL}) << "no image yet";
  RPb_AF_error_clear();
  ASSERT_EQ(load.create(SourceImage(5, 3, 8)), 0);  // stride 8
  const struct {
    int32_t row, bytes;
  } refused[] = {{-1, 8}, {3, 8}, {INT32_MIN, 8}, {0, 9}, {0, -1}};
  for (const auto& c : refused) {
    RPb_AF_error_clear();
    EXPECT_EQ(RPb_IO_raster_set(&load.io, row.data(), c.row, c.bytes), 1) << c.row << " " << c.bytes;
    EXPECT_EQ(error_codes(), Codes{RXE_PARAMETERS_OUT_OF_LIMITS});
  }
  EXPECT_EQ(test::row_of(load.image, 0), std::vector<uint8_t>(8, 0)) << "nothing written";
  EXPECT_EQ(RPb_IO_raster_set(&load.io, nullptr, 0, 8), 1);
  RPb_AF_error_clear();
  EXPECT_EQ(load.row(1, {1, 2, 3}), 0) << "a short row fills the start";
  EXPECT_EQ(test::row_of(load.image, 1), std::vector<uint8_t>({1, 2, 3, 0, 0, 0, 0, 0}));
  RX_image_delete(load.image);
  FakeLoad bilevel;  // a packed bi-level row must cover the width
  ASSERT_EQ(bilevel.create(SourceImage(20, 2, 1)), 0);
  EXPECT_EQ(bilevel.row(0, {0xFF, 0xFF}), 1);
  RPb_AF_error_clear();
  EXPECT_EQ(bilevel.row(0, {0xFF, 0xFF, 0xF0}), 0);
  RX_image_delete(bilevel.image);
}

TEST_F(LoadDefaults, StatusCallbackStopsTheLoadOrLosesTheImage) {
  RX_status_callback_set(stop_at_once, 0);
  {
    FakeLoad load;
    EXPECT_EQ(load.deliver(SourceImage(4, 3, 1)), 1);
    auto e = error_entries();
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(Codes({e[0].code, e[0].iVal, e[0].lVal}), Codes({RXE_INTERRUPTED_BY_USER, 2, 3}));
    EXPECT_EQ(load.cb.run_scratch, nullptr);
    RX_image_delete(load.image);
  }
  // A callback that deletes the image leaves nothing to write into.
  RX_status_callback_set(count_and_delete, 0);
  FakeLoad load;
  g_delete_in_status = &load.image;
  EXPECT_EQ(load.deliver(SourceImage(4, 3, 8)), 1);
  g_delete_in_status = nullptr;
  EXPECT_EQ(error_codes(), Codes{RXE_DIB_POINTER_NULL});
}

// A second create replaces the first image and the run buffer sized for
// it. Outside a load the colour callbacks have nothing to build; alpha
// channels offered during a load are passed over.
TEST_F(LoadDefaults, RecreateMissingDataAndAlpha) {
  registry_prime();
  FakeLoad load;
  ASSERT_EQ(load.create(SourceImage(8, 4, 1)), 0);
  const RX_HIMAGE first = load.image;
  const int32_t live = rx::mem_live_block_count();
  ASSERT_EQ(load.create(SourceImage(8, 4, 1)), 0);
  EXPECT_FALSE(RPb_iRX_image_is_valid(first) && first != load.image);
  EXPECT_EQ(rx::mem_live_block_count(), live);
  SourceImage wide(300, 2, 1);
  wide.pixel_set(298, 1, 1);
  ASSERT_EQ(load.deliver(wide), 0);
  EXPECT_EQ(test::pixel_of(load.image, 298, 1), 1u);
  const uint8_t row[4] = {};
  EXPECT_EQ(RPb_IO_alpha_create(&load.io, &wide.header, nullptr), 0);
  EXPECT_EQ(RPb_IO_alpha_raster_set(&load.io, row, 0, 4), 0);
  EXPECT_TRUE(RPb_iRX_image_is_valid(load.image));
  RX_image_delete(load.image);
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  EXPECT_EQ(RPb_IO_DIB_create(&io, &wide.header, nullptr), 1);
  EXPECT_EQ(RPb_IO_raster_set(&io, row, 0, 4), 2);
  EXPECT_EQ(RPb_IO_raster_plane_set(&io, row, 0, 4, 0), 3);
  EXPECT_EQ(error_codes(), Codes(3, RXE_INVALID_POINTER));
}

// Plane rows are ORed into 4-bit rows only, for planes 0 to 3.
TEST_F(LoadDefaults, PlaneRowsAndAttributes) {
  FakeLoad four, deep;
  ASSERT_EQ(four.create(SourceImage(4, 1, 4)) + deep.create(SourceImage(2, 2, 16, RX_BI_BITFIELDS)), 0);
  const uint8_t planes[2] = {0xFF, 0xFF};
  EXPECT_EQ(RPb_IO_raster_plane_set(&four.io, planes, 0, 2, 0) +
                RPb_IO_raster_plane_set(&four.io, planes, 0, 2, 2), 0);
  EXPECT_EQ(test::row_of(four.image, 0)[0], 0x55);
  EXPECT_EQ(RPb_IO_raster_plane_set(&four.io, planes, 0, 2, 4), 1) << "no such plane";
  EXPECT_EQ(RPb_IO_raster_plane_set(&four.io, planes, 0, 5, 0), 2) << "past the stride";
  EXPECT_EQ(RPb_IO_raster_plane_set(&deep.io, planes, 0, 2, 0), 3);
  EXPECT_EQ(error_codes(), Codes({RXE_PARAMETERS_OUT_OF_LIMITS, RXE_PARAMETERS_OUT_OF_LIMITS,
                                  RXE_NOT_IMPLEMENTED}));
  // Attributes: applied ones answer 1, stored ones and unknown ids 0.
  IO_REC* io = &deep.io;
  IMAGE_REC* record = rx::record_of(deep.image);
  const uint16_t pair[2] = {7, 9};
  const int32_t resolution[5] = {300, 1, 150, 1, 3};
  const auto set = [io](int32_t id, uintptr_t value) { return RPb_IO_attribute_set(io, id, value); };
  EXPECT_EQ(Codes({set(RX_ATTR_PAIR, reinterpret_cast<uintptr_t>(pair)), set(RX_ATTR_WORD2, 55),
                   set(RX_ATTR_WORD3, 66),
                   set(RX_ATTR_RESOLUTION, reinterpret_cast<uintptr_t>(resolution)),
                   set(RX_ATTR_ORIENTATION, 6), set(RX_ATTR_RED_MASK, 0x7C00),
                   set(RX_ATTR_BLUE_MASK, 0x1F), set(RX_ATTR_GRAY_MASKS, 0xFFFF),
                   set(RX_ATTR_INFO_TYPE, 77), set(0, 1), set(14, 1), set(RX_ATTR_PAIR, 0)}),
            Codes({1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}));
  const rx::DISPLAY_ATTR& d = record->display;
  EXPECT_EQ(Codes({d.attr_pair[1], d.attr_pair_set, d.attr_word2, d.attr_word3, record->orientation,
                   rx::dib_header(record->dib)->biXPelsPerMeter, int32_t(record->info_type)}),
            Codes({9, 1, 55, 66, 6, 11811, 77}));
  uint32_t masks[3];
  std::memcpy(masks, static_cast<uint8_t*>(record->dib) + 40, sizeof masks);
  EXPECT_EQ(std::vector<uint32_t>(masks, masks + 3), std::vector<uint32_t>({0x7C00, 0, 0x1F}));
  EXPECT_EQ(RPb_IO_attribute_set(&four.io, RX_ATTR_GREEN_MASK, 0x3E0), 0)
      << "no masks in a palette image";
  RX_image_delete(four.image);
  RX_image_delete(deep.image);
}


// ---- The pipeline ---------------------------------------------------------------

using LoadPipeline = LoadFiles;

// However a read fails, the load leaves no image and no block behind, and
// never deletes the image the caller's variable held before.
TEST_F(LoadPipeline, FailedReadsLeaveNothingBehind) {
  registry_prime();
  SourceImage s(4, 6, 8);
  g_source = &s;
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  const RX_HIMAGE earlier = test::create(test::make_dib(2, 2, 8));
  const auto fails = [&](RX_READ_FN read, int32_t code) {
    RX_HIMAGE image = earlier;
    const int32_t live = rx::mem_live_block_count();
    RPb_AF_error_clear();
    EXPECT_EQ(rx::load_with_reader(&io, read, nullptr, 1, 1, &image), 1);
    EXPECT_EQ(error_codes(), Codes{code});
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(rx::mem_live_block_count(), live);
  };
  for (int32_t row : {0, 3}) {
    g_fail_at_row = row;
    fails(fake_read, RXE_CANT_READ_PIXEL_DATA);
  }
  g_fail_at_row = -1;
  fails(read_nothing, RXE_NO_RASTER_IMAGE);
  fails(read_silent_failure, RXE_FAILURE);
  EXPECT_TRUE(RPb_iRX_image_is_valid(earlier));
  RX_HIMAGE image = 0;
  RPb_AF_error_clear();
  ASSERT_EQ(rx::load_with_reader(&io, fake_read, nullptr, 1, 1, &image), 0);
  RX_image_delete(image);
  RX_status_callback_set(stop_at_once, 0);
  fails(fake_read, RXE_INTERRUPTED_BY_USER);
}

// A detected format without a reader is an error, not an empty success;
// the same holds for descriptions and page counts.
TEST_F(LoadPipeline, EntryPointsReportWhatTheyCannotRead) {
  RX_HIMAGE image = 77;
  const auto codes = [](int32_t n) { return n == RPb_AF_error_check() ? error_codes() : Codes{}; };
  EXPECT_EQ(codes(RX_image_load_file((dir_ / "none").c_str(), &image)), Codes{RXE_FILE_OPEN_FAILED});
  EXPECT_EQ(image, 0u);
  EXPECT_EQ(codes(RX_image_load_file(nullptr, &image)), Codes{RXE_FILE_OPEN_FAILED});
  EXPECT_EQ(codes(RX_image_load_display(nullptr, 0, nullptr, 0, &image)), Codes{RXE_FILE_OPEN_FAILED});
  EXPECT_EQ(codes(RX_image_load_file("x", nullptr)), Codes{RXE_INVALID_POINTER});
  EXPECT_EQ(codes(RX_image_load_reserved("x", &image)), Codes{RXE_NOT_IMPLEMENTED});
  const uint8_t byte = 'B';
  const Codes unreadable = {RXE_CANT_READ_FILE, RXE_DETECT_FAILED};
  EXPECT_EQ(codes(RX_image_load_memory(nullptr, 10, 1, 1, &image)), unreadable);
  EXPECT_EQ(codes(RX_image_load_memory(&byte, 0, 1, 1, &image)), unreadable);
  EXPECT_EQ(codes(RX_memory_page_count_get(&byte, -5, nullptr)), unreadable);
  // A format that is recognised but has no filter yet.
  const std::vector<uint8_t> gem_head = {0, 1, 0, 8, 0, 1, 0, 1, 0, 1, 0, 1};
  const std::string gem = write("t.img", gem_head);
  int32_t format = -1, count = -1;
  EXPECT_EQ(RX_image_load_memory(gem_head.data(), 12, 1, 1, &image), 1);
  EXPECT_EQ(error_entries().at(0).iVal, RX_FORMAT_GEM) << "the format code";
  EXPECT_EQ(codes(RX_image_load_file(gem.c_str(), &image)), Codes{RXE_NOT_IMPLEMENTED});
  EXPECT_EQ(codes(RX_file_info_get(gem.c_str(), &format, nullptr, nullptr)), Codes{RXE_NOT_IMPLEMENTED});
  EXPECT_EQ(codes(RX_file_page_count_get(gem.c_str(), &count)), Codes{RXE_NOT_IMPLEMENTED});
  EXPECT_EQ(format + count, 0);
  const std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0};
  EXPECT_EQ(codes(RX_image_load_memory(gif.data(), 12, 1, 1, &image)), Codes{RXE_EXTENSION_NOT_PRESENT});
}

// The caller's open file goes back to where it was; the raw CCITT load
// puts its geometry into a copy of the shared flags block, never into the
// options.
TEST_F(LoadPipeline, CallersFilesAndOptionsAreLeftAsTheyWere) {
  std::vector<uint8_t> bytes(20 + kTiffHead.size(), 'x');
  std::copy(kTiffHead.begin(), kTiffHead.end(), bytes.begin() + 20);
  const int fd = ::open(write("f.bin", bytes).c_str(), O_RDONLY);
  ::lseek(fd, 5, SEEK_SET);
  RX_HIMAGE image = 0;
  EXPECT_EQ(RX_image_load_open_file(fd, 15, 1, 1, &image), 1);
  EXPECT_EQ(error_entries().at(0).iVal, RX_FORMAT_TIFF) << "detected at 5 + 15";
  EXPECT_EQ(RX_image_load_open_file(fd, -10, 1, 1, &image), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_CANT_READ_FILE});
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 5);
  ::close(fd);
  // Set bits are white rows in Group 4 (one V0 each) but never reach an
  // EOL in Group 3: compressions 3 and 11 select Group 3, others Group 4.
  const int ones = ::open(write("ones.bin", std::vector<uint8_t>(64, 0xFF)).c_str(), O_RDONLY);
  const std::pair<int32_t, int32_t> groups[] = {{3, RXE_CANT_READ_PIXEL_DATA},
                                                {11, RXE_CANT_READ_PIXEL_DATA}, {4, 0}, {0, 0}};
  for (const auto& [compression, code] : groups) {
    ::lseek(ones, 0, SEEK_SET);
    RX_image_load_raw_CCITT(ones, 8, 100, compression, 0, &image);
    EXPECT_EQ(error_codes().empty() ? 0 : error_codes().at(0), code) << compression;
    if (image != 0) RX_image_delete(image);
  }
  ::close(ones);
  uint32_t x_resolution = 0;
  RX_image_control_get(RX_OPTION_TEXT_X_RESOLUTION, &x_resolution);
  EXPECT_EQ(x_resolution, 200u);
  for (int32_t file : {-1, fd}) EXPECT_EQ(RX_image_load_open_file(file, 0, 1, 1, &image), 1);
  EXPECT_EQ(RX_image_load_raw_CCITT(0, 8, 8, 3, 0, &image), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_FILE_OPEN_FAILED});
}


TEST(LoadDisplayBand, ScalesTheRowsToTheDeviceAndIsNeverEmpty) {
  IMAGE_REC record{};
  auto& d = record.display;
  d.image_rect[3] = 99;
  const auto band = [&](double device_bottom, int32_t first, int32_t count) {
    d.device_rect[0] = 5, d.device_rect[1] = 10, d.device_rect[2] = 25, d.device_rect[3] = device_bottom;
    rx::LoadDisplayBand b{};
    return rx::load_display_band(&record, first, count, &b) ? Codes({b.left, b.top, b.right, b.bottom})
                                                            : Codes{};
  };
  EXPECT_EQ(band(210, 7, 1), Codes({5, 24, 25, 26}));  // twice the image height
  EXPECT_EQ(band(35, 9, 1), Codes({5, 12, 25, 13}));   // a quarter: still one row
  EXPECT_EQ(band(35, 0, 100), Codes({5, 10, 25, 35}));
  const Codes huge = band(1e300, 99, 1);
  EXPECT_GT(huge.at(3), huge.at(1));
  d.image_rect[1] = 50;  // only the image rectangle is shown
  EXPECT_EQ(band(35, 10, 1), Codes{});
  EXPECT_EQ(band(35, 60, 0), Codes{});
  EXPECT_EQ(band(35, 40, 20).at(1), 10);
}

// ---- Through a real format ------------------------------------------------------

using LoadBmp = LoadFiles;

TEST_F(LoadBmp, MemoryFileAndOpenFileGiveTheSameImage) {
  for (int32_t bits : {1, 4, 8, 24}) {
    const std::vector<uint8_t> bytes = bmp_of(random_image(bits));
    RX_HIMAGE memory = 0, file = 0, open = 0;
    ASSERT_EQ(RX_image_load_memory(bytes.data(), static_cast<int32_t>(bytes.size()), 1, 1, &memory), 0);
    ASSERT_EQ(RX_image_load_file(write("i.bmp", bytes).c_str(), &file), 0);
    // The whole file after other data, through the caller's file: its data
    // offset counts from its own "BM", not from the start of the stream.
    std::vector<uint8_t> embedded(9 + bytes.size(), 'z');
    std::copy(bytes.begin(), bytes.end(), embedded.begin() + 9);
    const int fd = ::open(write("e.bin", embedded).c_str(), O_RDONLY);
    ::lseek(fd, 4, SEEK_SET);
    ASSERT_EQ(RX_image_load_open_file(fd, 5, 1, 1, &open), 0) << bits;
    EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 4);
    ::close(fd);
    EXPECT_TRUE(same_image(memory, file) && same_image(memory, open)) << bits;
    int32_t compression = 0;
    RX_image_compression_type_get(file, &compression);
    EXPECT_EQ(compression, bits == 1 ? RX_BI_RUNS : RX_BI_RGB);
    for (RX_HIMAGE image : {memory, file, open}) RX_image_delete(image);
  }
  int32_t format = 0, compression = -1;
  RX_BITMAPINFOHEADER header{};
  ASSERT_EQ(RX_file_info_get(write("d.bmp", bmp_of(random_image(8))).c_str(), &format,
                             &compression, &header), 0);
  EXPECT_EQ(Codes({format, compression, header.biWidth, header.biHeight, header.biBitCount}),
            Codes({RX_FORMAT_BMP, RX_COMPRESSION_NONE, 13, 5, 8}));
}

namespace {

struct DisplayLog {
  std::vector<RX_HIMAGE> created;
  std::vector<std::pair<RX_HIMAGE, rx::LoadDisplayBand>> drawn;
  uintptr_t device_context = 0;
} g_display;

void on_created(uintptr_t, RX_HIMAGE image) { g_display.created.push_back(image); }

void on_draw(uintptr_t dc, RX_HIMAGE image, const rx::LoadDisplayBand* band) {
  g_display.device_context = dc;
  g_display.drawn.emplace_back(image, *band);
}

}  // namespace

// The created callback fires as soon as the image exists; each stored row
// is then drawn in its own band of device rows.
TEST_F(LoadBmp, ProgressiveLoadAnnouncesTheImageAndDrawsEachRow) {
  const std::string path = write("p.bmp", bmp_of(random_image(24)));
  g_display = DisplayLog{};
  rx::g_load_display_hook = on_draw;
  RX_HIMAGE image = 0, plain = 0;
  const int32_t result = RX_image_load_display(path.c_str(), 0xDC, on_created, 0, &image);
  rx::g_load_display_hook = nullptr;
  ASSERT_EQ(result, 0);
  EXPECT_EQ(g_display.created, std::vector<RX_HIMAGE>{image});
  ASSERT_EQ(g_display.drawn.size(), 5u);
  EXPECT_EQ(g_display.device_context, 0xDCu);
  for (const auto& [drawn, band] : g_display.drawn) {
    EXPECT_EQ(drawn, image);
    EXPECT_GT(band.bottom, band.top);
  }
  ASSERT_EQ(RX_image_load_file(path.c_str(), &plain), 0);
  EXPECT_TRUE(same_image(image, plain));
  RX_image_delete(plain);
  RX_image_delete(image);
  // Without a display engine nothing is drawn; a stopped load leaves nothing.
  g_display = DisplayLog{};
  ASSERT_EQ(RX_image_load_display(path.c_str(), 0, on_created, 0, &image), 0);
  EXPECT_EQ(g_display.created.size(), 1u);
  EXPECT_TRUE(g_display.drawn.empty());
  RX_image_delete(image);
  RX_status_callback_set(stop_at_once, 0);
  EXPECT_EQ(RX_image_load_display(path.c_str(), 0, on_created, 0, &image), 1);
  EXPECT_EQ(error_codes(), Codes{RXE_INTERRUPTED_BY_USER});
  EXPECT_EQ(image, 0u);
}
