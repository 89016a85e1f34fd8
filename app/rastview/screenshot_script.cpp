#include "screenshot_script.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "main_window.h"
#include "platform/kernel.h"
#include "platform/qt_adapter.h"

namespace rastview {
namespace {

// Long enough for the window system to map and paint what a step showed.
constexpr int kSettleMillis = 400;

// The transition paces itself on the tick counter and pumps nothing while
// it runs. In its place this clock moves on a millisecond each read and,
// half-way through the run, has the picture painted and the screen taken.
struct HalfwayClock {
  QWidget* host = nullptr;
  uint32_t now = 0;
  uint32_t shootAt = 0;
  std::function<void()> shoot;

  static uint32_t read(void* user) {
    auto* clock = static_cast<HalfwayClock*>(user);
    if (++clock->now == clock->shootAt && clock->shoot) clock->shoot();
    return clock->now;
  }
};

void press(uintptr_t window, uint32_t message, int x, int y) {
  pw_input_mouse(reinterpret_cast<HWND>(window), message, x, y, message == WM_LBUTTONDOWN ? PW_MK_LBUTTON : 0);
  rxqt::pump();
}

}  // namespace

ScreenshotScript::ScreenshotScript(MainWindow& window, QString folder, QString broken)
    : window_(window), folder_(std::move(folder)), broken_(std::move(broken)) {}

QStringList ScreenshotScript::names() {
  return {QStringLiteral("1-fit"),        QStringLiteral("2-magnifier"),    QStringLiteral("3-pan-window"),
          QStringLiteral("4-transition"), QStringLiteral("5-error-report"), QStringLiteral("6-about")};
}

void ScreenshotScript::start() {
  QDir().mkpath(folder_);
  then(&ScreenshotScript::fit);
}

void ScreenshotScript::then(void (ScreenshotScript::*step)()) {
  QTimer::singleShot(kSettleMillis, this, [this, step] {
    rxqt::pump();
    QApplication::processEvents();
    (this->*step)();
  });
}

void ScreenshotScript::shoot(const QString& name) {
  QScreen* screen = QGuiApplication::primaryScreen();
  const QPixmap picture = screen ? screen->grabWindow(0) : QPixmap();
  const QString path = QDir(folder_).filePath(name + QStringLiteral(".png"));
  if (picture.isNull() || !picture.save(path)) {
    std::fprintf(stderr, "RastView: cannot save %s\n", qPrintable(path));
    failed_ = true;
  }
}

void ScreenshotScript::fit() {
  shoot(names()[0]);
  then(&ScreenshotScript::magnifier);
}

// Zoomed twice, with the magnifier following a press at the centre.
void ScreenshotScript::magnifier() {
  window_.zoom(1);
  window_.zoom(1);
  ViewControl& control = window_.control();
  window_.showTool(dispid::MagnifyWindow, 1);
  const QWidget* host = window_.controlHost();
  press(control.window(), WM_LBUTTONDOWN, host->width() / 2, host->height() / 2);
  QTimer::singleShot(kSettleMillis, this, [this] {
    rxqt::pump();
    QApplication::processEvents();
    shoot(names()[1]);
    const QWidget* h = window_.controlHost();
    press(window_.control().window(), WM_LBUTTONUP, h->width() / 2, h->height() / 2);
    window_.showTool(dispid::MagnifyWindow, 0);
    window_.showTool(dispid::PanWindow, -1);
    then(&ScreenshotScript::panWindow);
  });
}

void ScreenshotScript::panWindow() {
  shoot(names()[2]);
  window_.showTool(dispid::PanWindow, 0);
  window_.control().putLong(dispid::FitMethod, 0);
  then(&ScreenshotScript::transition);
}

void ScreenshotScript::transition() {
  HalfwayClock clock;
  clock.host = window_.controlHost();
  // The effect reads the clock about once per millisecond of its time.
  clock.shootAt = 300;
  clock.shoot = [this, &clock] {
    clock.host->repaint();
    QApplication::processEvents();
    shoot(names()[3]);
  };
  pk_tick_source_set(&HalfwayClock::read, &clock);
  window_.showWithEffect(8);
  pk_tick_source_set(nullptr, nullptr);
  then(&ScreenshotScript::errorReport);
}

void ScreenshotScript::errorReport() {
  window_.openFile(broken_);
  then(&ScreenshotScript::about);
}

// The about box is modal: it is taken and closed from inside its own loop.
void ScreenshotScript::about() {
  shoot(names()[4]);
  // The report closed first, so that the box stands alone in its picture.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<rxqt::DialogWidget*>(w); dialog && dialog->isVisible())
      pw_message_send(dialog->dialog(), WM_COMMAND, PW_IDCANCEL, 0);
  QTimer* look = new QTimer(this);
  connect(look, &QTimer::timeout, this, [this, look] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<rxqt::DialogWidget*>(w);
      if (dialog == nullptr || !dialog->isVisible() || !dialog->windowTitle().startsWith(QLatin1String("About")))
        continue;
      look->stop();
      shoot(names()[5]);
      pw_dialog_end(dialog->dialog(), 1);
      return;
    }
  });
  look->start(kSettleMillis);
  window_.showAbout();
  look->stop();
  then(&ScreenshotScript::finish);
}

void ScreenshotScript::finish() { QApplication::exit(failed_ ? 1 : 0); }

}  // namespace rastview
