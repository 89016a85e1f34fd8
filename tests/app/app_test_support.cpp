#include "app_test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>

namespace kavelo::test {

void writeBmp(const QString& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB888);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, (x + y) % 2 ? 200 : 40));
    }
  }
  if (!image.save(path, "BMP")) qFatal("cannot write %s", qPrintable(path));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
    qFatal("cannot write %s", qPrintable(path));
  }
}

void saveScreenshot(QWidget* widget, const QString& name) {
  const QString dir = QStringLiteral(RX_APP_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  // The offscreen platform draws no title bar: a strip with the window's
  // caption stands in for it, so that a person sees the caption too.
  const QPixmap content = widget->grab();
  constexpr int kStrip = 22;
  QImage shot(content.width(), content.height() + kStrip, QImage::Format_RGB32);
  shot.fill(QColor(0x40, 0x50, 0x70));
  QPainter painter(&shot);
  painter.setPen(Qt::white);
  painter.drawText(QRect(6, 0, shot.width() - 12, kStrip), Qt::AlignVCenter, widget->windowTitle());
  painter.drawPixmap(0, kStrip, content);
  painter.end();
  if (!shot.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"))) {
    qWarning("cannot save screenshot %s", qPrintable(name));
  }
}

MessageWatcher::MessageWatcher(QString screenshotName)
    : screenshotName_(std::move(screenshotName)) {
  connect(&timer_, &QTimer::timeout, this, &MessageWatcher::poll);
  timer_.start(20);
}

void MessageWatcher::poll() {
  auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
  if (!box || !box->isVisible()) return;
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  seen.append({box->windowTitle(), box->text(),
               box->icon() == QMessageBox::NoIcon && ok && box->buttons().size() == 1});
  if (!screenshotName_.isEmpty()) saveScreenshot(box, screenshotName_);
  if (ok) {
    ok->click();
  } else {
    box->reject();
  }
}

bool HeightLog::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::Resize) heights << static_cast<QResizeEvent*>(event)->size().height();
  return false;
}

}  // namespace kavelo::test
