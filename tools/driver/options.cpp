#include "tools/driver/options.h"

#include "tools/driver/command.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace driver {

const char *driverUsage()
{
    return "usage: cost-driver --db FILE [--server HOST:PORT[,HOST:PORT...] | --replay FILE] [--record FILE]\n"
           "                   [--module-ativo N] [--operator NAME] [--locale NAME]\n"
           "Reads one command a line from standard input and answers each with one JSON line.\n";
}

bool parseHostPort(const std::string &text, std::string &host, int &port)
{
    std::string error;
    const auto address = tk::ParseServerAddress(text, error);
    if (!address)
        return false;
    host = address->host;
    port = address->port;
    return true;
}

bool checkRecordPath(const std::string &path, std::string &error)
{
    const bool existed = std::filesystem::exists(path);
    std::ofstream probe(path, std::ios::app);
    if (!probe) {
        error = "cannot write the recording to " + path + ": " + std::strerror(errno);
        return false;
    }
    probe.close();
    if (!existed)
        std::filesystem::remove(path); // written for real when the driver ends
    return true;
}

bool parseDriverOptions(const std::vector<std::string> &args, DriverOptions &out, std::string &error)
{
    DriverOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        static const std::vector<std::string> valued = {
            "--db", "--server", "--replay", "--record", "--module-ativo", "--operator", "--locale"};
        bool known = false;
        for (const std::string &name : valued)
            known = known || name == arg;
        if (!known) {
            error = "unknown option " + arg;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string &value = args[++i];
        if (arg == "--db") {
            o.dbPath = value;
        } else if (arg == "--server") {
            std::string why;
            const auto list = tk::ParseServerList(value, why);
            if (!list) {
                error = "--server takes HOST:PORT[,HOST:PORT...]: " + why;
                return false;
            }
            o.serverHost = list->front().host;
            o.serverPort = list->front().port;
            o.alternateServers.assign(list->begin() + 1, list->end());
        } else if (arg == "--replay") {
            o.replayPath = value;
        } else if (arg == "--record") {
            o.recordPath = value;
        } else if (arg == "--module-ativo") {
            if (!parseInt(value, o.moduloAtiv) || o.moduloAtiv < 0 || o.moduloAtiv > 9999) {
                error = "--module-ativo takes a number from 0 to 9999, not '" + value + "'";
                return false;
            }
        } else if (arg == "--operator") {
            o.operatorName = value;
        } else if (arg == "--locale") {
            if (value.empty()) {
                error = "--locale needs a name";
                return false;
            }
            o.locale = value;
        }
        if (value.empty() && arg != "--operator") {
            error = arg + " needs a value";
            return false;
        }
    }
    if (o.help) {
        out = o;
        return true;
    }
    if (o.dbPath.empty()) {
        error = "--db FILE is required";
        return false;
    }
    if (o.externalServer() && o.replay()) {
        error = "--server and --replay exclude each other";
        return false;
    }
    out = o;
    return true;
}

} // namespace driver
