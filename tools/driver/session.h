#pragma once

// One driver run: the server the window talks to, the host settings and hooks, the window, and the
// execution of script lines. Every command is synchronous and answers with one JSON object.

#include "tools/driver/options.h"
#include "tools/driver/replay.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace wire {
class RpcServer;
}

namespace appsrv {
class CostService;
}

namespace kpv40206 {
class TfrmCustoServ;
}

namespace driver {

class Session
{
public:
    // Starts the server (in-process or replay), sets the host settings and installs the recording
    // hooks. tk::Exception when the server cannot start or the replay file is bad.
    explicit Session(const DriverOptions &options);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // Runs one script line and answers it. Never throws.
    QJsonObject execute(const std::string &line);
    bool quitRequested() const { return m_quit; }
    // Closes a window still open and writes the record file. Safe to call more than once.
    void finish();

    int serverPort() const { return m_port; }

private:
    struct Command;
    using Handler = void (Session::*)(const std::vector<std::string> &args, QJsonObject &answer);

    kpv40206::TfrmCustoServ &window(); // CommandError "no window"

    void cmdOpen(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdActivate(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdPage(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdMove(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdClick(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdDblClick(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdKey(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdType(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdResize(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdMaximize(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdRestore(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdDump(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdCalls(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdLaunches(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdMessages(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdBusy(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdSplitter(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdGrab(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdGrabNext(const std::vector<std::string> &args, QJsonObject &answer);
    void launchForGrab(const std::string &code, const tk::Variant &args);
    void cmdFailPost(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdClose(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdRowClick(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdSelect(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdCopy(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdExport(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdPrint(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdExportMonth(const std::vector<std::string> &args, QJsonObject &answer);
    void cmdQuit(const std::vector<std::string> &args, QJsonObject &answer);

    void addMessage(const char *kind, const std::string &text);
    void onCallDone(const std::string &method, const tk::VariantArray &args, const tk::Variant *result,
                    const std::string *error);
    QJsonValue datasetHandleName(double handle) const;
    // Lets queued work run: posted events, deferred deletes, left-over dialogs.
    void settle();
    // Records and closes every dialog other than the window (a user dismissing it).
    void sweepDialogs();
    void destroyWindow();

    DriverOptions m_options;
    std::unique_ptr<wire::RpcServer> m_server;      // Owned; in-process application server.
    std::shared_ptr<appsrv::CostService> m_service; // Shared with m_server's handlers.
    std::unique_ptr<ReplayServer> m_replay;         // Owned.
    int m_port = 0;

    QPointer<kpv40206::TfrmCustoServ> m_window; // Owned (deleted by destroyWindow()).
    QTimer *m_dialogTimer = nullptr;            // Owned.
    Recorder m_recorder;
    QJsonArray m_calls, m_launches, m_messages, m_busy;
    std::string m_grabNext;  // grabnext: the picture file of the next module launched
    std::string m_grabbing;  // the module now open for a picture, until it is saved
    int m_grabTicks = 0;
    bool m_quit = false;
    bool m_finished = false;
};

} // namespace driver
