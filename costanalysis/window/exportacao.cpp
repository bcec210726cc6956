// Taking the window's figures out: the month as one workbook, the daily table as CSV, and the
// printed header of the window's grids. The month is walked with the window's own handlers --
// page changes and day moves load and compute exactly as when the user makes them -- and every
// sheet is read from the grids, so the files hold what the screen shows.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/host.h"
#include "platform/hostlib/printheader.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/gridactions.h"

#include <QAction>
#include <QFileDialog>

#include <cmath>

namespace kpv40206 {

namespace {

constexpr const char *kExportando = "Exportando o mês...";

tk::ExportColumn TextColumn(const std::string &caption, int width)
{
    tk::ExportColumn c;
    c.caption = caption;
    c.kind = tk::ExportKind::Text;
    c.widthPixels = width;
    return c;
}

tk::ExportColumn NumberColumn(const std::string &caption, const std::string &format, int width)
{
    tk::ExportColumn c;
    c.caption = caption;
    c.kind = tk::ExportKind::Number;
    c.displayFormat = format;
    c.widthPixels = width;
    c.rightAligned = true;
    return c;
}

tk::ExportColumn DateColumn(const std::string &caption, tk::ExportKind kind = tk::ExportKind::Date)
{
    tk::ExportColumn c;
    c.caption = caption;
    c.kind = kind;
    c.widthPixels = kind == tk::ExportKind::Date ? 80 : 130;
    return c;
}

tk::ExportCell Text(const std::string &text)
{
    tk::ExportCell cell;
    cell.null = false;
    cell.text = text;
    return cell;
}

tk::ExportCell Number(double value, const std::string &format)
{
    tk::ExportCell cell;
    cell.null = false;
    cell.number = value;
    cell.text = tk::FormatFloat(format, value);
    return cell;
}

tk::ExportCell Date(tk::TDateTime value)
{
    tk::ExportCell cell;
    cell.null = false;
    cell.number = value;
    cell.text = tk::DateTimeToStr(value);
    return cell;
}

// A per-day list: leading columns (the day, and the dish or type it belongs to) before the grid's.
struct DayList
{
    tk::ExportSheet sheet;
    std::vector<tk::ExportColumn> leading;

    void add(const tk::ExportSheet &rows, const std::vector<tk::ExportCell> &lead)
    {
        if (sheet.columns.empty() && !rows.columns.empty()) {
            sheet.columns = leading;
            sheet.columns.insert(sheet.columns.end(), rows.columns.begin(), rows.columns.end());
        }
        for (const auto &row : rows.rows) {
            std::vector<tk::ExportCell> cells = lead;
            cells.insert(cells.end(), row.begin(), row.end());
            sheet.rows.push_back(std::move(cells));
        }
    }
};

// The pages, the day and the dish of the window as they were, put back on every exit path.
class EstadoDaJanela
{
public:
    explicit EstadoDaJanela(TfrmCustoServ &w)
        : m_w(w), m_padrao(w.pgcPadrao->ActivePage()), m_planejado(w.pgcPlanejado->ActivePage()),
          m_dia(w.qryTrabCusto->GetBookmark())
    {
    }
    ~EstadoDaJanela()
    {
        // The day comes back through the window's own day handling, on the planned page.
        tk::CallSafely([&] {
            m_w.pgcPadrao->SelectPageByUser(m_w.tshPlanejado);
            m_w.pgcPlanejado->SelectPageByUser(m_planejado);
            if (m_w.qryTrabCusto->Active() && m_w.qryTrabCusto->BookmarkValid(m_dia))
                m_w.qryTrabCusto->GotoBookmark(m_dia);
            m_w.pgcPadrao->SelectPageByUser(m_padrao);
        });
        m_w.qryTrabCusto->FreeBookmark(m_dia);
    }
    EstadoDaJanela(const EstadoDaJanela &) = delete;
    EstadoDaJanela &operator=(const EstadoDaJanela &) = delete;

private:
    TfrmCustoServ &m_w;
    tk::TTabSheet *m_padrao;
    tk::TTabSheet *m_planejado;
    tk::TBookmark m_dia;
};

// Moves a dataset to a view row; the handlers run as for a user's move.
void MoveTo(tk::TClientDataSet &ds, int viewRow)
{
    if (ds.RecNo() != viewRow + 1)
        ds.SetRecNo(viewRow + 1);
}

} // namespace

tk::ExportSheet TfrmCustoServ::PlanilhaParametros() const
{
    const TContextoCusto &c = ContextoCusto;
    tk::ExportSheet sheet;
    sheet.name = "Parâmetros";
    sheet.columns = {TextColumn("Filial", 60),
                     TextColumn("Serviço", 60),
                     TextColumn("Nome do Serviço", 200),
                     DateColumn("Mês"),
                     NumberColumn("Tipo de Custo", "0", 90),
                     NumberColumn("Tipo de Custo Realizado", "0", 140),
                     TextColumn("Filial de Custo", 100),
                     NumberColumn("Custo Padrão", "#,##0.00000", 100),
                     TextColumn("Preços", 200),
                     DateColumn("Exportado em", tk::ExportKind::DateTime)};
    const std::string servico = qryServico->Active() && !qryServico->IsEmpty()
                                    ? qryServico->FieldByName("NMSERVICO")->AsString()
                                    : std::string();
    const std::string precos = c.IdRefeFixa ? "Preços fixados em " + tk::DateToStr(c.DtRefeFixa)
                                            : std::string("Preços da data de cada dia");
    sheet.rows.push_back({Text(c.CdFilial), Text(c.CdServFili), Text(servico), Date(c.DtIniMes),
                          Number(c.CdTipoCusto, "0"), Number(c.CdTipoCustoReal, "0"), Text(c.CdFiliCust),
                          Number(nedCustoPadrao->GetNumber(), "#,##0.00000"), Text(precos),
                          Date(host::NowDateTime())});
    return sheet;
}

tk::ExportSheet TfrmCustoServ::PlanilhaDias() const
{
    tk::ExportSheet sheet = dbgTrabCusto->Actions().Sheet();
    sheet.name = "Dias";
    if (sheet.columns.empty() || !qryTrabCusto->Active() || qryTrabCusto->IsEmpty())
        return sheet;
    // The month totals as the window keeps them: raw material and consumption summed at the
    // table's opening, and the running figures of its last day.
    std::vector<tk::ExportCell> total(sheet.columns.size());
    total[0] = Text("Total do mês");
    total[0].null = true;
    tk::TClientDataSet &trab = *qryTrabCusto;
    const int last = trab.RecordCount() - 1;
    auto put = [&](const char *field, double value) {
        for (size_t i = 0; i < sheet.columns.size(); ++i) {
            if (UpperCaseAscii(sheet.columns[i].fieldName) == field)
                total[i] = Number(value, sheet.columns[i].displayFormat);
        }
    };
    if (cdsTotalMes->Active() && !cdsTotalMes->IsEmpty()) {
        put("VRCUSTPRODMAT", cdsTotalMes->FieldByName("VRTOTMATPRIM")->AsFloat());
        put("VRCUSTOCONS", cdsTotalMes->FieldByName("VRTOTCONS")->AsFloat());
    }
    for (const char *field : {"VRCUSTOACU", "QTCOMESACU", "VRCUSTOMEDIO"}) {
        const tk::Variant value = trab.ViewValue(last, trab.FieldByName(field));
        if (!value.isNull())
            put(field, value.asDouble());
    }
    sheet.totalsFrom = int(sheet.rows.size());
    sheet.rows.push_back(std::move(total));
    return sheet;
}

std::vector<tk::ExportSheet> TfrmCustoServ::PlanilhasDoMes(const std::function<bool(int, int)> &progress)
{
    tk::TClientDataSet &trab = *qryTrabCusto;
    if (!trab.Active() || trab.IsEmpty())
        throw tk::Exception("Não há dias carregados para exportar.");
    std::vector<tk::ExportSheet> sheets;
    sheets.push_back(PlanilhaParametros());

    EstadoDaJanela estado(*this);
    const int days = trab.RecordCount();
    const int steps = 2 * days + 4;
    int done = 0;
    auto step = [&] {
        ++done;
        if (progress && !progress(done, steps))
            throw EExportacaoCancelada("Exportação cancelada.");
    };
    auto dayCell = [&] { return Date(trab.FieldByName("DTDATA")->AsDateTime()); };

    pgcPadrao->SelectPageByUser(tshPlanejado);
    sheets.push_back(PlanilhaDias());

    // Dishes and their ingredients: the raw-material page loads and computes each day.
    DayList pratos, ingredientes;
    pratos.leading = {DateColumn("Dia")};
    ingredientes.leading = {DateColumn("Dia"), TextColumn("Prato", 200)};
    pgcPlanejado->SelectPageByUser(tshMatPrima);
    for (int d = 0; d < days; ++d) {
        MoveTo(trab, d);
        const tk::ExportCell dia = dayCell();
        pratos.add(dbgCardapio->Actions().Sheet(), {dia});
        tk::TClientDataSet &dish = *qryCardapio;
        for (int k = 0; dish.Active() && k < dish.RecordCount(); ++k) {
            MoveTo(dish, k);
            ingredientes.add(dbgPrato->Actions().Sheet(), {dia, Text(dish.FieldByName("NMPRATO")->AsString())});
        }
        step();
    }

    // Consumption: the consumption page loads each day; each type shows its items.
    DayList tipos, consumo;
    tipos.leading = {DateColumn("Dia")};
    consumo.leading = {DateColumn("Dia"), TextColumn("Tipo de Consumo", 160)};
    pgcPlanejado->SelectPageByUser(tshConsumoServico);
    for (int d = 0; d < days; ++d) {
        MoveTo(trab, d);
        const tk::ExportCell dia = dayCell();
        tipos.add(dbgTipoCons->Actions().Sheet(), {dia});
        tk::TClientDataSet &tipo = *cdsConsumo;
        for (int k = 0; tipo.Active() && k < tipo.RecordCount(); ++k) {
            MoveTo(tipo, k);
            consumo.add(dbgConsPerc->Actions().Sheet(), {dia, Text(tipo.FieldByName("NMTIPOPRAT")->AsString())});
        }
        step();
    }
    pratos.sheet.name = "Pratos";
    ingredientes.sheet.name = "Ingredientes";
    tipos.sheet.name = "Consumo por Tipo";
    consumo.sheet.name = "Consumo";
    for (DayList *list : {&pratos, &ingredientes, &tipos, &consumo})
        sheets.push_back(std::move(list->sheet));

    // The other pages, each loaded by its own page change.
    auto page = [&](tk::TTabSheet *sheet, tk::TDBGrid *grid, const char *name) {
        if (sheet->Enabled() && pgcPadrao->SelectPageByUser(sheet)) {
            tk::ExportSheet rows = grid->Actions().Sheet();
            rows.name = name;
            sheets.push_back(std::move(rows));
        }
        step();
    };
    page(tshRealizado, dbgRealizado, "Realizado");
    page(tshPlanReal, dbgPlanReal, "Planejado x Realizado");
    page(tshProdCustZero, dbgCustZero, "Produtos Custo Zero");
    page(tshCotDesatu, dbgCotDesatu, "Cotação Desatualizada");
    for (tk::ExportSheet &sheet : PlanilhasIndicadores())
        sheets.push_back(std::move(sheet));
    return sheets;
}

std::vector<tk::ExportSheet> TfrmCustoServ::PlanilhasIndicadores()
{
    std::vector<tk::ExportSheet> sheets;
    if (!ConfiancaAtiva)
        return sheets;
    // A totals row under a day list: the label in the first column, the month's figure under each
    // column of the same field.
    auto totals = [](tk::ExportSheet &sheet, tk::TClientDataSet &month, const std::string &label) {
        if (!month.Active() || month.IsEmpty() || sheet.columns.empty())
            return;
        std::vector<tk::ExportCell> row(sheet.columns.size());
        row[0] = Text(label);
        row[0].null = true; // a label in the day column, written as text on a totals row
        for (size_t i = 1; i < sheet.columns.size(); ++i) {
            const tk::TField *field = month.FindField(sheet.columns[i].fieldName);
            if (field && !field->IsNull())
                row[i] = Number(field->AsFloat(), sheet.columns[i].displayFormat);
        }
        sheet.totalsFrom = int(sheet.rows.size());
        sheet.rows.push_back(std::move(row));
    };

    if (cdsConfianca->Active()) {
        tk::ExportSheet days = tk::SheetOf(*cdsConfianca, "Confiança",
                                           {{"DTDATA", "Dia", 80},
                                            {"VRCUSTPRODMAT", "Matéria Prima", 110},
                                            {"VRCUSTDESATU", "Em Cotação Desatualizada", 150},
                                            {"VRCUSTESTIM", "Sem Custo (estimado)", 130},
                                            {"QTPRODDESATU", "Produtos Desatualizados", 140},
                                            {"QTPRODSEMCUSTO", "Produtos sem Custo", 120},
                                            {"PCDESATU", "Desatualizado (%)", 110},
                                            {"PCSEMCUSTO", "Sem Custo (%)", 100},
                                            {"PCCONFIANCA", "Confiança (%)", 100}});
        totals(days, *cdsConfiancaMes, "Mês");
        sheets.push_back(std::move(days));
    }
    if (cdsConfiancaProd->Active()) {
        tk::ExportSheet products = tk::SheetOf(*cdsConfiancaProd, "Confiança por Produto",
                                               {{"DTDATA", "Dia", 80},
                                                {"CDPRODUTO", "Produto", 80},
                                                {"NMPRODUTO", "Nome do Produto", 220},
                                                {"IDMOTIVO", "Motivo", 160},
                                                {"VRCUSTO", "Custo", 110},
                                                {"PCCUSTO", "% da Matéria Prima do Dia", 150}});
        for (auto &row : products.rows) {
            tk::ExportCell &reason = row[3];
            reason.text = reason.text == "E" ? "Sem custo (estimado)" : "Cotação desatualizada";
        }
        sheets.push_back(std::move(products));
    }
    if (dbgVariacao && cdsVariacao) {
        if (!cdsVariacao->Active())
            CarregaVariacao();
        if (cdsVariacao->Active()) {
            tk::ExportSheet split = dbgVariacao->Actions().Sheet();
            split.name = "Decomposição da Variação";
            totals(split, *cdsVariacaoMes,
                   "Até " + tk::FormatDateTime("ddddd", ContextoCusto.DtProcesso - 1));
            sheets.push_back(std::move(split));
        }
    }
    return sheets;
}

void TfrmCustoServ::ExportaMes(const std::string &path, const std::function<bool(int, int)> &progress)
{
    const std::string upper = UpperCaseAscii(path);
    if (upper.size() >= 4 && upper.compare(upper.size() - 4, 4, ".CSV") == 0) {
        tk::WriteCsv(PlanilhaDias(), path);
        return;
    }
    const std::vector<tk::ExportSheet> sheets = PlanilhasDoMes(progress);
    tk::XlsxOptions options;
    options.title = "Análise de Custos - " + ContextoCusto.CdFilial + "/" + ContextoCusto.CdServFili + " - "
                    + tk::FormatDateTime("mm/yyyy", ContextoCusto.DtIniMes);
    options.author = host::Operador();
    tk::WriteXlsx(sheets, path, options);
}

void TfrmCustoServ::ExportaMesPeloUsuario()
{
    const QString name = QStringLiteral("AnaliseCustos_%1_%2_%3.xlsx")
                             .arg(QString::fromStdString(ContextoCusto.CdFilial),
                                  QString::fromStdString(ContextoCusto.CdServFili),
                                  QString::fromStdString(tk::FormatDateTime("yyyy-mm", ContextoCusto.DtIniMes)));
    QString path = EscolheArquivoExportacao ? EscolheArquivoExportacao(name)
                                            : QFileDialog::getSaveFileName(this, QStringLiteral("Exportar mês"), name,
                                                                           QStringLiteral("Planilha do Excel (*.xlsx)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive) && !path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".xlsx");
    tk::CallSafely([&] {
        host::BusyProgress busy(this, 6, kExportando);
        try {
            ExportaMes(path.toStdString(), [&](int done, int total) { return busy.Step(done, total); });
        } catch (const EExportacaoCancelada &) {
            // The user asked for it: no file, no message.
        }
    });
}

tk::PrintFrame TfrmCustoServ::CabecalhoImpressao(const std::string &title) const
{
    const TContextoCusto &c = ContextoCusto;
    host::PrintContext context;
    context.cdFilial = c.CdFilial;
    context.cdServFili = c.CdServFili;
    context.dtReferencia = c.DtReferencia;
    context.cdTipoCusto = c.CdTipoCusto;
    context.idRefeFixa = c.IdRefeFixa;
    context.dtRefeFixa = c.DtRefeFixa;
    context.cdFiliCust = c.CdFiliCust;
    context.operador = host::Operador();
    context.emitidoEm = host::NowDateTime();
    return host::CostPrintFrame(QString::fromStdString(title), context, windowTitle());
}

void TfrmCustoServ::ConfiguraExportacao()
{
    actExportaMes = new QAction(QStringLiteral("Exportar mês…"), this);
    actExportaMes->setObjectName(QStringLiteral("actExportaMes"));
    connect(actExportaMes, &QAction::triggered, this, [this] { ExportaMesPeloUsuario(); });
    for (tk::TDBGrid *grid : {dbgTrabCusto, dbgCardapio, dbgPrato, dbgDieta, dbgTipoCons, dbgConsPerc, dbgRealizado,
                              dbgProdReal, dbgPlanReal, dbgCustZero, dbgCotDesatu, dbgVariacao}) {
        if (!grid)
            continue;
        grid->Actions().ExtraActions = {actExportaMes};
        grid->Actions().PrintHeader = [this, grid] { return CabecalhoImpressao(grid->Actions().SheetName()); };
    }
}

} // namespace kpv40206
