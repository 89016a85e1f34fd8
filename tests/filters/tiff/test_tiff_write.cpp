// The TIFF writer: every compression in both byte orders, read back by our
// reader and by libtiff; the strip layout; new files, appended and
// inserted pages with their page numbers; the tag exchange; and saves that
// fail leaving the pages there as they were.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "SUPPORT/img_ctrl.h"
#include "filters/tiff/lzw_test_codec.h"
#include "filters/tiff/tiff_harness.h"
#include "rastrix/rpb.h"
#include "support/engine_fixture.h"

namespace tifft {
namespace {

using TiffWrite = EngineTest;
using U = std::vector<uint32_t>;

// Engine compression codes the writer takes.
enum : int32_t { kNone = 0, kPackBits = 1, kMh = 2, kG3 = 3, kG4 = 4, kG3TwoD = 5, kJpeg = 6, kLzw = 8 };

struct Saved {
  Bytes file;
  std::string path;
};

Saved save_to_disk(RX_HIMAGE image, int32_t compression, const std::string& dir, const std::string& name,
                   Bytes existing = {}, int32_t position = 0) {
  Saved s{std::move(existing), dir + "/" + name};
  EXPECT_EQ(save(image, &s.file, compression, position), 0) << name;
  write_file(s.path, s.file);
  return s;
}

uint32_t u32(const Bytes& f, size_t at, bool mm) {
  return mm ? f[at] << 24 | f[at + 1] << 16 | f[at + 2] << 8 | f[at + 3]
            : f[at] | f[at + 1] << 8 | f[at + 2] << 16 | static_cast<uint32_t>(f[at + 3]) << 24;
}
uint32_t u16(const Bytes& f, size_t at, bool mm) {
  return mm ? f[at] << 8 | f[at + 1] : f[at] | f[at + 1] << 8;
}

// The tags of the first directory, in the order they are stored.
std::vector<uint32_t> tags_of(const Bytes& f) {
  const bool mm = f[0] == 'M';
  const uint32_t ifd = u32(f, 4, mm);
  std::vector<uint32_t> tags;
  for (uint32_t i = 0; i < u16(f, ifd, mm); ++i) tags.push_back(u16(f, ifd + 2 + 12 * i, mm));
  return tags;
}

// The byte order of new files is the 16-bit field at offset 12 of the
// TIFF block; no option id reaches it, so the tests set it in the record.
void byte_order_set(uint16_t order) { std::memcpy(rx::options_record()->tiff + 12, &order, 2); }

TEST_F(TiffWrite, EveryCompressionIsReadBackByUsAndByLibtiff) {
  LzwInstalled lzw;
  const std::string dir = temp_dir();
  struct Case {
    int32_t bits;
    int32_t compression;
  };
  const Case cases[] = {{1, kNone},  {1, kPackBits}, {1, kMh},   {1, kG3},   {1, kG4},
                        {1, kG3TwoD}, {1, kLzw},     {4, kNone}, {4, kPackBits}, {4, kLzw},
                        {8, kNone},  {8, kPackBits}, {8, kLzw},  {24, kNone}, {24, kPackBits},
                        {24, kLzw}};
  for (const Case& c : cases) {
    const Image image{picture(83, 41, c.bits, 3)};
    ASSERT_NE(image.handle, 0u);
    const Pixels original = pixels_of(image);
    const std::string name = "c" + std::to_string(c.compression) + "_" + std::to_string(c.bits) + ".tif";
    const Saved s = save_to_disk(image, c.compression, dir, name);
    EXPECT_EQ(load_pixels(s.file).rgb, original.rgb) << name;
#if RX_HAVE_PEER_LIBTIFF
    EXPECT_TRUE(libtiff_sees(s.path, 1, original.rgb));
#endif
  }
}

TEST_F(TiffWrite, JpegStripsAreReadBackWithinTheCodingError) {
  const std::string dir = temp_dir();
  for (int32_t bits : {8, 24}) {
    const Image image{picture(64, 48, bits, 5)};
    const Pixels original = pixels_of(image);
    const Saved s = save_to_disk(image, kJpeg, dir, "j" + std::to_string(bits) + ".tif");
    const Pixels ours = load_pixels(s.file);
    ASSERT_EQ(ours.rgb.size(), original.rgb.size()) << bits;
    // The picture's sharp colour steps cost a few levels on average.
    double total = 0;
    for (size_t i = 0; i < ours.rgb.size(); ++i) total += std::abs(int(ours.rgb[i]) - int(original.rgb[i]));
    EXPECT_LT(total / ours.rgb.size(), 8.0) << bits;
#if RX_HAVE_PEER_LIBTIFF
    bool ok = false;
    const Pixels peer = libtiff_pixels(s.path, 1, &ok);
    ASSERT_TRUE(ok) << bits << libtiff_complaints(s.path);
    // libtiff warns that compression 6 is old whoever wrote it; nothing else.
    std::string complaints = libtiff_complaints(s.path);
    const std::string old_style = "OJPEGSetupDecode: Deprecated and troublesome old-style JPEG";
    if (complaints.rfind(old_style, 0) == 0) complaints.erase(0, complaints.find('\n') + 1);
    EXPECT_EQ(complaints, "") << bits;
    int apart = 0;
    for (size_t i = 0; i < ours.rgb.size(); ++i)
      apart = std::max(apart, std::abs(int(ours.rgb[i]) - int(peer.rgb[i])));
    // libtiff decodes through libjpeg, whose inverse DCT rounds otherwise.
    EXPECT_LE(apart, 4) << bits;
#endif
  }
}

TEST_F(TiffWrite, NewFileHasHeaderStripsAndOneDirectoryInAscendingOrder) {
  const Image image{picture(20, 10, 8)};
  Bytes file;
  ASSERT_EQ(save(image, &file, kNone), 0);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'I', 'I', 42, 0}));
  const std::vector<uint32_t> tags = tags_of(file);
  EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
  const std::vector<uint32_t> expected = {254, 256, 257, 258, 259, 262, 266, 273, 274, 277,
                                          278, 279, 282, 283, 284, 296, 297, 306, 315};
  EXPECT_EQ(tags, expected);
  const std::string dir = temp_dir();
  write_file(dir + "/n.tif", file);
#if RX_HAVE_PEER_LIBTIFF
  EXPECT_EQ(libtiff_field(dir + "/n.tif", 1, 297), U({0, 1}));
  EXPECT_EQ(libtiff_field(dir + "/n.tif", 1, 254), U{2});
  const std::vector<uint32_t> date = libtiff_field(dir + "/n.tif", 1, 306);
  ASSERT_EQ(date.size(), 19u);
  EXPECT_EQ(date[4], ':');
  EXPECT_EQ(date[10], ' ');
#endif
}

TEST_F(TiffWrite, StripsHoldTheWholeRowsThatFitTheBudget) {
  const std::string dir = temp_dir();
  // 1728 bilevel pixels are 216 bytes a row: 303 rows in 65,534 bytes.
  const Image fax{picture(1728, 700, 1)}, rgb{picture(100, 400, 24)};
#if RX_HAVE_PEER_LIBTIFF
  const auto rows_per_strip = [&](RX_HIMAGE image, int32_t compression, const char* name) {
    return libtiff_field(save_to_disk(image, compression, dir, name).path, 1, 278);
  };
  EXPECT_EQ(rows_per_strip(fax, kG3, "g3.tif"), U{303});
  // 300-byte rows: 218 in a strip.
  EXPECT_EQ(rows_per_strip(rgb, kNone, "rgb.tif"), U{218});
  // The one-strip option puts the whole page in one strip.
  RX_image_control_set(RX_OPTION_TIFF_ONE_STRIP, 1);
  EXPECT_EQ(rows_per_strip(rgb, kPackBits, "one.tif"), U{400});
  RX_image_control_set(RX_OPTION_TIFF_ONE_STRIP, 0);
  {
    // Once an LZW save is made, strips stay within 8,192 bytes (27 rows)
    // while the LZW codec is there, whatever the compression.
    LzwInstalled lzw;
    EXPECT_EQ(rows_per_strip(rgb, kLzw, "lzw.tif"), U{27});
    EXPECT_EQ(rows_per_strip(rgb, kNone, "after.tif"), U{27});
  }
  EXPECT_EQ(rows_per_strip(rgb, kNone, "gone.tif"), U{218});
#endif
}

TEST_F(TiffWrite, AppendedPagesAreNumberedAndTheOthersRenumbered) {
  const std::string dir = temp_dir();
  const Image a{picture(10, 5, 8, 1)}, b{picture(12, 6, 24, 2)}, c{picture(14, 7, 1, 3)};
  Bytes file;
  ASSERT_EQ(save(a, &file, kNone) + save(b, &file, kPackBits) + save(c, &file, kG4), 0);
  EXPECT_EQ(page_count(file), 3);
  write_file(dir + "/three.tif", file);
  uint32_t page = 1;
  for (RX_HIMAGE image : {a.handle, b.handle, c.handle}) {
    EXPECT_EQ(load_pixels(file, int32_t(page)).rgb, pixels_of(image).rgb) << page;
#if RX_HAVE_PEER_LIBTIFF
    EXPECT_EQ(libtiff_field(dir + "/three.tif", int(page), 297), U({page - 1, 3}));
#endif
    ++page;
  }
#if RX_HAVE_PEER_LIBTIFF
  EXPECT_EQ(libtiff_complaints(dir + "/three.tif"), "");
#endif
}

TEST_F(TiffWrite, InsertedPagesTakeTheirPlaceInTheChain) {
  const std::string dir = temp_dir();
  const Image a{picture(10, 5, 8, 1)}, b{picture(12, 6, 8, 2)}, c{picture(14, 7, 8, 3)};
  Bytes file;
  ASSERT_EQ(save(a, &file, kNone) + save(b, &file, kNone), 0);
  // Before page 1, then before page 3 of the three there are then; a
  // position above the count appends.
  ASSERT_EQ(save(c, &file, kNone, 1) + save(c, &file, kPackBits, 3) + save(a, &file, kNone, 99), 0);
  const int32_t widths[] = {14, 10, 14, 12, 10};
  for (int32_t page = 1; page <= 5; ++page) EXPECT_EQ(load_pixels(file, page).width, widths[page - 1]);
  write_file(dir + "/five.tif", file);
#if RX_HAVE_PEER_LIBTIFF
  for (uint32_t page = 1; page <= 5; ++page)
    EXPECT_EQ(libtiff_field(dir + "/five.tif", page, 297), U({page - 1, 5}));
  EXPECT_EQ(libtiff_complaints(dir + "/five.tif"), "");
#endif
}

TEST_F(TiffWrite, NewFilesTakeTheOptionsByteOrderAndAddedPagesTheFiles) {
  const std::string dir = temp_dir();
  const Image a{picture(9, 4, 24, 1)}, b{picture(7, 3, 1, 2)}, c{picture(5, 5, 8, 3)};
  byte_order_set(1);
  Bytes file;
  ASSERT_EQ(save(a, &file, kNone), 0);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), (Bytes{'M', 'M', 0, 42}));
  // Pages added while the options ask for Intel order are in the file's.
  byte_order_set(0);
  ASSERT_EQ(save(b, &file, kG4) + save(c, &file, kPackBits, 1), 0);
  EXPECT_EQ(file[0], 'M');
  write_file(dir + "/mm.tif", file);
  int page = 1;
  for (RX_HIMAGE image : {c.handle, a.handle, b.handle}) {
    EXPECT_EQ(load_pixels(file, page).rgb, pixels_of(image).rgb) << page;
#if RX_HAVE_PEER_LIBTIFF
    EXPECT_TRUE(libtiff_sees(dir + "/mm.tif", page, pixels_of(image).rgb));
#endif
    ++page;
  }
  // Any other value of the field is Intel order.
  byte_order_set(7);
  Bytes other;
  ASSERT_EQ(save(a, &other, kNone), 0);
  EXPECT_EQ(other[0], 'I');
  byte_order_set(0);
#if RX_HAVE_PEER_LIBTIFF
  EXPECT_EQ(libtiff_field(dir + "/mm.tif", 2, 297), U({1, 3}));
#endif
}

TEST_F(TiffWrite, AFailedAppendLeavesThePagesThereAsTheyWere) {
  const Image a{picture(30, 20, 24, 1)}, b{picture(300, 200, 24, 2)};
  Bytes file;
  ASSERT_EQ(save(a, &file, kNone), 0);
  const Bytes before = file;
  // Room for only part of the new page's strips.
  Bytes target = file;
  EXPECT_NE(save(b, &target, kNone, 0, before.size() + 5000), 0);
  EXPECT_EQ(error_codes().back(), RXE_TIFF_IMAGE_DATA_WRITE_ERROR);
  target.resize(before.size());
  EXPECT_EQ(target, before);
  // Room for the strips but not the directory: still unlinked.
  target = file;
  const size_t strips = 300 * 3 * 200;
  EXPECT_NE(save(b, &target, kNone, 1, before.size() + strips + 20), 0);
  EXPECT_EQ(error_codes().back(), RXE_TIFF_IFD_WRITE_ERROR);
  target.resize(before.size());
  EXPECT_EQ(target, before);
  EXPECT_EQ(load_pixels(target).rgb, pixels_of(a).rgb);
}

TEST_F(TiffWrite, RefusedSavesWriteNothing) {
  const Image grey4{picture(8, 8, 4)}, rgb{picture(8, 8, 24)};
  Bytes file;
  EXPECT_NE(save(grey4, &file, kG4), 0);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION});
  EXPECT_TRUE(file.empty());
  EXPECT_NE(save(rgb, &file, kLzw), 0);
  EXPECT_EQ(only_error(), std::vector<int32_t>({RXE_TIFF_COMPRESSION_UNSUPPORTED, 90, 8}));
  EXPECT_EQ(error_entries().at(0).file, "TIFWRITE.cpp");
  for (int32_t c : {7, 9, 12, -1}) {
    EXPECT_NE(save(rgb, &file, c), 0) << c;
    EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_TIFF_COMPRESSION_UNSUPPORTED}) << c;
  }
  EXPECT_TRUE(file.empty());
  // A stream that holds something other than a TIFF file is left alone.
  Bytes other = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes kept = other;
  EXPECT_NE(save(rgb, &other, kNone), 0);
  EXPECT_EQ(error_codes(), std::vector<int32_t>{RXE_TIFF_PAGE_COUNT_FAILED});
  other.resize(kept.size());
  EXPECT_EQ(other, kept);
}

TEST_F(TiffWrite, PhotometricFollowsThePaletteAndTheCompression) {
  const std::string dir = temp_dir();
  // Bilevel with palette black, white and white, black; fax data and not.
  std::vector<Bytes> rows = {{0xF0}, {0x0F}};
  for (bool white_first : {false, true}) {
    const std::vector<RX_RGBQUAD> pal = white_first
                                            ? std::vector<RX_RGBQUAD>{{255, 255, 255, 0}, {0, 0, 0, 0}}
                                            : std::vector<RX_RGBQUAD>{{0, 0, 0, 0}, {255, 255, 255, 0}};
    const Image image{image_from(8, 2, 1, rows, pal)};
    for (int32_t c : {kNone, kG4}) {
      const std::string name = std::string(white_first ? "w" : "b") + std::to_string(c) + ".tif";
      const Saved s = save_to_disk(image, c, dir, name);
#if RX_HAVE_PEER_LIBTIFF
      const uint32_t expected = c == kG4 ? (white_first ? 1 : 0) : (white_first ? 0 : 1);
      EXPECT_EQ(libtiff_field(s.path, 1, 262), U{expected}) << name;
      EXPECT_TRUE(libtiff_sees(s.path, 1, pixels_of(image).rgb));
#endif
      EXPECT_EQ(load_pixels(s.file).rgb, pixels_of(image).rgb) << name;
    }
  }
  // A palette of greys that is not a ramp keeps its colours as a map.
  std::vector<RX_RGBQUAD> greys(256);
  for (int i = 0; i < 256; ++i) greys[i] = {uint8_t(255 - i / 2), uint8_t(255 - i / 2), uint8_t(255 - i / 2), 0};
  const Image mapped{image_from(4, 1, 8, {{0, 1, 100, 255}}, greys)};
  const Saved m = save_to_disk(mapped, kNone, dir, "map.tif");
  EXPECT_EQ(load_pixels(m.file).rgb, pixels_of(mapped).rgb);
#if RX_HAVE_PEER_LIBTIFF
  EXPECT_EQ(libtiff_field(m.path, 1, 262), U{3});
#endif
}

TEST_F(TiffWrite, FillOrderTwoReversesFaxDataOnly) {
  const std::string dir = temp_dir();
  const Image image{picture(64, 32, 1)};
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 2);
  const Saved g4 = save_to_disk(image, kG4, dir, "g4.tif");
  const Saved plain = save_to_disk(image, kNone, dir, "plain.tif");
  RX_image_control_set(RX_OPTION_TIFF_FILL_ORDER, 0xFFFF);
  const Saved msb = save_to_disk(image, kG4, dir, "msb.tif");
#if RX_HAVE_PEER_LIBTIFF
  // Fill order 1 (most significant bit first) once the option is reset.
  U fill_orders;
  for (const Saved* s : {&g4, &plain, &msb}) fill_orders.push_back(libtiff_field(s->path, 1, 266).at(0));
  EXPECT_EQ(fill_orders, U({2, 1, 1}));
  for (const Saved* s : {&g4, &plain}) EXPECT_TRUE(libtiff_sees(s->path, 1, pixels_of(image).rgb));
#endif
  EXPECT_EQ(load_pixels(g4.file).rgb, pixels_of(image).rgb);
}

// ---- The tag exchange ------------------------------------------------------------

std::vector<int32_t> g_offered;

int32_t answer_tags(uintptr_t, int32_t id, int32_t* type, void* buffer, int32_t size) {
  g_offered.push_back(id);
  switch (id) {
    case 10315:  // Artist
      std::snprintf(static_cast<char*>(buffer), static_cast<size_t>(size), "%s", "A. Tester");
      return 1;
    case 10282:  // XResolution numerator and denominator
      *static_cast<uint32_t*>(buffer) = 600;
      return 1;
    case 11282:
      *static_cast<uint32_t*>(buffer) = 2;
      return 1;
    case 10296:  // ResolutionUnit: centimetres
      *static_cast<uint16_t*>(buffer) = 3;
      return 1;
    case 10256:  // ImageWidth: the data decides it, not the application
      *static_cast<uint32_t*>(buffer) = 9999;
      return 1;
    default:
      (void)type;
      return 0;
  }
}

// The application's own tags: Software, a private LONG, and ImageWidth,
// which is already written and not taken twice.
int g_user_calls = 0;
int32_t user_tags(uintptr_t, int32_t* id, int32_t* type, void* buffer, int32_t* count) {
  const struct {
    int32_t id, type, count;
    const char* text;
    uint32_t number;
  } tags[] = {{10305, 2, 7, "tester", 0}, {40000, 4, 4, nullptr, 0xDEADBEEF}, {10256, 4, 4, nullptr, 0}};
  if (g_user_calls >= 3) return 0;
  const auto& t = tags[g_user_calls++];
  *id = t.id;
  *type = t.type;
  *count = t.count;
  if (t.text != nullptr) std::memcpy(buffer, t.text, 7);
  else if (t.number != 0) std::memcpy(buffer, &t.number, 4);
  return 1;
}

TEST_F(TiffWrite, FieldsAreOfferedAndTheApplicationAddsItsOwn) {
  const std::string dir = temp_dir();
  const Image image{picture(16, 4, 8)};
  g_offered.clear();
  g_user_calls = 0;
  ASSERT_EQ(RX_tag_get_callback_install(answer_tags, user_tags, 0), 0);
  const Saved s = save_to_disk(image, kNone, dir, "tags.tif");
  RX_tag_get_callback_install(nullptr, nullptr, 0);
  for (int32_t id : {10254, 10256, 10257, 10258, 10259, 10262, 10273, 10279, 10282, 11282, 10297, 10306, 10315})
    EXPECT_NE(std::find(g_offered.begin(), g_offered.end(), id), g_offered.end()) << id;
  EXPECT_EQ(load_pixels(s.file).width, 16);
  const std::vector<uint32_t> tags = tags_of(s.file);
  EXPECT_TRUE(std::is_sorted(tags.begin(), tags.end()));
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 256u), 1);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 305u), 1);
  EXPECT_EQ(std::count(tags.begin(), tags.end(), 40000u), 1);
#if RX_HAVE_PEER_LIBTIFF
  const std::vector<uint32_t> artist = libtiff_field(s.path, 1, 315);
  EXPECT_EQ(std::string(artist.begin(), artist.end()), "A. Tester");
  EXPECT_EQ(libtiff_field(s.path, 1, 282), U{300000});
  EXPECT_EQ(libtiff_field(s.path, 1, 296), U{3});
  EXPECT_EQ(libtiff_field(s.path, 1, 256), U{16});
#endif
}

int32_t bad_user_tag(uintptr_t, int32_t* id, int32_t* type, void*, int32_t* count) {
  *id = 40000;
  *type = 13;
  *count = 4;
  return 1;
}

TEST_F(TiffWrite, AUserTagOfNoKnownTypeIsRefused) {
  const Image image{picture(4, 4, 8)};
  RX_tag_get_callback_install(nullptr, bad_user_tag, 0);
  Bytes file;
  EXPECT_NE(save(image, &file, kNone), 0);
  const std::vector<int32_t> codes = error_codes();
  RX_tag_get_callback_install(nullptr, nullptr, 0);
  EXPECT_EQ(codes, std::vector<int32_t>{RXE_TIFF_USER_TAG_TYPE});
  EXPECT_TRUE(file.empty());
}

TEST_F(TiffWrite, ResolutionIsWrittenInTheUnitItWasSetIn) {
  const std::string dir = temp_dir();
  const Image image{picture(4, 4, 24)};
  RX_image_resolution_set(image, 300, 1, 150, 1, 3);  // dots per inch
  const Saved inch = save_to_disk(image, kNone, dir, "inch.tif");
  RX_image_resolution_set(image, 236, 2, 236, 2, 4);  // dots per centimetre
  const Saved cm = save_to_disk(image, kNone, dir, "cm.tif");
#if RX_HAVE_PEER_LIBTIFF
  const auto fields = [](const Saved& s, std::initializer_list<uint32_t> tags) {
    U out;
    for (uint32_t tag : tags) out.push_back(libtiff_field(s.path, 1, tag).at(0));
    return out;
  };
  EXPECT_EQ(fields(inch, {282, 283, 296}), U({300000, 150000, 2}));
  EXPECT_EQ(fields(cm, {282, 296}), U({118000, 3}));
#endif
  // Read back, the resolution is the file's.
  const Image back{load(cm.file)};
  int32_t xn = 0, xd = 0, yn = 0, yd = 0, units = 0;
  RX_image_resolution_get(back, &xn, &xd, &yn, &yd, &units);
  EXPECT_EQ(std::vector<int32_t>({xn, xd, units}), std::vector<int32_t>({236, 2, 4}));
}

}  // namespace
}  // namespace tifft
