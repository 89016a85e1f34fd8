// Times the drawing layer's packed-DIB drawing and blits against QPainter
// drawing the same pixels in the same run: a 1920 x 1080 picture copied
// one to one, enlarged twice and reduced by half, and a 256-colour
// picture expanded to true colour.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/gdi.h"

namespace {

constexpr int kW = 1920, kH = 1080;

double best_ms(const std::function<void()>& f, int runs = 15) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    if (ms < best) best = ms;
  }
  return best;
}

struct Dib {
  std::vector<uint8_t> info, bits;
  const PG_BITMAPINFOHEADER* header() const { return reinterpret_cast<const PG_BITMAPINFOHEADER*>(info.data()); }
};

Dib make_dib(int w, int h, int bpp) {
  Dib d;
  int colours = bpp == 8 ? 256 : 0;
  d.info.resize(40 + 4 * colours);
  PG_BITMAPINFOHEADER hd{};
  hd.biSize = 40;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biPlanes = 1;
  hd.biBitCount = uint16_t(bpp);
  std::memcpy(d.info.data(), &hd, 40);
  for (int i = 0; i < colours; ++i) {
    d.info[40 + 4 * i] = uint8_t(i);
    d.info[41 + 4 * i] = uint8_t(255 - i);
    d.info[42 + 4 * i] = uint8_t(i * 7);
  }
  int stride = (w * bpp + 31) / 32 * 4;
  d.bits.resize(size_t(stride) * h);
  for (size_t i = 0; i < d.bits.size(); ++i) d.bits[i] = uint8_t(i * 2654435761u >> 13);
  return d;
}

// The same pixels as a QImage, rows top first.
QImage image_of(const Dib& d, int w, int h, int bpp) {
  int stride = (w * bpp + 31) / 32 * 4;
  QImage::Format f = bpp == 32 ? QImage::Format_RGB32 : bpp == 24 ? QImage::Format_BGR888 : QImage::Format_Indexed8;
  QImage img(w, h, f);
  for (int y = 0; y < h; ++y) std::memcpy(img.scanLine(y), d.bits.data() + size_t(stride) * (h - 1 - y), size_t(w * bpp / 8));
  if (bpp == 8) {
    QList<QRgb> table;
    for (int i = 0; i < 256; ++i) table << qRgb(d.info[42 + 4 * i], d.info[41 + 4 * i], d.info[40 + 4 * i]);
    img.setColorTable(table);
  }
  return img;
}

void row(const char* what, double ours, double peer) {
  std::printf("%-44s %9.2f ms %9.2f ms %7.2fx\n", what, ours, peer, peer / ours);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  std::printf("%-44s %12s %12s %8s\n", "1920 x 1080", "layer", "QPainter", "ratio");
  for (int dst_bits : {32, 24}) {
    HDISPLAY disp = pg_display_create(dst_bits);
    HDC dc = pg_display_dc_create(disp, kW, kH);
    QImage target(kW, kH, dst_bits == 32 ? QImage::Format_RGB32 : QImage::Format_BGR888);
    for (int src_bits : {32, 24, 8}) {
      Dib d = make_dib(kW, kH, src_bits);
      QImage src = image_of(d, kW, kH, src_bits);
      char name[80];
      std::snprintf(name, sizeof name, "copy %d-bit DIB onto %d-bit", src_bits, dst_bits);
      double ours = best_ms([&] {
        pg_stretch_dib_bits(dc, 0, 0, kW, kH, 0, 0, kW, kH, d.bits.data(), d.header(), DIB_RGB_COLORS, SRCCOPY);
      });
      double peer = best_ms([&] {
        QPainter p(&target);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(0, 0, src);
      });
      row(name, ours, peer);
    }
    Dib half = make_dib(kW / 2, kH / 2, 24);
    QImage half_img = image_of(half, kW / 2, kH / 2, 24);
    double ours = best_ms([&] {
      pg_stretch_dib_bits(dc, 0, 0, kW, kH, 0, 0, kW / 2, kH / 2, half.bits.data(), half.header(), DIB_RGB_COLORS,
                          SRCCOPY);
    });
    double peer = best_ms([&] {
      QPainter p(&target);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(QRect(0, 0, kW, kH), half_img);
    });
    char name[80];
    std::snprintf(name, sizeof name, "enlarge 24-bit twice onto %d-bit", dst_bits);
    row(name, ours, peer);
    Dib full = make_dib(kW, kH, 24);
    QImage full_img = image_of(full, kW, kH, 24);
    ours = best_ms([&] {
      pg_stretch_dib_bits(dc, 0, 0, kW / 2, kH / 2, 0, 0, kW, kH, full.bits.data(), full.header(), DIB_RGB_COLORS,
                          SRCCOPY);
    });
    peer = best_ms([&] {
      QPainter p(&target);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(QRect(0, 0, kW / 2, kH / 2), full_img);
    });
    std::snprintf(name, sizeof name, "reduce 24-bit by half onto %d-bit", dst_bits);
    row(name, ours, peer);
    // Blits between DCs of the display's depth.
    HDC mem = pg_dc_create_compatible(dc);
    HBITMAP bm = pg_bitmap_create_compatible(dc, kW, kH);
    HBITMAP old = pg_bitmap_select(mem, bm);
    QImage other = target.copy();
    ours = best_ms([&] { pg_bit_blt(dc, 0, 0, kW, kH, mem, 0, 0, SRCCOPY); });
    peer = best_ms([&] {
      QPainter p(&target);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, other);
    });
    std::snprintf(name, sizeof name, "BitBlt SRCCOPY %d-bit", dst_bits);
    row(name, ours, peer);
    ours = best_ms([&] { pg_bit_blt(dc, 0, 0, kW, kH, mem, 0, 0, SRCINVERT); });
    peer = best_ms([&] {
      QPainter p(&target);
      p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      p.drawImage(0, 0, other);
    });
    std::snprintf(name, sizeof name, "BitBlt SRCINVERT (xor) %d-bit", dst_bits);
    row(name, ours, peer);
    pg_bitmap_select(mem, old);
    pg_bitmap_delete(bm);
    pg_dc_delete(mem);
    pg_dc_delete(dc);
    pg_display_delete(disp);
  }
  return 0;
}
