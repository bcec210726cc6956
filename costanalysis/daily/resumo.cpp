// The cost summary panel: Atualiza_Custo fills the day, month and accumulated boxes; sbtCustos shows
// and hides the panel.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/formats.h"

#include <QApplication>
#include <QScreen>

namespace kpv40206 {

using host::RoundDec;

namespace {

// Detaches an after-scroll handler and puts it back on every exit path.
using ScrollGuard = tk::DetachEventGuard<tk::TClientDataSet::TDataSetNotifyEvent>;

} // namespace

void TfrmCustoServ::Atualiza_Custo()
{
    const TContextoCusto &c = ContextoCusto;
    // An empty or failed daily table has no day: the realized month is then the analysed month, the
    // boxes name no date and the realized figures stay greyed.
    bool haveDay = qryTrabCusto->Active() && !qryTrabCusto->IsEmpty();
    tk::TDateTime day = haveDay ? qryTrabCusto->FieldByName("DTDATA")->AsDateTime() : 0.0;
    tk::TNumberEdit *const realized[] = {nedCustoCardReal, nedTotalRAcum, nedEfetivos, nedPuMedioReal};

    if (!panCusto->isHidden()) {
        ScrollGuard g1(qryTrabCusto->AfterScroll);
        ScrollGuard g2(qryRealizado->AfterScroll);
        ScrollGuard g3(cdsPlanReal->AfterScroll);
        host::ShowAviGuard busy;

        const double diners = host::CheckResultServ(rdmCustoServ->GetComensPlan(c), true, 0).asDouble();
        if (!qryRealizado->Active()) {
            busy.Show(this, 6, msgPadrao.Msg("calculando_real"));
            LoadPacket(*qryRealizado, rdmCustoServ->GetRealizado(c, PrimeiroDiaDoMesDoDia()));
        }

        tk::TTabSheet *page = pgcPadrao->ActivePage();
        auto setRealized = [&](tk::TClientDataSet &source) {
            if (day >= c.DtProcesso) {
                for (tk::TNumberEdit *ned : realized)
                    ned->SetNumber(0);
                return;
            }
            nedCustoCardReal->SetNumber(RoundDec(source.FieldByName("CUSTO")->AsFloat(), 5));
            nedTotalRAcum->SetNumber(RoundDec(source.FieldByName("CUSTOACUM")->AsFloat(), 5));
            nedEfetivos->SetNumber(RoundDec(source.FieldByName("QTCOMENSACU")->AsFloat(), 5));
            nedPuMedioReal->SetNumber(RoundDec(source.FieldByName("VRCUSTOMEDIO")->AsFloat(), 5));
        };
        const tk::Variant dayValue = tk::Variant::fromDateTime(day);
        if (page == tshPlanejado) {
            cdsPlanReal->Locate("DTCARDAPIO", dayValue);
            for (tk::TNumberEdit *ned : realized)
                ned->SetNumber(0);
        } else if (page == tshRealizado) {
            haveDay = !qryRealizado->IsEmpty();
            day = qryRealizado->FieldByName("DTCARDAPIO")->AsDateTime();
            const tk::Variant v = tk::Variant::fromDateTime(day);
            qryTrabCusto->Locate("DTDATA", v);
            cdsPlanReal->Locate("DTCARDAPIO", v);
            setRealized(*qryRealizado);
        } else if (page == tshPlanReal) {
            haveDay = cdsPlanReal->Active() && !cdsPlanReal->IsEmpty();
            day = cdsPlanReal->FieldByName("DTCARDAPIO")->AsDateTime();
            const tk::Variant v = tk::Variant::fromDateTime(day);
            qryTrabCusto->Locate("DTDATA", v);
            qryRealizado->Locate("DTCARDAPIO", v);
            setRealized(*cdsPlanReal);
        }

        tk::TClientDataSet &t = *qryTrabCusto;
        const double comensais = t.FieldByName("QTCOMENSAIS")->AsFloat();
        nedMatPriPerc->SetNumber(RoundDec(t.FieldByName("VRMATPERC")->AsFloat(), 5));
        nedConsPerc->SetNumber(comensais != 0 ? RoundDec(t.FieldByName("VRCUSTOCONS")->AsFloat() / comensais, 5)
                                              : 0.0);
        nedPercDia->SetNumber(RoundDec(t.FieldByName("VRTOTPERC")->AsFloat(), 5));
        nedPadrPerc->SetNumber(nedCustoPadrao->GetNumber());
        nedSaldoPerc->SetNumber(RoundDec(nedPadrPerc->GetNumber() - nedPercDia->GetNumber(), 5));
        nedMatPriMes->SetNumber(RoundDec(cdsTotalMes->FieldByName("VRTOTMATPRIM")->AsFloat(), 5));
        nedConsMes->SetNumber(RoundDec(cdsTotalMes->FieldByName("VRTOTCONS")->AsFloat(), 5));
        nedTotalMes->SetNumber(RoundDec(nedMatPriMes->GetNumber() + nedConsMes->GetNumber(), 5));
        nedPadrMens->SetNumber(RoundDec(nedCustoPadrao->GetNumber() * diners, 5));
        nedSaldoMes->SetNumber(RoundDec(nedPadrMens->GetNumber() - nedTotalMes->GetNumber(), 5));
        nedMatPriCardPlan->SetNumber(RoundDec(t.FieldByName("VRCUSTPRODMAT")->AsFloat(), 5));
        nedConsCardPlan->SetNumber(RoundDec(t.FieldByName("VRCUSTOCONS")->AsFloat(), 5));
        nedCustoCardPlan->SetNumber(nedMatPriCardPlan->GetNumber() + nedConsCardPlan->GetNumber());
        nedMatPriAcuPlan->SetNumber(RoundDec(t.FieldByName("VRCUSTMATACU")->AsFloat(), 5));
        nedConsAcuPlan->SetNumber(RoundDec(t.FieldByName("VRCUSTOCONSACU")->AsFloat(), 5));
        nedTotalTAcum->SetNumber(nedMatPriAcuPlan->GetNumber() + nedConsAcuPlan->GetNumber());
        nedEstimados->SetNumber(RoundDec(t.FieldByName("QTCOMESACU")->AsFloat(), 5));
        nedPuMedioTeor->SetNumber(RoundDec(t.FieldByName("VRCUSTOMEDIO")->AsFloat(), 5));

        const std::string dayText = haveDay ? tk::DateToStr(day) : std::string();
        grbCustoDia->SetCaption(msgPadrao.Msg("DIA") + dayText);
        grbCustTotaDia->SetCaption(msgPadrao.Msg("DIA") + dayText);
        grbCustoAcum->SetCaption(msgPadrao.Msg("ACUM_ATE") + dayText);
        nedSaldoPerc->SetColor(nedSaldoPerc->GetNumber() < 0 ? tk::clRed : tk::clBtnFace);
        nedSaldoMes->SetColor(nedSaldoMes->GetNumber() < 0 ? tk::clRed : tk::clBtnFace);
        AtualizaConfianca();
    }

    const bool enableRealized = pgcPadrao->ActivePage() != tshPlanejado && haveDay && day < c.DtProcesso;
    lblRealizado->setEnabled(enableRealized);
    lblRealAcum->setEnabled(enableRealized);
    for (tk::TNumberEdit *ned : realized)
        ned->setEnabled(enableRealized);
}

void TfrmCustoServ::sbtCustosClick()
{
    if (sbtCustos->Down()) {
        panCusto->setVisible(true);
        LayoutBase();
        if (isMaximized()) {
            subPanCusto->move((panCusto->width() - subPanCusto->width()) / 2, subPanCusto->y());
        } else {
            resize(900, height());
            if (const QScreen *screen = this->screen() ? this->screen() : QApplication::primaryScreen()) {
                const QRect area = screen->availableGeometry();
                move(area.left() + (area.width() - frameGeometry().width()) / 2,
                     area.top() + (area.height() - frameGeometry().height()) / 2);
            }
        }
    } else {
        panCusto->setVisible(false);
        LayoutBase();
    }
    Atualiza_Custo();
    repaint();
}

} // namespace kpv40206
