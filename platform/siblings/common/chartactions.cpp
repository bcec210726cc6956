#include "platform/siblings/common/chartactions.h"

#include "platform/siblings/common/chartwindow.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/printframe.h"

#include <QApplication>
#include <QBoxLayout>
#include <QChartView>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLineSeries>
#include <QMimeData>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStyle>
#include <QSvgGenerator>

namespace siblings {

namespace {

QPushButton *button(TfrmGrafico &window, QBoxLayout &row, int at, QStyle::StandardPixmap icon, const char *text,
                    const char *name)
{
    auto *b = new QPushButton(window.style()->standardIcon(icon), QString::fromUtf8(text), &window);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    row.insertWidget(at, b);
    return b;
}

tk::Exception cannotWrite(const QString &path, const QString &why = {})
{
    return tk::Exception("não foi possível gravar " + path.toStdString() + (why.isEmpty() ? "" : ": " + why.toStdString()));
}

} // namespace

ChartActions::ChartActions(TfrmGrafico &window, QBoxLayout &buttons) : QObject(&window), m_window(window)
{
    SaveImageButton = button(window, buttons, 0, QStyle::SP_DialogSaveButton, "Salvar imagem…", "btnSalvarImagem");
    CopyButton = button(window, buttons, 1, QStyle::SP_FileDialogContentsView, "Copiar", "btnCopiar");
    CopyDataButton = button(window, buttons, 2, QStyle::SP_FileDialogDetailedView, "Copiar dados", "btnCopiarDados");
    PrintButton = button(window, buttons, 3, QStyle::SP_FileIcon, "Imprimir…", "btnImprimir");
    ExportPdfButton = button(window, buttons, 4, QStyle::SP_DriveFDIcon, "Exportar PDF…", "btnExportarPdf");
    connect(SaveImageButton, &QPushButton::clicked, this, [this] { SaveImageByUser(); });
    connect(CopyButton, &QPushButton::clicked, this, [this] { tk::CallSafely([this] { CopyImage(); }); });
    connect(CopyDataButton, &QPushButton::clicked, this, [this] { tk::CallSafely([this] { CopyData(); }); });
    connect(PrintButton, &QPushButton::clicked, this, [this] { PrintByUser(); });
    connect(ExportPdfButton, &QPushButton::clicked, this, [this] { ExportPdfByUser(); });
}

QImage ChartActions::Image() const
{
    return m_window.ChartView()->grab().toImage();
}

void ChartActions::SaveImage(const QString &path) const
{
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QChartView *view = m_window.ChartView();
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(m_window.windowTitle());
        QPainter painter;
        if (!painter.begin(&svg))
            throw cannotWrite(path);
        view->render(&painter);
        painter.end();
        if (!QFile::exists(path))
            throw cannotWrite(path);
        return;
    }
    QString target = path;
    if (!target.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        target += QStringLiteral(".png");
    if (!Image().save(target, "PNG"))
        throw cannotWrite(target);
}

void ChartActions::CopyImage() const
{
    QApplication::clipboard()->setImage(Image());
}

tk::ExportSheet ChartActions::DataSheet() const
{
    const ChartData &data = m_window.Data();
    tk::ExportSheet sheet;
    sheet.name = m_window.windowTitle().toStdString();
    tk::ExportColumn day;
    day.caption = "Dia";
    day.kind = tk::ExportKind::Date;
    day.widthPixels = 80;
    sheet.columns.push_back(day);
    for (const QLineSeries *series : m_window.Series()) {
        tk::ExportColumn c;
        c.caption = series->name().toStdString();
        c.kind = tk::ExportKind::Number;
        c.displayFormat = "#,##0.00000";
        c.widthPixels = 140;
        c.rightAligned = true;
        sheet.columns.push_back(c);
    }
    for (size_t r = 0; r < data.days.size(); ++r) {
        std::vector<tk::ExportCell> row;
        row.push_back({false, data.days[r], tk::DateToStr(data.days[r])});
        for (size_t s = 0; s < data.values.size() && s + 1 < sheet.columns.size(); ++s) {
            const double v = data.values[s].at(r);
            row.push_back({false, v, FormatChartValue(v).toStdString()});
        }
        sheet.rows.push_back(std::move(row));
    }
    return sheet;
}

QString ChartActions::DataText() const
{
    const tk::ExportSheet sheet = DataSheet();
    QStringList lines;
    QStringList captions;
    for (const tk::ExportColumn &c : sheet.columns)
        captions << QString::fromStdString(c.caption);
    lines << captions.join(QLatin1Char('\t'));
    for (const auto &row : sheet.rows) {
        QStringList cells;
        for (const tk::ExportCell &cell : row)
            cells << QString::fromStdString(cell.text);
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void ChartActions::CopyData() const
{
    QApplication::clipboard()->setText(DataText());
}

void ChartActions::Render(QPagedPaintDevice &device) const
{
    QPainter painter;
    if (!painter.begin(&device))
        throw tk::Exception("não foi possível iniciar a impressão do gráfico");
    double width = 0, height = 0;
    tk::BeginPointPainting(painter, device, width, height);
    tk::PrintFrame frame;
    frame.title = m_window.windowTitle();
    const double top = tk::DrawPrintHeader(painter, frame, width);
    // The chart keeps its proportions inside the room between the header and the footer.
    QChartView *view = m_window.ChartView();
    const QRectF room(0, top, width, height - top - tk::kPrintFooterHeight - 4);
    QSizeF size = QSizeF(view->size()).scaled(room.size(), Qt::KeepAspectRatio);
    view->render(&painter, QRectF(room.topLeft(), size), view->viewport()->rect());
    tk::DrawPrintFooter(painter, frame, width, height, 1, 1);
    painter.end();
}

void ChartActions::WritePdf(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw cannotWrite(path, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(m_window.windowTitle());
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                         QPageLayout::Millimeter));
        Render(writer);
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw cannotWrite(path, file.errorString());
}

QString ChartActions::defaultName(const char *extension) const
{
    return m_window.objectName().mid(3) + QLatin1Char('.') + QLatin1String(extension);
}

void ChartActions::SaveImageByUser()
{
    const QString filters = QStringLiteral("Imagem PNG (*.png);;Imagem SVG (*.svg)");
    const QString path = ChooseFile ? ChooseFile(QStringLiteral("Salvar imagem"), defaultName("png"), filters)
                                    : QFileDialog::getSaveFileName(&m_window, QStringLiteral("Salvar imagem"),
                                                                   defaultName("png"), filters);
    if (!path.isEmpty())
        tk::CallSafely([&] { SaveImage(path); });
}

void ChartActions::ExportPdfByUser()
{
    const QString filters = QStringLiteral("Arquivos PDF (*.pdf)");
    QString path = ChooseFile ? ChooseFile(QStringLiteral("Exportar PDF"), defaultName("pdf"), filters)
                              : QFileDialog::getSaveFileName(&m_window, QStringLiteral("Exportar PDF"),
                                                             defaultName("pdf"), filters);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    tk::CallSafely([&] { WritePdf(path); });
}

void ChartActions::PrintByUser()
{
    tk::CallSafely([&] {
        QPrintPreviewDialog dialog(&m_window);
        dialog.setWindowTitle(QStringLiteral("Imprimir - ") + m_window.windowTitle());
        dialog.printer()->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                                    QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        dialog.printer()->setDocName(m_window.windowTitle());
        connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                [this](QPrinter *printer) { tk::CallSafely([&] { Render(*printer); }); });
        dialog.exec();
    });
}

} // namespace siblings
