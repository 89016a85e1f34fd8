// Shared helpers of the converter's tests: sample files, message boxes met
// while the program runs, and screenshots for a person to look at.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

namespace kavelo::test {

// A 24-bit BMP file with a colour pattern, written by Qt's own encoder so
// that the engine is not its own witness.
void writeBmp(const QString& path, int width, int height);
void writeBytes(const QString& path, const QByteArray& bytes);

// Saves a picture of `widget` under a caption strip, as
// build/.../app-screenshots/NAME.png.
void saveScreenshot(QWidget* widget, const QString& name);

// Notes each modal message box that shows up (and takes its picture when
// given a name), then presses its OK button.
class MessageWatcher : public QObject {
  Q_OBJECT

 public:
  struct Seen {
    QString caption;
    QString text;
    bool plainOk = false;  // no icon, an OK button only
  };
  explicit MessageWatcher(QString screenshotName = {});
  QList<Seen> seen;

 private:
  void poll();
  QTimer timer_;
  QString screenshotName_;
};

// The heights a widget takes, in order.
class HeightLog : public QObject {
 public:
  QList<int> heights;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kavelo::test
