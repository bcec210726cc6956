#pragma once

// KPV49700 "Relatório de Produtos": the month's problem products of one branch and service, either
// the products without cost or the products priced from an outdated quote. The module fetches the
// listing from the application server itself.
//
// Array: [CdFilial (text), CdServFili (text), CdTipoCusto (integer), DtRefeFixa (date-time),
//         DtReferencia (date-time), IdRefeFixa (boolean), "1" + ChaveTrabCusto | "0" + ChaveTrabCusto,
//         optionally CdFiliCust (text)].
// The first character of the last entry selects the listing: "1" the outdated quotes, "0" the
// products without cost.

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <string>

namespace tk {
class TNetConnection;
}

namespace kpv49700 {

enum class Listagem { CustoZero, CotacaoDesatualizada };

struct ReportRequest
{
    std::string cdFilial;
    std::string cdServFili;
    int32_t cdTipoCusto = 0;
    tk::TDateTime dtRefeFixa = 0;
    tk::TDateTime dtReferencia = 0;
    bool idRefeFixa = false;
    Listagem listagem = Listagem::CustoZero;
    std::string chaveTrabCusto; // the text after the selector character
    std::string cdFiliCust;     // the cost branch; empty: CdFilial's own costs
};

// Checks the array (size, types, selector); raises siblings::EModuleArgsError.
ReportRequest ParseArgs(const tk::Variant &args);

// The remote method and its arguments for a request: GetProdCustZero for the zero costs,
// GetProdCotDesatu for the outdated quotes, in the contract's argument order. first and last are the first and last days of DtReferencia's month. CdFiliCust is the array's
// cost branch when it carries one, and empty otherwise (the server then prices with CdFilial's own
// costs), so that the report lists what the window's page lists.
struct RemoteCall
{
    std::string method;
    tk::VariantArray args;
};
RemoteCall ListingCall(const ReportRequest &request);

// The fields a listing's packet must carry for the report.
const std::vector<std::string> &RequiredFields(Listagem listagem);

// Calls the server on connection and checks that the answer is a packet with the listing's fields.
// Raises the connection's errors (tk::ENetError, tk::ERemoteError) or tk::Exception for a bad answer.
tk::DataPacket FetchListing(const ReportRequest &request, tk::TNetConnection &connection);
// The same over a connection of its own to host::WebURL():host::WebPort(), closed afterwards.
tk::DataPacket FetchListing(const tk::Variant &args);

} // namespace kpv49700
