// Cost origin drill-down: a double click on an ingredient or a consumption item asks the server where
// the product's cost comes from and hands the answer to the cost-origin module.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

namespace {

void OrigemCusto(TfrmCustoServ &w, tk::TClientDataSet &items)
{
    const TContextoCusto &c = ContextoCusto;
    const tk::TDateTime referenceDate =
        c.IdRefeFixa ? c.DtRefeFixa : w.qryTrabCusto->FieldByName("DTDATA")->AsDateTime();
    if (!IsTipoCustoCotacao(c.CdTipoCusto))
        return;
    // An empty grid has no product to ask about.
    if (!items.Active() || items.IsEmpty())
        return;
    const std::string product = items.FieldByName("CDPRODUTO")->AsString();
    // Over the application's main form, as the host shows its own searches.
    {
        host::ShowAviGuard busy(nullptr, 6, w.msgPadrao.Msg("CUSTO_ORIGEM"));
        busy.RepaintAfter(&w);
        const std::string branch = c.CdFiliCust.empty() ? c.CdFilial : c.CdFiliCust;
        const tk::Variant result = w.rdmCustoServ->GetOrigemCusto(branch, product, c.CdTipoCusto, referenceDate);
        w.cdsOrigemCusto->SetData(host::CheckResultServ(result, true, 0));
    }
    tk::VariantArray args{tk::Variant(w.cdsOrigemCusto->Data()), c.CdFilial, product};
    if (w.ConfiancaAtiva) {
        // With the window's extra figures on, the viewer also shows the product's price history.
        const std::string branch = c.CdFiliCust.empty() ? c.CdFilial : c.CdFiliCust;
        args.insert(args.end(), {branch, c.CdTipoCusto, tk::Variant::fromDateTime(referenceDate)});
    }
    host::LoadBPL("KPV40212", tk::Variant(args));
}

} // namespace

void TfrmCustoServ::dbgPratoDblClick(tk::TDBGrid &)
{
    OrigemCusto(*this, *qryProduto);
}

void TfrmCustoServ::dbgConsPercDblClick(tk::TDBGrid &)
{
    OrigemCusto(*this, *qryConsServ);
}

} // namespace kpv40206
