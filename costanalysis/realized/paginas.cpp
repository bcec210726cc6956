// Main page switching: each page loads what it needs when it comes forward, the print button
// follows the page, and the summary follows the page in front.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

void TfrmCustoServ::pgcPadraoChange(tk::TPageControl &)
{
    const TContextoCusto &c = ContextoCusto;
    tk::TTabSheet *page = pgcPadrao->ActivePage();

    if (page == tshPlanejado) {
        qryTrabCustoAfterScroll(*qryTrabCusto);
        panSafra->setVisible(pgcPlanejado->ActivePage() == tshMatPrima);
    } else if (page == tshRealizado) {
        host::ShowAviGuard busy;
        if (!qryRealizado->Active()) {
            busy.Show(this, 6, msgPadrao.Msg("calculando_real"));
            LoadPacket(*qryRealizado,
                       rdmCustoServ->GetRealizado(c, PrimeiroDiaDoMesDoDia()));
        }
        qryRealizadoAfterScroll(*qryRealizado);
    } else if (page == tshPlanReal) {
        if (cdsPlanReal->IsEmpty()) {
            const host::ShowAviGuard busy(this, 6, msgPadrao.Msg("calculando_real"));
            if (!qryRealizado->Active())
                LoadPacket(*qryRealizado, rdmCustoServ->GetRealizado(c, PrimeiroDiaDoMesDoDia()));
            MontaPlanReal();
        }
    } else if (page == tshProdCustZero) {
        cdsProdCustZero->FieldByName("CDARVPROD")->SetEditMask(host::DBPict(0));
        LoadPacket(*cdsProdCustZero, rdmCustoServ->GetProdCustZero(c, host::PriDiaMes(c.DtReferencia),
                                                                   host::UltimoDiaMes(c.DtReferencia)));
    } else if (page == tshCotDesatu) {
        cdsProdCotDesatu->FieldByName("CDARVPROD")->SetEditMask(host::DBPict(0));
        LoadPacket(*cdsProdCotDesatu,
                   rdmCustoServ->GetProdCotDesatu(c, ChaveTrabCusto, host::PriDiaMes(c.DtReferencia),
                                                  host::UltimoDiaMes(c.DtReferencia)));
    }

    sbtCustZero->setEnabled(page == tshProdCustZero || page == tshCotDesatu);
    Atualiza_Custo();
}

} // namespace kpv40206
