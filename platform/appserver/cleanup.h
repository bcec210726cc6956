#pragma once

// The stale work-set clean-up thread of the application server (main runs one beside the RPC server).

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace appsrv {

class CostService;

// Removes stale work sets at start and then every `interval`, on its own thread, until destroyed.
class WorkSetCleaner
{
public:
    WorkSetCleaner(std::shared_ptr<CostService> service, std::chrono::milliseconds interval,
                   std::function<void(const std::string &)> log = {});
    ~WorkSetCleaner();
    WorkSetCleaner(const WorkSetCleaner &) = delete;
    WorkSetCleaner &operator=(const WorkSetCleaner &) = delete;

private:
    void run();

    std::shared_ptr<CostService> m_service;
    std::chrono::milliseconds m_interval;
    std::function<void(const std::string &)> m_log;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace appsrv
