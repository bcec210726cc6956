#include "tools/driver/options.h"

#include "tools/driver/command.h"

namespace driver {

const char *driverUsage()
{
    return "usage: cost-driver --db FILE [--server HOST:PORT | --replay FILE] [--record FILE]\n"
           "                   [--module-ativo N] [--operator NAME] [--locale NAME]\n"
           "Reads one command a line from standard input and answers each with one JSON line.\n";
}

bool parseHostPort(const std::string &text, std::string &host, int &port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
        return false;
    int value = 0;
    if (!parseInt(text.substr(colon + 1), value) || value < 1 || value > 65535)
        return false;
    host = text.substr(0, colon);
    port = value;
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
            if (!parseHostPort(value, o.serverHost, o.serverPort)) {
                error = "--server takes HOST:PORT, not '" + value + "'";
                return false;
            }
        } else if (arg == "--replay") {
            o.replayPath = value;
        } else if (arg == "--record") {
            o.recordPath = value;
        } else if (arg == "--module-ativo") {
            if (!parseInt(value, o.moduloAtiv)) {
                error = "--module-ativo takes a number, not '" + value + "'";
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
