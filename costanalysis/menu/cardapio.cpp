// Menu dishes qryCardapio: the dish costing with its flags and seasonal percentage, the ingredient
// grid following the current dish, and the dish grid's colours.

#include "costanalysis/window/frmcustoserv.h"

#include "costanalysis/menu/ingrediente.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/filtergroups.h"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kpv40206 {

using host::RoundDec;

// The day's ingredients (qryProduto, every dish of the day) indexed once per load:
// - the two dish flags by dish key (CDPRATO, CDFILAUXPRAT, DTCARDAPIO, whatever the diet), the same
//   exact, case-sensitive searches as keyed searches over the unfiltered ingredients;
// - each dish's ingredients in view order, grouped by the fields of the dish's ingredient filter
//   (PratoFiltro, the filter the ingredient grid shows the dish with): the toolkit's filter groups
//   answer that same filter text, read by the dataset's parser, with the records it selects.
// Searching and filtering the dataset itself for every dish computed (the whole month's dishes when
// the menu first loads, every dish of the day at each day change) rebuilt its view two to four
// times per dish; the index keeps a day change within the interactive budget.
struct DishFlags
{
    bool outdated = false; // an ingredient whose IDCUSTODESATU is exactly "S"
    bool zeroCost = false; // an ingredient whose CustoProd is exactly 0
};

struct IngredientData
{
    double qtdeBruta = 0;
    double custoProd = 0;
    std::string calendario;
};

struct IngredientIndex
{
    std::unordered_map<std::string, DishFlags> flags;
    std::optional<tk::TFilterGroups<IngredientData>> dishes; // empty while qryProduto is closed
};

namespace {

bool ComDieta()
{
    return host::ModuloAtiv() == 24;
}

std::string PratoFiltro(const std::string &prato, const std::string &filAux, const std::string &dieta)
{
    std::string filter = tk::FilterAnd(tk::FilterEq("CDPRATO", prato), tk::FilterEq("CDFILAUXPRAT", filAux));
    if (ComDieta())
        filter = tk::FilterAnd(filter, tk::FilterEq("CDDIETPAD", dieta));
    return filter;
}

std::string FlagKey(const std::string &prato, const std::string &filAux, const tk::Variant &dtCardapio)
{
    std::string key = prato;
    key += '\x1f';
    key += filAux;
    key += '\x1f';
    if (!dtCardapio.isNull()) {
        const double serial = dtCardapio.asDateTime();
        key.append(reinterpret_cast<const char *>(&serial), sizeof serial);
    }
    return key;
}

IngredientIndex BuildIndex(tk::TClientDataSet &produto)
{
    IngredientIndex index;
    if (!produto.Active())
        return index;
    const tk::TField *prato = produto.FieldByName("CDPRATO");
    const tk::TField *filAux = produto.FieldByName("CDFILAUXPRAT");
    const tk::TField *dtCardapio = produto.FieldByName("DTCARDAPIO");
    const tk::TField *desatu = produto.FieldByName("IDCUSTODESATU");
    const tk::TField *custo = produto.FieldByName("CustoProd");
    const tk::TField *qtdeBruta = produto.FieldByName("QTDEBRUTA");
    const tk::TField *calendario = produto.FieldByName("IDINTESAFR");
    std::vector<std::string> keys{"CDPRATO", "CDFILAUXPRAT"};
    if (ComDieta())
        keys.push_back("CDDIETPAD");
    index.dishes.emplace(produto, std::move(keys), [&] {
        DishFlags &flags = index.flags[FlagKey(prato->AsString(), filAux->AsString(), dtCardapio->Value())];
        if (!desatu->IsNull() && desatu->AsString() == "S")
            flags.outdated = true;
        const double custoProd = custo->AsFloat();
        if (!custo->IsNull() && custoProd == 0)
            flags.zeroCost = true;
        return IngredientData{qtdeBruta->AsFloat(), custoProd, calendario->AsString()};
    });
    return index;
}

// One dish's sums over its ingredients, as its ingredient filter selects them (with the diet in
// module 24), each computed for the dish's diners as the ingredient grid computes it: the cost of
// the dish, the season-2 and season-3 per-capita costs, and the whole per-capita cost.
struct DishSums
{
    bool hasIngredients = false;
    double custo = 0;
    double s2 = 0;
    double s3 = 0;
    double safra = 0;
};

DishSums SomaPrato(const IngredientIndex &index, const std::string &prato, const std::string &filAux,
                   const std::string &dieta, double dishDiners)
{
    static const std::vector<IngredientData> none;
    const std::vector<IngredientData> &ingredients =
        index.dishes ? index.dishes->Select(PratoFiltro(prato, filAux, dieta)) : none;
    DishSums sums;
    if (ingredients.empty())
        return sums;
    sums.hasIngredients = true;
    const int month = tk::MonthOf(ContextoCusto.DtProcesso);
    for (const IngredientData &item : ingredients) {
        const IngredienteCalc r =
            CalculaCustoIngrediente(item.qtdeBruta, item.custoProd, item.calendario, month, dishDiners);
        sums.custo += r.custoTotal;
        sums.s2 += r.temSafr2 ? r.custoSafra : 0.0;
        sums.s3 += r.temSafr3 ? r.custoSafra : 0.0;
        sums.safra += r.custoSafra;
    }
    return sums;
}

} // namespace

void TfrmCustoServ::AtualizaSafraDia()
{
    // The day's sums come from the dishes on show (the day and, in module 24, the diet the dish
    // grid shows), each counted once, so the figure does not depend on how often or in which order
    // the dishes were computed on the way here.
    SomaCustoSafra = 0;
    SomaCustoSafr2 = 0;
    SomaCustoSafr3 = 0;
    tk::TClientDataSet &dish = *qryCardapio;
    if (dish.Active() && dish.Filtered() && qryProduto->Active()) {
        if (!IndiceIngredientes)
            IndexaIngredientes(*this);
        const IngredientIndex &index = *IndiceIngredientes;
        const tk::TField *prato = dish.FieldByName("CDPRATO");
        const tk::TField *filAux = dish.FieldByName("CDFILAUXPRAT");
        const tk::TField *dieta = dish.FieldByName("CDDIETPAD");
        const tk::TField *peso = dish.FieldByName("VRPECONSCARD");
        const tk::TField *comens = dish.FieldByName("COMENSPRATO");
        for (int row = 0; row < dish.RecordCount(); ++row) {
            dish.WithViewRecord(row, [&] {
                const DishSums sums = SomaPrato(index, prato->AsString(), filAux->AsString(), dieta->AsString(),
                                                comens->AsFloat());
                const double weight = peso->AsFloat() / 100;
                SomaCustoSafra += sums.safra * weight;
                SomaCustoSafr2 += sums.s2 * weight;
                SomaCustoSafr3 += sums.s3 * weight;
            });
        }
    }
    const double percSafra = SomaCustoSafra > 0 ? SomaCustoSafr3 / SomaCustoSafra * 100
                                                      + (SomaCustoSafr2 / SomaCustoSafra * 100) / 2
                                                : 0.0;
    nedPeSafraCard->SetNumber(percSafra);
    qrySinaSafra->Close();
    qrySinaSafra->ParamByName("P_PERCSAFRA").SetAsFloat(nedPeSafraCard->GetNumber());
    qrySinaSafra->Open();
    if (!qrySinaSafra->IsEmpty() && !qrySinaSafra->FieldByName("NRCORSINSAFR")->IsNull())
        shpSafraCard->SetBrushColor(ColorNumber(qrySinaSafra->FieldByName("NRCORSINSAFR")->AsFloat()));
}

namespace {

// The key of a menu line's dish on its day, read from a packet row.
std::string PacketDishKey(const std::vector<tk::Variant> &row, int prato, int filAux, int dia)
{
    auto text = [](const tk::Variant &v) { return v.isNull() ? std::string() : v.asString(); };
    return FlagKey(text(row[size_t(prato)]), text(row[size_t(filAux)]), row[size_t(dia)]);
}

int RequiredField(const tk::DataPacket &packet, const char *name)
{
    const int index = packet.fieldIndex(name);
    if (index < 0)
        throw tk::Exception(std::string("O pacote do cardápio não tem o campo ") + name);
    return index;
}

double Number(const tk::Variant &v)
{
    return v.isNull() ? 0.0 : v.asDouble();
}

} // namespace

tk::Variant PratosDoDiaSemDietas(const tk::Variant &packet)
{
    const tk::DataPacket &in = packet.packet();
    const int prato = RequiredField(in, "CDPRATO");
    const int filAux = RequiredField(in, "CDFILAUXPRAT");
    const int dia = RequiredField(in, "DTCARDAPIO");
    const int dieta = RequiredField(in, "CDDIETPAD");
    const int comensPrato = RequiredField(in, "COMENSPRATO");
    // The menu's estimated diners count once per diet's menu the dish is on.
    const int menuDiners[] = {RequiredField(in, "QTCOMESTICAR"), RequiredField(in, "QTCLIESTICAR")};
    tk::DataPacket out(in.fields);
    out.rows.reserve(in.rows.size());
    struct Merged
    {
        size_t line;
        std::vector<tk::Variant> diets;
    };
    std::unordered_map<std::string, Merged> lineOfDish;
    auto add = [](tk::Variant &to, const tk::Variant &value) { to = tk::Variant(Number(to) + Number(value)); };
    for (const std::vector<tk::Variant> &row : in.rows) {
        const auto [found, added] = lineOfDish.try_emplace(PacketDishKey(row, prato, filAux, dia),
                                                           Merged{out.rows.size(), {row[size_t(dieta)]}});
        if (added) {
            out.rows.push_back(row);
            continue;
        }
        std::vector<tk::Variant> &line = out.rows[found->second.line];
        add(line[size_t(comensPrato)], row[size_t(comensPrato)]);
        std::vector<tk::Variant> &diets = found->second.diets;
        if (std::find(diets.begin(), diets.end(), row[size_t(dieta)]) == diets.end()) {
            diets.push_back(row[size_t(dieta)]);
            for (const int f : menuDiners)
                add(line[size_t(f)], row[size_t(f)]);
        }
    }
    return tk::Variant(std::move(out));
}

tk::Variant IngredientesDoDiaSemDietas(const tk::Variant &packet)
{
    const tk::DataPacket &in = packet.packet();
    const int prato = RequiredField(in, "CDPRATO");
    const int filAux = RequiredField(in, "CDFILAUXPRAT");
    const int dia = RequiredField(in, "DTCARDAPIO");
    const int dieta = RequiredField(in, "CDDIETPAD");
    tk::DataPacket out(in.fields);
    out.rows.reserve(in.rows.size());
    std::unordered_map<std::string, tk::Variant> dietOfDish;
    for (const std::vector<tk::Variant> &row : in.rows) {
        const auto [found, added] = dietOfDish.try_emplace(PacketDishKey(row, prato, filAux, dia), row[size_t(dieta)]);
        if (added || found->second == row[size_t(dieta)])
            out.rows.push_back(row);
    }
    return tk::Variant(std::move(out));
}

// Called by the day loading after each load of the ingredients, before the day's dishes are computed.
void IndexaIngredientes(TfrmCustoServ &window)
{
    window.IndiceIngredientes = std::make_shared<const IngredientIndex>(BuildIndex(*window.qryProduto));
}

void TfrmCustoServ::AplicaFiltro(tk::TClientDataSet &ds, const std::string &filter)
{
    if (ds.Filtered() && ds.Filter() == filter)
        ds.Refresh();
    else {
        ds.SetFilter(filter);
        ds.SetFiltered(true);
    }
}

void TfrmCustoServ::qryCardapioCalcFields(tk::TClientDataSet &dataSet)
{
    tk::TClientDataSet &produto = *qryProduto;
    const std::string prato = dataSet.FieldByName("CDPRATO")->AsString();
    const std::string filAux = dataSet.FieldByName("CDFILAUXPRAT")->AsString();
    const tk::Variant dtCardapio = dataSet.FieldByName("DTCARDAPIO")->Value();

    // The ingredient grid stays detached while the dish is computed, however the computation ends.
    // The ingredient view itself is not moved: the dish's ingredients come from the index, so the
    // grid keeps showing the dish it showed.
    tk::DisableSourceGuard source(*dtsProduto);
    const IngredientIndex *index = nullptr;
    if (produto.Active()) {
        if (!IndiceIngredientes)
            IndexaIngredientes(*this);
        index = IndiceIngredientes.get();
    }
    DishFlags flags;
    if (index) {
        const auto found = index->flags.find(FlagKey(prato, filAux, dtCardapio));
        if (found != index->flags.end())
            flags = found->second;
    }
    dataSet.FieldByName("IDCUSTODESATU")->SetAsString(flags.outdated ? "S" : "N");
    dataSet.FieldByName("idExistCustZero")->SetAsString(flags.zeroCost ? "S" : "N");

    if (!index || !dataSet.Filtered())
        return;

    const bool clientsOnly = qryParamFilial->Active() && !qryParamFilial->IsEmpty()
                             && qryParamFilial->FieldByName("IDCOMCUSPERC")->AsString() == "C";
    dataSet.FieldByName("NrComeClie")->SetAsFloat(clientsOnly ? dataSet.FieldByName("QTCLIESTICAR")->AsFloat()
                                                              : dataSet.FieldByName("QTCOMESTICAR")->AsFloat());

    const DishSums sums = SomaPrato(*index, prato, filAux, dataSet.FieldByName("CDDIETPAD")->AsString(),
                                    dataSet.FieldByName("COMENSPRATO")->AsFloat());
    if (sums.hasIngredients) {
        // Summed in the ingredients' order onto the field's value, and stored once.
        tk::TField *custoPrato = dataSet.FieldByName("CustoPrato");
        custoPrato->SetAsFloat(custoPrato->AsFloat() + sums.custo);
    }
    const double s2 = sums.s2;
    const double s3 = sums.s3;

    const double custoPrato = dataSet.FieldByName("CustoPrato")->AsFloat();
    const double comensPrato = dataSet.FieldByName("COMENSPRATO")->AsFloat();
    const double comesticar = dataSet.FieldByName("QTCOMESTICAR")->AsFloat();
    const double custoPerc = comensPrato > 0 ? RoundDec(custoPrato / comensPrato, 5) : 0.0;
    dataSet.FieldByName("CustoPerc")->SetAsFloat(custoPerc);
    dataSet.FieldByName("custoPercDia")->SetAsFloat(comesticar > 0 ? RoundDec(custoPrato / comesticar, 5) : 0.0);
    const double percSafra = custoPerc > 0 ? RoundDec(s3 / custoPerc * 100 + (s2 / custoPerc * 100) / 2, 2) : 0.0;
    dataSet.FieldByName("PercSafra")->SetAsFloat(percSafra);

    qrySinaSafra->Close();
    qrySinaSafra->ParamByName("P_PERCSAFRA").SetAsFloat(percSafra);
    qrySinaSafra->Open();
    if (!qrySinaSafra->IsEmpty() && !qrySinaSafra->FieldByName("NRCORSINSAFR")->IsNull())
        dataSet.FieldByName("SAFRA")->SetAsFloat(qrySinaSafra->FieldByName("NRCORSINSAFR")->AsFloat());
}

void TfrmCustoServ::qryCardapioAfterOpen(tk::TClientDataSet &)
{
    if (host::ModuloAtiv() == 24)
        CalcCustoDietas();
}

void TfrmCustoServ::dtsCardapioDataChange(tk::TDataSource &, tk::TField *)
{
    tk::DisableSourceGuard source(*dtsProduto);
    if (qryProduto->Active()) {
        tk::DisableControlsGuard controls(*qryProduto);
        tk::TClientDataSet &dish = *qryCardapio;
        const bool hasDish = dish.Active() && !dish.IsEmpty();
        AplicaFiltro(*qryProduto,
                     PratoFiltro(hasDish ? dish.FieldByName("CDPRATO")->AsString() : std::string(),
                                 hasDish ? dish.FieldByName("CDFILAUXPRAT")->AsString() : std::string(),
                                 hasDish ? dish.FieldByName("CDDIETPAD")->AsString() : std::string()));
    }
}

void TfrmCustoServ::dbgCardapioDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                              tk::TGridDrawState state)
{
    tk::TClientDataSet &dish = *qryCardapio;
    const bool red = dish.FieldByName("IDCUSTODESATU")->AsString() == "S"
                     || (dish.FieldByName("idExistCustZero")->AsString() == "S"
                         && IsTipoCustoDestaque(ContextoCusto.CdTipoCusto));
    PintaCelula(grid, dish, rect, column, state, red ? tk::clRed : tk::clWindowText, {"NMPRATO"});
    if (UpperCaseAscii(column.FieldName) == "SAFRA") {
        tk::TCanvas &canvas = grid.Canvas();
        canvas.BrushColor = ColorNumber(dish.FieldByName("SAFRA")->AsFloat());
        canvas.FillRect(rect);
    }
}

} // namespace kpv40206
