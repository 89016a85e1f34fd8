// The layer's desktop services backed by Qt: file and colour dialogs,
// message boxes, the clipboard (packed DIBs and text) and modal dialogs.
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <cstring>

#include "qt_internal.h"

namespace rxqt {
namespace {

QWidget* owner_widget(HWND owner) {
  for (HWND h = owner; h != nullptr; h = pw_window_parent(h))
    if (QWidget* w = widgetFor(h)) return w;
  return QApplication::activeWindow();
}

int32_t file_save(void*, const pw_file_dialog* d, char* out, int32_t size) {
  QString name = QString::fromUtf8(d->filter_name ? d->filter_name : "");
  QString pattern = QString::fromUtf8(d->filter_pattern ? d->filter_pattern : "*");
  // Qt reads the patterns from the parentheses of the filter's name.
  QString filter = name.contains(QLatin1Char('(')) ? name : name + QStringLiteral(" (") + pattern + QLatin1Char(')');
  QString chosen = QFileDialog::getSaveFileName(owner_widget(d->owner), QString::fromUtf8(d->title ? d->title : ""),
                                                QString::fromUtf8(d->initial_name ? d->initial_name : ""), filter);
  QByteArray utf8 = chosen.toUtf8();
  if (chosen.isEmpty() || utf8.size() >= size) return 0;
  std::memcpy(out, utf8.constData(), size_t(utf8.size()) + 1);
  return 1;
}

QColor qcolor(COLORREF c) { return QColor(PG_GET_R(c), PG_GET_G(c), PG_GET_B(c)); }

int32_t colour(void*, HWND owner, COLORREF initial, COLORREF* custom, COLORREF* out) {
  if (custom)
    for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, qcolor(custom[i]));
  QColor c = QColorDialog::getColor(qcolor(initial), owner_widget(owner));
  if (custom)
    for (int i = 0; i < 16; ++i) {
      QColor k = QColorDialog::customColor(i);
      custom[i] = PG_RGB(k.red(), k.green(), k.blue());
    }
  if (!c.isValid()) return 0;
  *out = PG_RGB(c.red(), c.green(), c.blue());
  return 1;
}

int32_t message_box(void*, HWND owner, const char* text, const char* caption, uint32_t type) {
  QMessageBox box(owner_widget(owner));
  box.setWindowTitle(QString::fromUtf8(caption ? caption : ""));
  box.setText(QString::fromUtf8(text ? text : ""));
  switch (type & 0xF0) {
    case PW_MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case PW_MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case PW_MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case PW_MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (type & 0xF) {
    case PW_MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case PW_MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return PW_IDOK;
    case QMessageBox::Yes: return PW_IDYES;
    case QMessageBox::No: return PW_IDNO;
    default: return PW_IDCANCEL;
  }
}

// A packed bottom-up 24-bit DIB, the form every reader of packed DIBs
// takes.
QByteArray dib_of(const QImage& source) {
  QImage img = source.convertToFormat(QImage::Format_RGB888);
  const int w = img.width(), h = img.height();
  const int stride = ((w * 24 + 31) / 32) * 4;
  QByteArray out(40 + stride * h, '\0');
  PG_BITMAPINFOHEADER hd{};
  hd.biSize = 40;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biPlanes = 1;
  hd.biBitCount = 24;
  hd.biSizeImage = uint32_t(stride * h);
  std::memcpy(out.data(), &hd, 40);
  for (int y = 0; y < h; ++y) {
    const uchar* src = img.constScanLine(y);
    auto* dst = reinterpret_cast<uchar*>(out.data()) + 40 + stride * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return out;
}

// Draws a packed DIB through the layer itself, so that every depth it
// draws is read the same way.
QImage image_of(const void* data, size_t size) {
  if (size < 40) return QImage();
  PG_BITMAPINFOHEADER hd;
  std::memcpy(&hd, data, 40);
  if (hd.biWidth <= 0 || hd.biHeight == 0 || hd.biWidth > 65535 || hd.biHeight > 65535 || hd.biHeight < -65535)
    return QImage();
  int w = hd.biWidth, h = hd.biHeight < 0 ? -hd.biHeight : hd.biHeight;
  int bits = hd.biBitCount;
  size_t colours = bits <= 8 ? (hd.biClrUsed && hd.biClrUsed < (1u << bits) ? hd.biClrUsed : (1u << bits)) : 0;
  size_t stride = size_t((int64_t(w) * bits + 31) / 32 * 4);
  size_t offset = hd.biSize + 4 * colours;
  if (hd.biSize < 40 || hd.biSize > 124 || offset > size || stride * size_t(h) > size - offset) return QImage();
  HDISPLAY disp = pg_display_create(32);
  HDC dc = pg_display_dc_create(disp, w, h);
  QImage img;
  if (dc != nullptr &&
      pg_stretch_dib_bits(dc, 0, 0, w, h, 0, 0, w, h, static_cast<const uint8_t*>(data) + offset,
                          static_cast<const PG_BITMAPINFOHEADER*>(data), DIB_RGB_COLORS, SRCCOPY) > 0) {
    img = QImage(w, h, QImage::Format_RGB32);
    pg_dc_read_rgb32(dc, reinterpret_cast<uint32_t*>(img.bits()), w, h, int32_t(img.bytesPerLine() / 4));
  }
  pg_dc_delete(dc);
  pg_display_delete(disp);
  return img;
}

void clipboard_load(void*) {
  pw_clipboard_empty();
  const QMimeData* m = QGuiApplication::clipboard()->mimeData();
  if (m == nullptr) return;
  if (m->hasImage()) {
    QByteArray dib = dib_of(qvariant_cast<QImage>(m->imageData()));
    pw_clipboard_data_set(CF_DIB, dib.constData(), size_t(dib.size()));
  }
  if (m->hasText()) {
    QByteArray text = m->text().toUtf8();
    pw_clipboard_data_set(CF_TEXT, text.constData(), size_t(text.size()) + 1);
  }
}

void clipboard_publish(void*) {
  auto* mime = new QMimeData;
  size_t size = 0;
  if (const void* dib = pw_clipboard_data_get(CF_DIB, &size)) {
    QImage img = image_of(dib, size);
    if (!img.isNull()) mime->setImageData(img);
  }
  if (const void* text = pw_clipboard_data_get(CF_TEXT, &size))
    mime->setText(QString::fromUtf8(static_cast<const char*>(text), int(strnlen(static_cast<const char*>(text), size))));
  QGuiApplication::clipboard()->setMimeData(mime);
}

void dialog_run(void*, HWND dialog) {
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&loop, dialog] {
    if (pw_dialog_ended(dialog, nullptr) || !pw_window_valid(dialog)) loop.quit();
  });
  poll.start(10);
  if (QWidget* w = widgetFor(dialog)) {
    w->setWindowModality(Qt::ApplicationModal);
    w->show();
  }
  loop.exec();
}

}  // namespace

void install_services() {
  pw_services s{};
  s.file_save = file_save;
  s.colour = colour;
  s.message_box = message_box;
  s.clipboard_load = clipboard_load;
  s.clipboard_publish = clipboard_publish;
  s.dialog_run = dialog_run;
  pw_services_install(&s);
}

}  // namespace rxqt
