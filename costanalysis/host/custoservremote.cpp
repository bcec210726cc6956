#include "costanalysis/host/custoservremote.h"

#include "platform/protocol/netconnection.h"

namespace kpv40206 {

namespace {
tk::Variant date(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}
} // namespace

tk::Variant TCustoServRemote::call(const char *method, tk::VariantArray args)
{
    return m_conn.Call(method, args);
}

tk::Variant TCustoServRemote::GetParams(const TContextoCusto &c)
{
    return call("GetParams", {c.CdFilial});
}

tk::Variant TCustoServRemote::GetTrabCusto(const TContextoCusto &c, const std::string &operador)
{
    return call("GetTrabCusto", {c.CdFilial, c.CdServFili, date(c.DtIniMes), date(c.DtFimMes), c.CdTipoCusto,
                                 operador, c.IdRefeFixa, date(c.DtRefeFixa), c.CdFiliCust, true});
}

tk::Variant TCustoServRemote::GetCustoPadrao(const TContextoCusto &c)
{
    return call("GetCustoPadrao", {c.CdFilial, c.CdServFili, date(c.DtIniMes)});
}

tk::Variant TCustoServRemote::GetComensPlan(const TContextoCusto &c)
{
    return call("GetComensPlan", {c.CdFilial, c.CdServFili, date(c.DtIniMes)});
}

tk::Variant TCustoServRemote::GetCardapio(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return call("GetCardapio", {c.CdFilial, c.CdServFili, date(firstOfDayMonth)});
}

tk::Variant TCustoServRemote::GetProduto(const TContextoCusto &c, tk::TDateTime day, tk::TDateTime priceDate)
{
    return call("GetProduto", {c.CdFilial, c.CdServFili, date(day), c.CdTipoCusto, c.IdRefeFixa,
                               date(priceDate), date(c.DtIniMes), c.CdFiliCust});
}

tk::Variant TCustoServRemote::GetConsServ(const TContextoCusto &c, tk::TDateTime day, const std::string &dayType,
                                          tk::TDateTime priceDate)
{
    return call("GetConsServ", {c.CdFilial, c.CdServFili, date(day), c.CdTipoCusto, dayType, date(priceDate),
                                c.CdFiliCust});
}

tk::Variant TCustoServRemote::GetRealizado(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return call("GetRealizado", {c.CdFilial, c.CdServFili, date(firstOfDayMonth), c.CdTipoCustoReal,
                                 c.IdRefeFixa, date(c.DtRefeFixa), c.CdFiliCust});
}

tk::Variant TCustoServRemote::GetItemReti(const TContextoCusto &c, tk::TDateTime firstOfDayMonth)
{
    return call("GetItemReti", {c.CdFilial, c.CdServFili, date(firstOfDayMonth), c.CdTipoCustoReal,
                                c.IdRefeFixa, date(c.DtRefeFixa), c.CdFiliCust});
}

tk::Variant TCustoServRemote::GetProdCustZero(const TContextoCusto &c, tk::TDateTime first, tk::TDateTime last)
{
    return call("GetProdCustZero", {c.CdFiliCust, c.CdTipoCusto, date(c.DtRefeFixa), c.CdFilial, c.CdServFili,
                                    date(first), date(last), c.IdRefeFixa});
}

tk::Variant TCustoServRemote::GetProdCotDesatu(const TContextoCusto &c, const std::string &chave,
                                               tk::TDateTime first, tk::TDateTime last)
{
    return call("GetProdCotDesatu", {chave, c.CdFilial, c.CdFiliCust, c.CdServFili, c.CdTipoCusto, date(first),
                                     date(last), date(c.DtRefeFixa), c.IdRefeFixa});
}

tk::Variant TCustoServRemote::GetOrigemCusto(const std::string &branch, const std::string &product,
                                             int32_t cdTipoCusto, tk::TDateTime referenceDate)
{
    return call("GetOrigemCusto", {branch, product, cdTipoCusto, date(referenceDate)});
}

std::string TCustoServRemote::DelConsplan(const std::string &chave, const std::string &cdFilial)
{
    const tk::Variant result = call("DelConsplan", {chave, cdFilial});
    return result.isNull() ? std::string() : result.asString();
}

} // namespace kpv40206
