#include "render.h"

#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "atomic_output.h"
#include "convert_file.h"
#include "engine_session.h"
#include "error_report.h"
#include "exit_status.h"
#include "load_page.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "rastrix/rastrix.h"

namespace rxcli {
namespace {

constexpr const char* kWindowClass = "RastrixRenderSurface";
// The dots per inch of the printer page.
constexpr int32_t kPrinterDpi = 300;
constexpr uint32_t kWhite = 0xFFFFFF;

using Report = std::optional<std::string>;

Report step(int32_t errors, const std::string& what) {
  if (errors == 0) return std::nullopt;
  return engine_report("cannot " + what, errors);
}

RX_RGBQUAD quad_of(uint32_t rgb) {
  return RX_RGBQUAD{static_cast<uint8_t>(rgb), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb >> 16), 0};
}

// The display attributes the options name, one call each.
Report attributes_set(RX_HIMAGE im, const RenderRequest& r) {
  Report e;
  if (r.gamma || r.brightness || r.contrast)
    e = step(RX_display_LUT_set(im, r.contrast.value_or(1.0), r.brightness.value_or(0.0), r.gamma.value_or(1.0)),
             "set the display lookup tables");
  if (!e && r.dither) e = step(RX_display_dither_mode_set(im, *r.dither), "set the dither mode");
  if (!e && r.alias_mode) {
    const int32_t mode = *r.alias_mode > 2 ? *r.alias_mode - 2 : *r.alias_mode;
    e = step(RX_display_alias_set(im, mode, r.alias_quality, *r.alias_mode > 2 ? 1 : 0), "set the anti-aliasing");
  }
  if (!e && r.rotate) e = step(RX_display_rotation_set(im, *r.rotate), "turn the image");
  if (!e && r.rop) e = step(RX_display_ROP_set(im, *r.rop), "set the raster operation");
  if (!e && r.transparent) {
    const RX_RGBQUAD c = quad_of(*r.transparent);
    e = step(RX_display_transparent_set(im, &c, 1), "set the transparent colour");
  }
  if (!e && r.background) {
    const RX_RGBQUAD c = quad_of(*r.background);
    e = step(RX_display_background_set(im, 0, nullptr, &c, 1), "set the background");
  }
  if (!e && r.aspect) e = step(RX_display_aspect_set(im, *r.aspect), "set the aspect mode");
  if (!e && r.centre) e = step(RX_display_centered_set(im, 0, 1), "centre the image");
  return e;
}

// The surface and the window that stands for it while the image is placed.
class Surface {
 public:
  Surface(const RenderRequest& r, int32_t w, int32_t h) : width_(w), height_(h) {
    display_ = pg_display_create(r.printer ? 24 : r.depth);
    pg_display_default_set(display_);
    pw_window_class c{};
    c.proc = pw_window_proc_default;
    c.name = kWindowClass;
    pw_class_register(&c);
    window_ = pw_window_create(0, kWindowClass, "", WS_POPUP, 0, 0, w, h, nullptr, 0, nullptr);
    if (r.printer) {
      dc_ = pg_printer_dc_create(w, h, kPrinterDpi);
    } else {
      screen_ = pg_display_dc_create(display_, 1, 1);
      dc_ = pg_dc_create_compatible(screen_);
      bitmap_ = pg_bitmap_create_compatible(screen_, w, h);
      old_ = pg_bitmap_select(dc_, bitmap_);
    }
  }
  ~Surface() {
    if (old_ != nullptr) pg_bitmap_select(dc_, old_);
    if (bitmap_ != nullptr) pg_bitmap_delete(bitmap_);
    if (dc_ != nullptr) pg_dc_delete(dc_);
    if (screen_ != nullptr) pg_dc_delete(screen_);
    if (window_ != nullptr) pw_window_destroy(window_);
    if (display_ != nullptr) pg_display_delete(display_);
  }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool ready() const { return window_ != nullptr && dc_ != nullptr && (screen_ == nullptr || old_ != nullptr); }
  uintptr_t window() const { return reinterpret_cast<uintptr_t>(window_); }
  uintptr_t dc() const { return reinterpret_cast<uintptr_t>(dc_); }

  void fill(uint32_t rgb) {
    HBRUSH brush = pg_brush_solid_create(PG_RGB(rgb >> 16, rgb >> 8, rgb));
    const pg_rect all{0, 0, width_, height_};
    pg_rect_fill(dc_, &all, brush);
    pg_brush_delete(brush);
  }

  // The drawn pixels as an image: a device bitmap with the colours the
  // display realised, or the printer page as 24-bit rows.
  int32_t image(RX_HIMAGE* out) {
    if (screen_ == nullptr) return page_image(out);
    pg_bitmap_select(dc_, old_);
    old_ = nullptr;
    HPALETTE palette = nullptr;
    if (pg_display_bits(display_) == 8) {
      pg_palette_entry entries[256];
      pg_display_system_palette_get(display_, 0, 256, entries);
      palette = pg_palette_create(entries, 256);
    }
    const int32_t errors = RX_image_create_from_bitmap(reinterpret_cast<uintptr_t>(bitmap_),
                                                       reinterpret_cast<uintptr_t>(palette), out);
    if (palette != nullptr) pg_palette_delete(palette);
    return errors;
  }

 private:
  int32_t page_image(RX_HIMAGE* out) {
    std::vector<uint32_t> px(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    pg_dc_read_rgb32(dc_, px.data(), width_, height_, width_);
    const size_t stride = (static_cast<size_t>(width_) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> dib(40 + stride * static_cast<size_t>(height_), 0);
    RX_BITMAPINFOHEADER h{40, width_, height_, 1, 24, 0, 0, 11811, 11811, 0, 0};
    std::memcpy(dib.data(), &h, sizeof h);
    for (int32_t y = 0; y < height_; ++y) {
      uint8_t* row = dib.data() + 40 + stride * static_cast<size_t>(height_ - 1 - y);
      for (int32_t x = 0; x < width_; ++x) {
        const uint32_t c = px[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
        row[3 * x] = static_cast<uint8_t>(c);
        row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
      }
    }
    return RX_image_create_from_DIB(dib.data(), dib.size(), out);
  }

  int32_t width_, height_;
  HDISPLAY display_ = nullptr;
  HWND window_ = nullptr;
  HDC screen_ = nullptr, dc_ = nullptr;
  HBITMAP bitmap_ = nullptr, old_ = nullptr;
};

// The surface size: given, or the image's own, turned for 1-bit images
// drawn at 90 or 270 degrees.
void surface_size(RX_HIMAGE im, const RenderRequest& r, int32_t* w, int32_t* h) {
  if (r.width > 0) {
    *w = r.width;
    *h = r.height;
    return;
  }
  int32_t bits = 0, rotation = 0;
  RX_image_dimensions_get(im, w, h, &bits);
  RX_display_rotation_get(im, &rotation);
  if (bits == 1 && (rotation & 1) != 0) std::swap(*w, *h);
}

Report draw_and_save(RX_HIMAGE im, const RenderRequest& r) {
  int32_t w = 0, h = 0;
  surface_size(im, r, &w, &h);
  Surface surface(r, w, h);
  if (!surface.ready())
    return plain_report("cannot make a surface of " + std::to_string(w) + " x " + std::to_string(h),
                        "the drawing layer refused it");
  surface.fill(r.background.value_or(kWhite));
  Report e = r.zoom ? step(RX_display_zoom_set(im, surface.window(), *r.zoom, nullptr), "zoom the image")
                    : step(RX_display_fit_set(im, surface.window(), nullptr, nullptr, r.fit.value_or(3)),
                           "fit the image");
  if (!e) e = step(RX_display_image(im, surface.dc()), "draw " + quote_name(r.input));
  if (e) return e;
  RX_HIMAGE drawn = 0;
  if ((e = step(surface.image(&drawn), "take the drawn surface"))) return e;
  const Image keep(drawn);
  PendingOutput temp(temp_path_for(r.output, getpid(), 0));
  if ((e = step(RX_image_save_file(drawn, temp.path().c_str(), RX_FORMAT_UNKNOWN), "save " + quote_name(r.output))))
    return e;
  std::string error;
  if (temp.commit(r.output, false, error) != CommitResult::Done)
    return plain_report("cannot move the new file into place as " + quote_name(r.output), error);
  return std::nullopt;
}

}  // namespace

int run_render(const RenderRequest& r) {
  EngineSession engine;
  if (!engine.started()) {
    print_report(kEngineStartFailed);
    return kExitFailed;
  }
  if (is_same_file(r.input, r.output)) {
    print_report(plain_report("cannot render " + quote_name(r.input), "the output is the input itself"));
    return kExitFailed;
  }
  RX_load_limits_set(r.max_pixels, 0);
  std::string report;
  const Image image = load_page(r.input, r.page, report);
  if (!image) {
    print_report(report);
    return kExitFailed;
  }
  Report e = attributes_set(image.get(), r);
  if (!e) e = draw_and_save(image.get(), r);
  if (e) {
    print_report(*e);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace rxcli
