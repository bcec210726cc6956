#include "platform/hostlib/keepalive.h"

#include "platform/hostlib/busyindicator.h"

#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace host {

namespace {
constexpr int kFirstIntervalMs = 60 * 1000; // until the server has said its lease
constexpr int kMinIntervalMs = 2 * 1000;
} // namespace

SessionKeepAlive::SessionKeepAlive(QObject *owner, std::function<int()> renew, std::function<bool()> needed)
    : QObject(owner), m_timer(new QTimer(this)), m_renew(std::move(renew)), m_needed(std::move(needed))
{
    m_timer->setInterval(kFirstIntervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_timer->start();
}

int SessionKeepAlive::intervalMs() const
{
    return m_timer->interval();
}

int SessionKeepAlive::intervalForLease(int leaseSeconds)
{
    if (leaseSeconds <= 0)
        return kFirstIntervalMs;
    return std::max(kMinIntervalMs, static_cast<int>(std::min<int64_t>(int64_t(leaseSeconds) * 1000 / 3, 3600 * 1000)));
}

void SessionKeepAlive::tick()
{
    // A call in progress is waiting on the same connection and renews the lease itself; the timer
    // fires here only because the wait paints the window.
    if (WaitDepth() > 0 || !m_needed())
        return;
    try {
        m_timer->setInterval(intervalForLease(m_renew()));
    } catch (...) {
        // An older server without the method, or one that is away: nothing for the user to do now.
    }
}

} // namespace host
