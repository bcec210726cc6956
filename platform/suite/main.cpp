// The suite executable: settings from suite.ini and the command line, then either the main window
// or, with --open, one module opened at once (the suite ends when it returns).

#include "platform/database/sqldb.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/settings.h"
#include "platform/hostlib/usererrors.h"
#include "platform/hostlib/usersettings.h"
#include "platform/suite/mainwindow.h"
#include "platform/suite/suiteoptions.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/widgets/errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>

#include <iostream>

int main(int argc, char **argv)
{
    // The options are read before Qt starts, so that --help and a bad option work without a display.
    QCoreApplication::setApplicationName(QStringLiteral("suite"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    suite::SuiteOptions options;
    try {
        options = suite::ParseOptions(arguments, QFileInfo(executable.isEmpty() ? arguments.front() : executable)
                                                     .absolutePath()
                                                     .toStdString());
        tk::SetLocale(options.settings.locale);
    } catch (const std::exception &e) {
        std::cerr << "suite: " << e.what() << "\n" << suite::UsageText();
        return 2;
    }
    if (options.help) {
        std::cout << suite::UsageText();
        return 0;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::cerr << "suite: não há tela disponível (DISPLAY não definido). Rode num display virtual com\n"
                     "    xvfb-run -a suite ...\n"
                     "ou sem janelas com QT_QPA_PLATFORM=offscreen.\n";
        return 2;
    }

    QApplication app(argc, argv);
    suite::NameApplication();
    QLocale::setDefault(QLocale(QString::fromStdString(options.settings.locale)));
    host::Settings &settings = options.settings;
    if (!settings.serverUser.empty() && settings.serverPassword.empty()) {
        if (options.batch) {
            std::cerr << "suite: a senha de " << settings.serverUser << " vem da variável de ambiente "
                      << suite::kPasswordVariable << "\n";
            return 2;
        }
        bool ok = false;
        const QString password = QInputDialog::getText(
            nullptr, QStringLiteral("Servidor de aplicação"),
            QStringLiteral("Senha de %1:").arg(QString::fromStdString(settings.serverUser)), QLineEdit::Password,
            {}, &ok);
        if (!ok || password.isEmpty())
            return 2;
        settings.serverPassword = password.toStdString();
    }
    host::SetSettings(settings);
    // A run by hand remembers its choices in the user's suite.ini; a batch run leaves it alone.
    if (!options.batch)
        host::SetUserSettingsFile(QString::fromStdString(suite::UserIniPath()));
    if (db::Connection::isPostgres(options.settings.dbPath)) {
        try {
            host::CheckSharedDatabase(); // a server database that cannot be used is said at once
        } catch (const std::exception &e) {
            std::cerr << "suite: " << host::UserErrorText(e) << std::endl;
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
                std::cerr << "suite: " << host::UserErrorText(e) << std::endl;
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
