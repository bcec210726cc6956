#include "costanalysis/host/insightremote.h"

#include "platform/contract/costmethods.h"
#include "platform/protocol/netconnection.h"

namespace kpv40206 {

tk::Variant TInsightRemote::GetConfiancaCusto(const TContextoCusto &c)
{
    return m_conn.Call(contract::GetConfiancaCusto::name,
                       contract::toWire(contract::GetConfiancaCusto{
                           .CdFilial = c.CdFilial,
                           .CdServFili = c.CdServFili,
                           .first = c.DtIniMes,
                           .last = c.DtFimMes,
                           .CdTipoCusto = c.CdTipoCusto,
                           .IdRefeFixa = c.IdRefeFixa,
                           .DtRefeFixa = c.DtRefeFixa,
                           .CdFiliCust = c.CdFiliCust,
                       }));
}

tk::Variant TInsightRemote::GetDecomposicaoVariacao(const TContextoCusto &c)
{
    return m_conn.Call(contract::GetDecomposicaoVariacao::name,
                       contract::toWire(contract::GetDecomposicaoVariacao{
                           .CdFilial = c.CdFilial,
                           .CdServFili = c.CdServFili,
                           .first = c.DtIniMes,
                           .last = c.DtFimMes,
                           .CdTipoCusto = c.CdTipoCusto,
                           .IdRefeFixa = c.IdRefeFixa,
                           .DtRefeFixa = c.DtRefeFixa,
                           .CdFiliCust = c.CdFiliCust,
                           .CdTipoCustoReal = c.CdTipoCustoReal,
                           .DtProcesso = c.DtProcesso,
                       }));
}

} // namespace kpv40206
