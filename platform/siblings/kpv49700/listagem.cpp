#include "platform/siblings/kpv49700/listagem.h"

#include "platform/contract/costmethods.h"
#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/netconnection.h"
#include "platform/siblings/common/moduleargs.h"

#include <QCoreApplication>

namespace kpv49700 {

ReportRequest ParseArgs(const tk::Variant &args)
{
    // The cost branch came later, as an eighth element; a caller of seven prices at CdFilial.
    const siblings::ModuleArgs array("KPV49700", args, 7, 8);
    ReportRequest request;
    request.cdFilial = array.Text(0, "CdFilial");
    request.cdServFili = array.Text(1, "CdServFili");
    request.cdTipoCusto = array.Integer(2, "CdTipoCusto");
    request.dtRefeFixa = array.Date(3, "DtRefeFixa");
    request.dtReferencia = array.Date(4, "DtReferencia");
    request.idRefeFixa = array.Boolean(5, "IdRefeFixa");
    const std::string selector = array.Text(6, "listagem");
    if (selector.empty() || (selector[0] != '0' && selector[0] != '1'))
        array.Fail(6, "listagem", "deve começar por \"0\" (custo zero) ou \"1\" (cotação desatualizada)");
    request.listagem = selector[0] == '1' ? Listagem::CotacaoDesatualizada : Listagem::CustoZero;
    request.chaveTrabCusto = selector.substr(1);
    if (request.listagem == Listagem::CotacaoDesatualizada && request.chaveTrabCusto.empty())
        array.Fail(6, "listagem", "não traz a chave do conjunto de trabalho");
    if (array.Count() > 7)
        request.cdFiliCust = array.Text(7, "CdFiliCust");
    return request;
}

RemoteCall ListingCall(const ReportRequest &r)
{
    const tk::TDateTime first = host::PriDiaMes(r.dtReferencia);
    const tk::TDateTime last = host::UltimoDiaMes(r.dtReferencia);
    if (r.listagem == Listagem::CustoZero) {
        const contract::GetProdCustZero call{.CdFiliCust = r.cdFiliCust,
                                             .CdTipoCusto = r.cdTipoCusto,
                                             .DtRefeFixa = r.dtRefeFixa,
                                             .CdFilial = r.cdFilial,
                                             .CdServFili = r.cdServFili,
                                             .first = first,
                                             .last = last,
                                             .IdRefeFixa = r.idRefeFixa};
        return {call.name, contract::toWire(call)};
    }
    const contract::GetProdCotDesatu call{.ChaveTrabCusto = r.chaveTrabCusto,
                                          .CdFilial = r.cdFilial,
                                          .CdFiliCust = r.cdFiliCust,
                                          .CdServFili = r.cdServFili,
                                          .CdTipoCusto = r.cdTipoCusto,
                                          .first = first,
                                          .last = last,
                                          .DtRefeFixa = r.dtRefeFixa,
                                          .IdRefeFixa = r.idRefeFixa};
    return {call.name, contract::toWire(call)};
}

const std::vector<std::string> &RequiredFields(Listagem listagem)
{
    static const std::vector<std::string> custoZero{"DTCARDAPIO", "CDARVPROD", "NMPRODUTO", "QTDEBRUTA"};
    static const std::vector<std::string> cotacao{"DTCONSPLAN", "CDARVPROD", "NMPRODUTO", "QTCONSPLAN",
                                                  "CUSTOPROD", "DTCUSTOSUP", "DTFINCUSTSUP"};
    return listagem == Listagem::CustoZero ? custoZero : cotacao;
}

tk::DataPacket FetchListing(const ReportRequest &request, tk::TNetConnection &connection)
{
    const RemoteCall call = ListingCall(request);
    const tk::Variant result = connection.Call(call.method, call.args);
    if (!result.isPacket()) {
        throw tk::Exception("KPV49700: resposta inválida do servidor para " + call.method + ": esperado um "
                            "pacote de dados, recebido " + siblings::TipoVariant(result.type()));
    }
    const tk::DataPacket &packet = result.packet();
    for (const std::string &field : RequiredFields(request.listagem)) {
        if (packet.fieldIndex(field) < 0)
            throw tk::Exception("KPV49700: a listagem de " + call.method + " não tem o campo " + field);
    }
    return packet;
}

tk::DataPacket FetchListing(const tk::Variant &args)
{
    const ReportRequest request = ParseArgs(args);
    tk::TNetConnection connection("netRelProdutos");
    connection.Host = host::WebURL();
    connection.Port = host::WebPort();
    host::AttachServerList(connection);
    if (QCoreApplication::instance())
        host::AttachBusyPainting(connection);
    return FetchListing(request, connection);
}

} // namespace kpv49700
