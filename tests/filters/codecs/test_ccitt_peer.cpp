// libtiff as the peer, both ways: strips that libtiff coded decode with our
// codec to libtiff's own pixels, and strips that we coded decode with
// libtiff to our pixels; for every variant a TIFF can carry and both fill
// orders.
#include <gtest/gtest.h>

#include <filesystem>

#include "filters/codecs/tiff_peer.h"
#include "support/engine_fixture.h"

using namespace ccitt_test;

namespace {

std::vector<Picture> pictures() {
  return {text_page(1728, 400, 21), noise(1000, 60, 50, 4), noise(257, 50, 8, 6),
          text_page(2600, 90, 2), Picture(9, 3)};
}

}  // namespace

class CcittPeer : public EngineTest {
 protected:
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    EngineTest::TearDown();
  }
  std::string dir_ = tiff_peer::temp_dir();
};

TEST_F(CcittPeer, WeDecodeWhatLibtiffCodes) {
  int n = 0;
  for (const Picture& p : pictures()) {
    for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
      for (int fill_order : {1, 2}) {
        const std::string path = dir_ + "/p" + std::to_string(n++) + ".tif";
        ASSERT_TRUE(tiff_peer::write_pixels(path, p, tiff_peer::form_of(variant), fill_order));
        bool ok = false;
        const Picture theirs = tiff_peer::read_pixels(path, &ok);
        ASSERT_TRUE(ok);
        ASSERT_TRUE(theirs == p) << "libtiff's own round trip";
        rx::CcittDecodeParams d;
        d.variant = variant;
        d.fill_order = fill_order;
        d.polarity = 0;
        const Decoded ours =
            decode(tiff_peer::read_raw(path), p.width, static_cast<int32_t>(p.rows.size()), d);
        EXPECT_EQ(ours.code, 0);
        EXPECT_EQ(ours.result.exhausted, 0);
        EXPECT_TRUE(ours.picture(p.width) == theirs)
            << "variant " << variant << " fill order " << fill_order << " width " << p.width;
      }
    }
  }
}

TEST_F(CcittPeer, LibtiffDecodesWhatWeCode) {
  int n = 0;
  for (const Picture& p : pictures()) {
    for (int32_t variant : {2, 3, 4, 10, 11, 12}) {
      for (int fill_order : {1, 2}) {
        rx::CcittEncodeParams e;
        e.variant = variant;
        e.fill_order = fill_order;
        e.polarity = 0;
        e.k = 4;
        e.eol_first = 1;
        int32_t code = -1;
        const std::vector<uint8_t> coded = encode(p, e, &code);
        ASSERT_EQ(code, 0);
        const std::string path = dir_ + "/q" + std::to_string(n++) + ".tif";
        ASSERT_TRUE(tiff_peer::write_coded(path, p.width, static_cast<uint32_t>(p.rows.size()),
                                           coded, tiff_peer::form_of(variant), fill_order));
        bool ok = false;
        const Picture theirs = tiff_peer::read_pixels(path, &ok);
        EXPECT_TRUE(ok) << "variant " << variant;
        EXPECT_TRUE(theirs == p) << "variant " << variant << " fill order " << fill_order
                                 << " width " << p.width;
      }
    }
  }
}
