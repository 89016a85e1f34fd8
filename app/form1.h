// The converter's one window: drive, folder and file lists, the convert and
// quit buttons, a progress slider shown only while converting, and a place
// for the imaging control.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>

#include "image_converter.h"

class QLabel;
class QPushButton;
class QSlider;

namespace kavelo {

class DriveList;
class FileList;
class FolderList;

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  // `control` does the image work; null leaves every conversion without
  // effect. The lists start in `startFolder`, or else in the current
  // folder.
  Form1(std::unique_ptr<ImageConverter> control, const QString& startFolder,
        QWidget* parent = nullptr);
  ~Form1() override;

 signals:
  // After each converted file, once the slider shows `percent`.
  void fileConverted(int percent);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void buildControls();
  void centreOnScreen();
  void setFormHeight(int twips);
  void openStartFolder(const QString& startFolder);
  void onDriveChanged(const QString& root);
  void onFolderChanged();
  void onSelectionChanged();
  void convertSelected();
  void showPaintedProgress();

  std::unique_ptr<ImageConverter> control_;
  DriveList* drive1_ = nullptr;
  FolderList* dir1_ = nullptr;
  FileList* file1_ = nullptr;
  QLabel* label1_ = nullptr;
  QPushButton* command1_ = nullptr;
  QPushButton* command2_ = nullptr;
  QSlider* slider1_ = nullptr;
  QWidget* rast1_ = nullptr;

  QString folderPath_;
  bool converting_ = false;
  bool closeRequested_ = false;
};

}  // namespace kavelo
