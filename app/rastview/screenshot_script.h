// A hidden test switch (`--screenshots DIR`): once the main window is up,
// the program walks through what a person would look at and saves the
// whole screen after each step as a PNG file in DIR, then quits. Each step
// runs when the one before has been painted, so no test has to guess how
// long the window needs.
#pragma once

#include <QObject>
#include <QString>

namespace rastview {

class MainWindow;

class ScreenshotScript : public QObject {
  Q_OBJECT

 public:
  // `broken` names a file the control must refuse, for the error report.
  ScreenshotScript(MainWindow& window, QString folder, QString broken);
  void start();
  // The names of the pictures, in the order they are taken.
  static QStringList names();

 private:
  void fit();
  void magnifier();
  void panWindow();
  void transition();
  void errorReport();
  void about();
  void finish();
  void shoot(const QString& name);
  // Runs `step` once what the last one changed has been painted.
  void then(void (ScreenshotScript::*step)());

  MainWindow& window_;
  QString folder_;
  QString broken_;
  bool failed_ = false;
};

}  // namespace rastview
