// A layer page printed through Qt's printing: the page's pixels become one
// image drawn on one sheet.
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "platform/qt_print.h"

namespace rxqt {
namespace {

// Dots per inch a page that reports none is taken to have.
constexpr int kDefaultDpi = 96;
// A metre in inches, for the dots per metre QImage keeps.
constexpr double kInchesPerMetre = 1.0 / 0.0254;

int page_dpi(HDC page, int index) {
  const int32_t dpi = pg_device_caps(page, index);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

QImage pageImage(HDC page) {
  int32_t width = 0, height = 0;
  if (pg_dc_size(page, &width, &height) == 0 || width <= 0 || height <= 0) return QImage();
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return image;
  for (int32_t y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int32_t x = 0; x < width; ++x) {
      const COLORREF c = pg_pixel_get(page, x, y);
      line[x] = qRgb(PG_GET_R(c), PG_GET_G(c), PG_GET_B(c));
    }
  }
  image.setDotsPerMeterX(qRound(page_dpi(page, PG_LOGPIXELSX) * kInchesPerMetre));
  image.setDotsPerMeterY(qRound(page_dpi(page, PG_LOGPIXELSY) * kInchesPerMetre));
  return image;
}

HDC pageForPrinter(QPrinter& printer, int most_dpi) {
  if (most_dpi <= 0) return nullptr;
  const int dpi = qMin(printer.resolution(), most_dpi);
  const QSizeF inches = printer.pageLayout().paintRect(QPageLayout::Inch).size();
  const QSize dots(qRound(inches.width() * dpi), qRound(inches.height() * dpi));
  if (dots.isEmpty()) return nullptr;
  return pg_printer_dc_create(dots.width(), dots.height(), dpi);
}

bool printPage(HDC page, QPrinter& printer) {
  const QImage image = pageImage(page);
  if (image.isNull()) return false;
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // The sheet's printable area in the printer's own pixels; the page keeps
  // its shape inside it, at its top left as a printed page would be.
  const QRectF area(QPointF(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
  QSizeF size = image.size();
  size.scale(area.size(), Qt::KeepAspectRatio);
  painter.drawImage(QRectF(area.topLeft(), size), image);
  return painter.end();
}

bool printPageToPdf(HDC page, const QString& path) {
  int32_t width = 0, height = 0;
  if (pg_dc_size(page, &width, &height) == 0 || path.isEmpty()) return false;
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  const QSizeF inches(double(width) / page_dpi(page, PG_LOGPIXELSX), double(height) / page_dpi(page, PG_LOGPIXELSY));
  printer.setPageLayout(QPageLayout(QPageSize(inches, QPageSize::Inch, QString(), QPageSize::ExactMatch),
                                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
  return printPage(page, printer);
}

bool printPageWithDialog(HDC page, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  return printPage(page, printer);
}

}  // namespace rxqt
