// The PCX and DCX filters against peer files, hand-made files whose pixels
// are worked out below, and the peers' reading of what we write.
#include "SUPPORT/img_ctrl.h"
#include "filters/raster_samples.h"

namespace {

using namespace rast;
using Codes = std::vector<int32_t>;

class Pcx : public EngineTest {};

// A PCX header for a width x height page.
Bytes pcx_header(int32_t width, int32_t height, uint8_t version, uint8_t encoding, uint8_t bits,
                 uint8_t planes, uint16_t bytes_per_line) {
  Bytes h(128);
  h[0] = 10, h[1] = version, h[2] = encoding, h[3] = bits;
  h[8] = static_cast<uint8_t>(width - 1), h[9] = static_cast<uint8_t>((width - 1) >> 8);
  h[10] = static_cast<uint8_t>(height - 1), h[11] = static_cast<uint8_t>((height - 1) >> 8);
  h[65] = planes;
  h[66] = static_cast<uint8_t>(bytes_per_line), h[67] = static_cast<uint8_t>(bytes_per_line >> 8);
  for (int i = 0; i < 16; ++i) h[16 + 3 * i] = static_cast<uint8_t>(i * 16), h[17 + 3 * i] = 1, h[18 + 3 * i] = 2;
  return h;
}

// Bytes as coded data: those with both top bits set become runs of one.
Bytes coded(const Bytes& b) {
  Bytes out;
  for (uint8_t v : b) {
    if (v >= 0xC0) out.push_back(0xC1);
    out.push_back(v);
  }
  return out;
}

// A one-page DCX around a PCX page, which is how an uncoded page is read
// (detection takes coded PCX files only).
Bytes in_dcx(const Bytes& page) {
  return cat({0xB1, 0x68, 0xDE, 0x3A, 12, 0, 0, 0, 0, 0, 0, 0}, page);
}

TEST_F(Pcx, PeerFilesLoadWithThePeersPixels) {
  peer_files_load("pcx", ".pcx", 15);
  for (const fs::path& f : peer_samples("dcx", ".dcx")) {
    const Bytes file = slurp(f);
    int32_t pages = 0;
    EXPECT_EQ(RX_memory_page_count_get(file.data(), file.size(), &pages), 0);
    ASSERT_EQ(pages, 2) << f.filename();
    for (int32_t p = 1; p <= 2; ++p) {
      const std::string name = f.stem().string() + ".p" + std::to_string(p) + ".rgb";
      EXPECT_EQ(rgb_loaded(file, p), slurp(f.parent_path() / name)) << f.filename() << " page " << p;
    }
    EXPECT_EQ(refusal(file, 3), Codes{RXE_PAGE_OUT_OF_RANGE});
  }
}

// Four 1-bit planes of a version 3 file take the fixed 16 colours; the
// header's palette serves a version 5 file of two planes.
TEST_F(Pcx, PlanesMergeIntoIndexesOfTheRightPalette) {
  // Pixel x has bit p set when plane p's byte has bit 7 - x set.
  const Bytes v3 = cat(pcx_header(4, 1, 3, 1, 1, 4, 2), coded({0xA0, 0, 0x60, 0, 0x30, 0, 0xF0, 0}));
  // Indexes: x0 = 1 + 8 = 9 (blue), x1 = 2 + 8 = 10 (green), x2 = 1 + 2 +
  // 4 + 8 = 15 (white), x3 = 4 + 8 = 12 (red).
  EXPECT_EQ(rgb_loaded(v3), (Bytes{0, 0, 255, 0, 255, 0, 255, 255, 255, 255, 0, 0}));
  const Bytes v5 = cat(pcx_header(3, 1, 5, 1, 1, 2, 2), {0xA0, 0, 0x60, 0});
  // Indexes 1, 2, 3: header entries (16 i, 1, 2).
  EXPECT_EQ(rgb_loaded(v5), (Bytes{16, 1, 2, 32, 1, 2, 48, 1, 2}));
  // Two bits a pixel in one plane: 0b00011011 is indexes 0, 1, 2, 3.
  const Bytes two = cat(pcx_header(4, 1, 5, 1, 2, 1, 2), {0x1B, 0});
  // Uncoded, in a DCX page.
  EXPECT_EQ(rgb_loaded(in_dcx(cat(pcx_header(4, 1, 5, 0, 2, 1, 2), {0x1B, 0}))),
            (Bytes{0, 1, 2, 16, 1, 2, 32, 1, 2, 48, 1, 2}));
  EXPECT_EQ(rgb_loaded(two), (Bytes{0, 1, 2, 16, 1, 2, 32, 1, 2, 48, 1, 2}));
}

// A run may end in the next line: 0xC6 0x07, six sevens, fills line 0
// (three pixels and a pad byte) and two bytes of line 1.
TEST_F(Pcx, RunsCarryAcrossLineEnds) {
  Bytes f = cat(pcx_header(3, 2, 5, 1, 8, 1, 4), {0xC6, 0x07, 0x09, 0x05, 0x04});
  Bytes palette(769);
  for (int i = 0; i < 256; ++i) palette[1 + 3 * i] = static_cast<uint8_t>(i), palette[2 + 3 * i] = 100;
  f = cat(f, palette);
  // Line 0: 7 7 7 | pad 7; line 1: 7 7 9 | pad 5; byte 4 left over.
  EXPECT_EQ(rgb_loaded(f), (Bytes{7, 100, 0, 7, 100, 0, 7, 100, 0, 7, 100, 0, 7, 100, 0, 9, 100, 0}));
  // Cut inside line 1: the data runs out.
  Bytes cut = cat(pcx_header(3, 2, 5, 1, 24 / 3, 3, 4), {0xC3, 0x01});
  EXPECT_EQ(load(cut), 0u);
  EXPECT_EQ(error_codes().at(0), RXE_CANT_READ_PIXEL_DATA);
}

// Without the 769 bytes of its palette an 8-bit page is grey.
TEST_F(Pcx, EightBitPageWithoutItsPaletteIsGrey) {
  const Bytes f = cat(pcx_header(2, 1, 5, 1, 8, 1, 2), {0x10, 0xC1, 0xF0});
  EXPECT_EQ(rgb_loaded(f), (Bytes{0x10, 0x10, 0x10, 0xF0, 0xF0, 0xF0}));
  int32_t compression = -1;
  EXPECT_EQ(RX_memory_info_get(f.data(), f.size(), 1, nullptr, &compression, nullptr), 0);
  EXPECT_EQ(compression, RX_COMPRESSION_RLE);
}

TEST_F(Pcx, CoderWritesShortRunsAndSafeLiterals) {
  // One 8-bit row: 0x41 alone, then 100 bytes of 0x05, then 0x05 once more
  // than a run can hold... as laid out below.
  Picture p{102, 1, 8, {Bytes(102, 0x05)}, {}};
  p.rows[0][0] = 0x41;
  p.rows[0][101] = 0x07;
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_PCX, &file), 0);
  RX_image_delete(image);
  // Lines are 102 bytes: 0x41 as a run of one, 63 + 37 fives, 0x07 as
  // itself.
  EXPECT_EQ(Bytes(file.begin() + 128, file.begin() + 135),
            (Bytes{0xC1, 0x41, 0xFF, 0x05, 0xC0 | 37, 0x05, 0x07}));
  EXPECT_EQ(file.at(135), 12) << "palette marker";
  EXPECT_EQ(file.size(), 135u + 769);
  EXPECT_EQ(le(file, 66, 2), 102u);
}

// Every depth, plain and coded, reads back, and a peer reads it too. The
// format's option word (on by default) asks for coding; the writer option
// asks for it as well.
TEST_F(Pcx, WrittenFilesReadBackAndPeersAgree) {
  RX_NEED_PEER(have_peers(), kPeerReaders);
  PeerDir peers("pcx");
  for (int32_t bits : {1, 4, 8, 24}) {
    for (uint32_t rle : {0u, 1u}) {
      const Picture p = picture(bits);
      RX_HIMAGE image = image_of(p);
      rx::options_record()->pcx[0] = rle;
      Bytes file;
      ASSERT_EQ(save(image, RX_FORMAT_PCX, &file), 0);
      EXPECT_EQ(file.at(2), rle);
      Bytes coded;
      ASSERT_EQ(save(image, RX_FORMAT_PCX | 1 << 16, &coded), 0);
      EXPECT_EQ(coded.at(2), 1);
      RX_image_delete(image);
      EXPECT_EQ(rgb_loaded(rle ? file : in_dcx(file)), rgb_of(p)) << bits;
      EXPECT_EQ(rgb_loaded(coded), rgb_of(p)) << bits;
      peers.keep("b" + std::to_string(bits) + "_c" + std::to_string(rle) + ".pcx", file, rgb_of(p));
    }
  }
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

// A 1-bit image whose first colour is the lighter is written with its bits
// turned over, so that it still shows the same.
TEST_F(Pcx, BilevelImagesKeepTheirLookWhateverTheirPaletteOrder) {
  Picture p = picture(1, 13, 3);
  p.palette = {{255, 255, 255}, {0, 0, 0}};
  RX_HIMAGE image = image_of(p);
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_PCX, &file), 0);
  RX_image_delete(image);
  EXPECT_EQ(rgb_loaded(file), rgb_of(p));
}

TEST_F(Pcx, OtherDepthsAreRefused) {
  Bytes dib(40);
  RX_BITMAPINFOHEADER h{};
  RPb_DIB_init(&h, 2, 2, 16, 0, 0, 0);
  std::memcpy(dib.data(), &h, 40);
  dib.resize(40 + 16);
  RX_HIMAGE image = 0;
  ASSERT_EQ(RX_image_create_from_DIB(dib.data(), dib.size(), &image), 0);
  Bytes file;
  EXPECT_NE(save(image, RX_FORMAT_PCX, &file), 0);
  EXPECT_EQ(error_codes().at(0), RXE_INVALID_FILE_HEADER);
  RX_image_delete(image);
}

// ---- DCX ------------------------------------------------------------------

struct TempFile {
  fs::path path = fs::temp_directory_path() / ("rastrix_dcx_" + std::to_string(::getpid()) + ".dcx");
  ~TempFile() { fs::remove(path); }
};

TEST_F(Pcx, DcxSavesAddPagesToAnExistingFile) {
  TempFile t;
  const Picture a = picture(24, 21, 5), b = picture(8, 9, 4), c = picture(1, 17, 3);
  for (const Picture* p : {&a, &b, &c}) {
    RX_HIMAGE image = image_of(*p);
    ASSERT_EQ(RX_image_save_file(image, t.path.c_str(), RX_FORMAT_DCX), 0);
    RX_image_delete(image);
  }
  int32_t pages = 0;
  ASSERT_EQ(RX_file_page_count_get(t.path.c_str(), &pages), 0);
  EXPECT_EQ(pages, 3);
  const Bytes file = slurp(t.path);
  EXPECT_EQ(le(file, 0, 4), 987654321u);
  EXPECT_EQ(le(file, 4, 4), 4100u) << "the first page sits behind the table";
  EXPECT_EQ(le(file, 16, 4), 0u);
  EXPECT_EQ(rgb_loaded(file, 1), rgb_of(a));
  EXPECT_EQ(rgb_loaded(file, 2), rgb_of(b));
  EXPECT_EQ(rgb_loaded(file, 3), rgb_of(c));
  // A peer reads every page with the same colours.
  RX_NEED_PEER(have_peers(), kPeerReaders);
  PeerDir peers("dcx");
  peers.keep_pages("three.dcx", file, {rgb_of(a), rgb_of(b), rgb_of(c)});
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

// Tables that lie: no page at all, offsets past the end or inside the
// table, and a next offset in front of the page.
TEST_F(Pcx, DcxTablesThatLieAreSurvived) {
  auto le32 = [](Bytes& b, uint32_t v) {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(v >> 8 * k));
  };
  Bytes empty;
  le32(empty, 987654321u);
  le32(empty, 0);
  int32_t pages = 0;
  EXPECT_EQ(RX_memory_page_count_get(empty.data(), empty.size(), &pages), 0);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(refusal(empty), Codes{RXE_PAGE_NOT_IN_FILE});

  const Bytes page = cat(pcx_header(2, 1, 5, 1, 8, 1, 2), {0x10, 0xC1, 0xF0});
  Bytes past;
  le32(past, 987654321u);
  le32(past, 20), le32(past, 1000000), le32(past, 2), le32(past, 0);
  past = cat(past, page);
  EXPECT_EQ(RX_memory_page_count_get(past.data(), past.size(), &pages), 0);
  EXPECT_EQ(pages, 3);
  EXPECT_EQ(rgb_loaded(past, 1), (Bytes{0x10, 0x10, 0x10, 0xF0, 0xF0, 0xF0}))
      << "the next offset lies past the end: the page runs to the end of the file";
  EXPECT_EQ(refusal(past, 2), Codes{RXE_PAGE_NOT_IN_FILE});
  EXPECT_EQ(load(past, 3), 0u) << "offset 2 is inside the table";
}

// A full table is refused, and the file is left as it was.
TEST_F(Pcx, DcxWithAFullTableIsNotReplaced) {
  TempFile t;
  Bytes full;
  for (uint32_t v : {987654321u}) for (int k = 0; k < 4; ++k) full.push_back(static_cast<uint8_t>(v >> 8 * k));
  for (int i = 0; i < 1024; ++i) full.insert(full.end(), {0x04, 0x10, 0, 0});
  full = cat(full, cat(pcx_header(2, 1, 5, 0, 8, 1, 2), {0x10, 0xF0}));
  spill(t.path, full);
  RX_HIMAGE image = image_of(picture(8));
  EXPECT_NE(RX_image_save_file(image, t.path.c_str(), RX_FORMAT_DCX), 0);
  EXPECT_EQ(error_codes().at(0), RXE_PAGE_OUT_OF_RANGE);
  RX_image_delete(image);
  EXPECT_EQ(slurp(t.path), full);
}

TEST_F(Pcx, RunsPastTheirLineOrTheImageEndLoad) { hostile_files_load("pcx"); }

TEST_F(Pcx, DamagedFilesFailCleanly) {
  bad_files_fail("pcx");
  bad_files_fail("dcx");
}

}  // namespace

namespace {

// The public query behind `rastrix formats`.
TEST_F(Pcx, CapabilitiesSayWhatLoadsAndWhatSaves) {
  int32_t load_ok = -1, save_ok = -1;
  EXPECT_EQ(RX_format_capabilities_get(RX_FORMAT_DCX, &load_ok, &save_ok), 0);
  EXPECT_EQ(std::make_pair(load_ok, save_ok), std::make_pair(1, 1));
  EXPECT_EQ(RX_format_capabilities_get(RX_FORMAT_GEM, &load_ok, &save_ok), 0);
  EXPECT_EQ(std::make_pair(load_ok, save_ok), std::make_pair(0, 0));
  EXPECT_EQ(RX_format_capabilities_get(RX_FORMAT_ATT, &load_ok, &save_ok), 1) << "no filter at all";
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_INVALID_IMAGE_FORMAT}));
  EXPECT_EQ(std::make_pair(load_ok, save_ok), std::make_pair(0, 0));
  EXPECT_EQ(RX_format_capabilities_get(RX_FORMAT_SUN, nullptr, nullptr), 0);
}

}  // namespace
