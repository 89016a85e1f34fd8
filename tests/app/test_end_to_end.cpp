// The program with the real imaging control, created through the component
// model as the program does it; the engine's reader checks the JPEG files
// it leaves behind.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app_test_support.h"
#include "form1.h"
#include "platform/qt_adapter.h"
#include "rast_host.h"
#include "rastrix/rastrix.h"

namespace kavelo::test {

namespace {

struct Decoded {
  int32_t format = -1;
  int32_t width = 0;
  int32_t height = 0;
};

Decoded decode(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  Decoded d;
  int32_t compression = 0;
  RX_BITMAPINFOHEADER header{};
  if (RX_file_info_get(name.constData(), &d.format, &compression, &header) != 0) d.format = -1;
  RX_HIMAGE image{};
  if (RX_image_load_file(name.constData(), &image) == 0) {
    int32_t bits = 0;
    RX_image_dimensions_get(image, &d.width, &d.height, &bits);
    RX_image_delete(image);
  }
  return d;
}

}  // namespace

class EndToEndTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<Form1> form_;

  void open(const QString& folder) {
    com::HRESULT result = com::S_OK;
    std::unique_ptr<RastHost> control = RastHost::create(&result);
    QVERIFY2(control, qPrintable(QStringLiteral("cannot create %1: 0x%2 (XDG_CONFIG_HOME=%3)")
                                     .arg(QLatin1String(kRastClassName))
                                     .arg(uint32_t(result), 8, 16, QLatin1Char('0'))
                                     .arg(qEnvironmentVariable("XDG_CONFIG_HOME"))));
    form_ = std::make_unique<Form1>(std::move(control), folder);
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
  }
  template <typename T>
  T* child(const char* name) {
    return form_->findChild<T*>(QString::fromLatin1(name));
  }

 private slots:
  void initTestCase() { QVERIFY(RX_engine_start(0) != 0); }
  void cleanupTestCase() { RX_engine_stop(); }
  void cleanup() { form_.reset(); }

  // The control shows in its 17 x 17 place: its own window is the one
  // child of the place's layer window, and it is the control's window.
  void controlShowsInItsPlace() {
    open(dir_.path());
    if (QTest::currentTestFailed()) return;
    auto* place = child<rxqt::LayerWindowWidget>("Rast1");
    QVERIFY(place);
    HWND inner = pw_window_child(place->hwnd(), 0);
    QVERIFY(inner != nullptr);
    QCOMPARE(pw_window_child(place->hwnd(), 1), static_cast<HWND>(nullptr));
    pg_rect r{};
    pw_window_rect_get(inner, &r);
    QCOMPARE(r.right - r.left, 17);
    QCOMPARE(r.bottom - r.top, 17);
    QVERIFY(pw_window_style_get(inner) & WS_CHILD);
    // Closing the form takes the control's window with it.
    const int32_t before = pw_window_count();
    form_.reset();
    QVERIFY(pw_window_count() <= before - 2);
  }

  void selectedFilesBecomeJpegsAndABrokenOneGetsNone() {
    const QString top = dir_.filePath(QStringLiteral("run"));
    QDir().mkpath(top);
    const struct {
      QString name;
      int width, height;
    } good[] = {{"a.bmp", 40, 30}, {"PHOTO.BMP", 33, 17}, {"写真.bmp", 16, 24}};
    for (const auto& s : good) writeBmp(top + '/' + s.name, s.width, s.height);
    // Next in list order after a.bmp: without clearing the control first,
    // it would be saved with a.bmp's picture.
    writeBytes(top + "/broken.bmp", QByteArray("BM") + QByteArray(60, '\x7f'));
    writeBmp(top + "/skipped.bmp", 8, 8);
    writeBytes(top + "/a.jpg", "stale");  // replaced without a question

    open(top);
    if (QTest::currentTestFailed()) return;
    for (const char* name : {"a.bmp", "broken.bmp", "PHOTO.BMP", "写真.bmp"}) {
      const auto found = child<QListWidget>("File1")->findItems(QString::fromUtf8(name), Qt::MatchExactly);
      QCOMPARE(found.size(), 1);
      found.first()->setSelected(true);
    }
    auto* slider = child<QSlider>("Slider1");
    QList<int> progress;
    connect(form_.get(), &Form1::fileConverted, this, [&](int percent) {
      if (slider->isVisible() && form_->height() == 240) progress << percent;
    });
    MessageWatcher watcher;
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);

    for (const auto& s : good) {
      const QString output = s.name.chopped(4) + ".jpg";
      const Decoded d = decode(top + '/' + output);
      QVERIFY2(d.format == RX_FORMAT_JPEG, qPrintable(output));
      QCOMPARE(d.width, s.width);
      QCOMPARE(d.height, s.height);
    }
    QCOMPARE(QDir(top).entryList({"*.jpg"}, QDir::Files, QDir::Name | QDir::IgnoreCase),
             (QStringList{"a.jpg", "PHOTO.jpg", "写真.jpg"}));
    QCOMPARE(progress, (QList<int>{25, 50, 75, 100}));
    QVERIFY(!slider->isVisible());
    QCOMPARE(form_->height(), 213);
    QCOMPARE(watcher.seen.size(), 1);
    QCOMPARE(watcher.seen[0].caption, QStringLiteral("KaveloConverter"));
    QCOMPARE(watcher.seen[0].text, QStringLiteral("JPEGに変換しました。"));
    QVERIFY(watcher.seen[0].plainOk);
  }

  void noSelectionWritesNothingAndStillReports() {
    const QString top = dir_.filePath(QStringLiteral("none"));
    QDir().mkpath(top);
    writeBmp(top + "/a.bmp", 8, 8);
    open(top);
    if (QTest::currentTestFailed()) return;
    HeightLog log;
    form_->installEventFilter(&log);
    MessageWatcher watcher;
    QTest::mouseClick(child<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(QDir(top).entryList(QDir::Files), QStringList{"a.bmp"});
    QCOMPARE(log.heights, (QList<int>{240, 213}));  // grows, then shrinks
    QCOMPARE(watcher.seen.size(), 1);
    QCOMPARE(watcher.seen[0].text, QStringLiteral("JPEGに変換しました。"));
  }
};

}  // namespace kavelo::test

QTEST_MAIN(kavelo::test::EndToEndTest)
#include "test_end_to_end.moc"
