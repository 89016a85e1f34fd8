// Smooth, Sharpen and EdgeMap driven as a host drives them: hand-worked
// pixels, the processing rectangle for the edge map, and refused values
// that report their error and leave the image.
#include <vector>

#include "ocx32/ctrl_harness.h"
#include "rast_dispids.h"

namespace {

using namespace rast;
using Rows = std::vector<std::vector<uint8_t>>;

class CtrlConv : public test::CtrlTest {
 protected:
  // Loads a 24-bit picture and gives it these grey rows.
  RX_HIMAGE load_grey(const Rows& rows) {
    const auto width = static_cast<int32_t>(rows[0].size());
    const auto height = static_cast<int32_t>(rows.size());
    RX_HIMAGE image = load(width, height, 24, 3);
    for (int32_t y = 0; y < height; ++y) {
      std::vector<uint8_t> row;
      for (uint8_t v : rows[y]) row.insert(row.end(), {v, v, v});
      EXPECT_EQ(RX_DIB_raster_set(image, y, row.data(), RX_ROW_BYTE_PER_PIXEL), 0);
    }
    return image;
  }
  // The blue channel of every pixel (all three are equal here).
  Rows grey_rows() {
    Rows out;
    for (const auto& row : image_rows()) {
      out.emplace_back();
      for (size_t x = 0; x < row.size(); x += 3) out.back().push_back(row[x]);
    }
    return out;
  }
};

TEST_F(CtrlConv, SharpenAndSmoothTakeTheirStrengthFromTheValue) {
  // The fixed 3 x 3 kernel times 1/8 on 50 around 100 (worked out in the
  // engine's sharpening tests): corners 62, edges 38 and 25, centre 125.
  load_grey({{50, 50, 50}, {50, 100, 50}, {50, 50, 50}});
  host.put_i2(kDispSharpen, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(grey_rows(), (Rows{{62, 38, 62}, {25, 125, 25}, {62, 38, 62}}));
  // Box of 3 on a lone 90: 10 down the middle column, 20 beside it.
  load_grey({{0, 0, 0}, {0, 90, 0}, {0, 0, 0}});
  host.put_i2(kDispSmooth, 1);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(grey_rows(), (Rows{{20, 10, 20}, {20, 10, 20}, {20, 10, 20}}));
}

TEST_F(CtrlConv, RefusedStrengthsReportAndLeaveTheImage) {
  const Rows picture = {{1, 2, 3}, {4, 5, 6}};
  for (const auto& [dispid, value] : {std::pair{kDispSmooth, 5}, std::pair{kDispSharpen, 8},
                                      std::pair{kDispEdgeMap, 9}, std::pair{kDispSharpen, 0}}) {
    SCOPED_TRACE(testing::Message() << dispid << " = " << value);
    const RX_HIMAGE image = load_grey(picture);
    host.put_i2(dispid, static_cast<int16_t>(value));
    EXPECT_EQ(host.get_int(kDispErrCount), 1);
    EXPECT_EQ(host.get_int(kDispErrorCode), RXE_PARAMETERS_OUT_OF_LIMITS);
    EXPECT_EQ(ctrl().current_image(), image);
    EXPECT_EQ(grey_rows(), picture);
  }
}

TEST_F(CtrlConv, EdgeMapWorksOnTheProcessingRectangle) {
  // Operator 6 (left minus right) on a step from 255 to 0 between columns
  // 1 and 2: 255 on both sides of it. With ImageRectLeft 2 only column 2
  // changes; the mirrored outer column 4 gives 0 - 0.
  load_grey(Rows(3, {255, 255, 0, 0, 0}));
  host.put_i4(kDispImageRectLeft, 2);
  host.put_i2(kDispEdgeMap, 6);
  EXPECT_EQ(host.get_int(kDispErrCount), 0);
  EXPECT_EQ(grey_rows(), Rows(3, std::vector<uint8_t>{255, 255, 255, 0, 0}));
  // A later load resets the rectangle to the whole picture.
  load_grey(Rows(3, {255, 255, 0, 0, 0}));
  host.put_i2(kDispEdgeMap, 6);
  EXPECT_EQ(grey_rows(), Rows(3, std::vector<uint8_t>{0, 255, 255, 0, 0}));
}

}  // namespace
