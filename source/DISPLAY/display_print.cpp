// Printing an image: the page and the image's printed size make a device
// rectangle; the display engine draws into it as into any DC.
#include "DISPLAY/display_print.h"

#include <algorithm>

#include "DISPLAY/display_draw.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "platform/gdi.h"
#include "rastrix/rastrix.h"
#include "rastrix/rx_print.h"

RX_SOURCE("source\\DISPLAY\\display_print.cpp");

namespace rx {
namespace {

// A printed side is held to the display engine's largest zoomed extent.
constexpr int64_t kMostExtent = RX_DISPLAY_MAX_EXTENT;
// Resolutions beyond this are not real; holding them keeps the products
// below well inside 128 bits.
constexpr int64_t kMostDpi = 65535;
constexpr int32_t kMostMode = RX_PRINT_DOTS;

// round(a * b / c) for a, b >= 0 and c > 0, halves away from zero.
int64_t scale_round(int64_t a, int64_t b, int64_t c) {
  const Int128 p = static_cast<Int128>(a) * b;
  return static_cast<int64_t>((2 * p + c) / (2 * static_cast<Int128>(c)));
}

// A width or height reported as an error value, held to 32 bits.
int32_t held(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

int64_t side(int64_t v) { return std::clamp<int64_t>(v, 1, kMostExtent); }

int64_t start(int64_t page, int64_t size, bool centre) {
  return centre && size < page ? (page - size) / 2 : 0;
}

}  // namespace

int64_t print_dpi_of(int32_t pels_per_meter) {
  if (pels_per_meter <= 0) return kPrintDefaultDpi;
  return std::clamp<int64_t>(scale_round(pels_per_meter, 254, 10000), 1, kMostDpi);
}

IRect print_place(const PrintPage& page, const PrintSource& source, int32_t mode, bool centre,
                  bool use_resolution) {
  // The image's shape on paper: width over height is nx / ny (each side in
  // dots at the image's resolution, brought to one denominator).
  const int64_t ix = use_resolution ? source.dpi_x : 1, iy = use_resolution ? source.dpi_y : 1;
  const Int128 nx = static_cast<Int128>(source.width) * page.dpi_x * iy;
  const Int128 ny = static_cast<Int128>(source.height) * page.dpi_y * ix;
  // One side given, the other in proportion (rounded).
  auto height_for = [&](int64_t w) {
    return static_cast<int64_t>((2 * static_cast<Int128>(w) * ny + nx) / (2 * nx));
  };
  auto width_for = [&](int64_t h) {
    return static_cast<int64_t>((2 * static_cast<Int128>(h) * nx + ny) / (2 * ny));
  };
  int64_t w = 0, h = 0;
  switch (mode) {
    case RX_PRINT_FIT_PAGE:
      if (static_cast<Int128>(page.width) * ny <= static_cast<Int128>(page.height) * nx) {
        w = page.width;
        h = height_for(w);
      } else {
        h = page.height;
        w = width_for(h);
      }
      break;
    case RX_PRINT_ACTUAL_SIZE:
      w = scale_round(source.width, page.dpi_x, source.dpi_x);
      h = scale_round(source.height, page.dpi_y, source.dpi_y);
      break;
    case RX_PRINT_FIT_WIDTH:
      w = page.width;
      h = height_for(w);
      break;
    case RX_PRINT_FIT_HEIGHT:
      h = page.height;
      w = width_for(h);
      break;
    case RX_PRINT_STRETCH:
      w = page.width;
      h = page.height;
      break;
    default:
      w = source.width;
      h = source.height;
      break;
  }
  w = side(w);
  h = side(h);
  const int64_t x = start(page.width, w, centre), y = start(page.height, h, centre);
  return IRect{x, y, x + w, y + h};
}

namespace {

// What printing changes on the record, put back however the draw ends.
class DisplayKeep {
 public:
  explicit DisplayKeep(IMAGE_REC* record) : d_(record->display), saved_(record->display) {}
  ~DisplayKeep() {
    std::copy(saved_.device_rect, saved_.device_rect + 4, d_.device_rect);
    std::copy(saved_.image_rect, saved_.image_rect + 4, d_.image_rect);
    d_.clip_on = saved_.clip_on;
  }
  DisplayKeep(const DisplayKeep&) = delete;
  DisplayKeep& operator=(const DisplayKeep&) = delete;

 private:
  DISPLAY_ATTR& d_;
  // Only the three fields above are read back; the copy is a plain struct.
  const DISPLAY_ATTR saved_;
};

bool page_of(HDC hdc, PrintPage* page) {
  int32_t width = 0, height = 0;
  if (hdc == nullptr || pg_dc_size(hdc, &width, &height) == 0) {
    RX_ERR(RXE_INVALID_HANDLE, 0, 0);
    return false;
  }
  page->width = width;
  page->height = height;
  const int32_t dx = pg_device_caps(hdc, PG_LOGPIXELSX), dy = pg_device_caps(hdc, PG_LOGPIXELSY);
  page->dpi_x = dx > 0 ? dx : kPrintDefaultDpi;
  page->dpi_y = dy > 0 ? dy : kPrintDefaultDpi;
  return true;
}

bool source_of(IMAGE_REC* record, PrintSource* source) {
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return false;
  source->width = h->biWidth;
  source->height = h->biHeight;
  source->dpi_x = print_dpi_of(h->biXPelsPerMeter);
  source->dpi_y = print_dpi_of(h->biYPelsPerMeter);
  // A quarter turn on display puts the image's rows across the page.
  if ((record->display.rotation & 1) != 0) {
    std::swap(source->width, source->height);
    std::swap(source->dpi_x, source->dpi_y);
  }
  return true;
}

// Draws the whole image into `place` on the page, with no clip rectangle.
int32_t print_into(IMAGE_REC* record, HDC hdc, const IRect& place) {
  const RX_BITMAPINFOHEADER* h = image_header(record);
  if (h == nullptr) return error_count();
  DisplayKeep keep(record);
  DISPLAY_ATTR& d = record->display;
  d.device_rect[0] = static_cast<double>(place.left);
  d.device_rect[1] = static_cast<double>(place.top);
  d.device_rect[2] = static_cast<double>(place.right);
  d.device_rect[3] = static_cast<double>(place.bottom);
  const int32_t whole[4] = {0, 0, h->biWidth - 1, h->biHeight - 1};
  std::copy(whole, whole + 4, d.image_rect);
  d.clip_on = 0;
  return display_draw(record, hdc);
}

}  // namespace
}  // namespace rx

using namespace rx;

extern "C" int32_t RX_display_print(RX_HIMAGE image, uintptr_t dc, int32_t size_mode, int32_t centre,
                                    int32_t use_resolution) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (size_mode < 0 || size_mode > kMostMode) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, size_mode, kMostMode);
    return error_count();
  }
  auto hdc = reinterpret_cast<HDC>(dc);
  PrintPage page;
  PrintSource source;
  if (!page_of(hdc, &page) || !source_of(record, &source)) return error_count();
  const IRect place = print_place(page, source, size_mode, centre != 0, use_resolution != 0);
  return print_into(record, hdc, place);
}

extern "C" int32_t RX_display_print_rect(RX_HIMAGE image, uintptr_t dc, int32_t units_per_inch) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (units_per_inch < 0) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, units_per_inch, 0);
    return error_count();
  }
  auto hdc = reinterpret_cast<HDC>(dc);
  PrintPage page;
  if (!page_of(hdc, &page)) return error_count();
  IRect place = device_rect_of(record->display);
  if (units_per_inch > 0) {
    const int64_t u = units_per_inch;
    place = IRect{scale_floor(place.left, page.dpi_x, u), scale_floor(place.top, page.dpi_y, u),
                  scale_floor(place.right, page.dpi_x, u), scale_floor(place.bottom, page.dpi_y, u)};
  }
  if (place.empty()) {
    RX_ERR(RXE_RECT_INVALID, held(place.width()), held(place.height()));
    return error_count();
  }
  return print_into(record, hdc, place);
}
