#include "tools/driver/options.h"

#include "tools/driver/command.h"

#include "platform/toolkit/data/text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace driver {

const char *driverUsage()
{
    return "usage: cost-driver --db FILE [--server HOST:PORT[,HOST:PORT...] | --replay FILE] [--record FILE]\n"
           "                   [--module-ativo N] [--operator NAME] [--locale NAME]\n"
           "                   [--indicadores LIMITE] [--user NAME] [--tls-ca FILE]\n"
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
            "--db", "--server", "--replay", "--record", "--module-ativo", "--operator", "--locale", "--indicadores",
            "--user", "--tls-ca"};
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
        } else if (arg == "--user") {
            o.serverUser = value;
        } else if (arg == "--tls-ca") {
            o.tlsCaFile = value;
        } else if (arg == "--indicadores") {
            double limit = 0;
            if (!tk::ParsePercent(value, limit)) {
                error = "--indicadores takes the flag threshold in percent, 0 to 100, not '" + value + "'";
                return false;
            }
            o.indicadores = true;
            o.limiteConfianca = limit;
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
    if ((!o.serverUser.empty() || !o.tlsCaFile.empty()) && !o.externalServer()) {
        error = "--user and --tls-ca are for a running server (--server)";
        return false;
    }
    if (!o.serverUser.empty()) {
        // Never an option: a command line is visible to every user of the machine.
        const char *password = std::getenv("CUSTOS_SENHA");
        if (!password || !*password) {
            error = "--user takes its password from the environment variable CUSTOS_SENHA";
            return false;
        }
        o.serverPassword = password;
    }
    if (!o.tlsCaFile.empty() && !std::filesystem::exists(o.tlsCaFile)) {
        error = "--tls-ca: no file " + o.tlsCaFile;
        return false;
    }
    if (o.externalServer() && o.replay()) {
        error = "--server and --replay exclude each other";
        return false;
    }
    out = o;
    return true;
}

std::string driverHelp()
{
    return std::string(driverUsage())
           + "\n"
             "Options:\n"
             "  --db FILE             suite database (required)\n"
             "  --server HOST:PORT    a running application server; without it and without --replay a\n"
             "                        server runs in-process on a free loopback port over --db\n"
             "  --replay FILE         answer from recorded calls (JSON) instead of a server\n"
             "  --record FILE         write every answer received to FILE when the driver ends\n"
             "  --module-ativo N      active host module code (24: diets, 81: no warning colours)\n"
             "  --operator NAME       operator name passed to the server (default: driver)\n"
             "  --user NAME           sign in to a --server that asks for passwords (the password comes\n"
             "                        from the environment variable CUSTOS_SENHA)\n"
             "  --tls-ca FILE         the certificate authorities (PEM) of a --server on TLS\n"
             "  --locale NAME         pt_BR (default) or en_US\n"
             "  --indicadores LIMITE  the confidence column (days above LIMITE % flagged) and the\n"
             "                        variance split of the comparison page\n"
             "  --help, -h            print this help and end\n"
             "\n"
             "Commands (one a line on standard input; blank lines and lines starting with # are skipped):\n"
             "  open FILIAL SERV TIPO TIPOREAL YYYY-MM-DD YYYY-MM-DD 0|1 [FILICUST]   open the window\n"
             "  activate                  run the window's activation again\n"
             "  page NAME                 bring a tab sheet to front\n"
             "  move DATASET N            move a dataset to record N\n"
             "  click NAME | dblclick NAME   click a button, tab sheet or grid\n"
             "  key GRID KEYS             send keys to a grid (\"swallowed\", \"deleted\" in the answer)\n"
             "  resize W H | maximize | restore   size of the window\n"
             "  splitter NAME POSITION    drag a splitter's handle\n"
             "  failpost DATASET N        make the Nth post into DATASET fail once\n"
             "  grab FILE.png             save a picture of the window\n"
             "  dump NAME                 the state of a component or dataset, as JSON\n"
             "  calls | launches | messages | busy   what happened since the last time asked\n"
             "  close | quit              close the window; end the driver\n"
             "\n"
             "Example:\n"
             "  demo-db /tmp/suite.db\n"
             "  printf 'open 0001 001 44 44 2026-03-16 2026-03-16 0\\ndump qryTrabCusto\\nclose\\n' \\\n"
             "      | cost-driver --db /tmp/suite.db\n";
}

} // namespace driver
