// The window layer on a Qt 6 desktop. The adapter shows layer windows as
// widgets (their surfaces painted, their input, resizing and closing turned
// into messages), runs the layer's queue and timers on Qt's event loop and
// backs the layer's services (save-file and colour dialogs, message boxes,
// clipboard, template dialogs) with Qt. Only programs that show windows
// link it; the layer itself and everything built on it stay Qt-free.
#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <QWidget>

#include "platform/ui_services.h"
#include "platform/window.h"

namespace rxqt {

class ScrollBars;

// Installs the services, the observer and the host pump. Call once after
// the QApplication is made; stop() puts the headless stand-in back.
void start();
void stop();
// Handles the layer's queued messages, paints and due timers now.
void pump();

// One layer window shown as a widget: top-level windows are shown by the
// adapter on their own; a host widget embeds one in a form.
class LayerWindowWidget : public QWidget {
  Q_OBJECT

 public:
  explicit LayerWindowWidget(HWND hwnd, QWidget* parent = nullptr);
  ~LayerWindowWidget() override;
  HWND hwnd() const { return hwnd_; }
  // The layer window's pixels, children included.
  QImage layerImage() const;
  // The adapter calls these when the layer reports a change.
  void layerChanged();
  void scrollBarsChanged();
  // A child window (at any depth) changed: its scroll bars follow it.
  void childChanged(HWND child);
  void childGone(HWND child);
  // A top-level widget goes where the layer moved its window.
  void layerMoved();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void mouse(QMouseEvent* event, uint32_t message);
  void layoutToLayer();
  void placeLayerWindow();
  void keyFocus();
  QPoint layerOrigin() const;
  QRect clientRect() const;
  void childrenChanged();
  HWND hwnd_;
  ScrollBars* bars_;
  QHash<HWND, ScrollBars*> childBars_;
};

// A widget of a Qt form that holds a layer window of a given class as its
// child, sized with it: the place a control window goes in a form.
class LayerHost : public LayerWindowWidget {
  Q_OBJECT

 public:
  LayerHost(const char* class_name, QWidget* parent = nullptr, uint32_t style = 0);
  ~LayerHost() override;
};

// A layer dialog built from its template with real widgets: buttons,
// edits and labels placed by their dialog units and bound to their ids.
class DialogWidget : public QDialog {
  Q_OBJECT

 public:
  explicit DialogWidget(HWND dialog, QWidget* parent = nullptr);
  HWND dialog() const { return dialog_; }
  QWidget* item(int id) const;
  void itemTextChanged(HWND item);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  HWND dialog_;
  QList<QPair<int, QWidget*>> items_;
  bool syncing_ = false;
};

// The widget that shows a layer window, when there is one.
QWidget* widgetFor(HWND hwnd);

}  // namespace rxqt
