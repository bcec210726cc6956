// Menu dishes qryCardapio: the dish costing with its flags and seasonal percentage, the ingredient
// grid following the current dish, and the dish grid's colours.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

using host::RoundDec;

namespace {

std::string PratoFiltro(const std::string &prato, const std::string &filAux, const std::string &dieta)
{
    std::string filter = tk::FilterAnd(tk::FilterEq("CDPRATO", prato), tk::FilterEq("CDFILAUXPRAT", filAux));
    if (host::ModuloAtiv() == 24)
        filter = tk::FilterAnd(filter, tk::FilterEq("CDDIETPAD", dieta));
    return filter;
}

} // namespace

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
    const bool hasIngredient = produto.Active() && !produto.IsEmpty();
    const std::string savedPrato = hasIngredient ? produto.FieldByName("CDPRATO")->AsString() : std::string();
    const std::string savedFilAux = hasIngredient ? produto.FieldByName("CDFILAUXPRAT")->AsString()
                                                  : std::string();
    const std::string savedDieta = hasIngredient ? produto.FieldByName("CDDIETPAD")->AsString() : std::string();

    const std::string prato = dataSet.FieldByName("CDPRATO")->AsString();
    const std::string filAux = dataSet.FieldByName("CDFILAUXPRAT")->AsString();
    const tk::Variant dtCardapio = dataSet.FieldByName("DTCARDAPIO")->Value();

    // The ingredient view is put back on the dish it showed, and its grid re-attached, however the
    // computation ends.
    struct RestoreIngredients
    {
        TfrmCustoServ *self;
        const std::string &prato, &filAux, &dieta;
        ~RestoreIngredients()
        {
            if (self->qryProduto->Active()) {
                try {
                    AplicaFiltro(*self->qryProduto, PratoFiltro(prato, filAux, dieta));
                } catch (...) {
                }
            }
            self->dtsProduto->SetEnabled(true);
        }
    } restore{this, savedPrato, savedFilAux, savedDieta};

    dtsProduto->SetEnabled(false);
    if (!produto.Active()) {
        dataSet.FieldByName("IDCUSTODESATU")->SetAsString("N");
        dataSet.FieldByName("idExistCustZero")->SetAsString("N");
        return;
    }
    produto.SetFiltered(false);
    const bool outdated = produto.Locate("CDPRATO;CDFILAUXPRAT;DTCARDAPIO;IDCUSTODESATU",
                                         tk::Variant::array({prato, filAux, dtCardapio, "S"}));
    dataSet.FieldByName("IDCUSTODESATU")->SetAsString(outdated ? "S" : "N");
    const bool zeroCost = produto.Locate("CustoProd;CDPRATO;CDFILAUXPRAT;DTCARDAPIO",
                                         tk::Variant::array({0.0, prato, filAux, dtCardapio}));
    dataSet.FieldByName("idExistCustZero")->SetAsString(zeroCost ? "S" : "N");

    if (!dataSet.Filtered())
        return;

    const bool clientsOnly = qryParamFilial->Active() && !qryParamFilial->IsEmpty()
                             && qryParamFilial->FieldByName("IDCOMCUSPERC")->AsString() == "C";
    dataSet.FieldByName("NrComeClie")->SetAsFloat(clientsOnly ? dataSet.FieldByName("QTCLIESTICAR")->AsFloat()
                                                              : dataSet.FieldByName("QTCOMESTICAR")->AsFloat());

    const double peso = dataSet.FieldByName("VRPECONSCARD")->AsFloat() / 100;
    double s2 = 0;
    double s3 = 0;
    {
        tk::DisableControlsGuard controls(produto);
        AplicaFiltro(produto, PratoFiltro(prato, filAux, dataSet.FieldByName("CDDIETPAD")->AsString()));
        produto.First();
        tk::TField *custoPrato = dataSet.FieldByName("CustoPrato");
        while (!produto.Eof()) {
            custoPrato->SetAsFloat(custoPrato->AsFloat() + produto.FieldByName("CustoTotal")->AsFloat());
            const double safra = produto.FieldByName("CustoSafra")->AsFloat();
            const double safr2 = produto.FieldByName("CustoSafr2")->AsFloat();
            const double safr3 = produto.FieldByName("CustoSafr3")->AsFloat();
            s2 += safr2;
            s3 += safr3;
            SomaCustoSafra += safra * peso;
            SomaCustoSafr2 += safr2 * peso;
            SomaCustoSafr3 += safr3 * peso;
            produto.Next();
        }
    }

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
    tk::TCanvas &canvas = grid.Canvas();
    canvas.FillRect(rect);
    tk::TClientDataSet &dish = *qryCardapio;
    if (state & tk::gdSelected) {
        canvas.BrushColor = tk::clHighlight;
        canvas.FontColor = tk::clHighlightText;
    } else {
        canvas.BrushColor = tk::clInfoBk;
        canvas.FontColor = tk::clWindowText;
        if (dish.FieldByName("IDCUSTODESATU")->AsString() == "S"
            || (dish.FieldByName("idExistCustZero")->AsString() == "S"
                && IsTipoCustoDestaque(ContextoCusto.CdTipoCusto)))
            canvas.FontColor = tk::clRed;
    }
    const tk::TField *field = dish.FindField(column.FieldName);
    const std::string text = field ? field->DisplayText() : std::string();
    if (column.FieldName == "NMPRATO")
        canvas.TextRect(rect, rect.left() + 3, rect.top() + 3, text);
    else
        canvas.TextRect(rect, rect.right() - (canvas.TextWidth(text) + 2), rect.top() + 3, text);
    if (UpperCaseAscii(column.FieldName) == "SAFRA") {
        canvas.BrushColor = ColorNumber(dish.FieldByName("SAFRA")->AsFloat());
        canvas.FillRect(rect);
    }
}

} // namespace kpv40206
