// How the current image is stored: RunsToDIB expands a runs-format image
// into a plain bitmap, and ImageXdpi and ImageYdpi read and write its
// resolution in dots per inch whatever unit it was stored in.
#include <algorithm>
#include <cmath>

#include "RastCtl.h"
#include "rast_dispids.h"
#include "rastrix/rpb.h"

namespace rast {

namespace {

constexpr int32_t kUnitsInch = 3;
constexpr int32_t kLeastUnits = 1, kMostUnits = 6;
// Dots per inch written are kept to what a 16-bit field of any writer can
// hold; beyond it no scanner or printer exists.
constexpr int32_t kMostDpi = 65535;

// One stored unit in inches, by resolution unit 1 to 6: per metre (1 and
// 2), per inch, per centimetre, per ten inches, per decimetre.
constexpr double kInchesPer[kMostUnits + 1] = {0, 0.0254, 0.0254, 1, 2.54, 0.1, 0.254};

// A dpi value as a fraction in the stored unit, exactly: per metre it is
// dpi x 10000 / 254 (reduced to 5000 / 127), and so on.
struct Fraction {
  int32_t times, over;
};
constexpr Fraction kFromDpi[kMostUnits + 1] = {{1, 1},    {5000, 127}, {5000, 127}, {1, 1},
                                               {50, 127}, {10, 1},     {500, 127}};

struct Resolution {
  int32_t x_num = 0, x_den = 1, y_num = 0, y_den = 1, units = kUnitsInch;
};

bool resolution_of(RX_HIMAGE image, Resolution* r) {
  if (RX_image_resolution_get(image, &r->x_num, &r->x_den, &r->y_num, &r->y_den, &r->units) != 0)
    return false;
  if (r->units < kLeastUnits || r->units > kMostUnits) r->units = kUnitsInch;
  return true;
}

int32_t dpi_of(int32_t num, int32_t den, int32_t units) {
  const double dpi = static_cast<double>(num) / (den == 0 ? 1 : den) * kInchesPer[units];
  return static_cast<int32_t>(std::lround(std::clamp(dpi, 0.0, 2147483647.0)));
}

}  // namespace

void CRastCtrl::on_runs_to_dib() {
  if (flag(kDispRunsToDIB) && current_valid()) set_err_count(RX_IP_convert_runs_to_DIB(current_));
  set_modified();
}

int32_t CRastCtrl::current_dpi(int32_t dispid) const {
  Resolution r;
  if (!current_valid() || !resolution_of(current_, &r)) return 0;
  return dispid == kDispImageXdpi ? dpi_of(r.x_num, r.x_den, r.units)
                                  : dpi_of(r.y_num, r.y_den, r.units);
}

// The written side is stored as an exact fraction in the image's own unit,
// so the other side keeps its value untouched.
void CRastCtrl::put_dpi(int32_t dispid, int32_t dpi) {
  if (dpi < 1 || dpi > kMostDpi) {
    RPb_AF_error_clear();
    RPb_AF_error_set("work\\ocx32\\rast_image_storage.cpp", __LINE__, RXE_PARAMETERS_OUT_OF_LIMITS,
                     dpi, kMostDpi);
    error_check();
    RPb_AF_error_clear();
  } else if (Resolution r; current_valid() && resolution_of(current_, &r)) {
    const Fraction f = kFromDpi[r.units];
    int32_t& num = dispid == kDispImageXdpi ? r.x_num : r.y_num;
    int32_t& den = dispid == kDispImageXdpi ? r.x_den : r.y_den;
    num = dpi * f.times;
    den = f.over;
    set_err_count(RX_image_resolution_set(current_, r.x_num, r.x_den, r.y_num, r.y_den, r.units));
    error_check();
  }
}

}  // namespace rast
