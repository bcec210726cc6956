#include "costanalysis/host/insightremote.h"

#include "platform/protocol/netconnection.h"

namespace kpv40206 {

namespace {
tk::Variant date(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}
} // namespace

tk::Variant TInsightRemote::GetConfiancaCusto(const TContextoCusto &c)
{
    return m_conn.Call("GetConfiancaCusto", {c.CdFilial, c.CdServFili, date(c.DtIniMes), date(c.DtFimMes),
                                             c.CdTipoCusto, c.IdRefeFixa, date(c.DtRefeFixa), c.CdFiliCust});
}

tk::Variant TInsightRemote::GetDecomposicaoVariacao(const TContextoCusto &c)
{
    return m_conn.Call("GetDecomposicaoVariacao",
                       {c.CdFilial, c.CdServFili, date(c.DtIniMes), date(c.DtFimMes), c.CdTipoCusto, c.IdRefeFixa,
                        date(c.DtRefeFixa), c.CdFiliCust, c.CdTipoCustoReal, date(c.DtProcesso)});
}

} // namespace kpv40206
