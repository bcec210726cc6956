// Cost confidence beside the daily table: how much of each day's raw material rests on outdated
// quotes and on products without cost, as the server's GetConfiancaCusto computes it. Everything
// here is added beside the specified table and panel: one calculated field and one column at the end
// of the daily grid, a hint on the cells of the days concerned, one row of the summary panel. The
// specified colours keep their meaning; a flagged day is marked in the new column only.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/formats.h"

#include <QGridLayout>
#include <QLayout>

#include <algorithm>
#include <cmath>

namespace kpv40206 {

namespace {

using tk::FieldType;

constexpr const char *kCampo = "PCCONFIANCA";
constexpr const char *kPercentual = "#,##0.00";
// A flagged cell: bold dark red, a colour no specified rule of the daily grid uses.
constexpr tk::TColor kCorSinal = tk::clMaroon;
constexpr int kIngredientesNaDica = 3;

struct Campo
{
    const char *name;
    FieldType type;
    int size = 0;
};

std::unique_ptr<tk::TClientDataSet> NovoDataSet(const char *name, std::initializer_list<Campo> fields)
{
    auto ds = std::make_unique<tk::TClientDataSet>(name);
    for (const auto &[field, type, size] : fields) {
        tk::TField *f = ds->AddField(field, type, size, tk::TFieldKind::fkData);
        const std::string prefix = std::string(field).substr(0, 2);
        if (prefix == "PC")
            f->SetDisplayFormat(kPercentual);
        else if (prefix == "VR")
            f->SetDisplayFormat("#,##0.00000");
        else if (prefix == "QT")
            f->SetDisplayFormat("#,##0");
    }
    return ds;
}

int Dia(tk::TDateTime day)
{
    return static_cast<int>(std::floor(day));
}

std::string Percentual(double value)
{
    return tk::FormatFloat(kPercentual, value) + " %";
}

} // namespace

void TfrmCustoServ::CriaConfianca()
{
    const host::Settings &settings = host::GetSettings();
    ConfiancaAtiva = settings.indicadoresCusto;
    LimiteConfianca = settings.limiteConfianca;
    if (!ConfiancaAtiva)
        return;
    rdmInsight = std::make_unique<TInsightRemote>(*netCustoServ);

    const FieldType D = FieldType::DateTime, F = FieldType::Float, S = FieldType::String;
    cdsConfianca = NovoDataSet("cdsConfianca", {{"DTDATA", D}, {"VRCUSTPRODMAT", F}, {"VRCUSTDESATU", F},
                                                {"VRCUSTESTIM", F}, {"QTPRODDESATU", F}, {"QTPRODSEMCUSTO", F},
                                                {"PCDESATU", F}, {"PCSEMCUSTO", F}, {kCampo, F}});
    cdsConfianca->AddIndex("OrdenaData", "DTDATA");
    cdsConfianca->SetIndexName("OrdenaData");
    cdsConfiancaProd = NovoDataSet("cdsConfiancaProd", {{"DTDATA", D}, {"CDPRODUTO", S, 10}, {"NMPRODUTO", S, 50},
                                                        {"IDMOTIVO", S, 1}, {"VRCUSTO", F}, {"PCCUSTO", F}});
    cdsConfiancaMes = NovoDataSet("cdsConfiancaMes", {{"VRCUSTPRODMAT", F}, {"VRCUSTDESATU", F}, {"VRCUSTESTIM", F},
                                                      {"QTPRODDESATU", F}, {"QTPRODSEMCUSTO", F}, {"PCDESATU", F},
                                                      {"PCSEMCUSTO", F}, {kCampo, F}});
    m_dataSets.insert(m_dataSets.end(), {cdsConfianca.get(), cdsConfiancaProd.get(), cdsConfiancaMes.get()});

    // The day's confidence as a calculated field of the daily table, after its own ones.
    tk::TField *field = qryTrabCusto->AddField(kCampo, F, 0, tk::TFieldKind::fkCalculated);
    field->SetDisplayLabel("Confiança (%)");
    field->SetDisplayFormat(kPercentual);
    auto calcFields = qryTrabCusto->OnCalcFields;
    qryTrabCusto->OnCalcFields = [this, calcFields](tk::TClientDataSet &ds) {
        if (calcFields)
            calcFields(ds);
        tk::TField *confianca = ds.FieldByName(kCampo);
        confianca->Clear();
        if (!cdsConfianca->Active() || cdsConfianca->IsEmpty())
            return;
        const tk::Variant day = tk::Variant::fromDateTime(ds.FieldByName("DTDATA")->AsDateTime());
        if (cdsConfianca->Locate("DTDATA", day) && !cdsConfianca->FieldByName(kCampo)->IsNull())
            confianca->SetAsFloat(cdsConfianca->FieldByName(kCampo)->AsFloat());
    };

    dbgTrabCusto->AddColumn(kCampo, "Confiança (%)", 90, tk::TAlignment::taRightJustify);
    auto draw = dbgTrabCusto->OnDrawColumnCell;
    dbgTrabCusto->OnDrawColumnCell = [this, draw](tk::TDBGrid &grid, const QRect &rect, int dataCol,
                                                  tk::TColumn &column, tk::TGridDrawState state) {
        if (column.FieldName != kCampo) {
            if (draw)
                draw(grid, rect, dataCol, column, state);
            return;
        }
        const bool flagged = DiaSinalizado(qryTrabCusto->FieldByName("DTDATA")->AsDateTime());
        grid.Canvas().FontBold = flagged && !(state & tk::gdSelected);
        PintaCelula(grid, *qryTrabCusto, rect, column, state, flagged ? kCorSinal : tk::clWindowText, {});
        grid.Canvas().FontBold = false;
    };
    dbgTrabCusto->OnCellHint = [this](tk::TDBGrid &, tk::TColumn &column) -> std::string {
        const tk::TDateTime day = qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
        const bool red = cdsPreCotDesatu->Active() && !cdsPreCotDesatu->IsEmpty()
                         && cdsPreCotDesatu->Locate("DTDATA", tk::Variant::fromDateTime(day));
        if (red || (column.FieldName == kCampo && (DiaSinalizado(day) || !ErroConfianca.empty())))
            return DicaConfianca(day);
        return {};
    };

    // The summary panel: the day's and the month's confidence under the standard cost's row.
    auto *grid = qobject_cast<QGridLayout *>(grbCustoDia->layout());
    if (grid) {
        auto novo = [this](const char *name) {
            auto *ned = new tk::TNumberEdit(grbCustoDia, name);
            ned->SetReadOnly(true);
            ned->setFocusPolicy(Qt::NoFocus);
            ned->SetColor(tk::clBtnFace);
            ned->SetDecimals(2);
            ned->setAlignment(Qt::AlignRight);
            ned->setFixedHeight(ned->minimumSizeHint().height());
            return ned;
        };
        nedConfiancaDia = novo("nedConfiancaDia");
        nedConfiancaMes = novo("nedConfiancaMes");
        const int row = grid->rowCount();
        grid->addWidget(new tk::TLabel(grbCustoDia, "lblConfianca", "Confiança (%)"), row, 0);
        grid->addWidget(nedConfiancaDia, row, 1);
        grid->addWidget(nedConfiancaMes, row, 2);
        const int height = std::max(210, subPanCusto->layout()->sizeHint().height());
        subPanCusto->setGeometry(subPanCusto->x(), subPanCusto->y(), subPanCusto->width(), height);
        panCusto->setFixedHeight(height + 6);
    }
}

void TfrmCustoServ::CarregaConfianca()
{
    if (!ConfiancaAtiva)
        return;
    ErroConfianca.clear();
    try {
        const tk::Variant result = rdmInsight->GetConfiancaCusto(ContextoCusto);
        LoadPacket(*cdsConfianca, result[0]);
        LoadPacket(*cdsConfiancaProd, result[1]);
        LoadPacket(*cdsConfiancaMes, result[2]);
    } catch (const std::exception &e) {
        // A server that does not know the method leaves the column empty, and says why in its hint;
        // the specified figures of the window do not depend on it.
        ErroConfianca = e.what();
        for (tk::TClientDataSet *ds : {cdsConfianca.get(), cdsConfiancaProd.get(), cdsConfiancaMes.get()})
            ds->Close();
    }
    if (qryTrabCusto->Active())
        qryTrabCusto->Refresh();
    AtualizaConfianca();
}

bool TfrmCustoServ::DiaSinalizado(tk::TDateTime day) const
{
    if (!cdsConfianca || !cdsConfianca->Active() || cdsConfianca->IsEmpty()
        || !cdsConfianca->Locate("DTDATA", tk::Variant::fromDateTime(day)))
        return false;
    const tk::TField *confianca = cdsConfianca->FieldByName(kCampo);
    return !confianca->IsNull() && 100.0 - confianca->AsFloat() > LimiteConfianca;
}

std::string TfrmCustoServ::DicaConfianca(tk::TDateTime day) const
{
    if (!ErroConfianca.empty())
        return "Confiança indisponível: " + ErroConfianca;
    if (!cdsConfianca || !cdsConfianca->Active()
        || !cdsConfianca->Locate("DTDATA", tk::Variant::fromDateTime(day)))
        return {};
    std::string text;
    const tk::TField *confianca = cdsConfianca->FieldByName(kCampo);
    if (!confianca->IsNull())
        text = "Confiança do dia: " + Percentual(confianca->AsFloat());
    std::vector<std::string> lines;
    tk::TClientDataSet &prod = *cdsConfiancaProd;
    if (prod.Active()) {
        // The ingredients of the day, heaviest first as the server lists them.
        for (prod.First(); !prod.Eof() && static_cast<int>(lines.size()) < kIngredientesNaDica; prod.Next()) {
            if (Dia(prod.FieldByName("DTDATA")->AsDateTime()) != Dia(day))
                continue;
            const bool estimated = prod.FieldByName("IDMOTIVO")->AsString() == "E";
            lines.push_back(host::AllTrim(prod.FieldByName("NMPRODUTO")->AsString())
                            + (estimated ? " (sem custo, estimado): " : " (cotação desatualizada): ")
                            + Percentual(prod.FieldByName("PCCUSTO")->AsFloat()));
        }
    }
    if (lines.empty()) {
        text += (text.empty() ? "" : "\n") + std::string("Nenhum ingrediente do cardápio com preço ruim");
    } else {
        text += (text.empty() ? "" : "\n") + std::string("Pesam mais:");
        for (const std::string &line : lines)
            text += "\n  " + line;
    }
    return text;
}

void TfrmCustoServ::AtualizaConfianca()
{
    if (!ConfiancaAtiva || !nedConfiancaDia)
        return;
    double dia = 0, mes = 0;
    if (qryTrabCusto->Active() && !qryTrabCusto->IsEmpty())
        dia = qryTrabCusto->FieldByName(kCampo)->AsFloat();
    if (cdsConfiancaMes->Active() && !cdsConfiancaMes->IsEmpty())
        mes = cdsConfiancaMes->FieldByName(kCampo)->AsFloat();
    nedConfiancaDia->SetNumber(dia);
    nedConfiancaMes->SetNumber(mes);
}

} // namespace kpv40206
