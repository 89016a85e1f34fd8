// Printing a page the drawing layer drew (a printer DC's white page, see
// pg_printer_dc_create) through Qt: to a printer the user picks, or to a
// PDF file. The page keeps its physical size: its dots over its dots per
// inch. Built where Qt 6 Print Support is found (RX_QT_PRINT).
#pragma once

#include <QImage>
#include <QString>

#include "platform/gdi.h"

class QPrinter;
class QWidget;

namespace rxqt {

// The DC's surface as an image, its dots per inch recorded in it; a null
// image for an invalid DC.
QImage pageImage(HDC page);

// A white page (pg_printer_dc_create) for a printer Qt has set up: the
// sheet's printable area at the printer's resolution, or at `most_dpi`
// when the printer's is finer (a 1200-dpi letter sheet would need 400 MB).
// Null when the area is empty. The caller deletes it with pg_dc_delete.
HDC pageForPrinter(QPrinter& printer, int most_dpi = 300);

// Prints the page on a printer Qt has set up (a PDF printer included): one
// sheet, the page scaled to the sheet's printable area keeping its shape.
bool printPage(HDC page, QPrinter& printer);

// Writes the page to a PDF file whose sheet is exactly the page's size.
bool printPageToPdf(HDC page, const QString& path);

// Asks the user for a printer with Qt's print dialog and prints the page;
// false when the user cancels or printing fails.
bool printPageWithDialog(HDC page, QWidget* parent = nullptr);

}  // namespace rxqt
