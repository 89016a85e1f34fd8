// RastView's window on the offscreen platform, driven as a person would:
// files opened, stepped through and refused, pages, zoom, a transition, a
// dropped file and the pointer's position. Expected sizes and depths are
// read by hand from the samples' BMP headers (width at byte 18, height at
// 22, bit count at 28) and TIFF directories; the file order is worked out
// by hand from the names.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

#include "folder_files.h"
#include "main_window.h"
#include "platform/qt_adapter.h"
#include "tone_dialog.h"
#include "view_actions.h"
#include "view_control.h"

using rastview::MainWindow;

namespace {

QString source(const char* relative) { return QStringLiteral(RX_SOURCE_DIR "/") + QLatin1String(relative); }

QString statusTexts(QMainWindow& w) {
  QStringList texts;
  for (auto* label : w.statusBar()->findChildren<QLabel*>()) texts << label->text();
  return texts.join(QLatin1Char('|'));
}

rxqt::DialogWidget* errorReport() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<rxqt::DialogWidget*>(w); d && d->windowTitle() == QLatin1String("Error Report"))
      return d;
  return nullptr;
}

}  // namespace

class RastViewWindow : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QTemporaryDir elsewhere_;
  std::unique_ptr<MainWindow> window_;
  QString path(const QString& name) const { return dir_.filePath(name); }
  QAction* findAction(const QString& text) const {
    for (QAction* a : window_->findChildren<QAction*>())
      if (a->text() == text) return a;
    return nullptr;
  }

 private slots:
  void initTestCase() {
    rxqt::start();
    QVERIFY(dir_.isValid() && elsewhere_.isValid());
    for (const char* name : {"PHOTO.BMP", "colour-wheel.bmp", "grey-checks.bmp", "\xE9\xA2\xA8\xE6\x99\xAF.bmp"})
      QVERIFY(QFile::copy(source("app/samples/") + QString::fromUtf8(name), path(QString::fromUtf8(name))));
    QVERIFY(QFile::copy(source("tests/data/tiff/peer/im_pages3.tif"), path(QStringLiteral("im_pages3.tif"))));
    // Not an image: skipped when stepping through the folder.
    QFile notes(path(QStringLiteral("notes.txt")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not a picture\n");
    notes.close();
    // A BMP cut off inside its header, in a folder of its own.
    QFile photo(source("app/samples/PHOTO.BMP"));
    QVERIFY(photo.open(QIODevice::ReadOnly));
    QFile broken(elsewhere_.filePath(QStringLiteral("broken.bmp")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(photo.read(30));
  }
  void cleanupTestCase() { rxqt::stop(); }

  void init() {
    com::HRESULT result = com::S_OK;
    auto control = rastview::ViewControl::create(&result);
    QVERIFY2(control != nullptr, "the control is not registered");
    window_ = std::make_unique<MainWindow>(std::move(control));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }
  void cleanup() { window_.reset(); }

  void theStatusBarDescribesTheImage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("24-bit") << "PHOTO.BMP" << "120 x 80, 24 bpp, BMP";
    QTest::newRow("8-bit") << "grey-checks.bmp" << "72 x 48, 8 bpp, BMP";
    QTest::newRow("non-ASCII name") << QString::fromUtf8("\xE9\xA2\xA8\xE6\x99\xAF.bmp") << "96 x 64, 8 bpp, BMP";
    // The first page of the TIFF file: 45 x 29 RGB, 8 bits a sample.
    QTest::newRow("TIFF") << "im_pages3.tif" << "45 x 29, 24 bpp, TIF";
  }
  void theStatusBarDescribesTheImage() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QVERIFY(window_->openFile(path(name)));
    QVERIFY2(statusTexts(*window_).contains(expected), qPrintable(statusTexts(*window_)));
    QCOMPARE(window_->windowTitle(), QStringLiteral("RastView - ") + name);
  }

  // Case is ignored, so PHOTO.BMP sits between im_pages3.tif and the
  // non-ASCII name, whose first character sorts after every ASCII one;
  // notes.txt is left out; both ends wrap round.
  void nextAndPreviousFollowTheNameOrder() {
    QVERIFY(window_->openFile(path(QStringLiteral("colour-wheel.bmp"))));
    const QStringList forward = {QStringLiteral("grey-checks.bmp"), QStringLiteral("im_pages3.tif"),
                                 QStringLiteral("PHOTO.BMP"), QString::fromUtf8("\xE9\xA2\xA8\xE6\x99\xAF.bmp"),
                                 QStringLiteral("colour-wheel.bmp")};
    for (const QString& name : forward) {
      QVERIFY(window_->stepFile(1));
      QCOMPARE(QFileInfo(window_->currentFile()).fileName(), name);
    }
    QVERIFY(window_->stepFile(-1));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QString::fromUtf8("\xE9\xA2\xA8\xE6\x99\xAF.bmp"));
    QVERIFY(window_->stepFile(-1));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QStringLiteral("PHOTO.BMP"));
    QVERIFY(window_->imageText().startsWith(QStringLiteral("120 x 80, 24 bpp")));
  }

  // Pages 2 and 3 of the file are 8-bit grey; paging stops at both ends.
  void pagesOfAMultiPageFile() {
    QVERIFY(window_->openFile(path(QStringLiteral("im_pages3.tif"))));
    QCOMPARE(window_->pageCount(), 3);
    QCOMPARE(window_->page(), 1);
    QVERIFY(!window_->stepPage(-1));
    QVERIFY(window_->stepPage(1));
    QVERIFY2(statusTexts(*window_).contains(QStringLiteral("45 x 29, 8 bpp, TIF, page 2 of 3")),
             qPrintable(statusTexts(*window_)));
    QVERIFY(window_->stepPage(1));
    QCOMPARE(window_->page(), 3);
    QVERIFY(!window_->stepPage(1));
    QCOMPARE(window_->page(), 3);
    QVERIFY(window_->stepPage(-1));
    QCOMPARE(window_->page(), 2);
    // A single-page file has no pages to step through.
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QVERIFY(!window_->stepPage(1));
    QVERIFY(!statusTexts(*window_).contains(QStringLiteral("page")));
  }

  // The refused file leaves the picture, its description and its place in
  // the folder; the control's report holds one block for the one failure.
  void aFailedOpenKeepsThePreviousImage() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QVERIFY(!window_->openFile(elsewhere_.filePath(QStringLiteral("broken.bmp"))));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QStringLiteral("PHOTO.BMP"));
    QVERIFY(statusTexts(*window_).contains(QStringLiteral("120 x 80, 24 bpp, BMP")));
    QCOMPARE(window_->control().getLong(rastview::dispid::ImageWidth), 120);
    rxqt::DialogWidget* report = errorReport();
    QVERIFY(report != nullptr);
    QTRY_VERIFY(report->isVisible());
    auto* text = qobject_cast<QPlainTextEdit*>(report->item(209));
    QVERIFY(text != nullptr);
    const QString log = text->toPlainText();
    // A block is the numbered lines of one failure and then an empty line.
    QVERIFY2(log.startsWith(QStringLiteral("[0] ")), qPrintable(log));
    QCOMPARE(log.count(QStringLiteral("\n\n")), 1);
    QVERIFY(log.endsWith(QStringLiteral("\n\n")));
    // Paging and stepping go on from the picture still shown.
    QVERIFY(window_->stepFile(1));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QString::fromUtf8("\xE9\xA2\xA8\xE6\x99\xAF.bmp"));
  }

  // After a fit the zoom is 100; the table goes 100, 150, 200 and back.
  void zoomInTwiceThenOut() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 100);
    auto* host = static_cast<rxqt::LayerWindowWidget*>(window_->controlHost());
    const QImage fitted = host->layerImage();
    window_->zoom(1);
    window_->zoom(1);
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 200);
    QTRY_VERIFY(host->layerImage() != fitted);
    window_->zoom(-1);
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 150);
    QVERIFY(statusTexts(*window_).contains(QStringLiteral("150 %")));
    window_->zoomActual();
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 100);
    // "+" typed in the picture is the window's own step of 25.
    QTest::keyClick(window_->controlHost(), '+');
    QTRY_VERIFY(statusTexts(*window_).contains(QStringLiteral("125 %")));
  }

  // The transition ends on the next file of the folder, described in full.
  void aTransitionShowsTheNextFile() {
    QVERIFY(window_->openFile(path(QStringLiteral("colour-wheel.bmp"))));
    QVERIFY(window_->showWithEffect(0));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QStringLiteral("grey-checks.bmp"));
    QVERIFY(statusTexts(*window_).contains(QStringLiteral("72 x 48, 8 bpp, BMP")));
    QCOMPARE(window_->control().getLong(rastview::dispid::ImageIndex), 1);
    // And the next one after it, by another effect.
    QVERIFY(window_->showWithEffect(10));
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QStringLiteral("im_pages3.tif"));
    QCOMPARE(window_->pageCount(), 3);
  }

  void aFileDroppedOnThePictureOpens() {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path(QStringLiteral("grey-checks.bmp")))});
    QWidget* host = window_->controlHost();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(host, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(host, &drop);
    QCOMPARE(QFileInfo(window_->currentFile()).fileName(), QStringLiteral("grey-checks.bmp"));
  }

  // Fitted over the whole place, the middle of the picture lies under the
  // middle of the control's window: pixel 60, 40 of 120 x 80 (59 or 39
  // when the fitted size rounds down to an odd number of pixels).
  void thePointerPositionComesFromTheControlsEvents() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QWidget* host = window_->controlHost();
    QTest::mouseMove(host, QPoint(host->width() / 2, host->height() / 2));
    QTRY_VERIFY(!window_->positionText().isEmpty());
    const int32_t x = window_->control().getLong(rastview::dispid::ImagePosX);
    const int32_t y = window_->control().getLong(rastview::dispid::ImagePosY);
    QVERIFY2(x >= 59 && x <= 60 && y >= 39 && y <= 40, qPrintable(QStringLiteral("%1 %2").arg(x).arg(y)));
    QTRY_VERIFY(statusTexts(*window_).contains(QStringLiteral("X %1  Y %2").arg(x).arg(y)));
    // The far corner is limited to the last pixel.
    QTest::mouseMove(host, QPoint(host->width() - 1, host->height() - 1));
    QTRY_COMPARE(window_->control().getLong(rastview::dispid::ImagePosX), 119);
    QCOMPARE(window_->control().getLong(rastview::dispid::ImagePosY), 79);
  }

  // Select and zoom: a drag over the top-left quarter of the fitted
  // picture selects a quarter of the image, and the zoom to it is about
  // 200 % (a pixel either way of rounding at the rectangle's edges).
  void aDraggedRectangleZoomsAndTheStatusFollows() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QAction* select = findAction(QStringLiteral("&Select and zoom"));
    QVERIFY(select != nullptr);
    select->trigger();
    QWidget* host = window_->controlHost();
    const QPoint end(host->width() / 2, host->height() / 2);
    // (0, 0) would mean the middle to QTest.
    QTest::mousePress(host, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    // Moves with the button held, as a drag sends them.
    for (const QPoint& p : {end / 2, end}) {
      QMouseEvent move(QEvent::MouseMove, QPointF(p), host->mapToGlobal(QPointF(p)), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(host, &move);
    }
    QTest::mouseRelease(host, Qt::LeftButton, Qt::NoModifier, end);
    QTRY_VERIFY(window_->control().getLong(rastview::dispid::ZoomLevel) != 100);
    const int32_t zoom = window_->control().getLong(rastview::dispid::ZoomLevel);
    QVERIFY2(zoom >= 190 && zoom <= 215, qPrintable(QString::number(zoom)));
    QTRY_VERIFY(statusTexts(*window_).contains(QStringLiteral(", %1 %").arg(zoom)));
  }

  // The control's place follows the window. A fitted picture is fitted
  // again to the new size: the fit stretches it over the whole place
  // (aspect mode 0), so its right and bottom edges are the place's. A
  // zoomed picture keeps its zoom and the scroll bars it brought out.
  void theControlFollowsResizes() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QWidget* host = window_->controlHost();
    const QSize before = host->size();
    window_->resize(window_->width() + 160, window_->height() + 100);
    QTRY_COMPARE(host->size(), before + QSize(160, 100));
    const HWND view = reinterpret_cast<HWND>(window_->control().window());
    pg_rect client{};
    pw_client_rect_get(view, &client);
    QCOMPARE(client.right, host->width());
    QCOMPARE(client.bottom, host->height());
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 100);
    QCOMPARE(window_->control().getLong(rastview::dispid::DeviceRectRight), host->width());
    QCOMPARE(window_->control().getLong(rastview::dispid::DeviceRectBottom), host->height());

    window_->zoom(1);
    window_->zoom(1);
    const uint32_t bars = WS_HSCROLL | WS_VSCROLL;
    QCOMPARE(pw_window_style_get(view) & bars, bars);
    window_->resize(window_->width() - 100, window_->height() - 60);
    QTRY_COMPARE(host->size(), before + QSize(60, 40));
    QCOMPARE(window_->control().getLong(rastview::dispid::ZoomLevel), 200);
    QCOMPARE(pw_window_style_get(view) & bars, bars);
  }

  // Turning by quarter turns works at any depth and swaps the sides.
  void rotationTurnsThePicture() {
    QVERIFY(window_->openFile(path(QStringLiteral("grey-checks.bmp"))));
    window_->rotate(90);
    QVERIFY2(statusTexts(*window_).contains(QStringLiteral("48 x 72, 8 bpp")), qPrintable(statusTexts(*window_)));
    window_->rotate(270);
    QVERIFY(statusTexts(*window_).contains(QStringLiteral("72 x 48, 8 bpp")));
    QCOMPARE(window_->control().getLong(rastview::dispid::ErrCount), 0);
  }

  // Menu entries reach the control by their property writes: the Tools
  // switches on and off, a View choice, and the tone sliders in hundredths
  // (the control keeps gamma within 0..3).
  void menusWriteTheControl() {
    QVERIFY(window_->openFile(path(QStringLiteral("PHOTO.BMP"))));
    QAction* select = findAction(QStringLiteral("&Select and zoom"));
    QVERIFY(select != nullptr);
    select->trigger();
    QCOMPARE(window_->control().getLong(rastview::dispid::SelectEvent), 2);
    select->trigger();
    QCOMPARE(window_->control().getLong(rastview::dispid::SelectEvent), 0);
    QAction* hand = findAction(QStringLiteral("&Hand panning"));
    QVERIFY(hand != nullptr);
    hand->trigger();
    QVERIFY(window_->control().getLong(rastview::dispid::HandPanning) != 0);
    QAction* height = findAction(QStringLiteral("Fit &height"));
    QVERIFY(height != nullptr);
    height->trigger();
    QCOMPARE(window_->control().getLong(rastview::dispid::FitMethod), 2);
    int effects = 0;
    for (int i = 0; i < rastview::kEffectCount; ++i)
      effects += findAction(QString::fromUtf8(rastview::effectName(i))) != nullptr;
    QCOMPARE(effects, 11);

    rastview::ToneDialog tone(window_->control());
    tone.gamma()->setValue(150);
    QCOMPARE(window_->control().getDouble(rastview::dispid::DisplayGamma), 1.5);
    tone.contrast()->setValue(250);
    QCOMPARE(window_->control().getDouble(rastview::dispid::DisplayContrast), 2.5);
    tone.brightness()->setValue(-40);
    QCOMPARE(window_->control().getDouble(rastview::dispid::DisplayBrightness), -40.0);
    window_->control().putDouble(rastview::dispid::DisplayGamma, 5.0);
    tone.refresh();
    QCOMPARE(tone.gamma()->value(), 300);
  }
};

// The folder order and the zoom table, as pure functions.
class RastViewRules : public QObject {
  Q_OBJECT

 private slots:
  void neighbourWrapsAndSkipsMissing() {
    const QStringList files = {QStringLiteral("/f/a.bmp"), QStringLiteral("/f/B.png"), QStringLiteral("/f/c.tif")};
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/a.bmp"), 1), QStringLiteral("/f/B.png"));
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/c.tif"), 1), QStringLiteral("/f/a.bmp"));
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/a.bmp"), -1), QStringLiteral("/f/c.tif"));
    // A file that is gone (or not viewable) counts from where it stood.
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/b0.txt"), 1), QStringLiteral("/f/c.tif"));
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/b0.txt"), -1), QStringLiteral("/f/B.png"));
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/z.txt"), 1), QStringLiteral("/f/a.bmp"));
    QCOMPARE(rastview::neighbour(files, QStringLiteral("/f/0.txt"), -1), QStringLiteral("/f/c.tif"));
    // Nowhere to go.
    QCOMPARE(rastview::neighbour({QStringLiteral("/f/a.bmp")}, QStringLiteral("/f/a.bmp"), 1), QString());
    QCOMPARE(rastview::neighbour({}, QStringLiteral("/f/a.bmp"), 1), QString());
  }
  void nameOrderIgnoresCaseButIsTotal() {
    QVERIFY(rastview::nameBefore(QStringLiteral("a.bmp"), QStringLiteral("B.bmp")));
    QVERIFY(!rastview::nameBefore(QStringLiteral("B.bmp"), QStringLiteral("a.bmp")));
    // Equal but for case: upper case (0x42) first, never both ways.
    QVERIFY(rastview::nameBefore(QStringLiteral("B.bmp"), QStringLiteral("b.bmp")));
    QVERIFY(!rastview::nameBefore(QStringLiteral("b.bmp"), QStringLiteral("B.bmp")));
    QVERIFY(rastview::isViewable(QStringLiteral("X.TIFF")));
    QVERIFY(!rastview::isViewable(QStringLiteral("bmp")));
    QVERIFY(!rastview::isViewable(QStringLiteral("notes.txt")));
  }
  void zoomStepsAlongTheTable() {
    QCOMPARE(rastview::zoomStep(100, 1), 150);
    QCOMPARE(rastview::zoomStep(100, -1), 75);
    QCOMPARE(rastview::zoomStep(120, 1), 150);  // off the table
    QCOMPARE(rastview::zoomStep(120, -1), 100);
    QCOMPARE(rastview::zoomStep(1600, 1), 1600);  // the ends hold
    QCOMPARE(rastview::zoomStep(10, -1), 10);
    QCOMPARE(rastview::zoomStep(5, -1), 5);  // never out to a larger zoom
    QCOMPARE(rastview::zoomStep(5, 1), 10);
    QCOMPARE(rastview::zoomStep(5000, 1), 5000);
    QCOMPARE(rastview::zoomStep(5000, -1), 1600);
  }
};

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RastViewRules rules;
  RastViewWindow window;
  int failed = QTest::qExec(&rules, argc, argv);
  failed += QTest::qExec(&window, argc, argv);
  return failed;
}

#include "test_rastview.moc"
