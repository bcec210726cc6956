// cost-export: writes the month of the cost analysis as an XLSX workbook (or the daily table as
// CSV) for scheduled jobs. It opens the real cost analysis window off screen, as the host would,
// and runs the window's own month export: every figure comes from the same code the user sees.

#include "tools/export/exportoptions.h"

#include "costanalysis/module/contextocusto.h"
#include "costanalysis/window/frmcustoserv.h"
#include "platform/appserver/costmethods.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QEvent>

#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

// The window activates when told, once, instead of whenever the platform activates it.
class ExportWindow : public kpv40206::TfrmCustoServ
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

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

// A month the kitchen planned: at least one day of the daily table with diners or a cost. The
// server lists every day of a month, planned or not.
bool hasPlannedDay(tk::TClientDataSet &days)
{
    if (!days.Active())
        return false;
    const tk::TField *diners = days.FindField("QTCOMENSAIS");
    const tk::TField *cost = days.FindField("VRCUSTOTOTAL");
    for (int row = 0; row < days.RecordCount(); ++row) {
        for (const tk::TField *field : {diners, cost}) {
            if (field && days.ViewValue(row, field).asDouble() != 0)
                return true;
        }
    }
    return false;
}

int fail(const std::string &message)
{
    std::cerr << "cost-export: " << message << std::endl;
    return 1;
}

int run(const costexport::ExportOptions &options)
{
    const bool uri = options.db.find("://") != std::string::npos;
    if (!uri && !std::filesystem::exists(options.db))
        return fail("database not found: " + options.db);

    std::unique_ptr<wire::RpcServer> server;
    std::shared_ptr<appsrv::CostService> service;
    host::Settings settings;
    settings.dbPath = options.db;
    settings.operatorName = options.operatorName;
    settings.moduloAtiv = options.moduloAtiv;
    settings.indicadoresCusto = options.indicadores;
    settings.limiteConfianca = options.limiteConfianca;
    settings.modulesDir = QCoreApplication::applicationDirPath().toStdString();
    if (options.servers.empty()) {
        wire::RpcServer::Options serverOptions;
        serverOptions.host = "127.0.0.1";
        serverOptions.port = 0;
        server = std::make_unique<wire::RpcServer>(serverOptions);
        service = appsrv::registerCostMethods(*server, options.db);
        settings.serverHost = "127.0.0.1";
        settings.serverPort = server->start();
    } else {
        // The first server; the connection fails over to the others in their order.
        settings.serverHost = options.servers.front().host;
        settings.serverPort = options.servers.front().port;
        settings.alternateServers.assign(options.servers.begin() + 1, options.servers.end());
    }
    host::SetSettings(settings);

    // What the window would show in a dialog is collected, and makes the run fail.
    std::vector<std::string> errors;
    host::Hooks hooks;
    hooks.onMensErro = [&](const std::string &text) { errors.push_back(text); };
    hooks.launcher = [](const std::string &, const tk::Variant &) {};
    host::GetHooks() = std::move(hooks);
    tk::SetExceptionHandler([&](const std::string &message) { errors.push_back(message); });
    auto failed = [&](const std::string &what) {
        std::string text = what;
        for (const std::string &e : errors)
            text += "\n  " + e;
        return fail(text);
    };

    kpv40206::PreencheContexto(options.branch, options.service, options.costType, options.costTypeReal,
                               options.firstDay(), options.firstDay(), false, options.costBranch);
    std::unique_ptr<ExportWindow> window;
    try {
        window = std::make_unique<ExportWindow>();
        kpv40206::frmCustoServ = window.get();
        window->CreateForm();
    } catch (const std::exception &e) {
        errors.push_back(e.what());
        return failed("the cost analysis window could not be created (server " + settings.serverHost + ":"
                      + std::to_string(settings.serverPort) + ")");
    }
    window->show();
    settle();
    tk::CallSafely([&] { window->FormActivate(); });
    settle();

    int status = 0;
    if (!errors.empty()) {
        status = failed("the month could not be loaded");
    } else if (!hasPlannedDay(*window->qryTrabCusto)) {
        status = fail("no planned day to export for branch " + options.branch + ", service " + options.service
                      + ", month " + tk::FormatDateTime("mm/yyyy", options.firstDay()));
    } else {
        try {
            window->ExportaMes(options.out);
            settle();
            if (!errors.empty())
                status = failed("the export met errors");
        } catch (const std::exception &e) {
            errors.push_back(e.what());
            status = failed("cannot write " + options.out);
        }
    }
    if (status != 0)
        std::filesystem::remove(options.out);
    // Closing releases the server's work set.
    window->close();
    settle();
    window.reset();
    tk::SetExceptionHandler(nullptr);
    host::GetHooks() = host::Hooks();
    if (server)
        server->stop();
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    costexport::ExportOptions options;
    std::string error;
    if (!costexport::parseExportOptions(args, options, error)) {
        std::cerr << "cost-export: " << error << "\n" << costexport::exportUsage();
        return 2;
    }
    if (options.help) {
        std::cout << costexport::exportUsage();
        return 0;
    }
    // No display is needed, nor used: the window is drawn off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cost-export"));
    tk::SetLocale("pt_BR");
    try {
        return run(options);
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}
