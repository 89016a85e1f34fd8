// Times the display engine against QPainter drawing the same pictures in
// the same run:
//   - the 12-megapixel photo (make_photo) fitted into a 1920 x 1080 window
//     DC, against QPainter::drawImage with Qt::FastTransformation into a
//     1920 x 1080 QImage;
//   - a 1920 x 1080 view of the photo at zoom 100 scrolled by 64 pixels,
//     against QPainter copying the same part; and the scroll itself (the
//     window's pixels moved and the uncovered strip drawn);
//   - a 300-dpi A4 bi-level page (2480 x 3508, runs) shown in 16 greys at
//     620 x 877 on a 24-bit DC, against QImage::scaled with
//     Qt::SmoothTransformation of the same page held as 8-bit grey;
// and reports each draw's temporary memory: the engine's band and maps
// (its own count) and whatever the drawing layer allocated on the heap
// during the draw (counted by the operator new below), under the fast
// kernels and the reference ones.
//
//   bench_display PHOTO.bmp      (make_photo PHOTO.bmp makes it)
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "DISPLAY/display_draw.h"
#include "SUPPORT/kernels.h"
#include "platform/gdi.h"
#include "platform/window.h"
#include "rastrix/rastrix.h"

// Heap bytes in use and their peak since the last reset. Each block
// carries its size in front of it.
namespace heap {
std::atomic<int64_t> live{0}, peak{0};
constexpr size_t kHead = 16;
}  // namespace heap

void* operator new(size_t n) {
  auto* block = static_cast<unsigned char*>(std::malloc(n + heap::kHead));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, &n, sizeof n);
  const int64_t now = heap::live += static_cast<int64_t>(n);
  int64_t seen = heap::peak.load();
  while (now > seen && !heap::peak.compare_exchange_weak(seen, now)) {
  }
  return block + heap::kHead;
}

void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - heap::kHead;
  size_t n = 0;
  std::memcpy(&n, block, sizeof n);
  heap::live -= static_cast<int64_t>(n);
  std::free(block);
}

void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

constexpr int kW = 1920, kH = 1080;

double once_ms(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// The best time of each, the two run in turns so that a busy machine
// weighs on both alike.
std::pair<double, double> race(const std::function<void()>& ours, const std::function<void()>& peer,
                               int runs = 60) {
  double a = 1e30, b = 1e30;
  for (int i = 0; i < runs; ++i) {
    a = std::min(a, once_ms(ours));
    b = std::min(b, once_ms(peer));
  }
  return {a, b};
}

void row(const char* what, double ours, double peer) {
  std::printf("%-52s %9.2f ms %9.2f ms %7.2fx\n", what, ours, peer, ours / peer);
}

// One draw under each kernel level: the engine's band and maps, and the
// drawing layer's heap peak during the draw.
void memory(const char* what, const std::function<void()>& draw) {
  for (rx::KernelLevel level : {rx::kernel_level_supported(), rx::KernelLevel::kReference}) {
    rx::KernelLevelScope scope(level);
    const int64_t before = heap::live.load();
    heap::peak.store(before);
    draw();
    const int64_t layer = heap::peak.load() - before;
    const rx::DrawStats& s = rx::display_last_draw_stats();
    std::printf("  %-8s %-9s engine: band %d x %d = %lld bytes (%d bands), maps %lld bytes; "
                "drawing layer %lld bytes; all %lld bytes\n",
                what, level == rx::KernelLevel::kReference ? "reference" : "fast", s.band_width, s.band_height,
                static_cast<long long>(s.band_bytes), s.bands, static_cast<long long>(s.map_bytes),
                static_cast<long long>(layer), static_cast<long long>(s.scratch_bytes + layer));
  }
}

RX_HIMAGE g_image = 0;

LRESULT view_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  if (m == WM_PAINT) {
    pw_paint ps{};
    HDC dc = pw_paint_begin(h, &ps);
    RX_display_image(g_image, reinterpret_cast<uintptr_t>(dc));
    pw_paint_end(h, &ps);
    return 0;
  }
  if (m == WM_ERASEBKGND) return 1;
  return pw_window_proc_default(h, m, w, l);
}

// A page of text-like strokes: 300 dpi A4, black ink on white.
bool ink_at(int x, int y) {
  const int line = y % 50, col = x % 28;
  return y > 150 && y < 3358 && x > 150 && x < 2330 && line > 12 && line < 38 &&
         (col < 4 || (col < 20 && (line < 16 || (line > 23 && line < 27) || line > 34))) && ((x / 140 + y / 50) % 7 != 0);
}

RX_HIMAGE page_image() {
  const int w = 2480, h = 3508, stride = (w + 31) / 32 * 4;
  std::vector<uint8_t> dib(48 + size_t(stride) * h, 0xFF);
  const RX_BITMAPINFOHEADER hd{40, w, h, 1, 1, 0, 0, 11811, 11811, 0, 0};
  std::memcpy(dib.data(), &hd, 40);
  const uint8_t palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::memcpy(dib.data() + 40, palette, 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (ink_at(x, y)) dib[48 + size_t(h - 1 - y) * stride + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
  RX_HIMAGE im = 0;
  RX_image_create_from_DIB(dib.data(), dib.size(), &im);
  RX_IP_convert_DIB_to_runs(im);
  return im;
}

QImage page_grey() {
  QImage img(2480, 3508, QImage::Format_Grayscale8);
  for (int y = 0; y < img.height(); ++y) {
    uchar* line = img.scanLine(y);
    for (int x = 0; x < img.width(); ++x) line[x] = ink_at(x, y) ? 0 : 255;
  }
  return img;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_display PHOTO.bmp (make it with make_photo)\n");
    return 2;
  }
  RX_engine_start(0);
  RX_HIMAGE photo = 0;
  if (RX_image_load_file(argv[1], &photo) != 0) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 1;
  }
  // The peer holds the photo as Qt loads it (32 bits a pixel) and as the
  // same 24-bit pixels the engine holds.
  QImage peer_photo(QString::fromLocal8Bit(argv[1]));
  const QImage peer_photo24 = peer_photo.convertToFormat(QImage::Format_BGR888);
  int32_t pw = 0, ph = 0;
  RX_image_dimensions_get(photo, &pw, &ph, nullptr);
  std::printf("photo %d x %d (peer holds it as QImage format %d)\n", pw, ph, int(peer_photo.format()));
  std::printf("%-52s %12s %12s %8s\n", "case", "engine", "QPainter", "ratio");

  pw_window_class c{};
  c.proc = view_proc;
  c.name = "BenchDisplayView";
  pw_class_register(&c);
  HWND hwnd = pw_window_create(0, "BenchDisplayView", "", WS_POPUP, 0, 0, kW, kH, nullptr, 0, nullptr);
  const uintptr_t window = reinterpret_cast<uintptr_t>(hwnd);
  HDC dc = pw_window_dc_get(hwnd);
  g_image = photo;

  // 1. Fitted and centred.
  RX_display_aspect_set(photo, RX_ASPECT_INSIDE);
  RX_display_centered_set(photo, 0, 1);
  RX_display_fit_set(photo, window, nullptr, nullptr, 0);
  int32_t rect[4] = {};
  RX_display_device_rect_get(photo, rect);
  QImage target(kW, kH, QImage::Format_RGB32);
  const QRect fitted(rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1]);
  auto draw = [&] { RX_display_image(photo, reinterpret_cast<uintptr_t>(dc)); };
  auto fit_peer = [&](const QImage& source) {
    return [&target, &fitted, &source] {
      QPainter p(&target);
      p.setRenderHint(QPainter::SmoothPixmapTransform, false);
      p.drawImage(fitted, source);
    };
  };
  auto [ours, peer] = race(draw, fit_peer(peer_photo));
  row("12 MP photo fitted into a 1920 x 1080 32-bit window", ours, peer);
  std::tie(ours, peer) = race(draw, fit_peer(peer_photo24));
  row("  the same, the peer's photo at 24 bits", ours, peer);
  const int threads = QThreadPool::globalInstance()->maxThreadCount();
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  std::tie(ours, peer) = race(draw, fit_peer(peer_photo));
  row("  the same, the peer on one thread", ours, peer);
  QThreadPool::globalInstance()->setMaxThreadCount(threads);
  memory("fit", draw);

  // 2. Zoom 100, scrolled 64 pixels across: the whole view drawn.
  RX_display_aspect_set(photo, RX_ASPECT_STRETCH);
  RX_display_centered_set(photo, 0, 0);
  RX_display_fit_set(photo, window, nullptr, nullptr, 3);
  const int32_t scrolled[4] = {-64, 0, pw - 64, ph};
  RX_display_device_rect_set(photo, scrolled);
  auto view_peer = [&](const QImage& source) {
    return [&target, &source] {
      QPainter p(&target);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(QPoint(0, 0), source, QRect(64, 0, kW, kH));
    };
  };
  std::tie(ours, peer) = race(draw, view_peer(peer_photo));
  row("1920 x 1080 view at zoom 100, scrolled by 64", ours, peer);
  std::tie(ours, peer) = race(draw, view_peer(peer_photo24));
  row("  the same, the peer's photo at 24 bits", ours, peer);
  memory("view", draw);

  // The scroll itself: pixels moved, the 64-pixel strip drawn; the peer
  // moves its rows and draws the same strip.
  RX_display_fit_set(photo, window, nullptr, nullptr, 3);
  int32_t pos = 0, qpos = 0;
  std::tie(ours, peer) = race(
      [&] {
        pos = pos >= 1000 ? 0 : pos + 64;
        RX_display_scroll(photo, window, SB_HORZ, SB_THUMBTRACK, pos);
      },
      [&] {
        qpos = qpos >= 1000 ? 0 : qpos + 64;
        for (int y = 0; y < kH; ++y) {
          uchar* line = target.scanLine(y);
          std::memmove(line, line + 64 * 4, size_t(kW - 64) * 4);
        }
        QPainter p(&target);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(kW - 64, 0), peer_photo, QRect(qpos + kW - 64, 0, 64, kH));
      });
  row("  the scroll by 64: pixels moved, strip drawn", ours, peer);

  // 3. A4 page in 16 greys.
  RX_HIMAGE page = page_image();
  QImage grey = page_grey();
  HDISPLAY d24 = pg_display_create(24);
  HDC page_dc = pg_display_dc_create(d24, 620, 877);
  RX_display_alias_set(page, 2, 75, 0);
  const int32_t small[4] = {0, 0, 620, 877};
  RX_display_device_rect_set(page, small);
  QImage scaled;
  std::tie(ours, peer) = race([&] { RX_display_image(page, reinterpret_cast<uintptr_t>(page_dc)); },
                              [&] { scaled = grey.scaled(620, 877, Qt::IgnoreAspectRatio, Qt::SmoothTransformation); },
                              20);
  row("A4 page at 300 dpi in 16 greys at 620 x 877 (24-bit)", ours, peer);
  memory("page", [&] { RX_display_image(page, reinterpret_cast<uintptr_t>(page_dc)); });

  pw_window_dc_release(hwnd, dc);
  pw_window_destroy(hwnd);
  pg_dc_delete(page_dc);
  pg_display_delete(d24);
  RX_image_delete(page);
  RX_image_delete(photo);
  RX_engine_stop();
  return 0;
}
