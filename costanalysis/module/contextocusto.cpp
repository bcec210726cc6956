#include "costanalysis/module/contextocusto.h"

#include "platform/hostlib/host.h"
#include "platform/toolkit/data/datetime.h"

namespace kpv40206 {

TContextoCusto ContextoCusto;
TfrmCustoServ *frmCustoServ = nullptr;

void PreencheContexto(const std::string &CdFilial, const std::string &CdServFili, int32_t CdTipoCusto,
                      int32_t CdTipoCustoReal, tk::TDateTime DtReferencia, tk::TDateTime DtRefeFixa,
                      bool IdRefeFixa, const std::string &CdFiliCust)
{
    TContextoCusto c;
    c.CdFilial = CdFilial;
    c.CdServFili = CdServFili;
    c.CdFiliCust = CdFiliCust;
    c.CdTipoCusto = CdTipoCusto;
    c.CdTipoCustoReal = CdTipoCustoReal;
    c.DtReferencia = DtReferencia;
    // A failing processing-date lookup propagates before anything is stored or created.
    c.DtProcesso = host::DataProc(CdFilial);
    c.DtRefeFixa = DtRefeFixa;
    c.IdRefeFixa = IdRefeFixa;
    int year = 0, month = 0, day = 0;
    tk::DecodeDate(DtReferencia, year, month, day);
    c.DtIniMes = tk::EncodeDate(year, month, 1);
    c.DtFimMes = host::UltDiaMes(month, year);
    ContextoCusto = std::move(c);
}

bool ReadEntryParams(const tk::Variant &args, EntryParams &out)
{
    if (args.isNull())
        return false;
    if (!args.isArray())
        throw tk::EVariantError(std::string("Could not convert variant of type (")
                                + tk::varTypeName(args.type()) + ") into type (Array)");
    if (args.size() < 8)
        throw tk::EVariantError("Variant array index 7 out of bounds (size " + std::to_string(args.size())
                                + ")");
    EntryParams p;
    p.CdFilial = args[0].asString();
    p.CdServFili = args[1].asString();
    p.CdTipoCusto = args[2].asInteger();
    p.CdTipoCustoReal = args[3].asInteger();
    p.DtReferencia = args[4].asDouble();
    p.DtRefeFixa = args[5].asDouble();
    p.IdRefeFixa = args[6].asBoolean();
    p.CdFiliCust = args[7].asString();
    out = std::move(p);
    return true;
}

} // namespace kpv40206
