// cost-driver: opens the cost analysis window off screen and runs a script of user actions from
// standard input, answering every command with one JSON line on standard output.

#include "tools/driver/command.h"
#include "tools/driver/jsonvalue.h"
#include "tools/driver/options.h"
#include "tools/driver/session.h"

#include <QApplication>
#include <QJsonDocument>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    driver::DriverOptions options;
    std::string error;
    if (!driver::parseDriverOptions(args, options, error)) {
        std::cerr << "cost-driver: " << error << "\n" << driver::driverUsage();
        return 2;
    }
    if (options.help) {
        std::cout << driver::driverHelp();
        return 0;
    }
    if (!options.recordPath.empty() && !driver::checkRecordPath(options.recordPath, error)) {
        std::cerr << "cost-driver: " << error << "\n";
        return 2;
    }
    // The window never needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cost-driver"));

    std::unique_ptr<driver::Session> session;
    try {
        session = std::make_unique<driver::Session>(options);
    } catch (const std::exception &e) {
        std::cerr << "cost-driver: " << e.what() << std::endl;
        return 2;
    }

    std::string line;
    while (!session->quitRequested() && std::getline(std::cin, line)) {
        if (driver::isSkippedLine(line))
            continue;
        const QJsonObject answer = session->execute(line);
        std::cout << QJsonDocument(answer).toJson(QJsonDocument::Compact).toStdString() << '\n' << std::flush;
    }
    session->finish();
    session.reset();
    return 0;
}
