#pragma once

// The busy indicator (ActiveShowAvi / DeactiveShowAvi): an animated overlay with a text over a
// window while a synchronous load runs.

#include <QPointer>
#include <QWidget>

#include <string>

namespace tk {
class TNetConnection;
}

namespace host {

// Shows the indicator over form (nullptr: the host's main window, else the active window, else a
// small window of its own). Kind 0 is the connecting animation and shows "Conectando..." when text
// is empty; any other kind shows "Aguarde..." when text is empty. There is one indicator: a show
// while one is up moves it to form and replaces its kind and text. Recorded in Hooks::onBusy.
void ActiveShowAvi(QWidget *form, int kind, const std::string &text = {});
// Hides the indicator. Does nothing (and records nothing) when none shows.
void DeactiveShowAvi();

bool ShowAviActive();
int ShowAviKind();          // kind shown, -1 when none
std::string ShowAviText();  // text shown, empty when none
QWidget *ShowAviWidget();   // the overlay, nullptr when none. Not owned by the caller.
int ShowAviFrame();         // animation frames drawn since the indicator was shown

// Processes pending events except user input, so that the indicator animates and windows repaint
// while a synchronous call waits. Suitable for tk::TNetConnection::OnWait.
void ProcessPaintEvents();
// How deep the current code runs inside ProcessPaintEvents (0: not waiting). Windows use it to put
// off a close that arrives while a synchronous call of theirs waits.
int WaitDepth();
// Sets connection.OnWait to ProcessPaintEvents.
void AttachBusyPainting(tk::TNetConnection &connection);

// The window busy indicators cover when the caller names none (the suite's main window).
void SetMainWindow(QWidget *window);
QWidget *MainWindow();

// The busy indicator of a scope: hidden on every exit path, normal or by an exception. There is one
// indicator, so the exit hides it whoever showed it (a handler that shows it only when it has
// something to load, or a load the scope runs that shows it itself). Constructed without a form it
// shows nothing yet: Show() shows it later, once the scope knows it must wait.
class ShowAviGuard
{
public:
    ShowAviGuard() = default;
    ShowAviGuard(QWidget *form, int kind, const std::string &text = {}) { Show(form, kind, text); }
    ~ShowAviGuard();
    ShowAviGuard(const ShowAviGuard &) = delete;
    ShowAviGuard &operator=(const ShowAviGuard &) = delete;

    void Show(QWidget *form, int kind, const std::string &text = {}) { ActiveShowAvi(form, kind, text); }
    // Repaints window at once after the indicator is hidden, so what it covered is drawn before the
    // code after the scope (an error dialog, another module) runs. Not owned; may be destroyed first.
    void RepaintAfter(QWidget *window);

private:
    QPointer<QWidget> m_repaint;
};

// Long work under the indicator, step by step, that the user can cancel with Esc. While it lives,
// user input reaches no window (the work must not be disturbed by clicks or keys); Esc asks to
// cancel. Each Step shows the indicator again with its text and the step count (the work may hide
// it on its own in between) and lets pending events run. The indicator is hidden at the end.
class BusyProgress
{
public:
    BusyProgress(QWidget *form, int kind, std::string text);
    ~BusyProgress();
    BusyProgress(const BusyProgress &) = delete;
    BusyProgress &operator=(const BusyProgress &) = delete;

    // Shows "text (done de total)"; false once cancelled.
    bool Step(int done, int total);
    bool Cancelled() const { return m_cancelled; }
    void Cancel() { m_cancelled = true; }

private:
    class Filter;
    QWidget *m_form; // Not owned.
    int m_kind;
    std::string m_text;
    bool m_cancelled = false;
    Filter *m_filter = nullptr; // Owned.
};

} // namespace host
