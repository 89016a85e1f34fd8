// Image records: handle validation, creation from a caller's DIB and what
// it refuses, resolution, and the DIB helpers.
#include <vector>

#include "SUPPORT/dib_builder.h"
#include "SUPPORT/image_rec.h"
#include "SUPPORT/mem_tag.h"
#include "support/engine_fixture.h"

namespace {

// A runs DIB of 8-pixel rows given as run rows, top row first, whose
// header claims `height` rows.
std::vector<uint8_t> runs_dib(int32_t height, const std::vector<std::vector<uint16_t>>& rows) {
  auto dib = test::make_dib(8, height, 1, RX_BI_RUNS);
  dib.resize(40 + 8);
  for (const auto& row : rows) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(row.data());
    dib.insert(dib.end(), bytes, bytes + row.size() * 2);
  }
  return dib;
}

ErrorEntry first_error() {
  auto e = error_entries();
  return e.empty() ? ErrorEntry{} : e[0];
}

}  // namespace

class ImageRecord : public EngineTest {};

TEST_F(ImageRecord, OnlyLiveRecordsAreValidHandles) {
  for (RX_HIMAGE bad : {RX_HIMAGE{0}, RX_HIMAGE{1}, ~RX_HIMAGE{0}, RX_HIMAGE{255},
                        static_cast<RX_HIMAGE>(-255)})
    EXPECT_EQ(RPb_iRX_image_is_valid(bad), 0) << bad;
  // A heap block that merely starts with the signature is not a record.
  std::vector<uint8_t> fake(2048, 0);
  std::memcpy(fake.data(), "REEB", 4);
  const auto fake_handle = reinterpret_cast<RX_HIMAGE>(fake.data());
  EXPECT_EQ(RPb_iRX_image_is_valid(fake_handle), 0);
  RPb_AF_error_set("x", 1, -1, 0, 0);
  int32_t width = -7;
  EXPECT_EQ(RX_image_dimensions_get(fake_handle, &width, nullptr, nullptr), 0);
  EXPECT_EQ(width, -7);
  EXPECT_EQ(RPb_AF_error_check(), 0) << "the stack is cleared, nothing pushed";

  RX_HIMAGE image = test::create(test::make_dib(3, 3, 8));
  EXPECT_EQ(RPb_iRX_image_is_valid(image), 1);
  EXPECT_EQ(RX_image_delete(image), 0);
  EXPECT_EQ(RPb_iRX_image_is_valid(image), 0);
  // Engine stop frees every record; their handles must not be read after.
  RX_HIMAGE survivor = test::create(test::make_dib(3, 3, 8));
  RX_engine_stop();
  ASSERT_EQ(RX_engine_start(0x1234), 1);
  EXPECT_EQ(RPb_iRX_image_is_valid(survivor), 0);
}

TEST_F(ImageRecord, CreateCopiesTheDibAndSetsDefaults) {
  auto dib = test::make_dib(5, 4, 8);
  test::fill_pattern(dib);
  RX_HIMAGE image = test::create(dib);
  const uint8_t top_left = test::image_row(dib, 0)[0];
  std::fill(dib.begin(), dib.end(), 0);  // the image keeps its own copy
  int32_t w = 0, h = 0, bits = 0, code = -1;
  uint8_t value = 0;
  EXPECT_EQ(RX_image_dimensions_get(image, &w, &h, &bits), 0);
  EXPECT_EQ(RX_image_compression_type_get(image, &code), 0);
  EXPECT_EQ(RX_image_pixel_get(image, 0, 0, &value), 0);
  EXPECT_EQ(std::vector<int32_t>({w, h, bits, code, value}),
            std::vector<int32_t>({5, 4, 8, 0, top_left}));

  const rx::DISPLAY_ATTR& d = rx::record_of(image)->display;
  EXPECT_EQ(std::vector<int32_t>(d.image_rect, d.image_rect + 4), std::vector<int32_t>({0, 0, 4, 3}));
  ASSERT_NE(d.logical_palette, nullptr);
  EXPECT_EQ(d.logical_palette->entries[200].red, 200) << "grey palette through identity tables";
  int32_t res[5];
  RX_image_resolution_get(image, &res[0], &res[1], &res[2], &res[3], &res[4]);
  EXPECT_EQ(std::vector<int32_t>(res, res + 5), std::vector<int32_t>({300, 1, 300, 1, 3}));
}

TEST_F(ImageRecord, CreateRefusesBadDibsCleanly) {
  const int32_t blocks = rx::mem_live_block_count();
  const auto good = test::make_dib(9, 5, 4);
  auto refuse = [&](const std::vector<uint8_t>& dib, size_t bytes, int32_t code) {
    RX_HIMAGE image = 77;
    EXPECT_GT(RX_image_create_from_DIB(dib.data(), bytes, &image), 0);
    EXPECT_EQ(first_error().code, code);
    EXPECT_EQ(image, 0u);
    EXPECT_EQ(rx::mem_live_block_count(), blocks) << "nothing left behind";
  };
  auto edit = [&](auto change) {
    auto dib = good;
    change(*reinterpret_cast<RX_BITMAPINFOHEADER*>(dib.data()));
    return dib;
  };
  refuse(good, good.size() - 1, RXE_DIB_SIZE_WRONG);
  refuse(good, 39, RXE_DIB_SIZE_WRONG);
  refuse(edit([](auto& h) { h.biBitCount = 2; }), good.size(), RXE_INVALID_BIT_COUNT);
  refuse(edit([](auto& h) { h.biCompression = RX_BI_BITFIELDS; }), good.size(),
         RXE_INVALID_COMPRESSION);
  refuse(edit([](auto& h) { h.biSize = 12; }), good.size(), RXE_INVALID_IMAGE_FORMAT);
  refuse(edit([](auto& h) { h.biHeight = -5; }), good.size(), RXE_DIB_SIZE_WRONG);
  // Sizes that overflow 32 bits are refused before anything is allocated.
  refuse(edit([](auto& h) { h.biWidth = h.biHeight = 70000; h.biBitCount = 24; }), good.size(),
         RXE_DIB_SIZE_WRONG);
  refuse(good, 0, RXE_DIB_SIZE_WRONG);
  EXPECT_EQ(RX_image_create_from_DIB(good.data(), good.size(), nullptr), 1);
  EXPECT_EQ(first_error().code, RXE_INVALID_POINTER);
}

TEST_F(ImageRecord, CreateChecksEveryRunRow) {
  const std::vector<uint16_t> zero = {10, 0, 8, 8, 8}, band = {12, 2, 5, 8, 8, 8};
  RX_HIMAGE image = test::create(runs_dib(3, {band, zero, band}));
  uint8_t v[3] = {};
  RX_image_pixel_get(image, 1, 0, &v[0]);
  RX_image_pixel_get(image, 1, 1, &v[1]);
  RX_image_pixel_get(image, 5, 2, &v[2]);
  EXPECT_EQ(std::vector<uint8_t>(v, v + 3), std::vector<uint8_t>({1, 0, 1}));
  RX_image_delete(image);
  const int32_t blocks = rx::mem_live_block_count();  // the registry stays

  const struct {
    std::vector<std::vector<uint16_t>> rows;
    int32_t bad_row;
  } corrupt[] = {
      {{band, {10, 0, 9, 8, 8}, band}, 1},     // column past the width
      {{band, {10, 0, 8, 8, 7}, band}, 1},     // width missing at the end
      {{band, {9, 0, 8, 8, 8}, band}, 1},      // odd length
      {{band, {60000, 0, 8, 8, 8}, band}, 1},  // runs past the end of the DIB
      {{band, zero}, 2},                       // one row short of the height
  };
  for (const auto& c : corrupt) {
    auto dib = runs_dib(3, c.rows);
    image = 5;
    EXPECT_GT(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
    EXPECT_EQ(first_error().code, RXE_COMPRESSION_ERROR);
    EXPECT_EQ(first_error().iVal, c.bad_row) << "names the bad image row";
    EXPECT_EQ(image, 0u);
  }
  auto wide = runs_dib(1, {zero});
  reinterpret_cast<RX_BITMAPINFOHEADER*>(wide.data())->biWidth = 40000;
  EXPECT_GT(RX_image_create_from_DIB(wide.data(), wide.size(), &image), 0);
  EXPECT_EQ(first_error().code, RXE_DIB_SIZE_WRONG) << "wider than run rows can describe";
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
}

TEST_F(ImageRecord, ResolutionSetAndUnits) {
  RX_HIMAGE image = test::create(test::make_dib(2, 2, 24));
  IMAGE_REC* r = rx::record_of(image);
  int32_t x = 0, y = 0, xn = 0, xd = 0, units = 0;
  EXPECT_EQ(RX_image_resolution_set(image, 72, 0, 1, 3, 3), 0);
  RPb_iRX_image_pels_per_meter_get(r, &x, &y);
  EXPECT_EQ(std::vector<int32_t>({x, y}), std::vector<int32_t>({2835, 13}));  // x 39.37 + 0.5
  RX_image_resolution_get(image, nullptr, &xd, nullptr, nullptr, nullptr);
  EXPECT_EQ(xd, 1) << "denominator 0 is stored as 1";

  EXPECT_EQ(RX_image_resolution_set(image, 600, 1, 600, 1, 7), 1);
  EXPECT_EQ(first_error().code, RXE_RESOLUTION_UNITS_UNSUPPORTED);
  EXPECT_EQ(first_error().iVal, 7);
  RPb_iRX_image_pels_per_meter_get(r, &x, &y);
  RX_image_resolution_get(image, &xn, nullptr, nullptr, nullptr, &units);
  EXPECT_EQ(std::vector<int32_t>({x, xn, units}), std::vector<int32_t>({2835, 72, 3}))
      << "a refused set changes nothing";

  EXPECT_EQ(RX_image_resolution_set(image, 2000000000, 1, -5, 1, 4), 0);
  RPb_iRX_image_pels_per_meter_get(r, &x, &y);
  EXPECT_EQ(std::vector<int32_t>({x, y}), std::vector<int32_t>({2147483647, -499}))
      << "saturates instead of overflowing";
}

TEST_F(ImageRecord, InfoTagIsFreedButNeverTheRecordsOwn) {
  RX_HIMAGE image = test::create(test::make_dib(2, 2, 8));
  IMAGE_REC* r = rx::record_of(image);
  const uint32_t info = RPb_AF_mem_unique_tag_get();
  RPb_AF_mem_alloc(info, 100);
  RPb_image_info_mem_tag_set(r, info);
  RPb_image_info_mem_tag_set(r, r->tag);
  EXPECT_EQ(RPb_AF_mem_free_all(info), -1) << "the old info tag was released";
  RPb_image_info_mem_tag_set(r, 0);
  EXPECT_EQ(RPb_iRX_image_is_valid(image), 1) << "the record's own tag is not freed as info";
}

TEST_F(ImageRecord, LogicalPaletteFollowsModesAndTables) {
  IMAGE_REC* r = rx::record_of(test::create(test::make_dib(2, 2, 4)));
  r->display.lut_red[255] = 7;
  ASSERT_EQ(RPb_logical_palette_update(r), 0);
  EXPECT_EQ(r->display.logical_palette->count, 16);
  EXPECT_EQ(r->display.logical_palette->entries[15].red, 7) << "through the red table";
  r->display.dither_mode = 2;
  ASSERT_EQ(RPb_logical_palette_update(r), 0);
  EXPECT_EQ(r->display.logical_palette->entries[0x24].red, 36) << "the 3-3-2 cube";
  IMAGE_REC* m = rx::record_of(test::create(test::make_dib(2, 2, 1)));
  m->display.alias_mode = 2;
  ASSERT_EQ(RPb_logical_palette_update(m), 0);
  EXPECT_EQ(m->display.logical_palette->entries[1].red, 17) << "16 greys";
}

class DibHelpers : public EngineTest {};

TEST_F(DibHelpers, MasksAndGreyImages) {
  auto masked = test::make_dib(3, 2, 16, RX_BI_BITFIELDS);
  RPb_DIB_green_mask_set(masked.data(), 0x07E0);
  EXPECT_EQ(masked[44] | masked[45] << 8, 0x07E0);
  auto plain = test::make_dib(3, 2, 16);
  const auto before = plain;
  RPb_DIB_red_mask_set(plain.data(), 0xF800);
  EXPECT_EQ(plain, before) << "no room for masks, so no write over pixels";

  auto rgb = test::make_dib(3, 2, 24);
  for (int k = 0; k < 9; ++k) test::image_row(rgb, 1)[k] = static_cast<uint8_t>(40 + k / 3);
  RX_HIMAGE image = test::create(rgb);
  EXPECT_EQ(rx::image_is_gray(rx::record_of(image)), 1);
  const uint8_t bgr[3] = {1, 2, 1};
  RX_image_pixel_set(image, 2, 1, bgr);
  EXPECT_EQ(rx::image_is_gray(rx::record_of(image)), 0);
}

TEST_F(DibHelpers, AllocRefusesOversizeBeforeAllocating) {
  IMAGE_REC* r = rx::record_create(RPb_AF_mem_unique_tag_get());
  const int32_t blocks = rx::mem_live_block_count();
  RX_BITMAPINFOHEADER h;
  for (auto [w, height, bits] : {std::tuple{70000, 70000, 24}, std::tuple{32763, 4, 1}}) {
    RPb_AF_error_clear();
    RPb_DIB_init(&h, w, height, bits, RX_BI_RGB, 0, 0);
    EXPECT_EQ(RPb_DIB_alloc(r, &h, nullptr), nullptr);
    EXPECT_EQ(first_error().code, RXE_DIB_SIZE_WRONG);
  }
  EXPECT_EQ(rx::mem_live_block_count(), blocks);
  EXPECT_EQ(r->lock, 0) << "the lock is given back on failure";
  RPb_DIB_init(&h, 32762, 2, 1, RX_BI_RGB, 0, 0);
  EXPECT_NE(RPb_DIB_alloc(r, &h, nullptr), nullptr) << "the widest runs image";
}
