// A layer window shown as a widget: its surface painted, Qt input turned
// into layer messages, resizes and closing passed on, scroll bars bound.
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainter>
#include <QShowEvent>
#include <QUrl>

#include "qt_internal.h"

namespace rxqt {
namespace {


uint32_t virtual_key(int key) {
  switch (key) {
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Delete: return VK_DELETE;
    default:
      if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return uint32_t(key);
      return 0;
  }
}

uint32_t mouse_keys(const QMouseEvent* e) {
  uint32_t k = 0;
  if (e->buttons() & Qt::LeftButton) k |= PW_MK_LBUTTON;
  if (e->buttons() & Qt::RightButton) k |= PW_MK_RBUTTON;
  if (e->buttons() & Qt::MiddleButton) k |= PW_MK_MBUTTON;
  if (e->modifiers() & Qt::ShiftModifier) k |= PW_MK_SHIFT;
  if (e->modifiers() & Qt::ControlModifier) k |= PW_MK_CONTROL;
  return k;
}

// The frame and caption around a layer window's client area, scroll bars
// not counted: the widget shows the bars itself.
QMargins frame_of(HWND hwnd) {
  pg_rect r{0, 0, 0, 0};
  pw_window_rect_adjust(&r, pw_window_style_get(hwnd));
  return QMargins(-r.left, -r.top, r.right, r.bottom);
}

// The deepest visible child under a client point, and the point in it.
HWND hit(HWND top, QPoint* p) {
  HWND at = top;
  for (int depth = 0; depth < 32; ++depth) {
    HWND found = nullptr;
    for (int i = 0;; ++i) {
      HWND c = pw_window_child(at, i);
      if (c == nullptr) break;
      pg_rect r{};
      if (!pw_window_visible(c) || !pw_window_rect_get(c, &r)) continue;
      if (p->x() >= r.left && p->x() < r.right && p->y() >= r.top && p->y() < r.bottom) found = c;
    }
    if (found == nullptr) break;
    pg_point s{p->x(), p->y()};
    pw_client_to_screen(at, &s);
    pw_screen_to_client(found, &s);
    *p = QPoint(s.x, s.y);
    at = found;
  }
  return at;
}

}  // namespace

LayerWindowWidget::LayerWindowWidget(HWND hwnd, QWidget* parent) : QWidget(parent), hwnd_(hwnd) {
  Adapter::instance()->attach(hwnd, this);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (pw_window_ex_style_get(hwnd) & WS_EX_ACCEPTFILES) setAcceptDrops(true);
  char text[512];
  pw_window_text_get(hwnd, text, sizeof text);
  setWindowTitle(QString::fromUtf8(text));
  bars_ = new ScrollBars(hwnd, this);
  // A top-level widget starts where the layer window is and at its size;
  // an embedded one gives its place and size to the window instead. A
  // pop-up without a caption (the magnifier that follows the pointer) is
  // placed exactly, undecorated and without taking the focus.
  if (parent == nullptr) {
    const uint32_t style = pw_window_style_get(hwnd);
    if ((style & WS_POPUP) != 0 && (style & WS_CAPTION) != WS_CAPTION)
      setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    layerMoved();
  }
  scrollBarsChanged();
}

LayerWindowWidget::~LayerWindowWidget() {
  if (Adapter::instance()->widget(hwnd_) == this) Adapter::instance()->detach(hwnd_);
}

QRect LayerWindowWidget::clientRect() const {
  uint32_t style = pw_window_style_get(hwnd_);
  int w = width() - ((style & WS_VSCROLL) ? kScrollBar : 0);
  int h = height() - ((style & WS_HSCROLL) ? kScrollBar : 0);
  return QRect(0, 0, qMax(0, w), qMax(0, h));
}

QImage LayerWindowWidget::layerImage() const {
  pg_rect c{};
  if (!pw_client_rect_get(hwnd_, &c) || c.right <= 0 || c.bottom <= 0) return QImage();
  QImage img(c.right, c.bottom, QImage::Format_RGB32);
  pw_window_render(hwnd_, reinterpret_cast<uint32_t*>(img.bits()), img.width(), img.height(),
                   int32_t(img.bytesPerLine() / 4));
  return img;
}

void LayerWindowWidget::layerChanged() { update(); }

void LayerWindowWidget::scrollBarsChanged() {
  if (!pw_window_valid(hwnd_)) return;
  bars_->sync(clientRect(), true);
  update();
}

// Where a child's client area lies in this widget, from the layer's screen
// points of both.
void LayerWindowWidget::childChanged(HWND child) {
  if (!pw_window_valid(child)) return childGone(child);
  const bool wants = (pw_window_style_get(child) & (WS_HSCROLL | WS_VSCROLL)) != 0;
  ScrollBars*& bars = childBars_[child];
  if (bars == nullptr && !wants) {
    childBars_.remove(child);
    return;
  }
  if (bars == nullptr) bars = new ScrollBars(child, this);
  pg_point origin{0, 0}, mine{0, 0};
  pw_client_to_screen(child, &origin);
  pw_client_to_screen(hwnd_, &mine);
  pg_rect c{};
  pw_client_rect_get(child, &c);
  bool visible = true;
  for (HWND w = child; w != nullptr && w != hwnd_; w = pw_window_parent(w)) visible = visible && pw_window_visible(w);
  bars->sync(QRect(origin.x - mine.x, origin.y - mine.y, c.right, c.bottom), visible);
}

void LayerWindowWidget::childGone(HWND child) { delete childBars_.take(child); }

void LayerWindowWidget::childrenChanged() {
  for (HWND child : childBars_.keys()) childChanged(child);
}

void LayerWindowWidget::layerMoved() {
  if (!isWindow() || !pw_window_valid(hwnd_)) return;
  pg_rect r{};
  pw_window_rect_get(hwnd_, &r);
  const QMargins f = frame_of(hwnd_);
  const QRect want(r.left + f.left(), r.top + f.top(), qMax(1, r.right - r.left - f.left() - f.right()),
                   qMax(1, r.bottom - r.top - f.top() - f.bottom()));
  if (geometry() != want) setGeometry(want);
}

// The layer works out screen points from where its windows stand, so the
// window stands where the widget's client area is on the screen.
QPoint LayerWindowWidget::layerOrigin() const {
  const QMargins f = frame_of(hwnd_);
  return mapToGlobal(QPoint(0, 0)) - QPoint(f.left(), f.top());
}

void LayerWindowWidget::placeLayerWindow() {
  if (!pw_window_valid(hwnd_)) return;
  pg_rect r{};
  pw_window_rect_get(hwnd_, &r);
  const QPoint at = layerOrigin();
  if (r.left != at.x() || r.top != at.y())
    pw_window_move(hwnd_, at.x(), at.y(), r.right - r.left, r.bottom - r.top, 0);
}

void LayerWindowWidget::layoutToLayer() {
  if (!pw_window_valid(hwnd_)) return;
  const QMargins f = frame_of(hwnd_);
  const QPoint at = layerOrigin();
  pw_window_move(hwnd_, at.x(), at.y(), width() + f.left() + f.right(), height() + f.top() + f.bottom(), 1);
  scrollBarsChanged();
  childrenChanged();
  Adapter::instance()->pumpNow();
}

void LayerWindowWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QImage img = layerImage();
  if (!img.isNull()) p.drawImage(0, 0, img);
  QRect c = clientRect();
  // Whatever the surface does not cover (a corner between two bars).
  p.fillRect(QRect(c.width(), c.height(), width() - c.width(), height() - c.height()), palette().window());
}

void LayerWindowWidget::resizeEvent(QResizeEvent*) { layoutToLayer(); }

void LayerWindowWidget::moveEvent(QMoveEvent*) { placeLayerWindow(); }

void LayerWindowWidget::showEvent(QShowEvent*) { placeLayerWindow(); }

void LayerWindowWidget::mouse(QMouseEvent* e, uint32_t message) {
  if (!pw_window_valid(hwnd_)) return;
  // An embedded widget hears no move when its form moves: a press is
  // where the layer's screen points start to matter (pop-ups, tracking).
  if (message != WM_MOUSEMOVE) placeLayerWindow();
  QPoint p = e->position().toPoint();
  HWND target = pw_capture_get() != nullptr ? hwnd_ : hit(hwnd_, &p);
  // A press gives the window under it the keyboard, as on a desktop.
  if (message != WM_MOUSEMOVE && pw_capture_get() == nullptr) pw_focus_set(target);
  pw_input_mouse(target, message, p.x(), p.y(), mouse_keys(e));
  Adapter::instance()->pumpNow();
}

void LayerWindowWidget::mousePressEvent(QMouseEvent* e) {
  uint32_t m = e->button() == Qt::RightButton ? WM_RBUTTONDOWN
               : e->button() == Qt::MiddleButton ? WM_MBUTTONDOWN
                                                 : WM_LBUTTONDOWN;
  mouse(e, m);
}

void LayerWindowWidget::mouseReleaseEvent(QMouseEvent* e) {
  uint32_t m = e->button() == Qt::RightButton ? WM_RBUTTONUP
               : e->button() == Qt::MiddleButton ? WM_MBUTTONUP
                                                 : WM_LBUTTONUP;
  mouse(e, m);
}

void LayerWindowWidget::mouseDoubleClickEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) mouse(e, WM_LBUTTONDBLCLK);
}

void LayerWindowWidget::mouseMoveEvent(QMouseEvent* e) { mouse(e, WM_MOUSEMOVE); }

// Keys go to the layer's focus window when it lies in this widget's
// window, else to this widget's window: never to a window another widget
// shows.
void LayerWindowWidget::keyFocus() {
  for (HWND f = pw_focus_get(); f != nullptr; f = pw_window_parent(f))
    if (f == hwnd_) return;
  pw_focus_set(hwnd_);
}

void LayerWindowWidget::keyPressEvent(QKeyEvent* e) {
  if (!pw_window_valid(hwnd_)) return;
  keyFocus();
  if (uint32_t vk = virtual_key(e->key())) pw_input_key(hwnd_, WM_KEYDOWN, vk);
  for (QChar c : e->text())
    if (c.unicode() >= 0x20 || c == QChar('\r') || c == QChar('\t') || c == QChar(0x1B) || c == QChar('\b'))
      pw_input_char(hwnd_, c.unicode());
  Adapter::instance()->pumpNow();
}

void LayerWindowWidget::keyReleaseEvent(QKeyEvent* e) {
  if (!pw_window_valid(hwnd_)) return;
  keyFocus();
  if (uint32_t vk = virtual_key(e->key())) pw_input_key(hwnd_, WM_KEYUP, vk);
  Adapter::instance()->pumpNow();
}

void LayerWindowWidget::closeEvent(QCloseEvent* e) {
  // The window decides: its default procedure destroys it, which closes
  // this widget through the adapter.
  if (pw_window_valid(hwnd_)) {
    e->ignore();
    pw_message_send(hwnd_, WM_CLOSE, 0, 0);
    Adapter::instance()->pumpNow();
  } else {
    e->accept();
  }
}

void LayerWindowWidget::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void LayerWindowWidget::dropEvent(QDropEvent* e) {
  QList<QByteArray> names;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) names << u.toLocalFile().toUtf8();
  std::vector<const char*> ptrs;
  for (auto& n : names) ptrs.push_back(n.constData());
  QPoint p = e->position().toPoint();
  if (!ptrs.empty()) pw_input_drop(hwnd_, ptrs.data(), int32_t(ptrs.size()), p.x(), p.y());
  Adapter::instance()->pumpNow();
}

LayerHost::LayerHost(const char* class_name, QWidget* parent, uint32_t style)
    : LayerWindowWidget(pw_window_create(0, class_name, "", style & ~uint32_t(WS_VISIBLE | WS_CHILD), 0, 0,
                                         qMax(1, parent ? parent->width() : 1), 1, nullptr, 0, nullptr),
                        parent) {
  // The window is registered with this widget before it is shown, so that
  // the adapter does not give it a top-level widget of its own.
  if (pw_window_valid(hwnd())) pw_window_show(hwnd(), SW_SHOW);
}

LayerHost::~LayerHost() {
  HWND h = hwnd();
  Adapter::instance()->detach(h);
  pw_window_destroy(h);
}

}  // namespace rxqt
