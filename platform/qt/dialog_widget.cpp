// A layer dialog shown with real widgets, bound to its items by id: the
// widgets' clicks and edits become the items' commands and texts, and the
// items' texts show in the widgets.
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "qt_internal.h"

namespace rxqt {
namespace {

QString layer_text(HWND item) {
  int32_t n = pw_window_text_get(item, nullptr, 0);
  QByteArray b(n + 1, '\0');
  pw_window_text_get(item, b.data(), n + 1);
  b.resize(n);
  // Edits keep line ends as carriage return and line feed.
  return QString::fromUtf8(b).remove(QLatin1Char('\r'));
}

QRect pixels(const pw_dialog_item& it) {
  pg_rect r{it.x, it.y, it.x + it.cx, it.y + it.cy};
  pw_dialog_units_to_pixels(&r);
  return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

DialogWidget::DialogWidget(HWND dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
  Adapter::instance()->attach(dialog, this);
  const pw_dialog_template* t = pw_dialog_template_get(dialog);
  if (t == nullptr) return;
  setWindowTitle(QString::fromUtf8(t->caption));
  pg_rect size{0, 0, t->cx, t->cy};
  pw_dialog_units_to_pixels(&size);
  setFixedSize(size.right, size.bottom);
  for (int32_t i = 0; i < t->item_count; ++i) {
    const pw_dialog_item& it = t->items[i];
    // Items nobody addresses share the id -1, so only others are looked up.
    HWND item = it.id != -1 ? pw_dialog_item_get(dialog, it.id) : nullptr;
    QString cls = QString::fromUtf8(it.class_name);
    // The item's text as it is now: a dialog procedure fills items while
    // the dialog is made, before the widget exists.
    QString text = item != nullptr ? layer_text(item) : QString::fromUtf8(it.text);
    QWidget* w = nullptr;
    int id = it.id;
    if (cls == QLatin1String("BUTTON")) {
      auto* b = new QPushButton(text, this);
      b->setDefault(it.style & PW_BS_DEFPUSHBUTTON);
      b->setAutoDefault(false);
      connect(b, &QPushButton::clicked, this, [this, id] {
        pw_dialog_item_click(dialog_, id);
        Adapter::instance()->pumpNow();
      });
      w = b;
    } else if (cls == QLatin1String("EDIT")) {
      auto push = [this, item](const QString& s) {
        if (syncing_ || item == nullptr) return;
        syncing_ = true;
        QString crlf = s;
        crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        pw_window_text_set(item, crlf.toUtf8().constData());
        syncing_ = false;
      };
      if (it.style & PW_ES_MULTILINE) {
        auto* e = new QPlainTextEdit(text, this);
        e->setReadOnly(it.style & PW_ES_READONLY);
        e->setLineWrapMode(QPlainTextEdit::NoWrap);
        connect(e, &QPlainTextEdit::textChanged, this, [e, push] { push(e->toPlainText()); });
        w = e;
      } else {
        auto* e = new QLineEdit(text, this);
        e->setReadOnly(it.style & PW_ES_READONLY);
        connect(e, &QLineEdit::textEdited, this, push);
        w = e;
      }
    } else if (cls == QLatin1String("ICON")) {
      auto* l = new QLabel(this);
      int side = qMin(pixels(it).width(), pixels(it).height());
      l->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
      w = l;
    } else {
      w = new QLabel(text, this);
    }
    w->setGeometry(pixels(it));
    if (id != -1) items_.append(qMakePair(id, w));
  }
}

QWidget* DialogWidget::item(int id) const {
  for (auto& p : items_)
    if (p.first == id) return p.second;
  return nullptr;
}

void DialogWidget::itemTextChanged(HWND item) {
  if (syncing_) return;
  QWidget* w = this->item(int(pw_window_id(item)));
  if (w == nullptr) return;
  syncing_ = true;
  QString text = layer_text(item);
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) {
    e->setPlainText(text);
    e->moveCursor(QTextCursor::End);  // new lines show, as in a log
  } else if (auto* l = qobject_cast<QLineEdit*>(w)) {
    l->setText(text);
  } else if (auto* b = qobject_cast<QPushButton*>(w)) {
    b->setText(text);
  } else if (auto* s = qobject_cast<QLabel*>(w)) {
    s->setText(text);
  }
  syncing_ = false;
}

void DialogWidget::closeEvent(QCloseEvent* e) {
  e->ignore();
  if (pw_window_valid(dialog_)) pw_message_send(dialog_, WM_CLOSE, 0, 0);
  Adapter::instance()->pumpNow();
}

void DialogWidget::reject() {
  // Escape: Cancel, as the dialog procedure sees it.
  if (pw_window_valid(dialog_)) pw_message_send(dialog_, WM_COMMAND, PW_IDCANCEL, 0);
  Adapter::instance()->pumpNow();
}

}  // namespace rxqt
