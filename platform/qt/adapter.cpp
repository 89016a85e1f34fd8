// The adapter: hears the layer's observer, shows top-level layer windows,
// runs the layer's queue and timers on Qt's event loop.
#include <QApplication>
#include <QThread>

#include "qt_internal.h"

namespace rxqt {
namespace {

void observe(void*, int32_t event, HWND hwnd) {
  Adapter* a = Adapter::instance();
  if (QThread::currentThread() == a->thread()) {
    a->onEvent(event, hwnd);
  } else {
    // Posts from other threads reach the GUI thread through Qt's queue.
    QMetaObject::invokeMethod(a, [a, event, hwnd] { a->onEvent(event, hwnd); }, Qt::QueuedConnection);
  }
}

void host_pump(void*) { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }

// The widget that shows a child window: its nearest ancestor's.
LayerWindowWidget* shown_in(const Adapter* a, HWND child) {
  for (HWND p = pw_window_parent(child); p != nullptr; p = pw_window_parent(p))
    if (auto* top = qobject_cast<LayerWindowWidget*>(a->widget(p))) return top;
  return nullptr;
}

}  // namespace

Adapter::Adapter() {
  pump_.setSingleShot(true);
  connect(&pump_, &QTimer::timeout, this, &Adapter::pumpNow);
}

Adapter* Adapter::instance() {
  static Adapter* a = new Adapter;  // lives with the application
  return a;
}

void Adapter::schedule(int delay_ms) {
  if (!started) return;
  if (pump_.isActive() && pump_.remainingTime() <= delay_ms) return;
  pump_.start(delay_ms);
}

void Adapter::pumpNow() {
  if (pumping_) return;
  pumping_ = true;
  int32_t quit = 0;
  if (pw_messages_pump(&quit) < 0) QCoreApplication::exit(quit);
  pumping_ = false;
  if (pw_queue_length() > 0) schedule(0);
  int32_t next = pw_timer_next_due();
  if (next >= 0) schedule(next);
}

void Adapter::onEvent(int32_t event, HWND hwnd) {
  QWidget* w = widget(hwnd);
  switch (event) {
    case PW_EVENT_SHOWN:
      if (w == nullptr && started && !(pw_window_style_get(hwnd) & WS_CHILD)) {
        if (pw_dialog_is(hwnd)) w = new DialogWidget(hwnd);
        else w = new LayerWindowWidget(hwnd);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
      }
      if (w != nullptr && !w->isVisible()) w->show();
      if (w == nullptr)
        if (auto* top = shown_in(this, hwnd)) top->childChanged(hwnd);
      schedule();
      break;
    case PW_EVENT_HIDDEN:
      if (w) w->hide();
      else if (auto* top = shown_in(this, hwnd)) top->childChanged(hwnd);
      break;
    case PW_EVENT_DESTROYED:
      detach(hwnd);
      if (w) w->deleteLater();
      for (auto& v : widgets_)
        if (auto* lw = qobject_cast<LayerWindowWidget*>(v.data())) lw->childGone(hwnd);
      break;
    case PW_EVENT_TEXT:
      if (auto* d = qobject_cast<DialogWidget*>(widget(dialog_of_item(hwnd)))) d->itemTextChanged(hwnd);
      if (w) {
        char text[512];
        pw_window_text_get(hwnd, text, sizeof text);
        w->setWindowTitle(QString::fromUtf8(text));
      }
      break;
    case PW_EVENT_INVALIDATED:
    case PW_EVENT_QUEUED:
    case PW_EVENT_TIMERS:
      schedule();
      break;
    case PW_EVENT_PAINTED:
    case PW_EVENT_MOVED:
      if (auto* lw = qobject_cast<LayerWindowWidget*>(w)) {
        if (event == PW_EVENT_MOVED) lw->layerMoved();
        lw->layerChanged();
      }
      else if (w == nullptr) {
        // A child window: the widget of an ancestor shows it.
        if (auto* top = shown_in(this, hwnd)) {
          if (event == PW_EVENT_MOVED) top->childChanged(hwnd);
          top->layerChanged();
        }
      }
      break;
    case PW_EVENT_SCROLLBARS:
      if (auto* lw = qobject_cast<LayerWindowWidget*>(w)) lw->scrollBarsChanged();
      else if (auto* top = shown_in(this, hwnd)) top->childChanged(hwnd);
      break;
    case PW_EVENT_CURSOR: {
      Qt::CursorShape shape = cursor_shape(pw_cursor_shape(pw_cursor_get()));
      for (auto& v : widgets_)
        if (v) v->setCursor(shape);
      break;
    }
    default: break;
  }
}

Qt::CursorShape cursor_shape(int32_t shape) {
  switch (shape) {
    case PW_CURSOR_IBEAM: return Qt::IBeamCursor;
    case PW_CURSOR_WAIT: return Qt::WaitCursor;
    case PW_CURSOR_CROSS: return Qt::CrossCursor;
    case PW_CURSOR_HAND: return Qt::PointingHandCursor;
    case PW_CURSOR_SIZEALL: return Qt::SizeAllCursor;
    case PW_CURSOR_NO: return Qt::ForbiddenCursor;
    case PW_CURSOR_PAN: return Qt::OpenHandCursor;
    case PW_CURSOR_MAGNIFY: return Qt::CrossCursor;
    case PW_CURSOR_NONE: return Qt::BlankCursor;
    default: return Qt::ArrowCursor;
  }
}

HWND dialog_of_item(HWND item) {
  HWND parent = pw_window_parent(item);
  return parent != nullptr && pw_dialog_is(parent) ? parent : nullptr;
}

void start() {
  Adapter* a = Adapter::instance();
  if (a->started) return;
  a->started = true;
  pw_observer_set(observe, nullptr);
  pw_host_pump_set(host_pump, nullptr);
  install_services();
  // Windows shown before the adapter started get their widgets now.
  a->schedule();
}

void stop() {
  Adapter* a = Adapter::instance();
  a->started = false;
  pw_observer_set(nullptr, nullptr);
  pw_host_pump_set(nullptr, nullptr);
  pw_services_install(nullptr);
}

void pump() { Adapter::instance()->pumpNow(); }

QWidget* widgetFor(HWND hwnd) { return Adapter::instance()->widget(hwnd); }

}  // namespace rxqt
