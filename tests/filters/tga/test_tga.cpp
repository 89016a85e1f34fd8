// The TGA filter against peer files, hand-made files whose pixels are
// worked out below, and the peers' reading of what we write.
#include "SUPPORT/img_ctrl.h"
#include "filters/raster_samples.h"

namespace {

using namespace rast;
using Codes = std::vector<int32_t>;

class Tga : public EngineTest {};

Bytes tga_header(uint8_t type, uint16_t width, uint16_t height, uint8_t bits, uint8_t descriptor,
                 uint8_t map_type = 0, uint16_t map_origin = 0, uint16_t map_length = 0,
                 uint8_t entry_bits = 0) {
  return Bytes{0, map_type, type,
               static_cast<uint8_t>(map_origin), static_cast<uint8_t>(map_origin >> 8),
               static_cast<uint8_t>(map_length), static_cast<uint8_t>(map_length >> 8), entry_bits,
               0, 0, 0, 0,
               static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
               static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), bits, descriptor};
}

TEST_F(Tga, PeerFilesLoadWithThePeersPixels) { peer_files_load("tga", ".tga", 21); }

// Two rows of one grey pixel each, 10 stored first then 20: every origin.
TEST_F(Tga, RowsComeOutUprightForEveryOrigin) {
  const Bytes rows{10, 20};
  const Bytes stored_first_on_top{10, 10, 10, 20, 20, 20};
  const Bytes stored_first_at_bottom{20, 20, 20, 10, 10, 10};
  EXPECT_EQ(rgb_loaded(cat(tga_header(3, 1, 2, 8, 0x00), rows)), stored_first_at_bottom);
  EXPECT_EQ(rgb_loaded(cat(tga_header(3, 1, 2, 8, 0x20), rows)), stored_first_on_top);
  // Origins above 3 (old interleave bits) are taken as bottom-left.
  EXPECT_EQ(rgb_loaded(cat(tga_header(3, 1, 2, 8, 0xC8), rows)), stored_first_at_bottom);
  for (uint8_t right : {0x10, 0x30}) {
    EXPECT_EQ(refusal(cat(tga_header(3, 1, 2, 8, right), rows)), Codes{RXE_NOT_IMPLEMENTED});
  }
}

// 16-bit pixels and map entries keep five bits of each colour, shifted up.
TEST_F(Tga, FiveBitColoursAreShiftedUp) {
  // 0x7FFF is white at 248; 0x7C00 red; 0x03E0 green; 0x001F blue.
  const Bytes px = {0xFF, 0x7F, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00};
  EXPECT_EQ(rgb_loaded(cat(tga_header(2, 4, 1, 16, 0x20), px)),
            (Bytes{248, 248, 248, 248, 0, 0, 0, 248, 0, 0, 0, 248}));
  // A 15-bit map placed from origin 5: pixel 5 is its first entry, pixel 6
  // its second, pixel 0 an entry the map does not give (black).
  Bytes mapped = cat(tga_header(1, 3, 1, 8, 0x20, 1, 5, 2, 15), {0x00, 0x7C, 0x1F, 0x00});
  EXPECT_EQ(rgb_loaded(cat(mapped, {5, 6, 0})), (Bytes{248, 0, 0, 0, 0, 248, 0, 0, 0}));
}

// A run packet that spans two rows fills the end of one and the start of
// the next; one that runs past the image's end stops there.
TEST_F(Tga, RunPacketsCrossRowsAndStopAtTheImageEnd) {
  // 3 x 2, top-left: literal of 2 (1, 2), run of 3 (9), literal 1 (4).
  const Bytes packets{0x01, 1, 2, 0x82, 9, 0x00, 4};
  EXPECT_EQ(rgb_loaded(cat(tga_header(11, 3, 2, 8, 0x20), packets)),
            (Bytes{1, 1, 1, 2, 2, 2, 9, 9, 9, 9, 9, 9, 9, 9, 9, 4, 4, 4}));
  // A run of 128 for an image of 6 pixels, and data behind it.
  const Bytes over{0xFF, 7, 0x00, 3};
  EXPECT_EQ(rgb_loaded(cat(tga_header(11, 3, 2, 8, 0x20), over)), Bytes(18, 7));
  // Running out inside a literal packet.
  EXPECT_EQ(refusal(cat(tga_header(11, 3, 2, 8, 0x20), {0x05, 1, 2})), Codes{RXE_CANT_READ_PIXEL_DATA});
}

TEST_F(Tga, BadHeadersAreRefused) {
  EXPECT_EQ(load(tga_header(2, 1, 1, 8, 0)), 0u) << "8-bit true colour";
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_BITCOUNT_FOR_FORMAT});
  EXPECT_EQ(load(cat(tga_header(1, 1, 1, 8, 0), {0})), 0u) << "colour-mapped without a map";
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_FILE_HEADER});
  EXPECT_EQ(load(cat(tga_header(2, 0, 1, 24, 0), {0, 0, 0})), 0u) << "no width";
  EXPECT_EQ(error_codes(), Codes{RXE_INVALID_FILE_HEADER});
  const Bytes h = tga_header(2, 4, 1, 24, 0);
  int32_t format = 0;
  EXPECT_NE(RX_memory_info_get(h.data(), 10, 1, &format, nullptr, nullptr), 0);
  EXPECT_EQ(error_codes(), (Codes{RXE_CANT_READ_HEADER}));
  // A header that claims 20000 x 20000 pixels of a 30-byte file.
  const Bytes huge = cat(tga_header(2, 20000, 20000, 24, 0), Bytes(12));
  EXPECT_EQ(refusal(huge), Codes{RXE_CANT_READ_PIXEL_DATA});
}

// What the writer puts in the header, and that every depth, plain and
// coded, reads back and is read by a peer.
TEST_F(Tga, WrittenFilesReadBackAndPeersAgree) {
  const bool peers_there = have_peers();
  PeerDir peers("tga");
  for (int32_t bits : {1, 4, 8, 24}) {
    for (uint32_t rle : {0u, 1u}) {
      const Picture p = picture(bits);
      RX_HIMAGE image = image_of(p);
      Bytes file;
      ASSERT_EQ(save(image, RX_FORMAT_TGA | rle << 16, &file), 0);
      RX_image_delete(image);
      const bool mapped = bits < 24;
      EXPECT_EQ(file.at(1), mapped ? 1 : 0);
      EXPECT_EQ(file.at(2), (mapped ? 1 : 2) + 8 * rle);
      EXPECT_EQ(le(file, 5, 2), mapped ? 1u << bits : 0u);
      EXPECT_EQ(file.at(7), mapped ? 24 : 0);
      EXPECT_EQ(file.at(16), mapped ? 8 : 24);
      EXPECT_EQ(file.at(17), 0x20) << "top-left origin";
      if (!rle) {
        EXPECT_EQ(file.size(), 18 + 3 * (mapped ? 1u << bits : 0) + 37 * 9 * (mapped ? 1 : 3));
      }
      EXPECT_EQ(rgb_loaded(file), rgb_of(p)) << bits << " " << rle;
      peers.keep("b" + std::to_string(bits) + "_c" + std::to_string(rle) + ".tga", file, rgb_of(p));
    }
  }
  // The format's first option word asks for coding too.
  rx::options_record()->tga[0] = 1;
  RX_HIMAGE image = image_of(picture(24));
  Bytes file;
  ASSERT_EQ(save(image, RX_FORMAT_TGA, &file), 0);
  EXPECT_EQ(file.at(2), 10);
  RX_image_delete(image);
  RX_NEED_PEER(peers_there, kPeerReaders);
  const int status = peers.check();
  EXPECT_EQ(status, 0) << peers.dir;
  peers.done(status == 0);
}

TEST_F(Tga, RunsPastTheirLineOrTheImageEndLoad) { hostile_files_load("tga"); }

TEST_F(Tga, DamagedFilesFailCleanly) { bad_files_fail("tga"); }

}  // namespace
