// Lab to sRGB: CIE Lab to XYZ under the D50 white, then the D50-adapted
// (Bradford) matrix to linear sRGB, clipped, and the sRGB curve. The parts
// that depend on one plane alone, and the curve, are tables made once.
#include "filters/psd/psd_lab.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace rx {
namespace {

// Steps of the sRGB curve table over linear 0..1.
inline constexpr int kCurveSteps = 16384;
inline constexpr double kWhiteX = 0.9642, kWhiteZ = 0.8249;  // D50, Y = 1
inline constexpr double kEpsilon = 6.0 / 29.0;

// XYZ (D50) to linear sRGB.
inline constexpr double kToRgb[3][3] = {{3.1338561, -1.6168667, -0.4906146},
                                        {-0.9787684, 1.9161415, 0.0334540},
                                        {0.0719453, -0.2289914, 1.4052427}};

double f_inverse(double t) {
  return t > kEpsilon ? t * t * t : 3.0 * kEpsilon * kEpsilon * (t - 4.0 / 29.0);
}

struct LabTables {
  std::array<double, 256> fy;      // by lightness byte
  std::array<double, 256> y;       // Y by lightness byte
  std::array<double, 256> fa;      // a / 500 by a byte
  std::array<double, 256> fb;      // b / 200 by b byte
  std::array<uint8_t, kCurveSteps + 1> curve;
};

LabTables tables_make() {
  LabTables t{};
  for (int i = 0; i < 256; ++i) {
    const double lightness = i * 100.0 / 255.0;
    t.fy[i] = (lightness + 16.0) / 116.0;
    t.y[i] = f_inverse(t.fy[i]);
    t.fa[i] = (i - 128) / 500.0;
    t.fb[i] = (i - 128) / 200.0;
  }
  for (int k = 0; k <= kCurveSteps; ++k) {
    const double v = static_cast<double>(k) / kCurveSteps;
    const double s = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
    t.curve[k] = static_cast<uint8_t>(std::lround(std::clamp(s, 0.0, 1.0) * 255.0));
  }
  return t;
}

const LabTables& tables() {
  static const LabTables t = tables_make();
  return t;
}

uint8_t encode(const LabTables& t, double linear) {
  const double v = std::clamp(linear, 0.0, 1.0);
  return t.curve[static_cast<int>(v * kCurveSteps + 0.5)];
}

}  // namespace

void psd_lab_row(const uint8_t* lightness, const uint8_t* a, const uint8_t* b, uint32_t width,
                 uint8_t* bgr) {
  const LabTables& t = tables();
  for (uint32_t x = 0; x < width; ++x, bgr += 3) {
    const double fy = t.fy[lightness[x]];
    const double xyz[3] = {kWhiteX * f_inverse(fy + t.fa[a[x]]), t.y[lightness[x]],
                           kWhiteZ * f_inverse(fy - t.fb[b[x]])};
    for (int c = 0; c < 3; ++c) {
      const double linear = kToRgb[c][0] * xyz[0] + kToRgb[c][1] * xyz[1] + kToRgb[c][2] * xyz[2];
      bgr[2 - c] = encode(t, linear);
    }
  }
}

}  // namespace rx
