// RastView's main window: the control in place filling the central area,
// the menus that drive it by property writes, and a status bar with the
// pointer's image position and the image's size, depth and format.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

#include "view_control.h"

class QLabel;
class QActionGroup;

namespace rxqt {
class LayerHost;
}

namespace rastview {

class ToneDialog;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(std::unique_ptr<ViewControl> control, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Loads `path` into the control. False when the control refused it; the
  // previous picture then stays, and the control's error report says why.
  bool openFile(const QString& path);
  // The file `step` (+1, -1) away in the current file's folder, wrapping.
  bool stepFile(int step);
  // The page `step` away in a multi-page file, kept within its pages.
  bool stepPage(int step);
  // One step of the zoom table in or out (`direction` +1 or -1).
  void zoom(int direction);
  void zoomActual();
  // Turns the picture clockwise by 90, 180 or 270 degrees. The display's
  // own rotation is for bi-level pages only; this turns any picture.
  void rotate(int32_t degrees);
  // Shows or hides a tool window of the control (MagnifyWindow or
  // PanWindow); a new one stands beside this window.
  void showTool(com::DISPID id, int32_t value);
  // Shows the next file of the folder through transition `effect`.
  bool showWithEffect(int effect);
  void showErrorReport();
  void showAbout();

  ViewControl& control() { return *control_; }
  QWidget* controlHost() const;
  QString currentFile() const { return current_; }
  int32_t page() const { return page_; }
  int32_t pageCount() const { return pageCount_; }
  QString positionText() const;
  QString imageText() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildMenus();
  void buildFileMenu();
  void buildViewMenu();
  void buildEffectsMenu();
  void buildToolsMenu();
  void buildHelpMenu();
  void openDialog();
  void controlEvent(com::DISPID id);
  void imageLoaded(const QString& path);
  // The file's name, format and pages, read while LoadImage names it.
  void describe(const QString& path);
  void showPosition();
  void showImage();
  // Puts LoadImage back to the shown file when a failed load or a
  // transition left it naming another (paging reads it).
  void restoreLoadImage();
  bool loadInto(const QString& path);
  void placeToolWindows();

  std::unique_ptr<ViewControl> control_;
  rxqt::LayerHost* host_ = nullptr;
  ToneDialog* tone_ = nullptr;
  QLabel* position_ = nullptr;
  QLabel* image_ = nullptr;
  QString current_;        // the file shown
  bool loadImageStale_ = false;
  // The picture is fitted to the window (after a load or a fit choice) and
  // is fitted again when the window changes size; a zoom ends it.
  bool fitting_ = true;
  QString format_;
  int32_t page_ = 0;
  int32_t pageCount_ = 0;
};

}  // namespace rastview
