#pragma once

// The window's calls of the application server's methods. Names, argument orders and packet layouts
// are the contract's (platform/contract/costmethods.h); this class fills the arguments from the
// analysis context. Every window handler calls the server through it.

#include "costanalysis/module/contextocusto.h"
#include "platform/toolkit/data/variant.h"

#include <string>

namespace tk {
class TNetConnection;
}

namespace kpv40206 {

class TCustoServRemote
{
public:
    explicit TCustoServRemote(tk::TNetConnection &connection) : m_conn(connection) {}

    // [0] qryParamFilial, [1] qryParamPlaneja
    tk::Variant GetParams(const TContextoCusto &c);
    // [0] ChaveTrabCusto (or an error text), [1] qryTrabCusto, [2] cdsPreCotDesatu
    tk::Variant GetTrabCusto(const TContextoCusto &c, const std::string &operador);
    tk::Variant GetCustoPadrao(const TContextoCusto &c);
    // Checked result: the month's planned diners.
    tk::Variant GetComensPlan(const TContextoCusto &c);
    tk::Variant GetCardapio(const TContextoCusto &c, tk::TDateTime firstOfDayMonth);
    tk::Variant GetProduto(const TContextoCusto &c, tk::TDateTime day, tk::TDateTime priceDate);
    // [0] cdsConsumo, [1] qryConsServ, [2] cdsComens
    tk::Variant GetConsServ(const TContextoCusto &c, tk::TDateTime day, const std::string &dayType,
                            tk::TDateTime priceDate);
    tk::Variant GetRealizado(const TContextoCusto &c, tk::TDateTime firstOfDayMonth);
    tk::Variant GetItemReti(const TContextoCusto &c, tk::TDateTime firstOfDayMonth);
    tk::Variant GetProdCustZero(const TContextoCusto &c, tk::TDateTime first, tk::TDateTime last);
    tk::Variant GetProdCotDesatu(const TContextoCusto &c, const std::string &chave, tk::TDateTime first,
                                 tk::TDateTime last);
    // Checked result: cdsOrigemCusto.
    tk::Variant GetOrigemCusto(const std::string &branch, const std::string &product, int32_t cdTipoCusto,
                               tk::TDateTime referenceDate);
    // Empty on success, else an error text.
    std::string DelConsplan(const std::string &chave, const std::string &cdFilial);
    // Renews the session's work sets while the window is idle; answers the lease in seconds.
    int RenovaSessao();

private:
    tk::TNetConnection &m_conn; // Not owned.
};

} // namespace kpv40206
