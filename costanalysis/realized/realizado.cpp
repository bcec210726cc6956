// Realized cost: the day list with its running totals, its per-diner value and date text, and the
// withdrawn items of the selected day.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

using host::RoundDec;

void TfrmCustoServ::qryRealizadoAfterOpen(tk::TClientDataSet &dataSet)
{
    {
        tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent> detach(dataSet.AfterScroll);
        double custo = 0;
        double comens = 0;
        dataSet.First();
        while (!dataSet.Eof()) {
            custo += dataSet.FieldByName("CUSTO")->AsFloat();
            comens += dataSet.FieldByName("QTCOMEFETCAR")->AsFloat();
            dataSet.Edit();
            dataSet.FieldByName("CUSTOACUM")->SetAsFloat(RoundDec(custo, 5));
            dataSet.FieldByName("QTCOMENSACU")->SetAsFloat(RoundDec(comens, 5));
            const double comensAcu = dataSet.FieldByName("QTCOMENSACU")->AsFloat();
            dataSet.FieldByName("VRCUSTOMEDIO")->SetAsFloat(
                comensAcu != 0 ? RoundDec(dataSet.FieldByName("CUSTOACUM")->AsFloat() / comensAcu, 5) : 0.0);
            dataSet.Post();
            dataSet.Next();
        }
    }
    dataSet.First();
}

void TfrmCustoServ::qryRealizadoCalcFields(tk::TClientDataSet &dataSet)
{
    const double comens = dataSet.FieldByName("QTCOMEFETCAR")->AsFloat();
    dataSet.FieldByName("QtdePerc")->SetAsFloat(comens > 0 ? RoundDec(dataSet.FieldByName("CUSTO")->AsFloat() / comens, 5)
                                                           : 0.0);
}

void TfrmCustoServ::qryRealizadoDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool)
{
    text = DayText(sender);
}

void TfrmCustoServ::qryRealizadoAfterScroll(tk::TClientDataSet &dataSet)
{
    if (pgcPadrao->ActivePage() != tshRealizado || PercorrendoGrafico)
        return;
    if (!qryItemReti->Active())
        LoadPacket(*qryItemReti, rdmCustoServ->GetItemReti(
                                     ContextoCusto, PrimeiroDiaDoMesDoDia()));
    const tk::TDateTime day = dataSet.IsEmpty() ? 0.0 : dataSet.FieldByName("DTCARDAPIO")->AsDateTime();
    AplicaFiltro(*qryItemReti, DiaFiltro(day));
    Atualiza_Custo();
}

void TfrmCustoServ::qryItemRetiCalcFields(tk::TClientDataSet &dataSet)
{
    const double comens = dataSet.FieldByName("QTCOMEFETCAR")->AsFloat();
    const double retirada = dataSet.FieldByName("QTRETIRADA")->AsFloat();
    dataSet.FieldByName("QtdePerc")->SetAsFloat(comens > 0 ? retirada / comens : 0.0);
    dataSet.FieldByName("CustoTotal")->SetAsFloat(retirada * dataSet.FieldByName("CustoUnit")->AsFloat());
    const bool clientsOnly = qryParamFilial->Active() && !qryParamFilial->IsEmpty()
                             && qryParamFilial->FieldByName("IDCOMCUSPERC")->AsString() == "C";
    dataSet.FieldByName("QTCOMECLIE")->SetAsFloat(clientsOnly ? dataSet.FieldByName("QTCLIEFETCAR")->AsFloat() : comens);
}

} // namespace kpv40206
