// Printing a layer page through Qt on the offscreen platform: the page's
// pixels as an image, and a PDF whose sheet is the page's size.
#include <QFile>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/gdi.h"
#include "platform/qt_print.h"

namespace {

// A 200 x 100 page at 100 dpi (2 x 1 inches) with a red block at
// (50, 20) .. (70, 40).
HDC red_block_page() {
  HDC page = pg_printer_dc_create(200, 100, 100);
  HBRUSH red = pg_brush_solid_create(PG_RGB(255, 0, 0));
  const pg_rect r{50, 20, 70, 40};
  pg_rect_fill(page, &r, red);
  pg_brush_delete(red);
  return page;
}

}  // namespace

class QtPrint : public QObject {
  Q_OBJECT

 private slots:
  void pageImageHoldsThePixelsAndTheResolution() {
    HDC page = red_block_page();
    const QImage image = rxqt::pageImage(page);
    QCOMPARE(image.size(), QSize(200, 100));
    QCOMPARE(image.pixel(50, 20), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(69, 39), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(49, 20), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(70, 39), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(50, 40), qRgb(255, 255, 255));
    // 100 dpi is 100 / 0.0254 = 3937.0 dots per metre.
    QCOMPARE(image.dotsPerMeterX(), 3937);
    QCOMPARE(image.dotsPerMeterY(), 3937);
    pg_dc_delete(page);
    QVERIFY(rxqt::pageImage(page).isNull());
  }

  void aPdfSheetIsThePagesSize() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    HDC page = red_block_page();
    QVERIFY(rxqt::printPageToPdf(page, path));
    pg_dc_delete(page);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    // 2 x 1 inches is 144 x 72 points.
    const QByteArray box = pdf.mid(pdf.indexOf("/MediaBox"), 40);
    QVERIFY2(box.startsWith("/MediaBox [0 0 144.000000 72.000000]"), box.constData());
    // The page goes in as one image of its own size.
    QVERIFY(pdf.contains("/Width 200"));
    QVERIFY(pdf.contains("/Height 100"));
  }

  void aPageForALetterSheet() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    // 8.5 x 11 inches at 300 dpi: 2550 x 3300 dots.
    HDC page = rxqt::pageForPrinter(printer);
    QVERIFY(page != nullptr);
    int32_t w = 0, h = 0;
    QVERIFY(pg_dc_size(page, &w, &h));
    QCOMPARE(w, 2550);
    QCOMPARE(h, 3300);
    QCOMPARE(pg_device_caps(page, PG_LOGPIXELSX), 300);
    QCOMPARE(pg_device_caps(page, PG_TECHNOLOGY), int32_t{PG_DT_RASPRINTER});
    pg_dc_delete(page);
    // Half-inch margins leave 7.5 x 10 inches: at 100 dpi 750 x 1000.
    printer.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
    page = rxqt::pageForPrinter(printer, 100);
    QVERIFY(pg_dc_size(page, &w, &h));
    QCOMPARE(w, 750);
    QCOMPARE(h, 1000);
    pg_dc_delete(page);
    QVERIFY(rxqt::pageForPrinter(printer, 0) == nullptr);
  }

  void anInvalidPageWritesNothing() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.pdf"));
    QVERIFY(!rxqt::printPageToPdf(nullptr, path));
    QVERIFY(!QFile::exists(path));
    HDC page = red_block_page();
    QVERIFY(!rxqt::printPageToPdf(page, QString()));
    pg_dc_delete(page);
  }
};

QTEST_MAIN(QtPrint)
#include "test_qt_print.moc"
