#include "platform/appserver/branchaccess.h"
#include "platform/appserver/costmethods.h"
#include "platform/appserver/insightmethods.h"

#include "platform/contract/costmethods.h"
#include "platform/protocol/rpcserver.h"

namespace appsrv {

std::shared_ptr<CostService> registerCostMethods(wire::RpcServer &server, const std::string &dbPath,
                                                 CostServiceOptions options)
{
    auto service = std::make_shared<CostService>(dbPath, options);
    addInsightMethods(*service);
    ensureOperatorBranches(*db::Connection::open(dbPath, db::OpenMode::ExistingOnly));
    const auto errors = std::make_shared<ErrorReporter>(options.log);
    for (const auto &[name, handler] : service->methods()) {
        // The one check of an operator's branches, for every method, from the contract's marks.
        const contract::MethodInfo *info = contract::findMethod(name);
        if (!info)
            throw tk::Exception("method " + name + " is not in the contract, so its branches are unknown");
        const std::vector<size_t> branches = contract::branchPositions(*info);
        // Each handler keeps the service alive for as long as the server holds it. Every call of a
        // session keeps its work sets alive.
        server.registerMethod(name, [service, errors, name = name, branches, handler = handler](const tk::VariantArray &args) {
            service->renewLease(wire::RpcServer::callSession());
            const std::string &user = wire::RpcServer::callUser();
            if (!user.empty() && !branches.empty()) {
                std::vector<std::string> forbidden;
                try {
                    service->readTransaction(
                        [&](db::Connection &c) { forbidden = forbiddenBranches(c, user, args, branches); });
                } catch (const std::exception &e) {
                    throw UserError(errors->userText(name, e));
                }
                if (!forbidden.empty())
                    throw UserError(forbiddenBranchText(user, forbidden));
            }
            return handler(args);
        });
    }
    return service;
}

} // namespace appsrv
