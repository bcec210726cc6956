// Planned against realized: the comparison list built once from the daily table and the realized
// day list, its date text and its colours.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

void TfrmCustoServ::MontaPlanReal()
{
    const TContextoCusto &c = ContextoCusto;
    tk::TClientDataSet &trab = *qryTrabCusto;
    tk::TClientDataSet &real = *qryRealizado;
    tk::TClientDataSet &plan = *cdsPlanReal;
    double custoSum = 0;
    double comensSum = 0;

    trab.DisableControls();
    const tk::TBookmark position = trab.GetBookmark();
    try {
        // Appending fires the list's own after-scroll; the summary follows the list once it is built.
        tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> quiet(plan.AfterScroll);
        trab.First();
        while (!trab.Eof()) {
            const tk::TDateTime day = trab.FieldByName("DTDATA")->AsDateTime();
            double custo = 0;
            double comens = 0;
            const bool realizado = day < c.DtProcesso;
            if (realizado) {
                AplicaFiltro(real, DiaFiltro(day));
                custo = real.IsEmpty() ? 0.0 : real.FieldByName("CUSTO")->AsFloat();
                comens = real.IsEmpty() ? 0.0 : real.FieldByName("QTCOMEFETCAR")->AsFloat();
            } else {
                custo = trab.FieldByName("VRCUSTOTOTAL")->AsFloat();
                comens = trab.FieldByName("QTCOMENSAIS")->AsFloat();
            }
            custoSum += custo;
            plan.Append();
            plan.FieldByName("DTCARDAPIO")->SetAsDateTime(day);
            plan.FieldByName("CUSTO")->SetAsFloat(custo);
            plan.FieldByName("CUSTOACUM")->SetAsFloat(custoSum);
            plan.FieldByName("IDREAL")->SetAsString(realizado ? "S" : "N");
            plan.FieldByName("VRCUSTOPER")->SetAsFloat(comens != 0 ? custo / comens : 0.0);
            plan.FieldByName("QTCOMENSAIS")->SetAsFloat(comens);
            comensSum += comens;
            plan.FieldByName("QTCOMENSACU")->SetAsFloat(comensSum);
            const double comensAcu = plan.FieldByName("QTCOMENSACU")->AsFloat();
            plan.FieldByName("VRCUSTOMEDIO")->SetAsFloat(
                comensAcu != 0 ? plan.FieldByName("CUSTOACUM")->AsFloat() / comensAcu : 0.0);
            plan.Post();
            trab.Next();
        }
    } catch (...) {
        // A half-built list would never be built again (the page builds only an empty list):
        // empty it so that the next visit starts over.
        if (plan.State() == tk::TDataSetState::dsInsert || plan.State() == tk::TDataSetState::dsEdit)
            plan.Cancel();
        plan.EmptyDataSet();
        RestauraPlanReal(position);
        throw;
    }
    RestauraPlanReal(position);
}

void TfrmCustoServ::RestauraPlanReal(tk::TBookmark position)
{
    qryRealizado->SetFiltered(false);
    if (qryRealizado->Active())
        qryRealizado->First();
    cdsPlanReal->First();
    if (qryTrabCusto->BookmarkValid(position))
        qryTrabCusto->GotoBookmark(position);
    qryTrabCusto->FreeBookmark(position);
    qryTrabCusto->EnableControls();
}

void TfrmCustoServ::cdsPlanRealAfterScroll(tk::TClientDataSet &)
{
    Atualiza_Custo();
}

void TfrmCustoServ::cdsPlanRealDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool)
{
    text = DayText(sender);
}

void TfrmCustoServ::dbgPlanRealDrawColumnCell(tk::TDBGrid &grid, const QRect &rect, int, tk::TColumn &column,
                                              tk::TGridDrawState state)
{
    const bool red = cdsPlanReal->FieldByName("IDREAL")->AsString() == "S";
    PintaCelula(grid, *cdsPlanReal, rect, column, state, red ? tk::clRed : tk::clWindowText, {"DTCARDAPIO"});
}

} // namespace kpv40206
