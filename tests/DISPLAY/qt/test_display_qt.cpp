// Image windows painted by the display engine, shown through the Qt
// adapter on the offscreen platform. Screenshots land in the build tree
// for a person to look at: a photo fitted and centred in a window with
// scroll bars, a page of text shown reduced in 16 greys, and the photo
// zoomed and scrolled with the window's own scroll bar.
#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QSet>
#include <QtTest>
#include <vector>

#include "platform/qt_adapter.h"
#include "rastrix/rastrix.h"

namespace {

RX_HIMAGE g_image = 0;  // the image every test window shows

// The engine's image window: paints through the display engine, fits on
// resizing, scrolls with its bars.
LRESULT image_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  const uintptr_t window = reinterpret_cast<uintptr_t>(h);
  switch (m) {
    case WM_PAINT: {
      pw_paint ps{};
      HDC dc = pw_paint_begin(h, &ps);
      RX_display_image(g_image, reinterpret_cast<uintptr_t>(dc));
      pw_paint_end(h, &ps);
      return 0;
    }
    case WM_ERASEBKGND: return 1;  // the draw paints the background strips
    case WM_HSCROLL:
    case WM_VSCROLL:
      RX_display_scroll(g_image, window, m == WM_HSCROLL ? SB_HORZ : SB_VERT, PW_LOWORD(w), PW_HIWORD(w));
      return 0;
    default: return pw_window_proc_default(h, m, w, l);
  }
}

// A 640 x 480 picture: colour ramps, a grey wedge and a dark frame.
RX_HIMAGE photo() {
  const int w = 640, h = 480, stride = w * 3;
  std::vector<uint8_t> dib(40 + size_t(stride) * h);
  const RX_BITMAPINFOHEADER hd{40, w, h, 1, 24, 0, 0, 2835, 2835, 0, 0};
  std::memcpy(dib.data(), &hd, 40);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = dib.data() + 40 + size_t(h - 1 - y) * stride + 3 * x;
      const bool frame = x < 8 || y < 8 || x >= w - 8 || y >= h - 8;
      const bool wedge = y > 380 && y < 440;
      p[0] = frame ? 30 : wedge ? uint8_t(x * 255 / w) : uint8_t(255 - y * 255 / h);
      p[1] = frame ? 30 : wedge ? uint8_t(x * 255 / w) : uint8_t((x + y) * 255 / (w + h));
      p[2] = frame ? 30 : wedge ? uint8_t(x * 255 / w) : uint8_t(x * 255 / w);
    }
  RX_HIMAGE im = 0;
  RX_image_create_from_DIB(dib.data(), dib.size(), &im);
  return im;
}

// An 800 x 600 page of "text": rows of short black strokes on white.
RX_HIMAGE page() {
  const int w = 800, h = 600, stride = (w + 31) / 32 * 4;
  std::vector<uint8_t> dib(40 + 8 + size_t(stride) * h, 0xFF);
  const RX_BITMAPINFOHEADER hd{40, w, h, 1, 1, 0, 0, 11811, 11811, 0, 0};
  std::memcpy(dib.data(), &hd, 40);
  const uint8_t palette[8] = {0, 0, 0, 0, 255, 255, 255, 0};
  std::memcpy(dib.data() + 40, palette, 8);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int line = y % 24, col = x % 14;
      const bool ink = y > 40 && y < h - 40 && x > 40 && x < w - 40 && line > 6 && line < 18 &&
                       (col == 2 || col == 3 || (col < 10 && (line == 7 || line == 12 || line == 17))) &&
                       ((x / 70 + y / 24) % 5 != 0);
      if (ink) dib[40 + 8 + size_t(h - 1 - y) * stride + x / 8] &= uint8_t(~(0x80 >> (x % 8)));
    }
  RX_HIMAGE im = 0;
  RX_image_create_from_DIB(dib.data(), dib.size(), &im);
  RX_IP_convert_DIB_to_runs(im);
  return im;
}

void save(const QImage& img, const char* name) {
  QDir().mkpath(QStringLiteral(RX_UI_SCREENSHOT_DIR));
  QVERIFY(img.save(QStringLiteral(RX_UI_SCREENSHOT_DIR "/") + QLatin1String(name) + QStringLiteral(".png")));
}

QRgb pixel(RX_HIMAGE im, int x, int y) {
  uint8_t v[3] = {};
  RX_image_pixel_get(im, x, y, v);
  return qRgb(v[2], v[1], v[0]);
}

}  // namespace

class DisplayQt : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(RX_engine_start(0) == 1);
    pw_window_class c{};
    c.proc = image_proc;
    c.cursor = PW_CURSOR_ARROW;
    c.name = "DisplayImageWindow";
    QVERIFY(pw_class_register(&c) != 0);
    rxqt::start();
  }

  void cleanupTestCase() {
    rxqt::stop();
    RX_engine_stop();
  }

  void photoFittedAndCentred() {
    g_image = photo();
    QVERIFY(g_image != 0);
    HWND h = pw_window_create(0, "DisplayImageWindow", "Photo", WS_CAPTION | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL,
                              40, 40, 400, 260, nullptr, 0, nullptr);
    QVERIFY(h != nullptr);
    const uintptr_t window = reinterpret_cast<uintptr_t>(h);
    RX_display_aspect_set(g_image, RX_ASPECT_INSIDE);
    RX_display_centered_set(g_image, 0, 1);
    const RX_RGBQUAD grey{96, 96, 96, 0};
    RX_display_background_set(g_image, 0, nullptr, &grey, 1);
    QCOMPARE(RX_display_fit_set(g_image, window, nullptr, nullptr, 0), 0);
    pw_window_show(h, SW_SHOW);
    QPointer<QWidget> w = rxqt::widgetFor(h);
    QVERIFY(w != nullptr);
    QTRY_VERIFY(w->isVisible());
    rxqt::pump();
    QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The picture fills the height, centred, with grey strips at the sides.
    int32_t rect[4] = {};
    RX_display_device_rect_get(g_image, rect);
    pg_rect client{};
    pw_client_rect_get(h, &client);
    QCOMPARE(rect[3] - rect[1], client.bottom);
    QCOMPARE(shot.pixel(2, client.bottom / 2), qRgb(96, 96, 96));
    // A device pixel shows the image pixel the maps give it.
    const int dx = rect[0] + (rect[2] - rect[0]) / 2, dy = client.bottom / 3;
    int32_t ix = 0, iy = 0;
    RX_display_device_to_image(g_image, dx, dy, &ix, &iy);
    QCOMPARE(shot.pixel(dx, dy), pixel(g_image, ix, iy));
    save(shot, "display-photo-fitted");
    pw_window_destroy(h);
    RX_image_delete(g_image);
  }

  void pageInSixteenGreys() {
    g_image = page();
    HWND h = pw_window_create(0, "DisplayImageWindow", "Page", WS_CAPTION | WS_THICKFRAME, 60, 60, 208, 180, nullptr,
                              0, nullptr);
    const uintptr_t window = reinterpret_cast<uintptr_t>(h);
    RX_display_alias_set(g_image, 2, 75, 0);
    RX_display_aspect_set(g_image, RX_ASPECT_INSIDE);
    QCOMPARE(RX_display_fit_set(g_image, window, nullptr, nullptr, 0), 0);
    pw_window_show(h, SW_SHOW);
    QPointer<QWidget> w = rxqt::widgetFor(h);
    QTRY_VERIFY(w != nullptr && w->isVisible());
    rxqt::pump();
    QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> greys;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QRgb c = shot.pixel(x, y);
        QVERIFY(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c) && qRed(c) % 17 == 0);
        greys.insert(c);
      }
    save(shot, "display-page-greys");
    // Strokes partly covering the 4 x 4 cells give greys between black and white.
    QVERIFY2(greys.size() >= 5, qPrintable(QString::number(greys.size())));
    pw_window_destroy(h);
    RX_image_delete(g_image);
  }

  void zoomedAndScrolledByTheBar() {
    g_image = photo();
    HWND h = pw_window_create(0, "DisplayImageWindow", "Zoom", WS_CAPTION | WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL, 80,
                              80, 340, 260, nullptr, 0, nullptr);
    const uintptr_t window = reinterpret_cast<uintptr_t>(h);
    const int32_t actual[4] = {0, 0, 640, 480};
    QCOMPARE(RX_display_zoom_set(g_image, window, 200, actual), 0);
    pw_window_show(h, SW_SHOW);
    QPointer<QWidget> w = rxqt::widgetFor(h);
    QTRY_VERIFY(w != nullptr && w->isVisible());
    QScrollBar* vbar = nullptr;
    for (auto* b : w->findChildren<QScrollBar*>())
      if (b->orientation() == Qt::Vertical && b->isVisible()) vbar = b;
    QVERIFY(vbar != nullptr);
    vbar->setSliderPosition(600);
    vbar->triggerAction(QAbstractSlider::SliderMove);
    QTRY_COMPARE(pw_scroll_pos_get(h, SB_VERT), 600);
    rxqt::pump();
    int32_t rect[4] = {};
    RX_display_device_rect_get(g_image, rect);
    QCOMPARE(rect[1], -600);
    QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Device row 10 shows image row (600 + 10) / 2.
    QCOMPARE(shot.pixel(100, 10), pixel(g_image, (100 - rect[0]) / 2, 305));
    save(shot, "display-photo-zoomed");
    pw_window_destroy(h);
    RX_image_delete(g_image);
  }
};

QTEST_MAIN(DisplayQt)
#include "test_display_qt.moc"
