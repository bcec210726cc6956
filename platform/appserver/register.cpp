#include "platform/appserver/costmethods.h"
#include "platform/appserver/insightmethods.h"

#include "platform/protocol/rpcserver.h"

namespace appsrv {

std::shared_ptr<CostService> registerCostMethods(wire::RpcServer &server, const std::string &dbPath,
                                                 CostServiceOptions options)
{
    auto service = std::make_shared<CostService>(dbPath, options);
    addInsightMethods(*service);
    for (const auto &[name, handler] : service->methods()) {
        // Each handler keeps the service alive for as long as the server holds it. Every call of a
        // session keeps its work sets alive.
        server.registerMethod(name, [service, handler = handler](const tk::VariantArray &args) {
            service->renewLease(wire::RpcServer::callSession());
            return handler(args);
        });
    }
    return service;
}

} // namespace appsrv
