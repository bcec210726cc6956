#include "platform/appserver/cleanup.h"

#include "platform/appserver/costmethods.h"

#include <exception>

namespace appsrv {

WorkSetCleaner::WorkSetCleaner(std::shared_ptr<CostService> service, std::chrono::milliseconds interval,
                               std::function<void(const std::string &)> log)
    : m_service(std::move(service)), m_interval(interval), m_log(std::move(log))
{
    m_thread = std::thread([this] { run(); });
}

WorkSetCleaner::~WorkSetCleaner()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void WorkSetCleaner::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        lock.unlock();
        try {
            const int64_t removed = m_service->cleanupStaleWorkSets();
            if (removed > 0 && m_log)
                m_log("work-set clean-up: removed " + std::to_string(removed) + " stale work set(s)");
        } catch (const std::exception &e) {
            if (m_log)
                m_log(std::string("work-set clean-up failed: ") + e.what());
        }
        lock.lock();
        m_wake.wait_for(lock, m_interval, [this] { return m_stop; });
    }
}

} // namespace appsrv
