// Diet costs (host module 24): the diet list, pointing the dishes at a diet, and CalcCustoDietas.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

#include <QScopedValueRollback>

namespace kpv40206 {

static void ApontaDieta(TfrmCustoServ &w, const std::string &dieta)
{
    tk::DisableControlsGuard controls(*w.qryCardapio);
    const tk::TDateTime day = w.qryTrabCusto->Active() && !w.qryTrabCusto->IsEmpty()
                                  ? w.qryTrabCusto->FieldByName("DTDATA")->AsDateTime()
                                  : 0.0;
    const std::string filter = tk::FilterAnd(tk::FilterEqDate("DTCARDAPIO", day), tk::FilterEq("CDDIETPAD", dieta));
    // Already pointed at this diet of the day (the day loading has just set the same filter): its
    // dishes are computed for it, once per filter.
    if (w.qryCardapio->Filtered() && w.qryCardapio->Filter() == filter)
        return;
    TfrmCustoServ::AplicaFiltro(*w.qryCardapio, filter);
}

// A diet chosen by the user shows its dishes, and the day's seasonal figure becomes that diet's.
// The diet costing's own walk over the diets leaves the figure to the day loading that follows it.
static void DietaEscolhida(TfrmCustoServ &w, tk::TClientDataSet &dataSet)
{
    if (!w.qryCardapio->Active())
        return;
    ApontaDieta(w, dataSet.IsEmpty() ? std::string() : dataSet.FieldByName("CDDIETPAD")->AsString());
    if (!w.CalculandoDietas)
        w.AtualizaSafraDia();
}

void TfrmCustoServ::qryDietaAfterScroll(tk::TClientDataSet &dataSet)
{
    DietaEscolhida(*this, dataSet);
}

void TfrmCustoServ::cdsDietaAfterScroll(tk::TClientDataSet &dataSet)
{
    DietaEscolhida(*this, dataSet);
}

void TfrmCustoServ::CalcCustoDietas()
{
    if (!cdsDieta->Active() || !qryCardapio->Active())
        return;
    // Each source back as found: the day handler keeps the ingredient grid detached until its end.
    const tk::DisableSourceGuard dietSource(*dtsDieta);
    const tk::DisableSourceGuard dishSource(*dtsCardapio);
    const tk::DisableSourceGuard ingredientSource(*dtsProduto);
    QScopedValueRollback<bool> walking(CalculandoDietas, true);

    tk::TClientDataSet &dieta = *cdsDieta;
    tk::TClientDataSet &prato = *qryCardapio;
    dieta.First();
    while (!dieta.Eof()) {
        double sum = 0;
        prato.First();
        dieta.Edit();
        dieta.FieldByName("NUMCOMEN")->SetAsFloat(prato.IsEmpty() ? 0.0
                                                                : prato.FieldByName("QTCOMESTICAR")->AsFloat());
        dieta.Post();
        while (!prato.Eof()) {
            sum += prato.FieldByName("CustoPrato")->AsFloat();
            prato.Next();
        }
        dieta.Edit();
        dieta.FieldByName("CUSTDIET")->SetAsFloat(sum);
        dieta.Post();
        dieta.Next();
    }
    // The per-diner figures need only the diets' own values: the dishes are not pointed at each
    // diet again on this walk (the last step below points them at the first diet, as before).
    {
        tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> quiet(dieta.AfterScroll);
        dieta.First();
        while (!dieta.Eof()) {
            const double comens = dieta.FieldByName("NUMCOMEN")->AsFloat();
            dieta.Edit();
            dieta.FieldByName("CUSTPERCAPT")->SetAsFloat(
                comens > 0 ? dieta.FieldByName("CUSTDIET")->AsFloat() / comens : 0.0);
            dieta.Post();
            dieta.Next();
        }
    }
    dieta.First();
}

} // namespace kpv40206
