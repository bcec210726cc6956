#pragma once

#include "platform/database/sqldb.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace appsrv {

// Connections to one database file, one per concurrent call, reused between calls; all of them are
// dropped when one finds the database gone. CostService owns the pool of its database.
class ConnectionPool
{
public:
    explicit ConnectionPool(std::string dbPath, size_t maxIdle);

    struct Release
    {
        ConnectionPool *pool; // Not owned.
        void operator()(db::Connection *connection) const;
    };
    using Lease = std::unique_ptr<db::Connection, Release>;
    Lease acquire();

private:
    std::string m_path;
    size_t m_maxIdle;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<db::Connection>> m_idle; // Owned.
};

} // namespace appsrv
