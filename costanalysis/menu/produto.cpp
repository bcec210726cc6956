// Dish ingredients qryProduto: quantities and costs for the dish's diners, the season code of the
// processing month, the per-capita costs by season code, the grid colours and the previous-cost toggle.

#include "costanalysis/window/frmcustoserv.h"

#include "costanalysis/menu/ingrediente.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/costrules.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

namespace kpv40206 {

using host::RoundDec;

namespace {

// Season code of a calendar (one character per month, January first) in a month; Null when the
// calendar is shorter than the month, 0 for a blank or non-digit character.
tk::Variant CodigoSafra(const std::string &calendar, int month)
{
    if (month < 1 || static_cast<int>(calendar.size()) < month)
        return tk::Variant();
    const std::string code = tk::Trim(calendar.substr(static_cast<size_t>(month - 1), 1));
    int32_t value = 0;
    if (code.size() == 1 && code[0] >= '0' && code[0] <= '9')
        value = code[0] - '0';
    return tk::Variant(value);
}

} // namespace

IngredienteCalc CalculaCustoIngrediente(double qtdeBruta, double custoProd, const std::string &calendario, int mes,
                                        double comensPrato)
{
    IngredienteCalc r;
    const tk::LineCost line = tk::IngredientCost(qtdeBruta, custoProd, comensPrato);
    r.qtdeTotal = line.quantity;
    r.custoTotal = line.cost;
    r.safra = CodigoSafra(calendario, mes);
    r.custoSafra = custoProd * qtdeBruta;
    r.temSafr2 = !r.safra.isNull() && r.safra.asInteger() == 2;
    r.temSafr3 = !r.safra.isNull() && r.safra.asInteger() == 3;
    return r;
}

IngredienteCalc CalculaIngrediente(double qtdeBruta, double custoProd, const std::string &calendario, int mes,
                                   double comensPrato, double comesticar)
{
    IngredienteCalc r = CalculaCustoIngrediente(qtdeBruta, custoProd, calendario, mes, comensPrato);
    r.percDia = comesticar > 0 ? RoundDec(r.qtdeTotal / comesticar, 5) : 0.0;
    r.custoPercDia = comesticar > 0 ? RoundDec(r.custoTotal / comesticar, 5) : 0.0;
    return r;
}

void TfrmCustoServ::qryProdutoCalcFields(tk::TClientDataSet &dataSet)
{
    tk::DisableSourceGuard source(*dtsProduto);
    const tk::TClientDataSet &dish = *qryCardapio;
    const bool hasDish = dish.Active() && !dish.IsEmpty();
    const double comensPrato = hasDish ? dish.FieldByName("COMENSPRATO")->AsFloat() : 0.0;
    const double comesticar = hasDish ? dish.FieldByName("QTCOMESTICAR")->AsFloat() : 0.0;

    const IngredienteCalc r = CalculaIngrediente(
        dataSet.FieldByName("QTDEBRUTA")->AsFloat(), dataSet.FieldByName("CustoProd")->AsFloat(),
        dataSet.FieldByName("IDINTESAFR")->AsString(), tk::MonthOf(ContextoCusto.DtProcesso), comensPrato, comesticar);
    dataSet.FieldByName("QtdeTotal")->SetAsFloat(r.qtdeTotal);
    dataSet.FieldByName("CustoTotal")->SetAsFloat(r.custoTotal);
    if (!r.safra.isNull())
        dataSet.FieldByName("SAFRA")->SetAsInteger(r.safra.asInteger());
    dataSet.FieldByName("CustoSafra")->SetAsFloat(r.custoSafra);
    if (r.temSafr2)
        dataSet.FieldByName("CustoSafr2")->SetAsFloat(r.custoSafra);
    if (r.temSafr3)
        dataSet.FieldByName("CustoSafr3")->SetAsFloat(r.custoSafra);
    dataSet.FieldByName("percDia")->SetAsFloat(r.percDia);
    dataSet.FieldByName("custoPercDia")->SetAsFloat(r.custoPercDia);
}

void TfrmCustoServ::dbgPratoDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                           tk::TGridDrawState state)
{
    tk::TClientDataSet &produto = *qryProduto;
    const bool red = produto.FieldByName("IDCUSTODESATU")->AsString() == "S"
                     || (produto.FieldByName("CustoProd")->AsFloat() == 0
                         && IsTipoCustoDestaque(ContextoCusto.CdTipoCusto));
    PintaCelula(grid, produto, rect, column, state, red ? tk::clRed : tk::clWindowText,
                {"NMPRODUTO", "SGUNIDPROD"});
    if (UpperCaseAscii(column.FieldName) == "SAFRA") {
        tk::TCanvas &canvas = grid.Canvas();
        const char *colourField = nullptr;
        switch (produto.FieldByName("SAFRA")->AsInteger()) {
        case 1: colourField = "NRCORSAFRA"; break;
        case 2: colourField = "NRCORINICSAF"; break;
        case 3: colourField = "NRCORENTRSAF"; break;
        default: break;
        }
        if (colourField && qryParamPlaneja->Active() && !qryParamPlaneja->IsEmpty())
            canvas.BrushColor = ColorNumber(qryParamPlaneja->FieldByName(colourField)->AsFloat());
        canvas.FillRect(rect);
    }
}

void TfrmCustoServ::sbtCustUnitAntClick()
{
    const int index = host::IndiceCol(*dbgPrato, "CUSTOPRODANT");
    if (index < 0)
        return;
    if (sbtCustUnitAnt->Down())
        dbgPrato->SetColumnVisible(index, true), dbgPrato->SetColumnWidth(index, 78);
    else
        dbgPrato->SetColumnVisible(index, false), dbgPrato->SetColumnWidth(index, -1);
}

} // namespace kpv40206
