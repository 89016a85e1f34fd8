// RastView under a real X server: the test starts an Xvfb of its own, runs
// the program with its screenshot switch on a bundled sample and a broken
// file, and checks each picture it saved. Skipped where Xvfb is missing.
// The pictures stay in the build tree for a person to look at.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QtTest>

#include "screenshot_script.h"

namespace {

constexpr const char* kSample = RX_SOURCE_DIR "/app/samples/PHOTO.BMP";
// The file after it in the folder, which the transition brings in.
constexpr const char* kNext = RX_SOURCE_DIR "/app/samples/\xE9\xA2\xA8\xE6\x99\xAF.bmp";
const QString kShots = QStringLiteral(RX_SCREENSHOT_DIR);

QSet<QRgb> coloursOf(const QImage& image) {
  QSet<QRgb> colours;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x) colours.insert(row[x] | 0xFF000000u);
  }
  return colours;
}

}  // namespace

class RastViewScreens : public QObject {
  Q_OBJECT

 private:
  QProcess xvfb_;
  QString display_;
  QTemporaryDir dir_;

  bool startXvfb(const QString& program) {
    // A display number of our own, so that parallel runs do not meet.
    for (int n = 90 + static_cast<int>(QCoreApplication::applicationPid() % 100); n < 400; n += 7) {
      if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
          QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
        continue;
      display_ = QStringLiteral(":%1").arg(n);
      xvfb_.start(program, {display_, QStringLiteral("-screen"), QStringLiteral("0"),
                            QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
      if (!xvfb_.waitForStarted(5000)) return false;
      for (int i = 0; i < 100; ++i) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) return true;
        if (xvfb_.state() != QProcess::Running) break;
        QTest::qWait(50);
      }
      xvfb_.kill();
      xvfb_.waitForFinished(2000);
    }
    return false;
  }

 private slots:
  void initTestCase() {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) QSKIP("Xvfb is not installed");
    QVERIFY(dir_.isValid());
    QVERIFY2(startXvfb(program), "Xvfb did not start");
  }
  void cleanupTestCase() {
    if (xvfb_.state() == QProcess::Running) {
      xvfb_.terminate();
      if (!xvfb_.waitForFinished(3000)) xvfb_.kill();
    }
  }

  void theProgramSavesEveryStep() {
    QDir(kShots).removeRecursively();
    // The header and nothing after it: the reader must refuse it.
    QFile sample(QString::fromUtf8(kSample));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    const QString broken = dir_.filePath(QStringLiteral("broken.bmp"));
    QFile out(broken);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(sample.read(54));
    out.close();

    QProcess viewer;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    viewer.setProcessEnvironment(env);
    viewer.setProcessChannelMode(QProcess::ForwardedChannels);
    viewer.start(QStringLiteral(RX_RASTVIEW), {QStringLiteral("--screenshots"), kShots,
                                               QString::fromUtf8(kSample), broken});
    QVERIFY(viewer.waitForStarted(5000));
    QVERIFY2(viewer.waitForFinished(90000), "RastView did not finish its steps");
    QCOMPARE(viewer.exitStatus(), QProcess::NormalExit);
    QCOMPARE(viewer.exitCode(), 0);
  }

  // Each picture is the whole 1024 x 768 screen with more than a few
  // colours in it. Pictures are drawn at 24 bits, so the sample's colours
  // appear unchanged: the fitted picture shows most of them, and half-way
  // through the slide both pictures show a good share of theirs; the
  // refused file leaves the next picture showing in full.
  void everyPictureShowsSomething() {
    const QSet<QRgb> sampleColours = coloursOf(QImage(QString::fromUtf8(kSample)));
    const QSet<QRgb> nextColours = coloursOf(QImage(QString::fromUtf8(kNext)));
    QVERIFY(sampleColours.size() > 30);  // 62 in the sample
    QVERIFY(nextColours.size() > 4);
    for (const QString& name : rastview::ScreenshotScript::names()) {
      const QString file = QDir(kShots).filePath(name + QStringLiteral(".png"));
      QVERIFY2(QFileInfo::exists(file), qPrintable(file));
      const QImage shot(file);
      QVERIFY2(!shot.isNull(), qPrintable(file));
      QCOMPARE(shot.size(), QSize(1024, 768));
      const QSet<QRgb> colours = coloursOf(shot);
      QVERIFY2(colours.size() >= 8, qPrintable(name));
      const qsizetype shared = (colours & sampleColours).size();
      const qsizetype nextShared = (colours & nextColours).size();
      const QString counts = QStringLiteral("%1: %2 of %3 and %4 of %5 colours")
                                 .arg(name).arg(shared).arg(sampleColours.size())
                                 .arg(nextShared).arg(nextColours.size());
      if (name == QLatin1String("1-fit")) QVERIFY2(shared * 2 >= sampleColours.size(), qPrintable(counts));
      if (name == QLatin1String("4-transition"))
        QVERIFY2(shared * 4 >= sampleColours.size() && nextShared * 4 >= nextColours.size(), qPrintable(counts));
      // The refused file leaves the picture before it on the screen.
      if (name == QLatin1String("5-error-report")) QVERIFY2(nextShared == nextColours.size(), qPrintable(counts));
      qInfo("%s", qPrintable(counts));
    }
  }
};

QTEST_GUILESS_MAIN(RastViewScreens)
#include "test_rastview_screens.moc"
