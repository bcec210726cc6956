#include "costanalysis/host/insightremote.h"

#include "platform/contract/costmethods.h"
#include "platform/protocol/netconnection.h"

namespace kpv40206 {

namespace {

contract::PlannedMonth plannedMonth(const TContextoCusto &c)
{
    return {.CdFilial = c.CdFilial,
            .CdServFili = c.CdServFili,
            .first = c.DtIniMes,
            .last = c.DtFimMes,
            .CdTipoCusto = c.CdTipoCusto,
            .IdRefeFixa = c.IdRefeFixa,
            .DtRefeFixa = c.DtRefeFixa,
            .CdFiliCust = c.CdFiliCust};
}

} // namespace

tk::Variant TInsightRemote::GetConfiancaCusto(const TContextoCusto &c)
{
    return m_conn.Call(contract::GetConfiancaCusto::name,
                       contract::toWire(contract::GetConfiancaCusto{plannedMonth(c)}));
}

tk::Variant TInsightRemote::GetDecomposicaoVariacao(const TContextoCusto &c)
{
    contract::GetDecomposicaoVariacao call{plannedMonth(c)};
    call.CdTipoCustoReal = c.CdTipoCustoReal;
    call.DtProcesso = c.DtProcesso;
    return m_conn.Call(contract::GetDecomposicaoVariacao::name, contract::toWire(call));
}

} // namespace kpv40206
