#pragma once

// The frame of every printed page: a bold title, lines of information under it (branch, service,
// month...) and a footer with a text on the left and "Página n de m" on the right. The report
// module and the grids' printing draw their pages inside it, so every printout of the suite looks
// the same. Geometry is in points (1/72 inch) on a painter already scaled to points.

#include "platform/toolkit/export/tableexport.h"

#include <QFont>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

namespace tk {

struct PrintFrame
{
    QString title;
    QStringList info;  // one line each
    QString footerLeft;
};

// Fonts of printed pages: no shaping, so that "fi" stays two letters for whoever searches or
// copies the PDF's text.
QFont PrintFont(double pixelSize, bool bold = false);

constexpr double kPrintTitleHeight = 20;
constexpr double kPrintInfoHeight = 13;
constexpr double kPrintFooterHeight = 18;

// Height the header takes (title and info lines, with the gap below them).
double PrintHeaderHeight(const PrintFrame &frame);
// Draws the title and info lines at the top; returns the y below them.
double DrawPrintHeader(QPainter &painter, const PrintFrame &frame, double width);
// Draws the footer at the bottom of a page of the given size: a rule, footerLeft, "Página n de m".
void DrawPrintFooter(QPainter &painter, const PrintFrame &frame, double width, double height, int page, int pages);

// Scales the painter to points on the device and gives the page size in points.
void BeginPointPainting(QPainter &painter, QPagedPaintDevice &device, double &width, double &height);

struct PrintedTable
{
    int pages = 0;
    int rows = 0;
};

// Prints a table (captions and cell texts as the sheet holds them, numbers right-aligned) in the
// frame, one page after another, the columns scaled to the page width. Raises tk::Exception when
// the device cannot be painted on.
PrintedTable PrintTable(QPagedPaintDevice &device, const ExportSheet &sheet, const PrintFrame &frame);

// True when the table's columns need a landscape page (they are wider than a portrait A4 page
// can hold at their screen widths).
bool TableNeedsLandscape(const ExportSheet &sheet);

// Prints the table to a PDF file (A4, landscape where TableNeedsLandscape says so). tk::Exception
// naming the file when it cannot be written.
PrintedTable WriteTablePdf(const ExportSheet &sheet, const PrintFrame &frame, const QString &path);

} // namespace tk
