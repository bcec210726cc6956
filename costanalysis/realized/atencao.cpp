// Products without cost and products priced from outdated quotes: date texts, keys and the print call.

#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

namespace kpv40206 {

void TfrmCustoServ::cdsProdCustZeroDTCARDAPIOGetText(tk::TField &sender, std::string &text, bool)
{
    text = DayText(sender);
}

void TfrmCustoServ::cdsProdCotDesatuDTCONSPLANGetText(tk::TField &sender, std::string &text, bool)
{
    text = DayText(sender);
}

void TfrmCustoServ::dbgCotDesatuKeyDown(tk::TDBGrid &, int &key, Qt::KeyboardModifiers shift)
{
    if (IsCtrlDelete(key, shift))
        key = 0;
}

void TfrmCustoServ::sbtCustZeroClick()
{
    const TContextoCusto &c = ContextoCusto;
    const std::string listing = (pgcPadrao->ActivePage() == tshCotDesatu ? "1" : "0") + ChaveTrabCusto;
    // The cost branch goes last, after the seven entries the report has always read, so that the
    // report prices the listing as the page on the screen does.
    host::LoadBPL("KPV49700", tk::Variant::array({c.CdFilial, c.CdServFili, c.CdTipoCusto,
                                                  tk::Variant::fromDateTime(c.DtRefeFixa),
                                                  tk::Variant::fromDateTime(c.DtReferencia), c.IdRefeFixa, listing,
                                                  c.CdFiliCust}));
}

} // namespace kpv40206
