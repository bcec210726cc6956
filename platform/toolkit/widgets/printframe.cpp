#include "platform/toolkit/widgets/printframe.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace tk {

namespace {

constexpr double kColumnsHeight = 15;
constexpr double kLineHeight = 12;
constexpr double kGap = 6;
// A4 portrait width less 12 mm margins, in points; screen pixels print as 0.75 point.
constexpr double kPortraitWidth = 595.0 - 2 * 34.0;
constexpr double kPointsPerPixel = 0.75;

} // namespace

QFont PrintFont(double pixelSize, bool bold)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

double PrintHeaderHeight(const PrintFrame &frame)
{
    return kPrintTitleHeight + kPrintInfoHeight * frame.info.size() + 6;
}

double DrawPrintHeader(QPainter &painter, const PrintFrame &frame, double width)
{
    double y = 0;
    painter.setFont(PrintFont(14, true));
    painter.drawText(QRectF(0, y, width, kPrintTitleHeight), Qt::AlignLeft | Qt::AlignVCenter, frame.title);
    y += kPrintTitleHeight;
    painter.setFont(PrintFont(9));
    for (const QString &text : frame.info) {
        painter.drawText(QRectF(0, y, width, kPrintInfoHeight), Qt::AlignLeft | Qt::AlignVCenter, text);
        y += kPrintInfoHeight;
    }
    return y + 6;
}

void DrawPrintFooter(QPainter &painter, const PrintFrame &frame, double width, double height, int page, int pages)
{
    painter.setFont(PrintFont(8));
    const double footer = height - kPrintFooterHeight;
    painter.drawLine(QPointF(0, footer + 2), QPointF(width, footer + 2));
    painter.drawText(QRectF(0, footer + 4, width / 2, kPrintFooterHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
                     frame.footerLeft);
    painter.drawText(QRectF(width / 2, footer + 4, width / 2, kPrintFooterHeight - 4),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Página %1 de %2").arg(page).arg(pages));
}

void BeginPointPainting(QPainter &painter, QPagedPaintDevice &device, double &width, double &height)
{
    const double sx = device.logicalDpiX() / 72.0;
    const double sy = device.logicalDpiY() / 72.0;
    painter.scale(sx, sy);
    width = device.width() / sx;
    height = device.height() / sy;
}

bool TableNeedsLandscape(const ExportSheet &sheet)
{
    double total = 0;
    for (const ExportColumn &c : sheet.columns)
        total += c.widthPixels * kPointsPerPixel + kGap;
    return total > kPortraitWidth;
}

PrintedTable PrintTable(QPagedPaintDevice &device, const ExportSheet &sheet, const PrintFrame &frame)
{
    QPainter painter;
    if (!painter.begin(&device))
        throw Exception("não foi possível iniciar a impressão");
    double width = 0, height = 0;
    BeginPointPainting(painter, device, width, height);

    // Screen widths in points, shrunk together when they do not fit the page.
    std::vector<double> widths;
    double total = 0;
    for (const ExportColumn &c : sheet.columns) {
        widths.push_back(std::max(12.0, c.widthPixels * kPointsPerPixel));
        total += widths.back();
    }
    const double room = width - kGap * std::max<double>(0, double(widths.size()) - 1);
    if (total > room && total > 0) {
        for (double &w : widths)
            w *= room / total;
    }

    const double top = PrintHeaderHeight(frame) + kColumnsHeight + 3;
    const int perPage = std::max(1, static_cast<int>((height - top - kPrintFooterHeight) / kLineHeight));
    const int rows = static_cast<int>(sheet.rows.size());
    const int pages = std::max(1, (rows + perPage - 1) / perPage);
    const QFont captionFont = PrintFont(8.5, true);
    const QFont lineFont = PrintFont(8);
    const QFont totalFont = PrintFont(8, true);
    const QFontMetricsF metrics(lineFont);
    auto alignOf = [&](size_t c) {
        return (sheet.columns[c].rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    };

    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage())
            throw Exception("não foi possível abrir uma nova página da impressão");
        double y = DrawPrintHeader(painter, frame, width);
        painter.setFont(captionFont);
        double x = 0;
        for (size_t c = 0; c < widths.size(); ++c) {
            painter.drawText(QRectF(x, y, widths[c], kColumnsHeight), alignOf(c) | Qt::TextWordWrap,
                             QString::fromStdString(sheet.columns[c].caption));
            x += widths[c] + kGap;
        }
        y += kColumnsHeight;
        painter.drawLine(QPointF(0, y + 1), QPointF(width, y + 1));
        y += 3;
        const int from = page * perPage;
        const int to = std::min(rows, from + perPage);
        for (int r = from; r < to; ++r) {
            const bool isTotal = sheet.totalsFrom >= 0 && r >= sheet.totalsFrom;
            painter.setFont(isTotal ? totalFont : lineFont);
            const auto &cells = sheet.rows[size_t(r)];
            x = 0;
            for (size_t c = 0; c < widths.size() && c < cells.size(); ++c) {
                const QString text =
                    metrics.elidedText(QString::fromStdString(cells[c].text), Qt::ElideRight, widths[c]);
                painter.drawText(QRectF(x, y, widths[c], kLineHeight), alignOf(c), text);
                x += widths[c] + kGap;
            }
            y += kLineHeight;
        }
        DrawPrintFooter(painter, frame, width, height, page + 1, pages);
    }
    painter.end();
    return {pages, rows};
}

PrintedTable WriteTablePdf(const ExportSheet &sheet, const PrintFrame &frame, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Exception("não foi possível gravar o PDF em " + path.toStdString() + ": " + file.errorString().toStdString());
    PrintedTable result;
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(frame.title);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                         TableNeedsLandscape(sheet) ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        result = PrintTable(writer, sheet, frame);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw Exception("não foi possível gravar o PDF em " + path.toStdString() + ": " + file.errorString().toStdString());
    return result;
}

} // namespace tk
