// The TIFF reader on files built by hand: header and directories in both
// byte orders, the tag report, the fields' defaults and the application's
// overrides, every kind of page and every decompression path, with the
// pixels worked out by hand.
#include <cstring>

#include "IO/io_rec.h"
#include "filters/bmp/bmp_harness.h"
#include "filters/tiff/lzw_test_codec.h"
#include "filters/tiff/tiff.h"
#include "filters/tiff/tiff_harness.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"

namespace tifft {
namespace {

using TiffRead = EngineTest;
using Codes = std::vector<int32_t>;

// A page of the given fields and strips, with extra fields after them.
Page page(std::vector<Field> fields, std::vector<Bytes> strips, const std::vector<Field>& extra = {}) {
  fields.insert(fields.end(), extra.begin(), extra.end());
  return Page{std::move(fields), std::move(strips)};
}

// A grey page of 8-bit samples 0, 10, 20 ... in one strip.
Page grey_page(uint32_t width, uint32_t height, uint32_t photometric = 1) {
  Page p;
  p.fields = basic(width, height, 8, 1, 1, photometric);
  Bytes data;
  for (uint32_t i = 0; i < width * height; ++i) data.push_back(static_cast<uint8_t>(10 * i));
  p.strips = {data};
  return p;
}

Bytes grey_rgb(uint32_t n, bool inverted = false) {
  Bytes out;
  for (uint32_t i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(inverted ? 255 - 10 * i : 10 * i);
    out.insert(out.end(), {v, v, v});
  }
  return out;
}

// The palette the filter's information call gives.
std::vector<RX_RGBQUAD> info_palette(const Bytes& file) {
  IO_REC io{};
  RPb_IO_inst_lookup(&io);
  Bytes copy = file;
  rx::io_memory_attach(&io, copy.data(), static_cast<int32_t>(copy.size()),
                       static_cast<int32_t>(copy.size()));
  std::vector<RX_RGBQUAD> palette(256);
  RX_BITMAPINFOHEADER h{};
  int32_t compression = 0;
  uint8_t flags[80] = {};
  RPb_RPr_filter_image_flags_get(RPb_RPr_filter_search(RX_FORMAT_TIFF), flags);
  if (rx::tiff_info(&io, &h, palette.data(), &compression, flags, 1) != 0) palette.clear();
  return palette;
}

// ---- Header, directory and pages ------------------------------------------------

// In big-endian files a SHORT sits in the first half of the value field
// (BitsPerSample 8 is 00 08 00 00): a reader that takes the wrong half
// finds a depth of 0.
TEST_F(TiffRead, BothByteOrdersGiveTheSamePixels) {
  for (bool mm : {false, true}) {
    const Pixels p = load_pixels(build({grey_page(4, 3)}, mm));
    EXPECT_EQ(Codes({p.width, p.height, p.bits}), Codes({4, 3, 8}));
    EXPECT_EQ(p.rgb, grey_rgb(12)) << (mm ? "MM" : "II");
  }
}

TEST_F(TiffRead, HeaderFaultsAreReportedByKind) {
  Bytes file = build({grey_page(2, 2)});
  file[2] = 43;  // magic
  EXPECT_EQ(refusal(file), Codes{RXE_INVALID_FILE_HEADER});
  EXPECT_EQ(refusal(Bytes{'I', 'I', 42, 0, 8}), Codes{RXE_CANT_READ_HEADER});
}

TEST_F(TiffRead, PageCountFollowsTheChainAndLoadsClampThePage) {
  const Bytes one = build({grey_page(4, 3)});
  EXPECT_EQ(page_count(one), 1);
  // Page 3 of a one-page file is page 1.
  EXPECT_EQ(load_pixels(one, 3).rgb, grey_rgb(12));

  const Bytes three = build({grey_page(1, 1), grey_page(2, 1), grey_page(3, 1)});
  EXPECT_EQ(page_count(three), 3);
  for (int32_t page = 1; page <= 3; ++page) EXPECT_EQ(load_pixels(three, page).width, page);
  EXPECT_EQ(load_pixels(three, 7).width, 3);
  EXPECT_EQ(load_pixels(three, 0).width, 1);
}

// Directory offsets of a little-endian file, in chain order.
std::vector<uint32_t> ifds_of(const Bytes& f, size_t pages) {
  std::vector<uint32_t> out;
  uint32_t at = f[4] | f[5] << 8 | f[6] << 16 | f[7] << 24;
  for (size_t i = 0; i < pages && at != 0; ++i) {
    out.push_back(at);
    const uint32_t next = at + 2 + 12 * (f[at] | f[at + 1] << 8);
    at = f[next] | f[next + 1] << 8 | f[next + 2] << 16 | f[next + 3] << 24;
  }
  return out;
}

void next_set(Bytes& f, uint32_t ifd, uint32_t next) {
  const uint32_t at = ifd + 2 + 12 * (f[ifd] | f[ifd + 1] << 8);
  for (int k = 0; k < 4; ++k) f[at + k] = static_cast<uint8_t>(next >> (8 * k));
}

TEST_F(TiffRead, AChainThatLoopsBackCountsEachPageOnce) {
  // Page 3 points back at page 2.
  Bytes file = build({grey_page(1, 1), grey_page(2, 1), grey_page(3, 1)});
  const std::vector<uint32_t> ifds = ifds_of(file, 3);
  ASSERT_EQ(ifds.size(), 3u);
  next_set(file, ifds[2], ifds[1]);
  EXPECT_EQ(page_count(file), 3);
  EXPECT_EQ(load_pixels(file, 3).width, 3);
  EXPECT_EQ(load_pixels(file, 9).width, 3);
  // A directory that points at itself is one page; a next offset past the
  // end of the file ends the chain.
  for (uint32_t next : {0u, 1000000u}) {
    Bytes one = build({grey_page(2, 1)});
    const uint32_t ifd = ifds_of(one, 1)[0];
    next_set(one, ifd, next == 0 ? ifd : next);
    EXPECT_EQ(page_count(one), 1) << next;
  }
}

TEST_F(TiffRead, RowsPerStripAbsentMakesOneStripAndOddValuesAreBounded) {
  // No RowsPerStrip: the one strip holds every row.
  EXPECT_EQ(load_pixels(build({grey_page(2, 3)})).rgb, grey_rgb(6));
  // RowsPerStrip 0 is taken as 1: three strips of one row.
  Page p = page(basic(2, 3, 8, 1, 1, 1), {{0, 10}, {20, 30}, {40, 50}}, {num(278, kLong, {0})});
  EXPECT_EQ(load_pixels(build({p})).rgb, grey_rgb(6));
  // RowsPerStrip above the height is the height.
  p.fields.back() = num(278, kShort, {500});
  p.strips = {{0, 10, 20, 30, 40, 50}};
  EXPECT_EQ(load_pixels(build({p})).rgb, grey_rgb(6));
}

TEST_F(TiffRead, SizeFieldsAreRequiredAndNonZero) {
  Page p = grey_page(2, 2);
  p.fields.erase(p.fields.begin());  // ImageWidth
  EXPECT_EQ(load(build({p})), 0u);
  ASSERT_EQ(error_entries().size(), 1u);
  EXPECT_EQ(error_entries()[0].code, RXE_TIFF_REQUIRED_INFORMATION_MISSING);
  EXPECT_EQ(error_entries()[0].iVal, 40);
  EXPECT_EQ(error_entries()[0].file, "TIFREAD.cpp");
  p = grey_page(2, 2);
  p.fields[1] = num(257, kLong, {0});
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_INVALID_IMAGE_DIMENSION});
  p = grey_page(2, 2);
  p.strips.clear();  // no StripOffsets
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_REQUIRED_INFORMATION_MISSING});
}

// ---- The tag report -----------------------------------------------------------------

struct Reported {
  int32_t id, type, count;
  Bytes data;
};
std::vector<Reported> g_reported;

int32_t record_tag(uintptr_t, int32_t id, int32_t type, uintptr_t data, int32_t count) {
  static const uint32_t sizes[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
  const uint32_t size = type >= 0 && type <= 12 ? sizes[type] : 0;
  const auto* p = reinterpret_cast<const uint8_t*>(data);
  g_reported.push_back({id, type, count, p != nullptr ? Bytes(p, p + size * count) : Bytes{}});
  return 1;
}

TEST_F(TiffRead, EveryEntryIsReportedInHostOrderWithItsId) {
  Page p = grey_page(1, 1);
  p.fields.insert(p.fields.end(),
                  {Field{33432, kAscii, {}, {'(', 'c', ')', 0}}, num(40001, kSShort, {0xFFFE}),
                   num(40002, kSLong, {0xFFFFFFF0u}), num(40003, kRational, {300, 7}),
                   Field{40004, kDouble, {}, {0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},  // 1.0 big-endian
                   num(40005, kFloat, {0x3F800000u}), num(40006, kUndefined, {1, 2, 3, 4, 5}),
                   Field{40007, 13, {}, {1, 2, 3, 4}, 4}});
  ASSERT_EQ(RX_tag_set_callback_install(record_tag, 0), 0);
  g_reported.clear();
  RX_HIMAGE image = load(build({p}, true));
  ASSERT_NE(image, 0u);
  RX_image_delete(image);
  RX_tag_set_callback_install(nullptr, 0);
  const auto find = [](int32_t id) {
    for (const Reported& r : g_reported)
      if (r.id == id) return r;
    return Reported{-1, 0, 0, {}};
  };
  EXPECT_EQ(find(10256).type, kLong);
  const std::pair<int32_t, Bytes> host_order[] = {
      {10256, {1, 0, 0, 0}},       {10258, {8, 0}},
      {33432, {'(', 'c', ')', 0}}, {40001, {0xFE, 0xFF}},
      {40002, {0xF0, 0xFF, 0xFF, 0xFF}}, {40003, {44, 1, 0, 0, 7, 0, 0, 0}},
      {40004, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}}, {40005, {0, 0, 0x80, 0x3F}},
      {40006, {1, 2, 3, 4, 5}}};
  for (const auto& [id, data] : host_order) EXPECT_EQ(find(id).data, data) << id;
  EXPECT_EQ(find(40007).count, 0);  // a type the format does not define carries no data
  EXPECT_EQ(find(40007).type, 13);
}

// ---- Kinds of page ----------------------------------------------------------------

TEST_F(TiffRead, BilevelAndFourBitGreyPalettes) {
  // WhiteIsZero bilevel: 0 bits are white.
  Page p = page(basic(8, 1, 1, 1, 1, 0), {{0x0F}});
  Pixels px = load_pixels(build({p}));
  ASSERT_EQ(px.bits, 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(px.rgb[3 * x], x < 4 ? 255 : 0) << x;
  // 4-bit grey: 16 levels in steps of 17.
  px = load_pixels(build({page(basic(4, 1, 4, 1, 1, 1), {{0x01, 0xEF}})}));
  ASSERT_EQ(px.bits, 4);
  EXPECT_EQ(px.rgb, (Bytes{0, 0, 0, 17, 17, 17, 238, 238, 238, 255, 255, 255}));
}

Field colour_map(const std::vector<uint32_t>& red, const std::vector<uint32_t>& green,
                 const std::vector<uint32_t>& blue) {
  std::vector<uint32_t> v = red;
  v.insert(v.end(), green.begin(), green.end());
  v.insert(v.end(), blue.begin(), blue.end());
  return num(320, kShort, v);
}

TEST_F(TiffRead, ColorMapTakesHighBytesOrTheLowBytesWhenTheMapWasWrittenThere) {
  std::vector<uint32_t> red(16, 0), green(16, 0), blue(16, 0);
  red[1] = 0x12FF;
  green[1] = 0x3400;
  blue[1] = 0x5600;
  Page p = page(basic(2, 1, 4, 1, 1, 3), {{0x10}}, {colour_map(red, green, blue)});
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{0x12, 0x34, 0x56, 0, 0, 0}));
  // 8-bit values in the low bytes: the first non-zero red value is 0x0012.
  red[1] = 0x12;
  green[1] = 0x34;
  blue[1] = 0x56;
  p.fields.back() = colour_map(red, green, blue);
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{0x12, 0x34, 0x56, 0, 0, 0}));
  // LZW pages always take the high byte.
  LzwInstalled lzw;
  p.fields[3] = num(259, kShort, {5});
  const Bytes raw = {0x10};
  p.strips = {lzw_encode(raw.data(), raw.size())};
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{0, 0, 0, 0, 0, 0}));
  // A palette page without its map.
  p.fields.pop_back();
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_INVALID_COLOR_MAP});
}

TEST_F(TiffRead, Compression32010PalettesAreTheFixedGreys) {
  const Bytes file = build({page(basic(1, 1, 4, 1, 32010, 3), {{0}})});
  RX_BITMAPINFOHEADER h{};
  int32_t compression = 0;
  ASSERT_EQ(info(file, &h, &compression), 0);
  EXPECT_EQ(compression, RX_COMPRESSION_ABIC_GRAY);
  EXPECT_EQ(h.biBitCount, 4);
  // The filter's own information call hands out the palette.
  const uint8_t levels[16] = {0x00, 0x11, 0x33, 0x22, 0x77, 0x66, 0x44, 0x55,
                              0xFF, 0xEE, 0xCC, 0xDD, 0x88, 0x99, 0xBB, 0xAA};
  const std::vector<RX_RGBQUAD> palette = info_palette(file);
  ASSERT_EQ(palette.size(), 256u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(palette[i].rgbRed, levels[i]) << i;
    EXPECT_EQ(palette[i].rgbBlue, levels[i]) << i;
  }
  EXPECT_EQ(load(file), 0u);
  EXPECT_EQ(only_error(), Codes({RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, 32010}));
}

TEST_F(TiffRead, DepthsAndPhotometricValuesThatMakeNoImageAreRefused) {
  // 2-bit grey; photometric 9; no samples at all, or extra samples only
  // (a depth of 0, and rows of no bytes).
  const std::pair<Page, int32_t> cases[] = {
      {page(basic(4, 1, 2, 1, 1, 1), {{0}}), RXE_TIFF_INVALID_BITS_PER_SAMPLE},
      {page(basic(1, 1, 8, 1, 1, 9), {{0}}), RXE_TIFF_INVALID_PHOTOMETRIC_INTERPRETATION_VALUE},
      {page(basic(4, 4, 8, 0, 1, 1), {Bytes(16, 7)}), RXE_TIFF_INVALID_BITS_PER_SAMPLE},
      {page(basic(4, 4, 8, 1, 1, 1), {Bytes(16, 7)}, {num(338, kShort, {2})}),
       RXE_TIFF_INVALID_BITS_PER_SAMPLE}};
  for (const auto& [p, code] : cases) EXPECT_EQ(refusal(build({p})), Codes{code}) << code;
}

TEST_F(TiffRead, RgbWithExtraSamplesAndSixteenBitSamples) {
  // RGBA whose ExtraSamples value is 2 (unassociated alpha): one extra.
  const Page p = page(basic(2, 1, 8, 4, 1, 2), {{1, 2, 3, 99, 4, 5, 6, 98}}, {num(338, kShort, {2})});
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{1, 2, 3, 4, 5, 6}));
  // 16-bit samples keep their high byte, in either byte order.
  for (bool mm : {false, true}) {
    const Page g = page(basic(2, 1, 16, 1, 1, 1),
                        {mm ? Bytes{0x12, 0x34, 0xAB, 0xCD} : Bytes{0x34, 0x12, 0xCD, 0xAB}});
    EXPECT_EQ(load_pixels(build({g}, mm)).rgb, (Bytes{0x12, 0x12, 0x12, 0xAB, 0xAB, 0xAB}));
  }
}

TEST_F(TiffRead, CmykInksBecomeRgb) {
  // R = 255 - min(255, C + K), and likewise green from M and blue from Y.
  Page p = page(basic(2, 1, 8, 4, 1, 5), {{10, 20, 30, 40, 10, 0, 250, 250}});
  const Bytes expected = {205, 195, 185, 0, 5, 0};
  EXPECT_EQ(load_pixels(build({p})).rgb, expected);
  // The same inks in planes.
  p = page(basic(2, 1, 8, 4, 1, 5), {{10, 10}, {20, 0}, {30, 250}, {40, 250}},
           {num(284, kShort, {2}), num(278, kLong, {1})});
  EXPECT_EQ(load_pixels(build({p})).rgb, expected);
}

TEST_F(TiffRead, YCbCrUnitsAreExpandedWithTheLumaWeights) {
  // One 2 x 2 unit: four luma samples, then Cb and Cr.
  Page p = page(basic(2, 2, 8, 3, 1, 6), {{100, 100, 100, 100, 128, 200}});
  // R = 100 + 1.402 x 72 = 200.9; B = 100; G = (100 - 0.299 R - 0.114 B) / 0.587
  // with R and B truncated: (100 - 59.8 - 11.4) / 0.587 = 49.06.
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{200, 49, 100, 200, 49, 100, 200, 49, 100, 200, 49, 100}));
  p.fields.push_back(num(284, kShort, {2}));
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_PLANAR_CONFIG_ERROR});
}

TEST_F(TiffRead, SubsamplingOfZeroIsRefusedForYCbCrAndIgnoredElsewhere) {
  const Field none = num(530, kShort, {0, 0});
  EXPECT_EQ(refusal(build({page(basic(2, 2, 8, 3, 1, 6), {{100, 100, 100, 100, 128, 200}}, {none})})),
            Codes{RXE_TIFF_DATA_UNEXPECTED});
  // A bilevel page does not use the field (a fuzzed file once divided by it).
  const Pixels px = load_pixels(build({page(basic(8, 1, 1, 1, 1, 0), {{0x0F}}, {none})}));
  ASSERT_EQ(px.bits, 1);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(px.rgb[3 * x], x < 4 ? 255 : 0) << x;
}

TEST_F(TiffRead, PlanesOfRgbAreGatheredAndOtherPlanarValuesRefused) {
  Page p = page(basic(2, 2, 8, 3, 1, 2), {{1, 2, 3, 4}, {11, 12, 13, 14}, {21, 22, 23, 24}},
                {num(284, kShort, {2})});
  EXPECT_EQ(load_pixels(build({p})).rgb, (Bytes{1, 11, 21, 2, 12, 22, 3, 13, 23, 4, 14, 24}));
  p.fields.back() = num(284, kShort, {3});
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_PLANAR_CONFIG_ERROR});
}

TEST_F(TiffRead, ATiledPageLoadsOneTileClampedToTheGrid) {
  // A 5 x 3 grey page in 4 x 2 tiles: a grid of 2 by 2.
  Page p = page(basic(5, 3, 8, 1, 1, 1), {}, {num(322, kShort, {4}), num(323, kShort, {2})});
  p.tiled = true;
  for (uint8_t t = 0; t < 4; ++t) {
    Bytes tile;
    for (uint8_t i = 0; i < 8; ++i) tile.push_back(static_cast<uint8_t>(t * 50 + i));
    p.strips.push_back(tile);
  }
  const Bytes file = build({p});
  for (int32_t tile : {0, 3, 9, -1}) {
    const Pixels px = load_pixels(file, 1, tile);
    EXPECT_EQ(Codes({px.width, px.height}), Codes({4, 2})) << tile;
    const int32_t t = tile < 0 ? 0 : tile > 3 ? 3 : tile;
    ASSERT_EQ(px.rgb.size(), 24u);
    EXPECT_EQ(px.rgb[0], t * 50);
    EXPECT_EQ(px.rgb[21], t * 50 + 7);
  }
}

// ---- Decompression ------------------------------------------------------------------

TEST_F(TiffRead, PackBitsRunsMayCrossRowsAndWhiteIsZeroIsComplemented) {
  // 4 x 2 grey WhiteIsZero: a repeat of 6 zeros over both rows, then a
  // literal of two bytes.
  Page p = page(basic(4, 2, 8, 1, 32773, 0), {{static_cast<uint8_t>(-5), 0, 1, 7, 9}});
  const Pixels px = load_pixels(build({p}));
  Bytes expected;
  for (uint8_t v : {255, 255, 255, 255, 255, 255, 248, 246}) expected.insert(expected.end(), {v, v, v});
  EXPECT_EQ(px.rgb, expected);
  // A no-op control byte (-128) is passed over.
  p.strips = {{0x80, static_cast<uint8_t>(-7), 0}};
  EXPECT_EQ(load_pixels(build({p})).rgb, Bytes(24, 255));
}

TEST_F(TiffRead, HorizontalPredictorIsUndoneForEightBitGreyAndRgb) {
  LzwInstalled lzw;
  const auto predicted = [](std::vector<Field> fields, const Bytes& diff) {
    return load_pixels(build({page(std::move(fields), {lzw_encode(diff.data(), diff.size())},
                                   {num(317, kShort, {2})})})).rgb;
  };
  // Grey: 10, 20, 25 stored as differences 10, 10, 5.
  EXPECT_EQ(predicted(basic(3, 1, 8, 1, 5, 1), {10, 10, 5}), (Bytes{10, 10, 10, 20, 20, 20, 25, 25, 25}));
  // RGB: each sample adds the same sample of the pixel to its left.
  EXPECT_EQ(predicted(basic(2, 1, 8, 3, 5, 2), {1, 2, 3, 250, 10, 1}), (Bytes{1, 2, 3, 251, 12, 4}));
}

TEST_F(TiffRead, LzwNeedsTheExtension) {
  EXPECT_EQ(load(build({page(basic(1, 1, 8, 1, 5, 1), {{0x80, 0, 0x20}})})), 0u);
  EXPECT_EQ(only_error(), Codes({RXE_LZW_EXTENSION_MISSING, 90, 8}));
}

TEST_F(TiffRead, CompressionsTheReaderDoesNotKnowAreRefusedButDescribed) {
  for (uint32_t c : {7u, 8u, 32946u, 32771u, 34712u, 32008u}) {
    const Bytes file = build({page(basic(3, 2, 8, 1, c, 1), {{1, 2, 3, 4, 5, 6}})});
    EXPECT_EQ(load(file), 0u) << c;
    EXPECT_EQ(only_error(), Codes({RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, static_cast<int32_t>(c)}));
    RX_BITMAPINFOHEADER h{};
    int32_t compression = 0;
    EXPECT_EQ(info(file, &h, &compression), 0);
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(compression, c == 32008u ? RX_COMPRESSION_ABIC_BW : RX_COMPRESSION_UNKNOWN);
  }
}

TEST_F(TiffRead, InformationNamesTheCompressions) {
  const std::pair<uint32_t, int32_t> names[] = {
      {1, RX_COMPRESSION_NONE},   {32773, RX_COMPRESSION_PACKBITS}, {2, RX_COMPRESSION_HUFFMAN},
      {3, RX_COMPRESSION_GROUP3}, {4, RX_COMPRESSION_GROUP4},       {5, RX_COMPRESSION_LZW},
      {6, RX_COMPRESSION_JPEG}};
  for (const auto& [c, name] : names) {
    int32_t compression = -1;
    const uint32_t bits = c >= 2 && c <= 4 ? 1 : 8;
    info(build({page(basic(8, 1, bits, 1, c, 1), {Bytes(8, 0)})}), nullptr, &compression);
    EXPECT_EQ(compression, name) << c;
  }
}

TEST_F(TiffRead, Group4PagesMustBeOneBitDeep) {
  Page p = page(basic(2, 1, 8, 1, 4, 0), {{0xFF, 0x00, 0x10, 0x01}});
  const Bytes file = build({p});
  EXPECT_EQ(refusal(file), Codes{RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION});
  EXPECT_NE(info(file), 0);
  // One bit deep: eight white rows (one V0 code each), then EOFB; the page
  // is described as run rows.
  p.fields = basic(16, 8, 1, 1, 4, 0);
  const Bytes g4 = build({p});
  RX_BITMAPINFOHEADER h{};
  ASSERT_EQ(info(g4, &h), 0);
  EXPECT_EQ(h.biCompression, static_cast<uint32_t>(RX_BI_RUNS));
  EXPECT_EQ(load_pixels(g4).rgb, Bytes(16 * 8 * 3, 255));
}

TEST_F(TiffRead, OptionsOverridePhotometricAndFillOrder) {
  const Bytes file = build({grey_page(3, 1)});
  ASSERT_EQ(RX_image_control_set(RX_OPTION_TIFF_PHOTOMETRIC, 0), 0);
  EXPECT_EQ(load_pixels(file).rgb, grey_rgb(3, true));
  RX_image_control_set(RX_OPTION_TIFF_PHOTOMETRIC, 0xFFFF);
  EXPECT_EQ(load_pixels(file).rgb, grey_rgb(3));
  // Fill order 2 reverses the bits of each byte of the data: 0x80 is read
  // as 0x01. (Uncompressed 1-bit, BlackIsZero: set bits are white.)
  Page p = page(basic(8, 1, 1, 1, 1, 1), {{0x80}});
  const Bytes bits = build({p});
  EXPECT_EQ(load_pixels(bits).rgb[0], 255);
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 2);
  Pixels px = load_pixels(bits);
  EXPECT_EQ(px.rgb[0], 0);
  EXPECT_EQ(px.rgb[21], 255);
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 0xFFFF);
  p.fields.push_back(num(266, kShort, {2}));
  px = load_pixels(build({p}));
  EXPECT_EQ(px.rgb[21], 255);
}

// ---- Hostile files ---------------------------------------------------------------------

TEST_F(TiffRead, OffsetsAndCountsPastTheEndAreRefused) {
  // Strip data past the end of the file.
  const std::vector<Field> grey = basic(2, 2, 8, 1, 1, 1);
  EXPECT_EQ(refusal(build({page(grey, {}, {num(273, kLong, {100000}), num(279, kLong, {4})})})),
            Codes{RXE_CANT_READ_PIXEL_DATA});
  // Values past the end.
  Page p = grey_page(2, 2);
  p.fields.push_back(Field{40000, kLong, {}, {}, 1000, 60});
  EXPECT_EQ(refusal(build({p})), Codes{RXE_TIFF_CANT_READ_TAG_DATA});
  // A directory that claims 65,535 entries in a small file.
  Bytes file = build({grey_page(2, 2)});
  const uint32_t ifd = file[4] | file[5] << 8;
  file[ifd] = file[ifd + 1] = 0xFF;
  EXPECT_EQ(refusal(file), Codes{RXE_INVALID_TIFF_TAG});
  // Millions of strips the file cannot hold.
  EXPECT_EQ(refusal(build({page(grey, {}, {Field{273, kLong, {}, {}, 4000000, 8}})})),
            Codes{RXE_TIFF_CANT_READ_TAG_DATA});
}

TEST_F(TiffRead, AGroup3StripOfNothingButEolsEndsAsAWhitePage) {
  // 2,000 EOLs (eleven 0 bits and a 1) for a page of 8 rows: the page
  // ends at the first of them, white, as libtiff decodes it too.
  Bytes eols(3000, 0);
  for (size_t bit = 11; bit < eols.size() * 8; bit += 12) eols[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
  EXPECT_EQ(load_pixels(build({page(basic(64, 8, 1, 1, 3, 0), {eols})})).rgb, Bytes(64 * 8 * 3, 255));
}

TEST_F(TiffRead, ASmallFileThatClaimsGigabytesIsRefusedBeforeTheImageIsMade) {
  for (uint32_t c : {1u, 32773u, 4u}) {
    const bool fax = c == 4;
    const Page p = page(basic(20000, 20000, fax ? 1 : 8, fax ? 1 : 3, c, fax ? 0 : 2), {Bytes(1000, 0)});
    EXPECT_EQ(load(build({p})), 0u) << c;
    EXPECT_EQ(error_codes(), Codes{RXE_CANT_READ_PIXEL_DATA}) << c;
  }
}

// Fax pages other than Group 4 reach an application's callbacks as packed
// rows and are described so by the information; the engine's own
// callbacks take them as run rows (their round trip is the writer's test).
TEST_F(TiffRead, FaxPagesArePackedForAnApplicationAndRunsForTheEngine) {
  enum : int32_t { kMh = 2, kG3 = 3, kG3TwoD = 5 };
  RX_HIMAGE image = picture(83, 41, 1, 3);
  const Pixels original = pixels_of(image);
  for (int32_t compression : {kMh, kG3, kG3TwoD}) {
    Bytes file;
    ASSERT_EQ(save(image, &file, compression), 0) << compression;

    bmpt::Stream s(file);
    ASSERT_EQ(rx::tiff_read(&s.io, nullptr, 1, 0), 0) << compression;
    EXPECT_EQ(s.image.header.biCompression, uint32_t{RX_BI_RGB}) << compression;
    EXPECT_EQ(bmpt::rgb_of(s.image), original.rgb) << compression;

    RX_BITMAPINFOHEADER h{};
    ASSERT_EQ(info(file, &h), 0);
    EXPECT_EQ(h.biCompression, uint32_t{RX_BI_RGB}) << compression;
  }
  RX_image_delete(image);
}

}  // namespace
}  // namespace tifft
