// Format detection: the head, the system-file refusals, the order of the
// tests and the switches, and the stream position afterwards.
#include <cstring>
#include <string>
#include <vector>

#include "LOAD/detect.h"
#include "LOAD/filter_table.h"
#include "IO/io_rec.h"
#include "support/engine_fixture.h"

extern "C" int32_t RX_detection_switch_set(int32_t format_code, int32_t on);

class Detect : public EngineTest {
 protected:
  // Detects `bytes` and returns the format code (-1 when undetected).
  int32_t format_of(std::vector<uint8_t> bytes, int32_t start = 0) {
    IO_REC io;
    EXPECT_EQ(RPb_IO_inst_lookup(&io), 1);
    // An empty block makes the invalid stream, which reads nothing.
    rx::io_memory_attach(&io, bytes.empty() ? nullptr : bytes.data(),
                         static_cast<int32_t>(bytes.size()), static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) RPb_IO_seek(&io, start, RX_SEEK_SET);
    RPb_AF_error_clear();
    int32_t index = 99;
    const int32_t errors = rx::detect(&io, &index);
    if (!bytes.empty()) {
      EXPECT_EQ(RPb_IO_tell(&io), start) << "detection restores the position";
    }
    if (errors != 0) {
      EXPECT_EQ(index, -1);
      return -1;
    }
    return rx::filter_format_code(index);
  }
  static std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }
};

TEST_F(Detect, EmptyStreamCannotBeRead) {
  EXPECT_EQ(format_of({}), -1);
  auto e = error_entries();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].code, RXE_CANT_READ_FILE);
  EXPECT_EQ(e[0].lVal, 32);
  EXPECT_EQ(e[1].code, RXE_DETECT_FAILED);
  EXPECT_EQ(e[1].iVal, 1) << "the count before the summary push";
}

TEST_F(Detect, SystemFilesAreRefusedInOrder) {
  EXPECT_EQ(format_of({'M', 'Z', 0x90, 0, 3, 0}), -1);
  EXPECT_EQ(error_codes(),
            (std::vector<int32_t>{RXE_SYSTEM_FILE_EXECUTABLE, RXE_SYSTEM_FILE, RXE_DETECT_FAILED}));
  EXPECT_EQ(format_of({'P', 'K', 3, 4, 0x14}), -1);
  EXPECT_EQ(error_codes(),
            (std::vector<int32_t>{RXE_SYSTEM_FILE_ZIP, RXE_SYSTEM_FILE, RXE_DETECT_FAILED}));
  EXPECT_EQ(format_of({'?', '_', 3, 0, 0, 0}), -1);
  EXPECT_EQ(error_codes(),
            (std::vector<int32_t>{RXE_SYSTEM_FILE_HELP, RXE_SYSTEM_FILE, RXE_DETECT_FAILED}));
  EXPECT_EQ(format_of(bytes("%PDF-1.4\n")), -1);
  EXPECT_EQ(error_codes(),
            (std::vector<int32_t>{RXE_NO_RASTER_IMAGE, RXE_SYSTEM_FILE, RXE_DETECT_FAILED}));
}

TEST_F(Detect, ShortHeadsAreNotRefused) {
  // Four bytes starting "MZ": too short to refuse; no test claims it.
  EXPECT_EQ(format_of(bytes("MZab")), -1);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_DETECT_FAILED}));
  EXPECT_EQ(format_of(bytes("IIx")), RX_FORMAT_TIFF) << "TIFF needs only three bytes";
}

TEST_F(Detect, EachBuiltInTest) {
  EXPECT_EQ(format_of(bytes("BM\x36\x00")), RX_FORMAT_BMP);
  EXPECT_EQ(format_of({40, 0, 0, 0, 1, 0}), RX_FORMAT_BMP) << "a bare DIB header";
  EXPECT_EQ(format_of(bytes("GIF89a")), RX_FORMAT_GIF);
  EXPECT_EQ(format_of({137, 'P', 'N', 'G', 13, 10, 26, 10, 0}), RX_FORMAT_PNG);
  EXPECT_EQ(format_of({0xFF, 0xD8, 0xFF, 0xE0}), RX_FORMAT_JPEG);
  EXPECT_EQ(format_of({10, 5, 1, 8}), RX_FORMAT_PCX);
  EXPECT_EQ(format_of({0xB1, 0x68, 0xDE, 0x3A}), RX_FORMAT_DCX);
  EXPECT_EQ(format_of(bytes("8BPS\x00\x01")), RX_FORMAT_PSD);
  EXPECT_EQ(format_of({0x59, 0xA6, 0x6A, 0x95, 0, 0}), RX_FORMAT_SUN);
  EXPECT_EQ(format_of({0x01, 0xDA, 0x01, 0x01}), RX_FORMAT_SGI);
  EXPECT_EQ(format_of(bytes("#define im_width 8\n")), RX_FORMAT_XBM);
  EXPECT_EQ(format_of(bytes("/* XPM */\n")), RX_FORMAT_XPM);
  EXPECT_EQ(format_of(bytes("#define xpm_format 1\n")), RX_FORMAT_XPM);
  EXPECT_EQ(format_of({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0}), RX_FORMAT_TGA);
  EXPECT_EQ(format_of({0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 32, 32, 16, 0, 0, 0, 0, 0}),
            RX_FORMAT_ICO);
  EXPECT_EQ(format_of(bytes("xxsrcsys: 1\n")), RX_FORMAT_CALS);
  EXPECT_EQ(format_of({0xD7, 0xCD, 0xC6, 0x9A, 0}), RX_FORMAT_WMF);
}

TEST_F(Detect, CalsScanDoesNotBacktrack) {
  // "ssrcsys:" matches one character at 0, so the scan resumes at 2 and
  // never sees the word that starts at 1.
  EXPECT_EQ(format_of(bytes("ssrcsys:")), -1);
  EXPECT_EQ(format_of(bytes("x srcsys:")), RX_FORMAT_CALS);
}

TEST_F(Detect, TestsThatReadPastTheHead) {
  std::vector<uint8_t> pcd(2100, 0);
  std::memcpy(pcd.data() + 2048, "PCD_IPI", 7);
  EXPECT_EQ(format_of(pcd), RX_FORMAT_PCD);
  std::vector<uint8_t> pict(524, 0xEE);
  pict[523] = 17;
  EXPECT_EQ(format_of(pict), RX_FORMAT_PICT);
  pict.resize(523);  // offset 523 is gone; 522 is not 17
  EXPECT_EQ(format_of(pict), -1);
}

TEST_F(Detect, EarlierRowsWin) {
  // A head that both PCX and TGA would claim goes to PCX, the earlier row.
  EXPECT_EQ(format_of({10, 1, 1, 0, 0, 0, 0}), RX_FORMAT_PCX);
}

TEST_F(Detect, TextNeedsItsSwitch) {
  EXPECT_EQ(format_of(bytes("hello world, plain text")), -1);
  EXPECT_EQ(RX_detection_switch_set(RX_FORMAT_TEXT, 1), 0);
  EXPECT_EQ(format_of(bytes("hello world, plain text")), RX_FORMAT_TEXT);
  EXPECT_EQ(format_of(bytes("BM\x36\x00")), RX_FORMAT_BMP) << "earlier formats still win";
  EXPECT_EQ(RX_detection_switch_set(RX_FORMAT_BMP, 0), 0);
  EXPECT_EQ(format_of(bytes("BM\x36\x00")), RX_FORMAT_TEXT) << "BMP switched off";
  EXPECT_EQ(RX_detection_switch_set(1234, 1), 1);
  EXPECT_EQ(error_codes(), (std::vector<int32_t>{RXE_INVALID_IMAGE_FORMAT}));
}

TEST_F(Detect, DetectionStartsAtTheCurrentPosition) {
  std::vector<uint8_t> data = bytes("junk");
  std::vector<uint8_t> bmp = bytes("BM\x36\x00\x00\x00");
  data.insert(data.end(), bmp.begin(), bmp.end());
  EXPECT_EQ(format_of(data, 4), RX_FORMAT_BMP);
}

TEST(FilterTable, RowsAndExtensions) {
  EXPECT_EQ(rx::filter_search(RX_FORMAT_TIFF), 0);
  EXPECT_EQ(rx::filter_search(RX_FORMAT_BMP), 1);
  EXPECT_EQ(rx::filter_search(RX_FORMAT_IOCA), 10);
  EXPECT_EQ(rx::filter_search(RX_FORMAT_RAW_G4), 36);
  EXPECT_EQ(rx::filter_search(99), RXE_INVALID_IMAGE_FORMAT);
  EXPECT_STREQ(rx::filter_extensions(rx::filter_search(RX_FORMAT_SGI)), "SGI|BW|RGB|RGBA|");
  EXPECT_EQ(rx::filter_extensions(35), nullptr);
  EXPECT_EQ(rx::filter_multi_page(rx::filter_search(RX_FORMAT_TIFF)), 1);
  EXPECT_EQ(rx::filter_multi_page(rx::filter_search(RX_FORMAT_MODCA)), 1);
  EXPECT_EQ(rx::filter_format_code(-1), RX_FORMAT_UNKNOWN);
  EXPECT_EQ(rx::filter_read(-5), nullptr);
  EXPECT_STREQ(rx::format_name(RX_FORMAT_JPEG), "JPG");
  EXPECT_STREQ(rx::format_name(48), "UNKNOWN");
  EXPECT_STREQ(rx::compression_name(RX_COMPRESSION_RLE), "RLE");
  EXPECT_STREQ(rx::compression_name(13), "UNKNOWN");
  for (int32_t i = 0; i < rx::kBuiltinFilterCount; ++i) {
    const rx::FILTER_RECORD* e = rx::filter_builtin(i);
    EXPECT_GT(e->flags_size, 0u) << i;
    EXPECT_LE(e->flags_offset + e->flags_size, 368u) << i;
  }
}
