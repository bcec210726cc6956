#pragma once

// The client side of the server methods that say what the planned figures rest on (the server's
// insightmethods): names, argument lists and result shapes, beside TCustoServRemote.

#include "costanalysis/module/contextocusto.h"
#include "platform/toolkit/data/variant.h"

#include <string>

namespace tk {
class TNetConnection;
}

namespace kpv40206 {

class TInsightRemote
{
public:
    explicit TInsightRemote(tk::TNetConnection &connection) : m_conn(connection) {}

    // The analysed month: [0] cdsConfianca (per day), [1] cdsConfiancaProd (the ingredients behind
    // the shares), [2] cdsConfiancaMes (one row).
    tk::Variant GetConfiancaCusto(const TContextoCusto &c);
    // The same three packets, as GetTrabCusto stored them with the work set `chave` of the branch.
    tk::Variant GetConfiancaTrab(const std::string &chave, const std::string &cdFilial);
    // The analysed month up to DtProcesso: [0] cdsVariacao (per realized day), [1] cdsVariacaoMes.
    tk::Variant GetDecomposicaoVariacao(const TContextoCusto &c);

private:
    tk::TNetConnection &m_conn; // Not owned.
};

} // namespace kpv40206
