// The Qt adapter on the offscreen platform: a layer window shown and
// painted, Qt input, resizing, closing and timers turned into messages,
// embedding in a form, a template dialog built from real widgets, and the
// desktop services. Screenshots land in the build tree for a person.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>
#include <vector>

#include "platform/qt_adapter.h"

namespace {

struct Seen {
  HWND hwnd;
  uint32_t message;
  WPARAM w;
  LPARAM l;
};
std::vector<Seen> g_seen;

int count(uint32_t m) {
  int n = 0;
  for (auto& s : g_seen) n += s.message == m;
  return n;
}
Seen last(uint32_t m) {
  for (auto it = g_seen.rbegin(); it != g_seen.rend(); ++it)
    if (it->message == m) return *it;
  return Seen{nullptr, 0, 0, 0};
}

// Paints a small scene through the drawing layer: a stretched colour ramp,
// a hatched band, text and a focus frame.
void paint_scene(HWND h, HDC dc) {
  pg_rect c{};
  pw_client_rect_get(h, &c);
  std::vector<uint8_t> dib(40 + 64 * 3 * 2);
  PG_BITMAPINFOHEADER hd{};
  hd.biSize = 40;
  hd.biWidth = 64;
  hd.biHeight = 2;
  hd.biPlanes = 1;
  hd.biBitCount = 24;
  std::memcpy(dib.data(), &hd, 40);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = dib.data() + 40 + y * 192 + 3 * x;
      p[0] = uint8_t(255 - 4 * x);  // blue falls
      p[1] = uint8_t(y ? 200 : 60);
      p[2] = uint8_t(4 * x);  // red rises
    }
  pg_stretch_dib_bits(dc, 0, 0, c.right, c.bottom / 2, 0, 0, 64, 2, dib.data() + 40,
                      reinterpret_cast<const PG_BITMAPINFOHEADER*>(dib.data()), DIB_RGB_COLORS, SRCCOPY);
  pg_bk_colour_set(dc, PG_RGB(255, 255, 255));
  HBRUSH hatch = pg_brush_hatch_create(PG_HS_DIAGCROSS, PG_RGB(0, 0, 160));
  pg_rect band{0, c.bottom / 2, c.right, c.bottom};
  pg_rect_fill(dc, &band, hatch);
  pg_brush_delete(hatch);
  HFONT big = pg_font_create(20);
  HFONT old = pg_font_select(dc, big);
  pg_text_colour_set(dc, PG_RGB(0, 0, 0));
  pg_rect text{0, c.bottom / 2 + 10, c.right, c.bottom / 2 + 40};
  pg_text_draw(dc, "Rastrix window layer", -1, &text, PG_DT_CENTER);
  pg_font_select(dc, old);
  pg_font_delete(big);
  pg_rect frame{10, 10, c.right - 10, c.bottom / 2 - 10};
  pg_focus_rect_draw(dc, &frame);
}

LRESULT scene_proc(HWND h, uint32_t m, WPARAM w, LPARAM l) {
  g_seen.push_back(Seen{h, m, w, l});
  if (m == WM_PAINT) {
    pw_paint ps{};
    HDC dc = pw_paint_begin(h, &ps);
    paint_scene(h, dc);
    pw_paint_end(h, &ps);
    return 0;
  }
  if (m == WM_VSCROLL && PW_LOWORD(w) == SB_THUMBTRACK) pw_scroll_pos_set(h, SB_VERT, PW_HIWORD(w), 1);
  return pw_window_proc_default(h, m, w, l);
}

void save(const QImage& img, const char* name) {
  QDir().mkpath(QStringLiteral(RX_UI_SCREENSHOT_DIR));
  QVERIFY(img.save(QStringLiteral(RX_UI_SCREENSHOT_DIR "/") + QLatin1String(name) + QStringLiteral(".png")));
}

// Presses OK in whatever modal box shows up.
void accept_next_modal() {
  QTimer::singleShot(50, [] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      if (auto* box = qobject_cast<QMessageBox*>(w)) box->button(QMessageBox::Ok)->click();
    }
  });
}

const pw_dialog_item kReportItems[] = {
    {-1, "ICON", "", 7, 15, 18, 20, 0},
    {-1, "STATIC", "Error Stack:", 44, 14, 56, 9, 0},
    {209, "EDIT", "", 43, 28, 197, 105, PW_ES_MULTILINE | PW_ES_AUTOVSCROLL | PW_ES_AUTOHSCROLL},
    {1, "BUTTON", "&Close", 248, 13, 50, 14, PW_BS_DEFPUSHBUTTON},
    {210, "BUTTON", "&Save Log...", 248, 31, 49, 13, 0},
    {211, "BUTTON", "&To Clipboard", 248, 48, 49, 13, 0},
    {212, "BUTTON", "&Clear Log", 248, 65, 49, 13, 0}};
const pw_dialog_template kReport = {"Error Report", "MS Sans Serif", 8, 311, 147, kReportItems, 7};
int g_commands[300];
intptr_t report_proc(HWND, uint32_t m, WPARAM w, LPARAM) {
  if (m == WM_COMMAND && PW_LOWORD(w) < 300) ++g_commands[PW_LOWORD(w)];
  return m == WM_COMMAND && PW_LOWORD(w) == 212;
}

}  // namespace

class QtAdapter : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    pw_window_class c{};
    c.proc = scene_proc;
    c.cursor = PW_CURSOR_ARROW;
    c.background = pg_stock_brush(PG_WHITE_BRUSH);
    c.name = "TestSceneClass";
    QVERIFY(pw_class_register(&c) != 0);
    rxqt::start();
  }

  void cleanupTestCase() { rxqt::stop(); }

  void showsAndPaintsATopLevelWindow() {
    g_seen.clear();
    HWND h = pw_window_create(0, "TestSceneClass", "Layer window", WS_VISIBLE | WS_CAPTION | WS_THICKFRAME | WS_VSCROLL,
                              40, 40, 336, 262, nullptr, 0, nullptr);
    QVERIFY(h != nullptr);
    QPointer<QWidget> w = rxqt::widgetFor(h);
    QVERIFY(w != nullptr);
    QTRY_VERIFY(w->isVisible());
    QTRY_VERIFY(count(WM_PAINT) >= 1);
    // The widget is the client area and the bar: 336 - 8 by 262 - 8 - 18.
    QCOMPARE(w->size(), QSize(328, 236));
    pw_scroll_range_set(h, SB_VERT, 0, 50, 1);
    QImage shot = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage layer = static_cast<rxqt::LayerWindowWidget*>(w.data())->layerImage();
    QCOMPARE(layer.size(), QSize(312, 236));
    // The screen shows the layer's pixels.
    for (QPoint p : {QPoint(1, 1), QPoint(150, 50), QPoint(300, 200), QPoint(155, 130)})
      QCOMPARE(shot.pixel(p), layer.pixel(p));
    // The ramp: red rises to the right.
    QVERIFY(qRed(layer.pixel(300, 20)) > 200 && qRed(layer.pixel(2, 20)) < 20);
    save(shot, "layer-window");

    // Input becomes messages at client coordinates.
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    QTRY_COMPARE(count(WM_LBUTTONUP), 1);
    QCOMPARE(PW_GET_X_LPARAM(last(WM_LBUTTONDOWN).l), 30);
    QCOMPARE(PW_GET_Y_LPARAM(last(WM_LBUTTONDOWN).l), 40);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_PageDown);
    QTest::keyClick(w, '+');
    QTRY_VERIFY(count(WM_CHAR) >= 1);
    QCOMPARE(last(WM_KEYDOWN).w, WPARAM(VK_NEXT));
    QCOMPARE(last(WM_CHAR).w, WPARAM('+'));

    // The scroll bar is a real one and reports to the window.
    auto bars = w->findChildren<QScrollBar*>();
    QScrollBar* vbar = nullptr;
    for (auto* b : bars)
      if (b->orientation() == Qt::Vertical && b->isVisible()) vbar = b;
    QVERIFY(vbar != nullptr);
    QCOMPARE(vbar->maximum(), 50);
    vbar->setSliderPosition(20);
    vbar->triggerAction(QAbstractSlider::SliderMove);
    QTRY_VERIFY(count(WM_VSCROLL) >= 1);
    QCOMPARE(pw_scroll_pos_get(h, SB_VERT), 20);

    // Resizing the widget resizes the layer window.
    w->resize(400, 300);
    QTRY_COMPARE(PW_LOWORD(last(WM_SIZE).l), 384);
    QCOMPARE(PW_HIWORD(last(WM_SIZE).l), 300);

    // Layer timers run on Qt's event loop, by the real clock.
    pw_timer_set(h, 5, 10, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(count(WM_TIMER) >= 2, 5000);
    pw_timer_kill(h, 5);

    // Closing asks the window, whose default procedure destroys it.
    w->close();
    QTRY_VERIFY(count(WM_DESTROY) == 1);
    QTRY_VERIFY(w.isNull());
    QVERIFY(!pw_window_valid(h));
  }

  void embedsALayerWindowInAForm() {
    QWidget form;
    form.setWindowTitle(QStringLiteral("Form with a layer window"));
    auto* layout = new QVBoxLayout(&form);
    layout->addWidget(new QLabel(QStringLiteral("A Qt label above the layer window")));
    auto* host = new rxqt::LayerHost("TestSceneClass", &form);
    layout->addWidget(host);
    form.resize(300, 220);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    HWND h = host->hwnd();
    QVERIFY(pw_window_valid(h));
    pg_rect c{};
    QTRY_VERIFY(pw_client_rect_get(h, &c) && c.right == host->width() && c.bottom == host->height());
    QTRY_VERIFY(qRed(host->layerImage().pixel(host->width() - 3, 5)) > 200);
    save(form.grab().toImage(), "layer-host-in-form");
    form.resize(360, 260);
    QTRY_COMPARE(pw_client_rect_get(h, &c) ? c.right : 0, host->width());

    // The layer's screen points are the desktop's: a client point of the
    // hosted window lands where the widget shows it, after the form moves
    // too (the next press brings the window along).
    form.move(70, 90);
    QTest::mouseClick(host, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    pg_point s{5, 6};
    pw_client_to_screen(h, &s);
    QCOMPARE(QPoint(s.x, s.y), host->mapToGlobal(QPoint(5, 6)));
  }

  void aHostedChildWindowGetsRealScrollBars() {
    // A control's window (a child with both bars) at (10, 20) in a hosted
    // window: its 200 x 100 client area is followed by the bars, the
    // vertical one from (210, 20) down 100, the horizontal one from
    // (10, 120) across 200.
    QWidget form;
    auto* layout = new QVBoxLayout(&form);
    auto* host = new rxqt::LayerHost("TestSceneClass", &form);
    layout->addWidget(host);
    form.resize(320, 240);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const int bar = 16;
    HWND child = pw_window_create(0, "TestSceneClass", "", WS_CHILD | WS_VISIBLE | WS_HSCROLL | WS_VSCROLL, 10, 20,
                                  200 + bar, 100 + bar, host->hwnd(), 0, nullptr);
    QVERIFY(child != nullptr);
    pw_scroll_range_set(child, SB_VERT, 0, 300, 1);
    auto shown = [host](Qt::Orientation o) -> QScrollBar* {
      for (auto* b : host->findChildren<QScrollBar*>())
        if (b->orientation() == o && b->isVisibleTo(host)) return b;
      return nullptr;
    };
    QTRY_VERIFY(shown(Qt::Vertical) != nullptr);
    QCOMPARE(shown(Qt::Vertical)->geometry(), QRect(210, 20, bar, 100));
    QCOMPARE(shown(Qt::Horizontal)->geometry(), QRect(10, 120, 200, bar));

    // Keys go to the host's window until a press in the child gives it
    // the keyboard.
    g_seen.clear();
    QTest::keyClick(host, 'a');
    QTRY_COMPARE(count(WM_CHAR), 1);
    QCOMPARE(last(WM_CHAR).hwnd, host->hwnd());
    QTest::mouseClick(host, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    QTest::keyClick(host, 'b');
    QTRY_COMPARE(count(WM_CHAR), 2);
    QCOMPARE(last(WM_CHAR).hwnd, child);
    g_seen.clear();
    shown(Qt::Vertical)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QTRY_COMPARE(count(WM_VSCROLL), 1);
    QCOMPARE(PW_LOWORD(last(WM_VSCROLL).w), uint32_t(SB_PAGEDOWN));

    // They follow the window's moves, hide with it and go with it.
    pw_window_move(child, 30, 5, 200 + bar, 100 + bar, 1);
    QTRY_COMPARE(shown(Qt::Vertical)->geometry(), QRect(230, 5, bar, 100));
    pw_window_show(child, SW_HIDE);
    QTRY_VERIFY(shown(Qt::Vertical) == nullptr && shown(Qt::Horizontal) == nullptr);
    pw_window_show(child, SW_SHOW);
    QTRY_VERIFY(shown(Qt::Vertical) != nullptr);
    pw_window_destroy(child);
    QTRY_COMPARE(host->findChildren<QScrollBar*>().size(), 2);  // the host's own pair
  }

  void placesTopLevelWindowsWhereTheLayerPutsThem() {
    // A pop-up without a caption that the layer moves (a magnifier
    // following the pointer) moves on the screen, undecorated.
    HWND h = pw_window_create(0, "TestSceneClass", "", WS_POPUP | WS_VISIBLE, 120, 80, 50, 40, nullptr, 0, nullptr);
    QVERIFY(h != nullptr);
    QPointer<QWidget> w = rxqt::widgetFor(h);
    QVERIFY(w != nullptr);
    QTRY_VERIFY(w->isVisible());
    QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w->geometry(), QRect(120, 80, 50, 40));
    pw_window_move(h, 300, 210, 50, 40, 1);
    QTRY_COMPARE(w->geometry(), QRect(300, 210, 50, 40));
    pg_point s{0, 0};
    pw_client_to_screen(h, &s);
    QCOMPARE(QPoint(s.x, s.y), w->mapToGlobal(QPoint(0, 0)));
    pw_window_destroy(h);
    QTRY_VERIFY(w.isNull());
  }

  void buildsTemplateDialogsFromRealWidgets() {
    std::fill(std::begin(g_commands), std::end(g_commands), 0);
    HWND dlg = pw_dialog_create(&kReport, nullptr, report_proc, 0);
    QVERIFY(dlg != nullptr);
    auto* d = qobject_cast<rxqt::DialogWidget*>(rxqt::widgetFor(dlg));
    QVERIFY(d != nullptr);
    QTRY_VERIFY(d->isVisible());
    QCOMPARE(d->windowTitle(), QStringLiteral("Error Report"));
    QCOMPARE(d->size(), QSize(466, 220));
    pw_dialog_item_text_set(dlg, 209,
                            "[0] source\\filters\\Bmpread.cpp (120) Code=-2030 (0, 0)\r\nFile open failed\r\n");
    auto* edit = qobject_cast<QPlainTextEdit*>(d->item(209));
    QVERIFY(edit != nullptr);
    QVERIFY(edit->toPlainText().startsWith(QStringLiteral("[0] source")));
    save(d->grab().toImage(), "error-report-dialog");
    auto* clear = qobject_cast<QPushButton*>(d->item(212));
    QVERIFY(clear != nullptr);
    QCOMPARE(clear->text(), QStringLiteral("&Clear Log"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(g_commands[212], 1);
    // Typing in the edit reaches the item's text.
    edit->setPlainText(QStringLiteral("line one\nline two"));
    char text[64];
    pw_dialog_item_text_get(dlg, 209, text, sizeof text);
    QCOMPARE(QString::fromUtf8(text), QStringLiteral("line one\r\nline two"));
    QTest::mouseClick(qobject_cast<QPushButton*>(d->item(1)), Qt::LeftButton);
    QVERIFY(pw_dialog_ended(dlg, nullptr));
    QTRY_VERIFY(!d->isVisible());
    pw_window_destroy(dlg);
  }

  void backsTheServicesWithQt() {
    accept_next_modal();
    QCOMPARE(pw_message_box(nullptr, "Conversion finished.", "KaveloConvert", PW_MB_OK), int(PW_IDOK));
    // Text and pictures go both ways through the desktop's clipboard.
    QVERIFY(pw_clipboard_open(nullptr));
    pw_clipboard_empty();
    pw_clipboard_data_set(CF_TEXT, "hello", 6);
    pw_clipboard_close();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("hello"));
    QImage pic(3, 2, QImage::Format_RGB32);
    pic.fill(QColor(10, 20, 30));
    pic.setPixel(2, 0, qRgb(250, 0, 0));
    QGuiApplication::clipboard()->setImage(pic);
    QVERIFY(pw_clipboard_open(nullptr));
    size_t size = 0;
    auto* dib = static_cast<const uint8_t*>(pw_clipboard_data_get(CF_DIB, &size));
    QVERIFY(dib != nullptr);
    QCOMPARE(size, size_t(40 + 12 * 2));
    // Bottom-up: the top row is the last; pixel (2, 0) is blue, green, red.
    QCOMPARE(int(dib[40 + 12 + 6]), 0);
    QCOMPARE(int(dib[40 + 12 + 8]), 250);
    QCOMPARE(int(dib[40 + 0]), 30);
    pw_clipboard_close();
  }
};

QTEST_MAIN(QtAdapter)
#include "test_qt_adapter.moc"
