// An image callback that refuses without saying why (an application's or an
// extension's own) still fails the BMP read and write: the refusal is never
// taken for success.
#include "filters/bmp/bmp_harness.h"
#include "support/engine_fixture.h"

namespace {

using namespace bmpt;

class BmpCallbacks : public EngineTest {};

int32_t refuse_silently_row(IO_REC*, const uint8_t*, int32_t, int32_t) { return 7; }
int32_t refuse_silently_fetch(IO_REC*, uint8_t*, int32_t, int32_t) { return 9; }

TEST_F(BmpCallbacks, ARowRefusedWithoutAWordFailsTheRead) {
  File f;
  f.pixels = Bytes(8, 0x11);  // two rows of four 8-bit pixels
  for (uint32_t compression : {0u, 1u}) {  // plain rows, and RLE8 rows
    f.compression = compression;
    if (compression == 1) f.pixels = {4, 0x22, 0, 0, 4, 0x33, 0, 1};
    Stream s(f.build());
    s.io.raster_set = refuse_silently_row;
    RPb_AF_error_clear();
    EXPECT_NE(rx::bmp_read(&s.io, nullptr, 1, 1), 0) << compression;
    const auto e = error_entries();
    ASSERT_EQ(e.size(), 1u) << compression;
    EXPECT_EQ(e[0].code, RXE_FAILURE);
    EXPECT_EQ(e[0].iVal, 7);
  }
}

TEST_F(BmpCallbacks, ARowFetchRefusedWithoutAWordFailsTheWrite) {
  Stream s({}, 4096);
  s.image.header = RX_BITMAPINFOHEADER{40, 4, 2, 1, 8, 0, 0, 0, 0, 0, 0};
  s.image.rows.assign(2, Bytes(4, 0x44));
  s.io.raster_get = refuse_silently_fetch;
  RPb_AF_error_clear();
  EXPECT_NE(rx::bmp_write(&s.io, nullptr, 0, 1, 0), 0);
  const auto e = error_entries();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].code, RXE_FAILURE);
  EXPECT_EQ(e[0].iVal, 9);
}

}  // namespace
