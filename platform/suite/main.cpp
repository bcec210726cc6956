// The suite executable: settings from suite.ini and the command line, then either the main window
// or, with --open, one module opened at once (the suite ends when it returns).

#include "platform/database/sqldb.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/settings.h"
#include "platform/suite/mainwindow.h"
#include "platform/suite/suiteoptions.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QLocale>

#include <iostream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("suite"));

    suite::SuiteOptions options;
    try {
        options = suite::ParseOptions(QApplication::arguments(),
                                      QApplication::applicationDirPath().toStdString());
        tk::SetLocale(options.settings.locale);
    } catch (const std::exception &e) {
        std::cerr << "suite: " << e.what() << std::endl;
        return 2;
    }
    QLocale::setDefault(QLocale(QString::fromStdString(options.settings.locale)));
    host::SetSettings(options.settings);
    if (db::Connection::isPostgres(options.settings.dbPath)) {
        try {
            host::CheckSharedDatabase(); // a server database that cannot be used is said at once
        } catch (const std::exception &e) {
            std::cerr << "suite: " << e.what() << std::endl;
            return 2;
        }
    }
    if (options.batch) {
        tk::SetExceptionHandler([](const std::string &message) {
            std::cerr << "suite: " << message << std::endl;
        });
        host::GetHooks().onMensErro = [](const std::string &text) {
            std::cerr << "Erro: " << text << std::endl;
        };
    }

    int status = 0;
    if (options.open) {
        try {
            host::LoadBPL(options.open->code, options.open->args);
        } catch (const std::exception &e) {
            if (!options.batch)
                std::cerr << "suite: " << e.what() << std::endl;
            tk::ShowException(e);
            status = 1;
        }
    } else {
        suite::MainWindow window;
        window.show();
        status = app.exec();
    }
    host::UnloadModules();
    host::CloseSharedDatabase();
    return status;
}
