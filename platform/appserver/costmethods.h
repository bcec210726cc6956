#pragma once

// The methods of the cost-analysis remote data module (rdmCustoServ), computed from the suite
// database. Each call runs on a pooled connection in one read transaction; a work-set write runs in
// its own write transaction. Handlers are safe to run on many threads at once.

#include "platform/appserver/connectionpool.h"
#include "platform/appserver/errors.h"
#include "platform/database/sqldb.h"
#include "platform/toolkit/data/variant.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wire {
class RpcServer;
}

namespace appsrv {

using Handler = std::function<tk::Variant(const tk::VariantArray &args)>;

struct CostServiceOptions
{
    int64_t workSetMaxAgeSeconds = 12 * 3600; // work sets older than this are stale
    int64_t workSetLeaseSeconds = 600;        // work sets unused by their session for this long are stale
    int64_t workSetCap = 16;                  // live work sets per session (see workset.h)
    size_t maxIdleConnections = 16;            // pooled connections kept open between calls
    // The technical detail of failed calls, one line each ("erro REF METHOD: detail"); see ErrorReporter.
    std::function<void(const std::string &)> log;
};

class CostService
{
public:
    // Fails (db::SqlError) when the database file does not exist or has no suite schema.
    CostService(std::string dbPath, CostServiceOptions options = {});

    // Method name -> handler; every method of the remote data module.
    const std::map<std::string, Handler> &methods() const { return m_methods; }
    // Calls a method directly (tests, benchmarks); a failure raises UserError with the user's text.
    tk::Variant call(const std::string &method, const tk::VariantArray &args) const;

    // Removes stale work sets now; returns how many.
    int64_t cleanupStaleWorkSets();
    int64_t cleanupStaleWorkSets(tk::TDateTime now);

    // Renews the lease of the session's work sets: on each call of the session, at most a few times
    // per lease on this server (the database keeps the lease, this only spares writes). Never fails
    // the call: a renewal that cannot be written waits for the next call.
    void renewLease(const std::string &session);

    const CostServiceOptions &options() const { return m_options; }

    // For methods defined beside this class (insightmethods): fn on a pooled connection inside one
    // read transaction, and a method added to the map, its failures turned into the user's text.
    void readTransaction(const std::function<void(db::Connection &)> &fn);
    void addMethod(const std::string &name, Handler handler);

private:
    tk::Variant getParams(const tk::VariantArray &args);
    tk::Variant getTrabCusto(const tk::VariantArray &args);
    tk::Variant getCustoPadrao(const tk::VariantArray &args);
    tk::Variant getComensPlan(const tk::VariantArray &args);
    tk::Variant getCardapio(const tk::VariantArray &args);
    tk::Variant getProduto(const tk::VariantArray &args);
    tk::Variant getConsServ(const tk::VariantArray &args);
    tk::Variant getRealizado(const tk::VariantArray &args);
    tk::Variant getItemReti(const tk::VariantArray &args);
    tk::Variant getProdCustZero(const tk::VariantArray &args);
    tk::Variant getProdCotDesatu(const tk::VariantArray &args);
    tk::Variant getOrigemCusto(const tk::VariantArray &args);
    tk::Variant delConsplan(const tk::VariantArray &args);
    tk::Variant renovaSessao(const tk::VariantArray &args);

    // Runs fn on a pooled connection inside one read transaction.
    template<typename Fn>
    auto read(Fn &&fn);

    CostServiceOptions m_options;
    ErrorReporter m_errors;
    mutable ConnectionPool m_pool;
    std::map<std::string, Handler> m_methods;
    std::mutex m_renewedMutex;
    std::map<std::string, std::chrono::steady_clock::time_point> m_renewed; // session -> last renewal here
};

// Registers every method of the service on the server. The handlers share the returned service.
std::shared_ptr<CostService> registerCostMethods(wire::RpcServer &server, const std::string &dbPath,
                                                 CostServiceOptions options = {});

} // namespace appsrv
