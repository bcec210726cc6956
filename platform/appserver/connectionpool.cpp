#include "platform/appserver/connectionpool.h"

namespace appsrv {

ConnectionPool::ConnectionPool(std::string dbPath, size_t maxIdle) : m_path(std::move(dbPath)), m_maxIdle(maxIdle) {}

void ConnectionPool::Release::operator()(db::Connection *connection) const
{
    std::unique_ptr<db::Connection> owned(connection);
    if (!owned)
        return;
    bool broken = owned->broken();
    try {
        if (!broken && owned->inTransaction())
            owned->rollback();
    } catch (...) {
        broken = true; // a connection in an unknown state is closed, not reused
    }
    std::lock_guard<std::mutex> lock(pool->m_mutex);
    if (owned->broken()) {
        // The database went away (a restart, a network fault): the idle connections went with it.
        pool->m_idle.clear();
        return;
    }
    if (!broken && pool->m_idle.size() < pool->m_maxIdle)
        pool->m_idle.push_back(std::move(owned));
}

ConnectionPool::Lease ConnectionPool::acquire()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_idle.empty()) {
            db::Connection *connection = m_idle.back().release();
            m_idle.pop_back();
            return Lease(connection, Release{this});
        }
    }
    return Lease(db::Connection::open(m_path, db::OpenMode::ExistingOnly).release(), Release{this});
}

} // namespace appsrv
