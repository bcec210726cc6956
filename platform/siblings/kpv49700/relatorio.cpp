#include "platform/siblings/kpv49700/relatorio.h"

#include "platform/hostlib/printheader.h"
#include "platform/hostlib/routines.h"
#include "platform/siblings/common/help.h"
#include "platform/siblings/common/style.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <set>

namespace kpv49700 {

namespace {

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

QString dateText(const tk::Variant &value)
{
    return value.isNumeric() ? q(tk::FormatDateTime("dd/mm/yyyy", value.asDateTime())) : QString();
}

QString numberText(const tk::Variant &value)
{
    return value.isNumeric() ? q(tk::FormatFloat("#,##0.00000", value.asDouble())) : QString();
}

QString treeCodeText(const tk::Variant &value)
{
    const std::string code = value.isNull() ? std::string() : value.asString();
    return code.empty() ? QString() : q(tk::FormatMaskText(host::DBPict(0), code));
}

struct Column
{
    double width; // points; 0 takes what the others leave
    Qt::Alignment align;
};

std::vector<Column> columnsOf(Listagem listagem)
{
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    if (listagem == Listagem::CustoZero)
        return {{62, left}, {70, left}, {0, left}, {78, right}};
    return {{62, left}, {70, left}, {0, left}, {78, right}, {70, right}, {62, left}, {62, left}};
}

QPageLayout::Orientation orientationOf(Listagem listagem)
{
    // The quote listing has seven columns: on a portrait page the product names would not fit.
    return listagem == Listagem::CustoZero ? QPageLayout::Portrait : QPageLayout::Landscape;
}

const QMarginsF kMarginsMm(12, 12, 12, 12);

// Geometry of a page, in points.
constexpr double kColumnsHeight = 15;
constexpr double kLineHeight = 12;
// The shared page frame's header (title and three lines) and footer, then the column titles.
constexpr double kHeaderHeight = tk::kPrintTitleHeight + 3 * tk::kPrintInfoHeight + 6 + kColumnsHeight + 3;
constexpr double kFooterHeight = tk::kPrintFooterHeight;

QFont reportFont(double pixelSize, bool bold = false)
{
    return tk::PrintFont(pixelSize, bold);
}

} // namespace

int CountProducts(const tk::DataPacket &rows)
{
    // A product used on several days has one line per day: it counts once, by its product code
    // (its tree code when the listing has no product code).
    int field = rows.fieldIndex("CDPRODUTO");
    if (field < 0)
        field = rows.fieldIndex("CDARVPROD");
    if (field < 0)
        return static_cast<int>(rows.rows.size());
    std::set<std::string> codes;
    for (const std::vector<tk::Variant> &row : rows.rows) {
        const tk::Variant &code = row[size_t(field)];
        codes.insert(code.isNull() ? std::string() : code.asString());
    }
    return static_cast<int>(codes.size());
}

ReportHeader HeaderFor(const ReportRequest &request)
{
    ReportHeader header;
    header.listagem = request.listagem;
    header.cdFilial = request.cdFilial;
    header.cdServFili = request.cdServFili;
    header.cdFiliCust = request.cdFiliCust;
    header.cdTipoCusto = request.cdTipoCusto;
    header.dtReferencia = request.dtReferencia;
    header.idRefeFixa = request.idRefeFixa;
    header.dtRefeFixa = request.dtRefeFixa;
    header.operador = host::Operador();
    header.emitidoEm = host::NowDateTime();
    return header;
}

QString ReportTitle(Listagem listagem)
{
    return listagem == Listagem::CustoZero ? QStringLiteral("Produtos com Custo Zero")
                                           : QStringLiteral("Produtos com Cotação Desatualizada");
}

QStringList ReportColumns(Listagem listagem)
{
    if (listagem == Listagem::CustoZero) {
        return {QStringLiteral("Data"), QStringLiteral("Código"), QStringLiteral("Nome do Produto"),
                QStringLiteral("Qtde. Bruta")};
    }
    return {QStringLiteral("Data"), QStringLiteral("Código"), QStringLiteral("Nome do Produto"),
            QStringLiteral("Qtde. Bruta"), QStringLiteral("Custo Unit."), QStringLiteral("Período De"),
            QStringLiteral("Período Até")};
}

std::vector<QStringList> ReportLines(const tk::DataPacket &rows, Listagem listagem)
{
    std::vector<int> index;
    for (const std::string &field : RequiredFields(listagem)) {
        const int i = rows.fieldIndex(field);
        if (i < 0)
            throw tk::Exception("KPV49700: a listagem não tem o campo " + field);
        index.push_back(i);
    }
    std::vector<QStringList> lines;
    lines.reserve(rows.rows.size());
    for (const auto &row : rows.rows) {
        auto at = [&](size_t k) -> const tk::Variant & { return row.at(static_cast<size_t>(index[k])); };
        const QString name = at(2).isNull() ? QString() : q(at(2).asString());
        if (listagem == Listagem::CustoZero) {
            // DTCARDAPIO, CDARVPROD, NMPRODUTO, QTDEBRUTA
            lines.push_back({dateText(at(0)), treeCodeText(at(1)), name, numberText(at(3))});
        } else {
            // DTCONSPLAN, CDARVPROD, NMPRODUTO, QTCONSPLAN, CUSTOPROD, DTCUSTOSUP, DTFINCUSTSUP
            lines.push_back({dateText(at(0)), treeCodeText(at(1)), name, numberText(at(3)), numberText(at(4)),
                             dateText(at(5)), dateText(at(6))});
        }
    }
    return lines;
}

RenderResult RenderReport(QPagedPaintDevice &device, const tk::DataPacket &rows, const ReportHeader &header)
{
    const std::vector<QStringList> lines = ReportLines(rows, header.listagem);
    QPainter painter;
    if (!painter.begin(&device))
        throw tk::Exception("KPV49700: não foi possível iniciar o desenho do relatório");

    // Everything below is laid out in points.
    double width = 0, height = 0;
    tk::BeginPointPainting(painter, device, width, height);

    std::vector<Column> columns = columnsOf(header.listagem);
    double fixed = 0;
    for (const Column &c : columns)
        fixed += c.width;
    const double gap = 8;
    for (Column &c : columns) {
        if (c.width == 0)
            c.width = std::max(60.0, width - fixed - gap * static_cast<double>(columns.size() - 1));
    }

    const int perPage = std::max(1, static_cast<int>((height - kHeaderHeight - kFooterHeight) / kLineHeight));
    const int total = static_cast<int>(lines.size());
    const int pages = std::max(1, (total + perPage - 1) / perPage);

    const QFont columnFont = reportFont(8.5, true);
    const QFont lineFont = reportFont(8);
    const QFontMetricsF lineMetrics(lineFont);

    host::PrintContext context;
    context.cdFilial = header.cdFilial;
    context.cdServFili = header.cdServFili;
    context.dtReferencia = header.dtReferencia;
    context.cdTipoCusto = header.cdTipoCusto;
    context.idRefeFixa = header.idRefeFixa;
    context.dtRefeFixa = header.dtRefeFixa;
    context.cdFiliCust = header.cdFiliCust;
    context.operador = header.operador;
    context.emitidoEm = header.emitidoEm;
    const QStringList titles = ReportColumns(header.listagem);
    const int products = CountProducts(rows);
    const tk::PrintFrame frame = host::CostPrintFrame(
        ReportTitle(header.listagem), context,
        QStringLiteral("Total de produtos: %1     Linhas: %2").arg(products).arg(total));

    RenderResult result;
    result.pages = pages;
    result.products = products;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage())
            throw tk::Exception("KPV49700: não foi possível abrir uma nova página do relatório");
        double y = tk::DrawPrintHeader(painter, frame, width);
        painter.setFont(columnFont);
        double x = 0;
        for (size_t c = 0; c < columns.size(); ++c) {
            painter.drawText(QRectF(x, y, columns[c].width, kColumnsHeight), columns[c].align,
                             titles[int(c)]);
            x += columns[c].width + gap;
        }
        y += kColumnsHeight;
        painter.drawLine(QPointF(0, y + 1), QPointF(width, y + 1));
        y += 3;

        painter.setFont(lineFont);
        const int from = page * perPage;
        const int to = std::min(total, from + perPage);
        for (int i = from; i < to; ++i) {
            const QStringList &cells = lines[static_cast<size_t>(i)];
            x = 0;
            for (size_t c = 0; c < columns.size(); ++c) {
                const QString text = lineMetrics.elidedText(cells[int(c)], Qt::ElideRight, columns[c].width);
                painter.drawText(QRectF(x, y, columns[c].width, kLineHeight), columns[c].align, text);
                x += columns[c].width + gap;
            }
            result.lines.push_back(cells);
            y += kLineHeight;
        }
        if (total == 0) {
            painter.drawText(QRectF(0, y, width, kLineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             QStringLiteral("Nenhum produto encontrado."));
        }
        result.linesPerPage.push_back(to > from ? to - from : 0);

        tk::DrawPrintFooter(painter, frame, width, height, page + 1, pages);
    }
    painter.end();
    return result;
}

RenderResult WriteReportPdf(const tk::DataPacket &rows, const ReportHeader &header, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw tk::Exception("KPV49700: não foi possível gravar o PDF em " + path.toStdString() + ": "
                            + file.errorString().toStdString());
    }
    RenderResult result;
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setTitle(ReportTitle(header.listagem));
        writer.setCreator(QStringLiteral("KPV49700"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientationOf(header.listagem), kMarginsMm,
                                         QPageLayout::Millimeter));
        result = RenderReport(writer, rows, header);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        throw tk::Exception("KPV49700: não foi possível gravar o PDF em " + path.toStdString() + ": "
                            + file.errorString().toStdString());
    }
    return result;
}

TfrmRelProdutos::TfrmRelProdutos(tk::DataPacket rows, ReportHeader header, QWidget *parent)
    : QPrintPreviewDialog(parent), m_rows(std::move(rows)), m_header(std::move(header))
{
    // A packet without the listing's fields is refused before the window exists.
    ReportLines(m_rows, m_header.listagem);

    setObjectName(QStringLiteral("frmRelProdutos"));
    setWindowTitle(QStringLiteral("Relatório de Produtos - ") + ReportTitle(m_header.listagem));
    siblings::SetWindowLook(*this, QStyle::SP_FileDialogDetailedView);
    siblings::InstallHelpKey(*this, "KPV49700");
    printer()->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientationOf(m_header.listagem),
                                         kMarginsMm, QPageLayout::Millimeter));
    printer()->setDocName(ReportTitle(m_header.listagem));
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) { paint(target); });

    actExportarPdf = new QAction(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                 QStringLiteral("Exportar PDF"), this);
    actExportarPdf->setObjectName(QStringLiteral("actExportarPdf"));
    actExportarPdf->setToolTip(QStringLiteral("Exportar PDF"));
    connect(actExportarPdf, &QAction::triggered, this, [this] { ExportarPdf(); });
    if (QToolBar *toolBar = findChild<QToolBar *>()) {
        toolBar->addSeparator();
        toolBar->addAction(actExportarPdf);
    } else {
        addAction(actExportarPdf);
    }
}

TfrmRelProdutos::~TfrmRelProdutos() = default;

QString TfrmRelProdutos::DefaultFileName() const
{
    const QString kind = m_header.listagem == Listagem::CustoZero ? QStringLiteral("ProdutosCustoZero")
                                                                  : QStringLiteral("CotacaoDesatualizada");
    return QStringLiteral("%1_%2_%3_%4.pdf")
        .arg(kind, q(m_header.cdFilial), q(m_header.cdServFili),
             q(tk::FormatDateTime("yyyy-mm", m_header.dtReferencia)));
}

void TfrmRelProdutos::ExportarPdf()
{
    QString path;
    if (ChooseExportPath) {
        path = ChooseExportPath();
    } else {
        path = QFileDialog::getSaveFileName(this, QStringLiteral("Exportar PDF"), DefaultFileName(),
                                            QStringLiteral("Arquivos PDF (*.pdf)"));
        if (!path.isEmpty() && !path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
            path += QStringLiteral(".pdf");
    }
    if (path.isEmpty())
        return;
    tk::CallSafely([&] { WriteReportPdf(m_rows, m_header, path); });
}

void TfrmRelProdutos::paint(QPrinter *target)
{
    tk::CallSafely([&] { m_lastRender = RenderReport(*target, m_rows, m_header); });
}

std::unique_ptr<TfrmRelProdutos> CreateReportWindow(const tk::DataPacket &rows, const ReportHeader &header,
                                                    QWidget *parent)
{
    return std::make_unique<TfrmRelProdutos>(rows, header, parent);
}

} // namespace kpv49700
