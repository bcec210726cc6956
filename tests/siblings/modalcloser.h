#pragma once

// Closes the modal window a module opens with exec(), after letting the test look at it, so a test
// can run a module's IniProc through the host's LoadBPL. It polls every 20 ms; after the time limit
// it closes every visible dialog, so a window that never became modal cannot hang the test.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

class ModalCloser
{
public:
    explicit ModalCloser(std::function<void(QWidget *)> inspect = {}, int timeoutMs = 10000)
        : m_inspect(std::move(inspect)), m_timeoutMs(timeoutMs)
    {
        m_clock.start();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start();
    }

    bool Closed() const { return m_closed; }
    bool TimedOut() const { return m_timedOut; }

private:
    void tick()
    {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            m_timer.stop();
            if (m_inspect)
                m_inspect(modal);
            modal->close();
            m_closed = true;
            return;
        }
        if (m_clock.elapsed() > m_timeoutMs) {
            m_timer.stop();
            m_timedOut = true;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
                    dialog->reject();
            }
        }
    }

    std::function<void(QWidget *)> m_inspect;
    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    bool m_closed = false;
    bool m_timedOut = false;
};
