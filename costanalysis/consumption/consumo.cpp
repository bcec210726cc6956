// Service consumption: item quantities and costs, type totals and flags, the selected type's items,
// the quantity column's title and both grids' colours.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/costrules.h"

namespace kpv40206 {

using host::RoundDec;

namespace {

std::string TipoFiltro(const std::string &tipo)
{
    return tk::FilterEq("IDCONSUMO", tipo);
}

} // namespace

void TfrmCustoServ::qryConsServCalcFields(tk::TClientDataSet &dataSet)
{
    const bool perCapita = dataSet.FieldByName("IDCONSUMO")->AsString() == "P";
    const double comens = cdsComens->Active() && !cdsComens->IsEmpty()
                              ? cdsComens->FieldByName("QTCOMESTICAR")->AsFloat()
                              : 0.0;
    const tk::LineCost line = tk::ConsumptionItemCost(dataSet.FieldByName("QTCONSSERV")->AsFloat(),
                                                      dataSet.FieldByName("CustoUnit")->AsFloat(), perCapita, comens);
    dataSet.FieldByName("QtdeTotal")->SetAsFloat(line.quantity);
    dataSet.FieldByName("CustoTotal")->SetAsFloat(line.cost);
}

void TfrmCustoServ::cdsConsumoCalcFields(tk::TClientDataSet &dataSet)
{
    tk::TClientDataSet &itens = *qryConsServ;
    const tk::Variant tipo = dataSet.FieldByName("TPCONS")->Value();
    const std::string tpcons = tipo.isNull() ? std::string() : tipo.asString();

    itens.SetFiltered(false);
    dataSet.FieldByName("IDCUSTODESATU")
        ->SetAsString(itens.Locate("IDCUSTODESATU;IDCONSUMO", tk::Variant::array({"S", tpcons})) ? "S" : "N");
    dataSet.FieldByName("idExistCustZero")
        ->SetAsString(itens.Locate("CustoUnit;IDCONSUMO", tk::Variant::array({0.0, tpcons})) ? "S" : "N");
    AplicaFiltro(itens, TipoFiltro(tpcons));
    if (itens.IsEmpty()) {
        dataSet.FieldByName("CUSTOTOTAL")->SetAsFloat(0);
        dataSet.FieldByName("CUSTOPERCAP")->SetAsFloat(0);
        return;
    }
    tk::DisableControlsGuard controls(itens);
    double sum = 0;
    itens.First();
    while (!itens.Eof()) {
        sum += itens.FieldByName("CustoTotal")->AsFloat();
        itens.Next();
    }
    dataSet.FieldByName("CUSTOTOTAL")->SetAsFloat(tk::CostTotal(sum));
    const double comensais = qryTrabCusto->FieldByName("QTCOMENSAIS")->AsFloat();
    dataSet.FieldByName("CUSTOPERCAP")->SetAsFloat(sum != 0 && comensais != 0 ? RoundDec(sum / comensais, 5) : 0.0);
}

void TfrmCustoServ::cdsConsumoAfterScroll(tk::TClientDataSet &dataSet)
{
    const tk::Variant tipo = dataSet.IsEmpty() ? tk::Variant() : dataSet.FieldByName("TPCONS")->Value();
    // Off and on again, not just refreshed: the type's own totals have just walked the items to their
    // last one under this same filter, and the grid must start on the type's first item.
    qryConsServ->SetFiltered(false);
    qryConsServ->SetFilter(TipoFiltro(tipo.isNull() ? std::string() : tipo.asString()));
    qryConsServ->SetFiltered(true);
    const std::string key = host::iif(tipo.isNull(), tk::Variant("P"), tipo).asString();
    const int index = host::IndiceCol(*dbgConsPerc, "QTCONSSERV");
    if (index >= 0)
        dbgConsPerc->SetColumnTitle(index, msgPadrao.Msg(key));
}

void TfrmCustoServ::Splitter2Moved()
{
    const bool hasType = cdsConsumo->Active() && !cdsConsumo->IsEmpty();
    const std::string tipo = hasType ? cdsConsumo->FieldByName("TPCONS")->AsString() : std::string();
    qryConsServ->SetFilter(TipoFiltro(tipo));
}

void TfrmCustoServ::dbgTipoConsDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                              tk::TGridDrawState state)
{
    tk::TClientDataSet &ds = *cdsConsumo;
    const bool red = ds.FieldByName("IDCUSTODESATU")->AsString() == "S"
                     || (ds.FieldByName("idExistCustZero")->AsString() == "S"
                         && IsTipoCustoDestaque(ContextoCusto.CdTipoCusto));
    PintaCelula(grid, ds, rect, column, state, red ? tk::clRed : tk::clWindowText, {"NMTIPOPRAT"});
}

void TfrmCustoServ::dbgConsPercDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                              tk::TGridDrawState state)
{
    tk::TClientDataSet &ds = *qryConsServ;
    const bool red = ds.FieldByName("IDCUSTODESATU")->AsString() == "S"
                     || (ds.FieldByName("CustoUnit")->AsFloat() == 0 && IsTipoCustoDestaque(ContextoCusto.CdTipoCusto));
    PintaCelula(grid, ds, rect, column, state, red ? tk::clRed : tk::clWindowText, {"NMPRODUTO", "SGUNIDADE"});
}

} // namespace kpv40206
