#include "tools/driver/session.h"

#include <utility>
#include "platform/database/sqldb.h"

#include "tools/driver/command.h"
#include "tools/driver/dump.h"
#include "tools/driver/jsonvalue.h"

#include "costanalysis/module/contextocusto.h"
#include "costanalysis/window/frmcustoserv.h"
#include "platform/appserver/costmethods.h"
#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/dbgrid.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/gridactions.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <map>

namespace driver {

namespace {

// The real window, with one difference: it becomes "active" only when the script says so. The
// offscreen platform activates a window whenever it is shown; FormActivate then runs from the
// `open` and `activate` commands alone, so that a script sees every activation it causes.
class DriverWindow : public kpv40206::TfrmCustoServ
{
public:
    using kpv40206::TfrmCustoServ::TfrmCustoServ;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate)
            return QDialog::event(event);
        return kpv40206::TfrmCustoServ::event(event);
    }
};

void expectArgs(const std::vector<std::string> &args, size_t count, const char *usage)
{
    if (args.size() != count)
        throw CommandError(std::string("usage: ") + usage);
}

template <typename T> T *findAs(kpv40206::TfrmCustoServ &window, const std::string &name, const char *kind)
{
    QWidget *w = findControl(window, name);
    if (!w)
        throw CommandError("unknown component '" + name + "'");
    T *typed = qobject_cast<T *>(w);
    if (!typed)
        throw CommandError("'" + name + "' is not a " + kind);
    return typed;
}

QJsonArray selectedRows(tk::TDBGrid &grid)
{
    QJsonArray rows;
    for (int r : grid.Actions().SelectedRows())
        rows.append(r + 1);
    return rows;
}

} // namespace

Session::Session(const DriverOptions &options) : m_options(options)
{
    const bool postgres = db::Connection::isPostgres(options.dbPath);
    if (!postgres && !std::filesystem::exists(options.dbPath))
        throw tk::Exception("database file not found: " + options.dbPath);

    tk::SetLocale(options.locale);
    QLocale::setDefault(QLocale(toQString(options.locale)));

    std::string host = "127.0.0.1";
    if (options.externalServer()) {
        host = options.serverHost;
        m_port = options.serverPort;
    } else if (options.replay()) {
        m_replay = std::make_unique<ReplayServer>(ReplayBook::fromFile(options.replayPath));
        m_port = m_replay->start();
    } else {
        wire::RpcServer::Options serverOptions;
        serverOptions.host = "127.0.0.1";
        serverOptions.port = 0;
        m_server = std::make_unique<wire::RpcServer>(serverOptions);
        m_service = appsrv::registerCostMethods(*m_server, options.dbPath);
        m_port = m_server->start();
    }

    host::Settings settings;
    settings.dbPath = options.dbPath;
    settings.serverHost = host;
    settings.serverPort = m_port;
    settings.alternateServers = options.alternateServers;
    settings.serverUser = options.serverUser;
    settings.serverPassword = options.serverPassword;
    settings.tlsCaFile = options.tlsCaFile;
    settings.operatorName = options.operatorName;
    settings.moduloAtiv = options.moduloAtiv;
    settings.locale = options.locale;
    settings.indicadoresCusto = options.indicadores;
    settings.limiteConfianca = options.limiteConfianca;
    settings.modulesDir = fromQString(QCoreApplication::applicationDirPath());
    host::SetSettings(settings);
    if (postgres)
        host::CheckSharedDatabase(); // a server database that cannot be used is said at once

    host::Hooks hooks;
    hooks.onBusy = [this](bool shown, int kind, const std::string &text) {
        QJsonObject event;
        event.insert("shown", shown);
        event.insert("kind", kind);
        event.insert("text", toQString(text));
        m_busy.append(event);
    };
    hooks.onMensErro = [this](const std::string &text) { addMessage("error", text); };
    hooks.launcher = [this](const std::string &code, const tk::Variant &args) {
        QJsonObject launch;
        launch.insert("code", toQString(code));
        const DoubleMapper handles = [this](double d) { return datasetHandleName(d); };
        QJsonValue list = variantToJson(args, handles);
        if (!list.isArray()) {
            QJsonArray one;
            one.append(list);
            list = one;
        }
        launch.insert("args", list);
        m_launches.append(launch);
        if (!m_grabNext.empty())
            launchForGrab(code, args);
    };
    host::GetHooks() = std::move(hooks);
    tk::SetExceptionHandler([this](const std::string &message) { addMessage("error", message); });

    // A dialog that opens a modal loop of its own is answered as a user would close it, so that no
    // command ever waits for a person.
    m_dialogTimer = new QTimer();
    m_dialogTimer->setInterval(50);
    QObject::connect(m_dialogTimer, &QTimer::timeout, [this] { sweepDialogs(); });
    m_dialogTimer->start();
}

Session::~Session()
{
    finish();
    destroyWindow();
    delete m_dialogTimer;
    tk::SetExceptionHandler(nullptr);
    host::GetHooks() = host::Hooks();
    if (m_replay)
        m_replay->stop();
    if (m_server)
        m_server->stop();
}

void Session::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (m_window && m_window->isVisible()) {
        m_window->close();
        settle();
    }
    if (!m_options.recordPath.empty()) {
        std::string error;
        if (!m_recorder.write(m_options.recordPath, &error))
            addMessage("error", "cannot write " + m_options.recordPath + ": " + error);
    }
}

void Session::destroyWindow()
{
    if (m_window) {
        delete m_window.data();
        m_window.clear();
    }
    // The module's reference goes with the window (its destructor clears it).
}

kpv40206::TfrmCustoServ &Session::window()
{
    if (!m_window)
        throw CommandError("no window");
    return *m_window;
}

void Session::addMessage(const char *kind, const std::string &text)
{
    QJsonObject m;
    m.insert("kind", kind);
    m.insert("text", toQString(text));
    m_messages.append(m);
}

void Session::onCallDone(const std::string &method, const tk::VariantArray &args, const tk::Variant *result,
                         const std::string *error)
{
    QJsonObject call;
    call.insert("method", toQString(method));
    call.insert("args", argsToJson(args));
    if (error)
        call.insert("error", toQString(*error));
    m_calls.append(call);
    // Converting every answer to JSON costs more than most window actions: only when asked to.
    if (!m_options.recordPath.empty())
        m_recorder.record(method, args, result, error);
}

QJsonValue Session::datasetHandleName(double handle) const
{
    if (!m_window)
        return QJsonValue(QJsonValue::Undefined);
    for (tk::TClientDataSet *ds : m_window->DataSets()) {
        if (host::DataSetHandle(ds).asDouble() == handle) {
            QJsonObject o;
            o.insert("dataset", toQString(ds->Name()));
            return o;
        }
    }
    return QJsonValue(QJsonValue::Undefined);
}

void Session::settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    sweepDialogs();
}

void Session::sweepDialogs()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QDialog *>(top);
        if (!dialog || !dialog->isVisible() || dialog == m_window.data())
            continue;
        // The module opened for `grabnext`: saved once it has been drawn, then closed as a user
        // closes it, without a message.
        if (!m_grabbing.empty()) {
            if (++m_grabTicks < 3)
                continue;
            if (!dialog->grab().save(toQString(m_grabbing), "PNG"))
                addMessage("error", "cannot write '" + m_grabbing + "'");
            m_grabbing.clear();
            dialog->reject();
            continue;
        }
        std::string text = fromQString(dialog->windowTitle());
        if (auto *box = qobject_cast<QMessageBox *>(dialog)) {
            const std::string body = fromQString(box->text());
            text = text.empty() ? body : text + ": " + body;
        }
        addMessage("dialog", text);
        dialog->reject();
    }
}

QJsonObject Session::execute(const std::string &line)
{
    static const std::map<std::string, Handler> handlers = {
        {"open", &Session::cmdOpen},         {"activate", &Session::cmdActivate},
        {"page", &Session::cmdPage},         {"move", &Session::cmdMove},
        {"click", &Session::cmdClick},       {"dblclick", &Session::cmdDblClick},
        {"key", &Session::cmdKey},           {"resize", &Session::cmdResize},
        {"maximize", &Session::cmdMaximize}, {"restore", &Session::cmdRestore},
        {"dump", &Session::cmdDump},         {"calls", &Session::cmdCalls},
        {"launches", &Session::cmdLaunches}, {"messages", &Session::cmdMessages},
        {"close", &Session::cmdClose},       {"quit", &Session::cmdQuit},
        {"busy", &Session::cmdBusy},         {"splitter", &Session::cmdSplitter},
        {"failpost", &Session::cmdFailPost}, {"grab", &Session::cmdGrab},
        {"rowclick", &Session::cmdRowClick}, {"select", &Session::cmdSelect},
        {"copy", &Session::cmdCopy},         {"export", &Session::cmdExport},
        {"print", &Session::cmdPrint},       {"exportmonth", &Session::cmdExportMonth},
        {"grabnext", &Session::cmdGrabNext}, {"type", &Session::cmdType},
    };
    const auto started = std::chrono::steady_clock::now();
    QJsonObject answer;
    std::string error;
    try {
        std::vector<std::string> words = splitWords(line);
        if (words.empty())
            throw CommandError("empty command");
        const auto it = handlers.find(words[0]);
        if (it == handlers.end())
            throw CommandError("unknown command '" + words[0] + "'");
        words.erase(words.begin());
        (this->*(it->second))(words, answer);
        settle();
    } catch (const std::exception &e) {
        error = e.what();
    } catch (...) {
        error = tk::kUnknownErrorText;
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    if (!error.empty()) {
        QJsonObject failed;
        failed.insert("ok", false);
        failed.insert("error", toQString(error));
        failed.insert("ms", ms);
        return failed;
    }
    answer.insert("ok", true);
    answer.insert("ms", ms);
    return answer;
}

void Session::cmdOpen(const std::vector<std::string> &args, QJsonObject &answer)
{
    const OpenArgs open = parseOpenArgs(args);
    if (m_window && m_window->isVisible())
        throw CommandError("the window is already open; close it first");
    destroyWindow();

    // As the host does: the entry's array, read by IniProc's conversions, fills the context; then
    // the window is built and shown without a modal loop.
    DriverWindow *created = nullptr;
    try {
        kpv40206::EntryParams p;
        if (kpv40206::ReadEntryParams(open.entryArray(), p)) {
            kpv40206::PreencheContexto(p.CdFilial, p.CdServFili, p.CdTipoCusto, p.CdTipoCustoReal,
                                       p.DtReferencia, p.DtRefeFixa, p.IdRefeFixa, p.CdFiliCust);
            created = new DriverWindow();
            created->netCustoServ->OnCallDone =
                [this](const std::string &method, const tk::VariantArray &callArgs, const tk::Variant *result,
                       const std::string *error) { onCallDone(method, callArgs, result, error); };
            kpv40206::frmCustoServ = created;
            m_window = created;
            created->CreateForm();
        }
    } catch (const std::exception &e) {
        tk::ShowException(e);
        destroyWindow();
        created = nullptr;
    }
    if (!created) {
        answer.insert("window", false);
        return;
    }
    created->show();
    settle();
    if (m_window) {
        tk::CallSafely([&] { m_window->FormActivate(); });
    }
    answer.insert("window", bool(m_window));
}

void Session::cmdActivate(const std::vector<std::string> &args, QJsonObject &)
{
    expectArgs(args, 0, "activate");
    kpv40206::TfrmCustoServ &w = window();
    tk::CallSafely([&] { w.FormActivate(); });
}

void Session::cmdPage(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 1, "page NAME");
    auto *sheet = findAs<tk::TTabSheet>(window(), args[0], "tab sheet");
    tk::TPageControl *pages = sheet->PageControl();
    if (!pages)
        throw CommandError("'" + args[0] + "' has no page control");
    const bool selected = pages->SelectPageByUser(sheet);
    answer.insert("selected", selected);
    tk::TTabSheet *active = pages->ActivePage();
    answer.insert("active", active ? QJsonValue(active->objectName()) : QJsonValue(QJsonValue::Null));
}

void Session::cmdMove(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "move DATASET first|prior|next|last|N");
    const MoveTarget target = parseMoveTarget(args[1]);
    tk::TClientDataSet *ds = window().DataSetByName(args[0]);
    if (!ds)
        throw CommandError("unknown dataset '" + args[0] + "'");
    if (!ds->Active())
        throw CommandError("dataset '" + args[0] + "' is not open");
    if (target.kind == MoveTarget::Kind::RecNo && target.recNo > ds->RecordCount())
        throw CommandError("dataset '" + args[0] + "' has " + std::to_string(ds->RecordCount())
                           + " records in view");
    // As a grid or a navigator moves it: through the toolkit's error boundary.
    tk::CallSafely([&] {
        switch (target.kind) {
        case MoveTarget::Kind::First: ds->First(); break;
        case MoveTarget::Kind::Prior: ds->Prior(); break;
        case MoveTarget::Kind::Next: ds->Next(); break;
        case MoveTarget::Kind::Last: ds->Last(); break;
        case MoveTarget::Kind::RecNo: ds->SetRecNo(target.recNo); break;
        }
    });
    answer.insert("recno", ds->Active() ? ds->RecNo() : 0);
    answer.insert("eof", ds->Active() && ds->Eof());
    answer.insert("bof", ds->Active() && ds->Bof());
}

void Session::cmdClick(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 1, "click NAME");
    QWidget *w = findControl(window(), args[0]);
    if (!w)
        throw CommandError("unknown component '" + args[0] + "'");
    if (auto *button = qobject_cast<tk::TButtonFlat *>(w)) {
        button->Click();
        answer.insert("down", button->Down());
        return;
    }
    if (auto *sheet = qobject_cast<tk::TTabSheet *>(w)) {
        tk::TPageControl *pages = sheet->PageControl();
        answer.insert("selected", pages && pages->SelectPageByUser(sheet));
        return;
    }
    throw CommandError("'" + args[0] + "' cannot be clicked");
}

void Session::cmdDblClick(const std::vector<std::string> &args, QJsonObject &)
{
    expectArgs(args, 1, "dblclick GRID");
    findAs<tk::TDBGrid>(window(), args[0], "grid")->DblClick();
}

void Session::cmdKey(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "key GRID KEYS");
    const KeyChord chord = parseKeyChord(args[1]);
    tk::TDBGrid *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");

    // The grid's own key handler runs as always; the wrapper only notes whether it swallowed the key.
    auto original = grid->OnKeyDown;
    bool swallowed = false;
    if (original) {
        grid->OnKeyDown = [&](tk::TDBGrid &g, int &key, Qt::KeyboardModifiers shift) {
            original(g, key, shift);
            swallowed = key == 0;
        };
    }
    // A record delete asks first; the user answers yes, and the question is recorded.
    auto confirm = grid->ConfirmDelete;
    if (!confirm) {
        grid->ConfirmDelete = [this](tk::TDBGrid &) {
            addMessage("confirm", "Excluir registro?");
            return true;
        };
    }
    const int recordsBefore =
        grid->DataSet() && grid->DataSet()->Active() ? grid->DataSet()->RecordCount() : 0;
    try {
        grid->PressKey(chord.key, chord.modifiers);
    } catch (...) {
        grid->OnKeyDown = original;
        grid->ConfirmDelete = confirm;
        throw;
    }
    grid->OnKeyDown = original;
    grid->ConfirmDelete = confirm;
    answer.insert("swallowed", swallowed);
    const int recordsAfter =
        grid->DataSet() && grid->DataSet()->Active() ? grid->DataSet()->RecordCount() : 0;
    answer.insert("deleted", recordsBefore - recordsAfter);
}

void Session::cmdType(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.empty() || args.size() > 2)
        throw CommandError("usage: type KEYS [WIDGET]");
    const KeyChord chord = parseKeyChord(args[0]);
    kpv40206::TfrmCustoServ &win = window();
    QWidget *target = nullptr;
    if (args.size() == 2) {
        target = findControl(win, args[1]);
        if (!target)
            throw CommandError("unknown component '" + args[1] + "'");
        target->setFocus(Qt::OtherFocusReason);
    }
    // As the user types it into the active window: the window's shortcuts come first, then the
    // focused widget. The driver's window never runs FormActivate on its own, so activating it
    // here changes nothing but where the keys go.
    QApplication::setActiveWindow(&win);
    QWidget *focus = QApplication::focusWidget();
    QWidget *receiver = target ? target : (focus && win.isAncestorOf(focus) ? focus : &win);
    QTest::keyClick(receiver, Qt::Key(chord.key), chord.modifiers);
    settle();
    focus = QApplication::focusWidget();
    answer.insert("focus", focus ? focus->objectName() : QString());
}

void Session::cmdResize(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "resize W H");
    int w = 0, h = 0;
    if (!parseInt(args[0], w) || !parseInt(args[1], h) || w <= 0 || h <= 0 || w > 10000 || h > 10000)
        throw CommandError("resize takes a width and a height in pixels");
    kpv40206::TfrmCustoServ &win = window();
    win.resize(w, h);
    settle();
    answer.insert("width", win.width());
    answer.insert("height", win.height());
}

void Session::cmdMaximize(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "maximize");
    kpv40206::TfrmCustoServ &win = window();
    win.showMaximized();
    settle();
    answer.insert("width", win.width());
    answer.insert("height", win.height());
}

void Session::cmdRestore(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "restore");
    kpv40206::TfrmCustoServ &win = window();
    win.showNormal();
    settle();
    answer.insert("width", win.width());
    answer.insert("height", win.height());
}

void Session::cmdDump(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 1, "dump NAME");
    // Queued repaints and refreshes first, so the dump shows what the screen shows.
    settle();
    const QJsonObject dump = dumpComponent(window(), args[0]);
    for (auto it = dump.begin(); it != dump.end(); ++it)
        answer.insert(it.key(), it.value());
}

void Session::cmdCalls(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "calls");
    answer.insert("calls", m_calls);
    m_calls = QJsonArray();
}

void Session::cmdLaunches(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "launches");
    answer.insert("launches", m_launches);
    m_launches = QJsonArray();
}

void Session::cmdMessages(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "messages");
    settle(); // errors shown "later" reach the list first
    answer.insert("messages", m_messages);
    m_messages = QJsonArray();
}

void Session::cmdBusy(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "busy");
    answer.insert("busy", m_busy);
    answer.insert("up", host::ShowAviActive());
    m_busy = QJsonArray();
}

void Session::cmdSplitter(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "splitter NAME POSITION");
    int position = 0;
    if (!parseInt(args[1], position) || position < 0)
        throw CommandError("splitter takes a handle position in pixels");
    auto *splitter = findAs<tk::TSplitter>(window(), args[0], "splitter");
    splitter->MoveHandle(0, position);
    const QList<int> sizes = splitter->sizes();
    answer.insert("first", sizes.isEmpty() ? 0 : sizes.first());
}

void Session::cmdGrab(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.empty() || args.size() > 2)
        throw CommandError("usage: grab FILE.png [WIDGET]");
    kpv40206::TfrmCustoServ &win = window();
    QWidget *target = &win;
    if (args.size() == 2 && !(target = findControl(win, args[1])))
        throw CommandError("unknown component '" + args[1] + "'");
    settle();
    const QPixmap image = target->grab();
    if (!image.save(toQString(args[0]), "PNG"))
        throw CommandError("cannot write '" + args[0] + "'");
    answer.insert("width", image.width());
    answer.insert("height", image.height());
}

void Session::cmdGrabNext(const std::vector<std::string> &args, QJsonObject &)
{
    expectArgs(args, 1, "grabnext FILE.png");
    m_grabNext = args[0];
}

void Session::launchForGrab(const std::string &code, const tk::Variant &args)
{
    // The launch is recorded as always; then the module really opens (its window is modal), and
    // the dialog sweep saves and closes it.
    m_grabbing = std::exchange(m_grabNext, std::string());
    m_grabTicks = 0;
    host::Hooks saved = host::GetHooks();
    host::GetHooks().launcher = nullptr;
    struct Restore
    {
        Session &session;
        host::Hooks hooks;
        ~Restore()
        {
            host::GetHooks() = std::move(hooks);
            session.m_grabbing.clear();
        }
    } restore{*this, std::move(saved)};
    host::LoadBPL(code, args);
}

void Session::cmdFailPost(const std::vector<std::string> &args, QJsonObject &)
{
    expectArgs(args, 2, "failpost DATASET N");
    int count = 0;
    if (!parseInt(args[1], count) || count <= 0)
        throw CommandError("failpost takes a positive count of posts");
    tk::TClientDataSet *ds = window().DataSetByName(args[0]);
    if (!ds)
        throw CommandError("unknown dataset '" + args[0] + "'");
    // The dataset's own handler keeps running; the Nth post from now raises once after it, and the
    // handler is put back.
    auto original = std::make_shared<tk::TClientDataSet::TDataSetNotifyEvent>(ds->AfterPost);
    auto left = std::make_shared<int>(count);
    ds->AfterPost = [ds, original, left](tk::TClientDataSet &dataSet) {
        if (*original)
            (*original)(dataSet);
        if (--*left > 0)
            return;
        ds->AfterPost = *original;
        throw tk::Exception("Falha simulada ao gravar em '" + dataSet.Name() + "'");
    };
}

void Session::cmdClose(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 0, "close");
    kpv40206::TfrmCustoServ &win = window();
    const bool closed = win.close();
    answer.insert("closed", closed);
}

void Session::cmdQuit(const std::vector<std::string> &args, QJsonObject &)
{
    expectArgs(args, 0, "quit");
    m_quit = true;
    finish();
}

void Session::cmdRowClick(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.size() != 2 && args.size() != 3)
        throw CommandError("usage: rowclick GRID N [ctrl|shift|ctrl+shift]");
    auto *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");
    int row = 0;
    if (!parseInt(args[1], row) || row < 1 || !grid->Showing() || row > grid->DataSet()->RecordCount())
        throw CommandError("rowclick takes a row of the grid's view, from 1");
    const Qt::KeyboardModifiers mods = args.size() == 3 ? parseModifiers(args[2]) : Qt::NoModifier;
    // A real press and release on the row, as the mouse gives them.
    grid->scrollTo(grid->Model()->index(row - 1, std::max(0, grid->SelectedIndex())));
    int col = std::max(0, grid->SelectedIndex());
    for (int c = 0; c < grid->ColumnCount() && !grid->ColumnVisible(col); ++c)
        col = c;
    const QPoint at = grid->visualRect(grid->Model()->index(row - 1, col)).center();
    const QPointF global = grid->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, mods);
    QApplication::sendEvent(grid->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, mods);
    QApplication::sendEvent(grid->viewport(), &release);
    answer.insert("selected", selectedRows(*grid));
    answer.insert("recno", grid->DataSet()->Active() ? grid->DataSet()->RecNo() : 0);
}

void Session::cmdSelect(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "select GRID all|none|ROWS");
    auto *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");
    const RowList list = parseRowList(args[1]);
    if (list.all)
        grid->Actions().SelectAll();
    else
        grid->Actions().SelectRows(list.rows);
    answer.insert("selected", selectedRows(*grid));
}

void Session::cmdCopy(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.size() != 1 && !(args.size() == 2 && args[1] == "values"))
        throw CommandError("usage: copy GRID [values]");
    auto *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");
    QApplication::clipboard()->clear();
    // The keys a user presses: the grid's key handler sees them first.
    grid->PressKey(Qt::Key_C, args.size() == 2 ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    answer.insert("text", mime ? mime->text() : QString());
    answer.insert("html", mime && mime->hasHtml() ? mime->html() : QString());
}

void Session::cmdExport(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.size() != 2 && !(args.size() == 3 && args[2] == "comma"))
        throw CommandError("usage: export GRID FILE.csv [comma] | export GRID FILE.xlsx");
    auto *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");
    const std::string &path = args[1];
    const tk::ExportSheet sheet = grid->Actions().Sheet();
    const bool csv = path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0;
    if (csv) {
        tk::CsvOptions options;
        if (args.size() == 3) {
            options.separator = ',';
            options.decimalSeparator = '.';
        }
        grid->Actions().ExportCsv(path, options);
    } else if (path.size() > 5 && path.compare(path.size() - 5, 5, ".xlsx") == 0) {
        grid->Actions().ExportXlsx(path);
    } else {
        throw CommandError("export writes FILE.csv or FILE.xlsx");
    }
    answer.insert("sheet", toQString(sheet.name));
    answer.insert("rows", int(sheet.rows.size()));
    answer.insert("columns", int(sheet.columns.size()));
}

void Session::cmdPrint(const std::vector<std::string> &args, QJsonObject &answer)
{
    expectArgs(args, 2, "print GRID FILE.pdf");
    auto *grid = findAs<tk::TDBGrid>(window(), args[0], "grid");
    const tk::PrintedTable printed = grid->Actions().PrintPdf(toQString(args[1]));
    const tk::PrintFrame frame = grid->Actions().Frame();
    answer.insert("pages", printed.pages);
    answer.insert("rows", printed.rows);
    answer.insert("landscape", tk::TableNeedsLandscape(grid->Actions().Sheet()));
    answer.insert("title", frame.title);
    answer.insert("info", QJsonArray::fromStringList(frame.info));
}

void Session::cmdExportMonth(const std::vector<std::string> &args, QJsonObject &answer)
{
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "cancel"))
        throw CommandError("usage: exportmonth FILE.xlsx|FILE.csv [cancel STEP]");
    int cancelAt = 0;
    if (args.size() == 3 && (!parseInt(args[2], cancelAt) || cancelAt < 1))
        throw CommandError("exportmonth cancel takes a step from 1");
    kpv40206::TfrmCustoServ &win = window();
    int steps = 0;
    int total = 0;
    bool cancelled = false;
    // The window's own export, as the menu runs it, with the progress counted here; "cancel N"
    // answers the Nth step as a user pressing Esc.
    auto progress = [&](int done, int of) {
        steps = done;
        total = of;
        return cancelAt == 0 || done < cancelAt;
    };
    try {
        win.ExportaMes(args[0], progress);
    } catch (const kpv40206::EExportacaoCancelada &) {
        cancelled = true;
    }
    answer.insert("cancelled", cancelled);
    answer.insert("steps", steps);
    answer.insert("total", total);
}

} // namespace driver
