#pragma once

// Keeps a window's server session alive while its user makes no call: the server removes a session's
// work sets once they go unused for its lease, and an analyst who leaves the window open over lunch
// still expects the outdated-quotes page to open afterwards.

#include <QObject>

#include <functional>

class QTimer;

namespace host {

class SessionKeepAlive : public QObject
{
public:
    // `renew` makes the renewing call and answers the server's lease in seconds (or throws; a failed
    // renewal is retried at the next tick, silently: the next real call reports a server that is gone).
    // `needed` says whether the window holds anything worth keeping (its work set).
    SessionKeepAlive(QObject *owner, std::function<int()> renew, std::function<bool()> needed);

    int intervalMs() const;
    // One tick, as the timer makes it (tests).
    void tick();

    // Renewals are sent at a third of the lease, so one lost renewal does not cost the work set.
    static int intervalForLease(int leaseSeconds);

private:
    QTimer *m_timer;
    std::function<int()> m_renew;
    std::function<bool()> m_needed;
};

} // namespace host
