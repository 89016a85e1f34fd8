// The control's error report window and about box on a Qt desktop
// (offscreen): built from real widgets by the adapter, driven with Qt's
// mouse, and shot into the build tree for a person to look at.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "RastCtl.h"
#include "platform/qt_adapter.h"
#include "rast_about_box.h"
#include "rast_dispids.h"
#include "rast_error_window.h"

namespace {

// The texts of a dialog's labels, items without ids included.
QStringList label_texts(QWidget* d) {
  QStringList out;
  for (auto* l : d->findChildren<QLabel*>()) out << l->text();
  return out;
}

void save(const QImage& img, const char* name) {
  QDir().mkpath(QStringLiteral(RX_UI_SCREENSHOT_DIR));
  QVERIFY(img.save(QStringLiteral(RX_UI_SCREENSHOT_DIR "/") + QLatin1String(name) + QStringLiteral(".png")));
}

void put_i4(rast::CRastCtrl& c, int32_t id, int32_t v) {
  com::VARIANT x;
  com::VariantInit(&x);
  x.vt = com::VT_I4;
  x.lVal = v;
  QCOMPARE(c.put(id, x), com::S_OK);
}

void put_str(rast::CRastCtrl& c, int32_t id, const char* s) {
  com::VARIANT x;
  com::VariantInit(&x);
  x.vt = com::VT_BSTR;
  x.bstrVal = com::SysAllocString(s);
  QCOMPARE(c.put(id, x), com::S_OK);
  com::VariantClear(&x);
}

}  // namespace

class RastDialogsQt : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    rxqt::start();
    QVERIFY(RX_engine_start(0x1234) == 1);
  }
  void cleanupTestCase() {
    RX_engine_stop();
    rxqt::stop();
  }

  void theErrorReportIsARealDialog() {
    void* out = nullptr;
    QCOMPARE(rast::CRastCtrl::create(com::IID_IDispatch, &out), com::S_OK);
    auto* ctrl = static_cast<rast::CRastCtrl*>(static_cast<com::IDispatch*>(out));
    put_i4(*ctrl, rast::kDispDebugLevel, 1);
    put_str(*ctrl, rast::kDispLoadImage, "/nonexistent/folder/missing.bmp");
    put_str(*ctrl, rast::kDispLoadImage, "/nonexistent/folder/missing.bmp");
    auto window = reinterpret_cast<HWND>(ctrl->error_report().window());
    QVERIFY(window != nullptr);
    auto* d = qobject_cast<rxqt::DialogWidget*>(rxqt::widgetFor(window));
    QVERIFY(d != nullptr);
    QTRY_VERIFY(d->isVisible());
    QCOMPARE(d->windowTitle(), QStringLiteral("Error Report"));
    // 311 x 147 dialog units at 6 / 4 and 12 / 8 pixels a unit.
    QCOMPARE(d->size(), QSize(466, 220));
    auto* edit = qobject_cast<QPlainTextEdit*>(d->item(rast::kErrorTextId));
    QVERIFY(edit != nullptr);
    QString shown = QString::fromStdString(ctrl->error_report().text());
    shown.remove(QLatin1Char('\r'));
    QCOMPARE(edit->toPlainText(), shown);
    // The label has no id of its own: it keeps its text, not the icon's.
    QVERIFY(label_texts(d).contains(QStringLiteral("Error Stack:")));
    save(d->grab().toImage(), "control-error-report");
    // Close with the mouse: hidden, not destroyed; the next error shows it.
    auto* close = qobject_cast<QPushButton*>(d->item(rast::kErrorCloseId));
    QVERIFY(close != nullptr);
    QCOMPARE(close->text(), QStringLiteral("&Close"));
    QTest::mouseClick(close, Qt::LeftButton);
    QTRY_VERIFY(!d->isVisible());
    QVERIFY(pw_window_valid(window));
    put_str(*ctrl, rast::kDispLoadImage, "/nonexistent/folder/missing.bmp");
    QTRY_VERIFY(d->isVisible());
    QVERIFY(ctrl->Release() == 0);
    QVERIFY(!pw_window_valid(window));
  }

  void theAboutBoxIsARealModalDialog() {
    QString version, path;
    QStringList labels;
    // The box runs its own loop: a timer finds it shown, reads it and
    // presses OK (after five seconds without it the loop is left to fail).
    QTimer look;
    int tries = 0;
    connect(&look, &QTimer::timeout, this, [&] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<rxqt::DialogWidget*>(w);
        if (d == nullptr || !d->isVisible() || d->windowTitle() != QStringLiteral("About Rastrix OCX-32")) continue;
        look.stop();
        if (auto* l = qobject_cast<QLabel*>(d->item(rast::kAboutVersionId))) version = l->text();
        if (auto* l = qobject_cast<QLabel*>(d->item(rast::kAboutPathId))) path = l->text();
        labels = label_texts(d);
        save(d->grab().toImage(), "control-about-box");
        QTest::mouseClick(qobject_cast<QPushButton*>(d->item(rast::kAboutOkId)), Qt::LeftButton);
        return;
      }
      if (++tries > 250) {
        look.stop();
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* d = qobject_cast<rxqt::DialogWidget*>(w)) pw_dialog_end(d->dialog(), 0);
      }
    });
    look.start(20);
    rast::AboutTexts texts;
    texts.version = "Version 6.03.001";
    texts.build_date = "Build date:  Dec  9 2026";
    texts.module_path = "/usr/lib/librast32po.so";
    QCOMPARE(rast::about_box_run(texts), intptr_t{1});
    QCOMPARE(version, QStringLiteral("Version 6.03.001"));
    QCOMPARE(path, QStringLiteral("/usr/lib/librast32po.so"));
    QVERIFY(labels.contains(QStringLiteral("Rastrix OCX-32")));
    QVERIFY(labels.contains(QStringLiteral("Build date:  Dec  9 2026")));
  }
};

QTEST_MAIN(RastDialogsQt)
#include "test_rast_dialogs_qt.moc"
