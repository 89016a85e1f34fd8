// A layer window's two scroll bars shown as real ones: over the widget of
// the window itself, or over the widget of the top-level window a child
// window (a control in its host) lies in.
#include <QScrollBar>

#include "qt_internal.h"

namespace rxqt {

ScrollBars::ScrollBars(HWND hwnd, QWidget* over) : QObject(over), hwnd_(hwnd) {
  for (int bar = 0; bar < 2; ++bar) {
    auto* sb = new QScrollBar(bar == SB_HORZ ? Qt::Horizontal : Qt::Vertical, over);
    sb->hide();
    bars_[bar] = sb;
    connect(sb, &QScrollBar::actionTriggered, this, [this, bar, sb](int action) {
      if (syncing_) return;
      int code = -1;
      switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
        case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
        case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
        case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
        case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
        case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
        case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
        default: break;
      }
      if (code >= 0) pw_scroll_bar_user(hwnd_, bar, code, sb->sliderPosition());
      Adapter::instance()->pumpNow();
    });
    connect(sb, &QScrollBar::sliderReleased, this, [this, bar, sb] {
      pw_scroll_bar_user(hwnd_, bar, SB_THUMBPOSITION, sb->sliderPosition());
      pw_scroll_bar_user(hwnd_, bar, SB_ENDSCROLL, sb->sliderPosition());
      Adapter::instance()->pumpNow();
    });
  }
}

ScrollBars::~ScrollBars() {
  for (QScrollBar* sb : bars_) delete sb;
}

void ScrollBars::sync(const QRect& client, bool visible) {
  if (!pw_window_valid(hwnd_)) visible = false;
  const uint32_t style = visible ? pw_window_style_get(hwnd_) : 0;
  syncing_ = true;
  for (int bar = 0; bar < 2; ++bar) {
    QScrollBar* sb = bars_[bar];
    sb->setVisible((style & (bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)) != 0);
    if (!sb->isVisibleTo(sb->parentWidget())) continue;
    pw_scroll_info si{PW_SIF_ALL, 0, 0, 0, 0, 0};
    pw_scroll_info_get(hwnd_, bar, &si);
    const int page = int(qMin<uint32_t>(si.page, INT32_MAX));
    sb->setRange(si.min, qMax(si.min, si.max - qMax(page - 1, 0)));
    sb->setPageStep(qMax(page, 1));
    sb->setValue(si.pos);
  }
  bars_[SB_HORZ]->setGeometry(client.left(), client.bottom() + 1, client.width(), kScrollBar);
  bars_[SB_VERT]->setGeometry(client.right() + 1, client.top(), kScrollBar, client.height());
  syncing_ = false;
}

}  // namespace rxqt
