#pragma once

// The printable report of KPV49700: a title, the branch/service/month header, one line per product
// and, on every page, a footer with the product count and the page number. The same drawing feeds
// the print preview, the printer and the PDF export.

#include "platform/siblings/kpv49700/listagem.h"

#include <QPrintPreviewDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QPagedPaintDevice;
class QPrinter;

namespace kpv49700 {

struct ReportHeader
{
    Listagem listagem = Listagem::CustoZero;
    std::string cdFilial;
    std::string cdServFili;
    std::string cdFiliCust; // the cost branch the listing was priced at; empty: CdFilial's own
    int32_t cdTipoCusto = 0;
    tk::TDateTime dtReferencia = 0;
    bool idRefeFixa = false;
    tk::TDateTime dtRefeFixa = 0;
    std::string operador;
    tk::TDateTime emitidoEm = 0;
};

// The header of a request: operator from the host, issued now.
ReportHeader HeaderFor(const ReportRequest &request);

// "Produtos com Custo Zero" / "Produtos com Cotação Desatualizada".
QString ReportTitle(Listagem listagem);
// The column titles of a listing.
QStringList ReportColumns(Listagem listagem);
// The cells of every product line, as drawn (before a long name is shortened to its column).
// Raises tk::Exception when the packet lacks a field of the listing.
std::vector<QStringList> ReportLines(const tk::DataPacket &rows, Listagem listagem);

// The products of a listing: a product listed on several days counts once.
int CountProducts(const tk::DataPacket &rows);

struct RenderResult
{
    int pages = 0;
    int products = 0;               // CountProducts of the rows; the footer also gives the lines
    std::vector<QStringList> lines; // the product lines drawn, in order
    std::vector<int> linesPerPage;
};

// Draws the report on a paged device (a printer or a PDF writer), one page after another.
RenderResult RenderReport(QPagedPaintDevice &device, const tk::DataPacket &rows, const ReportHeader &header);

// Writes the report as a PDF file. Raises tk::Exception when the file cannot be written.
RenderResult WriteReportPdf(const tk::DataPacket &rows, const ReportHeader &header, const QString &path);

// The preview window: QPrintPreviewDialog with the report and an "Exportar PDF" action.
class TfrmRelProdutos : public QPrintPreviewDialog
{
    Q_OBJECT

public:
    TfrmRelProdutos(tk::DataPacket rows, ReportHeader header, QWidget *parent = nullptr);
    ~TfrmRelProdutos() override;

    QAction *actExportarPdf = nullptr; // Owned by the tool bar.

    // Asks where to save the PDF (a file dialog); empty cancels. Tests replace it.
    std::function<QString()> ChooseExportPath;
    // Exports to the path ChooseExportPath gives; errors go to the toolkit's error display.
    void ExportarPdf();

    const tk::DataPacket &Rows() const { return m_rows; }
    const ReportHeader &Header() const { return m_header; }
    // What the last preview or print drew.
    const RenderResult &LastRender() const { return m_lastRender; }
    QString DefaultFileName() const;

private:
    void paint(QPrinter *printer);

    tk::DataPacket m_rows;
    ReportHeader m_header;
    RenderResult m_lastRender;
};

std::unique_ptr<TfrmRelProdutos> CreateReportWindow(const tk::DataPacket &rows, const ReportHeader &header,
                                                    QWidget *parent = nullptr);

} // namespace kpv49700
