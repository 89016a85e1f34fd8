// Shared by the Qt adapter's sources.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QScrollBar;

#include "platform/qt_adapter.h"

namespace rxqt {

// The adapter's state on the GUI thread: the widgets that show layer
// windows and the timer that runs the layer's queue.
class Adapter : public QObject {
  Q_OBJECT

 public:
  static Adapter* instance();
  void onEvent(int32_t event, HWND hwnd);
  void schedule(int delay_ms = 0);
  void pumpNow();
  void attach(HWND hwnd, QWidget* widget) { widgets_.insert(hwnd, widget); }
  void detach(HWND hwnd) { widgets_.remove(hwnd); }
  QWidget* widget(HWND hwnd) const { return widgets_.value(hwnd); }
  const QHash<HWND, QPointer<QWidget>>& widgets() const { return widgets_; }
  bool started = false;

 private:
  Adapter();
  QTimer pump_;
  QHash<HWND, QPointer<QWidget>> widgets_;
  bool pumping_ = false;
};

// The layer's scroll bar thickness.
inline constexpr int kScrollBar = 16;

// The two scroll bars of one layer window, as real ones over `over`: a
// user's action goes to the window as its scroll message.
class ScrollBars : public QObject {
  Q_OBJECT

 public:
  ScrollBars(HWND hwnd, QWidget* over);
  ~ScrollBars() override;
  // Shows the bars the window's style asks for (none unless `visible`),
  // with the layer's range, page and position, beside `client`, the
  // window's client area in the coordinates of `over`.
  void sync(const QRect& client, bool visible);

 private:
  HWND hwnd_;
  QScrollBar* bars_[2];
  bool syncing_ = false;
};

void install_services();
Qt::CursorShape cursor_shape(int32_t shape);
// The top-level layer window a dialog item belongs to, or null.
HWND dialog_of_item(HWND item);

}  // namespace rxqt
