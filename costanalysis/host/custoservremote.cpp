#include "costanalysis/host/custoservremote.h"

#include "platform/contract/costmethods.h"
#include "platform/protocol/netconnection.h"

namespace kpv40206 {

namespace {
template<typename M>
tk::Variant callOf(tk::TNetConnection &connection, const M &call)
{
    return connection.Call(M::name, contract::toWire(call));
}
} // namespace

tk::Variant TCustoServRemote::GetParams(const TContextoCusto &c)
{
    return callOf(m_conn, contract::GetParams{.CdFilial = c.CdFilial});
}

tk::Variant TCustoServRemote::GetTrabCusto(const TContextoCusto &c, const std::string &operador)
{
    return callOf(m_conn, contract::GetTrabCusto{.CdFilial = c.CdFilial,
                                                 .CdServFili = c.CdServFili,
                                                 .first = c.DtIniMes,
                                                 .last = c.DtFimMes,
                                                 .CdTipoCusto = c.CdTipoCusto,
                                                 .operador = operador,
                                                 .IdRefeFixa = c.IdRefeFixa,
                                                 .DtRefeFixa = c.DtRefeFixa,
                                                 .CdFiliCust = c.CdFiliCust,
                                                 .write = true});
}

tk::Variant TCustoServRemote::GetCustoPadrao(const TContextoCusto &c)
{
    return callOf(m_conn,
                  contract::GetCustoPadrao{.CdFilial = c.CdFilial, .CdServFili = c.CdServFili, .first = c.DtIniMes});
}

tk::Variant TCustoServRemote::GetComensPlan(const TContextoCusto &c)
{
    return callOf(m_conn,
                  contract::GetComensPlan{.CdFilial = c.CdFilial, .CdServFili = c.CdServFili, .DtIniMes = c.DtIniMes});
}

tk::Variant TCustoServRemote::GetCardapio(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return callOf(m_conn,
                  contract::GetCardapio{.CdFilial = c.CdFilial, .CdServFili = c.CdServFili, .first = firstOfDayMonth});
}

tk::Variant TCustoServRemote::GetProduto(const TContextoCusto &c, tk::TDateTime day, tk::TDateTime priceDate)
{
    return callOf(m_conn, contract::GetProduto{.CdFilial = c.CdFilial,
                                               .CdServFili = c.CdServFili,
                                               .day = day,
                                               .CdTipoCusto = c.CdTipoCusto,
                                               .IdRefeFixa = c.IdRefeFixa,
                                               .priceDate = priceDate,
                                               .first = c.DtIniMes,
                                               .CdFiliCust = c.CdFiliCust});
}

tk::Variant TCustoServRemote::GetConsServ(const TContextoCusto &c, tk::TDateTime day, const std::string &dayType,
                                          tk::TDateTime priceDate)
{
    return callOf(m_conn, contract::GetConsServ{.CdFilial = c.CdFilial,
                                                .CdServFili = c.CdServFili,
                                                .day = day,
                                                .CdTipoCusto = c.CdTipoCusto,
                                                .dayType = dayType,
                                                .priceDate = priceDate,
                                                .CdFiliCust = c.CdFiliCust});
}

namespace {
contract::RealizedMonth realizedMonth(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return {.CdFilial = c.CdFilial,
            .CdServFili = c.CdServFili,
            .first = firstOfDayMonth,
            .CdTipoCustoReal = c.CdTipoCustoReal,
            .IdRefeFixa = c.IdRefeFixa,
            .DtRefeFixa = c.DtRefeFixa,
            .CdFiliCust = c.CdFiliCust};
}
} // namespace

tk::Variant TCustoServRemote::GetRealizado(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return callOf(m_conn, contract::GetRealizado{realizedMonth(c, firstOfDayMonth)});
}

tk::Variant TCustoServRemote::GetItemReti(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return callOf(m_conn, contract::GetItemReti{realizedMonth(c, firstOfDayMonth)});
}

tk::Variant TCustoServRemote::GetProdCustZero(const TContextoCusto &c, tk::TDateTime first, tk::TDateTime last)
{
    return callOf(m_conn, contract::GetProdCustZero{.CdFiliCust = c.CdFiliCust,
                                                    .CdTipoCusto = c.CdTipoCusto,
                                                    .DtRefeFixa = c.DtRefeFixa,
                                                    .CdFilial = c.CdFilial,
                                                    .CdServFili = c.CdServFili,
                                                    .first = first,
                                                    .last = last,
                                                    .IdRefeFixa = c.IdRefeFixa});
}

tk::Variant TCustoServRemote::GetProdCotDesatu(const TContextoCusto &c, const std::string &chave,
                                               tk::TDateTime first, tk::TDateTime last)
{
    return callOf(m_conn, contract::GetProdCotDesatu{.ChaveTrabCusto = chave,
                                                     .CdFilial = c.CdFilial,
                                                     .CdFiliCust = c.CdFiliCust,
                                                     .CdServFili = c.CdServFili,
                                                     .CdTipoCusto = c.CdTipoCusto,
                                                     .first = first,
                                                     .last = last,
                                                     .DtRefeFixa = c.DtRefeFixa,
                                                     .IdRefeFixa = c.IdRefeFixa});
}

tk::Variant TCustoServRemote::GetOrigemCusto(const std::string &branch, const std::string &product,
                                             int32_t cdTipoCusto, tk::TDateTime referenceDate)
{
    return callOf(m_conn, contract::GetOrigemCusto{
                              .branch = branch, .product = product, .CdTipoCusto = cdTipoCusto, .priceDate = referenceDate});
}

std::string TCustoServRemote::DelConsplan(const std::string &chave, const std::string &cdFilial)
{
    const tk::Variant result = callOf(m_conn, contract::DelConsplan{.ChaveTrabCusto = chave, .CdFilial = cdFilial});
    return result.isNull() ? std::string() : result.asString();
}

int TCustoServRemote::RenovaSessao()
{
    return callOf(m_conn, contract::RenovaSessao{}).asInteger();
}

} // namespace kpv40206
