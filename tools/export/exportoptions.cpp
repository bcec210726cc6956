#include "tools/export/exportoptions.h"

#include "platform/toolkit/data/datetime.h"

#include <charconv>
#include <cstdlib>

namespace costexport {

namespace {

bool parseNumber(const std::string &text, int &value)
{
    if (text.empty())
        return false;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size();
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    if (text.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) != suffix[i])
            return false;
    }
    return true;
}

} // namespace

bool ExportOptions::csv() const
{
    return endsWith(out, ".csv");
}

tk::TDateTime ExportOptions::firstDay() const
{
    return tk::EncodeDate(year, month, 1);
}

const char *exportUsage()
{
    return "usage: cost-export --db URI [--server HOST:PORT[,HOST:PORT...]] --branch CODE --service CODE\n"
           "                   --month YYYY-MM --cost-type N [--cost-type-real N] [--cost-branch CODE]\n"
           "                   --out FILE.xlsx|FILE.csv [--operator NAME] [--module-ativo N] [--indicadores LIMITE]\n"
           "Writes the month of the cost analysis (every sheet of the window's month export) to FILE.xlsx,\n"
           "or the daily table to FILE.csv, computed by the cost analysis window itself, off screen.\n"
           "Without --server an application server runs in-process over --db; with it the window talks to\n"
           "the servers named and --db is still the suite database of the window's local queries.\n"
           "With --indicadores the workbook adds the days' confidence (days above LIMITE % flagged), the\n"
           "products it rests on and the variance split.\n"
           "Exit status: 0 written, 1 no server, no data or the file could not be written, 2 bad command line.\n";
}

bool parseExportOptions(const std::vector<std::string> &args, ExportOptions &out, std::string &error)
{
    ExportOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            continue;
        }
        static const char *valued[] = {"--db", "--server", "--branch", "--service", "--month", "--cost-type",
                                       "--cost-type-real", "--cost-branch", "--out", "--operator", "--module-ativo",
                                       "--indicadores"};
        bool known = false;
        for (const char *name : valued)
            known = known || arg == name;
        if (!known) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string &value = args[++i];
        if (arg == "--db") {
            o.db = value;
        } else if (arg == "--server") {
            std::string why;
            const auto servers = tk::ParseServerList(value, why);
            if (!servers) {
                error = "--server takes HOST:PORT[,HOST:PORT...], not '" + value + "': " + why;
                return false;
            }
            o.servers = *servers;
        } else if (arg == "--branch") {
            o.branch = value;
        } else if (arg == "--service") {
            o.service = value;
        } else if (arg == "--month") {
            if (value.size() != 7 || value[4] != '-' || !parseNumber(value.substr(0, 4), o.year)
                || !parseNumber(value.substr(5, 2), o.month) || o.month < 1 || o.month > 12 || o.year < 1900) {
                error = "--month takes YYYY-MM, not '" + value + "'";
                return false;
            }
        } else if (arg == "--cost-type" || arg == "--cost-type-real" || arg == "--module-ativo") {
            int n = 0;
            if (!parseNumber(value, n) || n < 0) {
                error = arg + " takes a number, not '" + value + "'";
                return false;
            }
            (arg == "--cost-type" ? o.costType : arg == "--cost-type-real" ? o.costTypeReal : o.moduloAtiv) = n;
        } else if (arg == "--cost-branch") {
            o.costBranch = value;
        } else if (arg == "--out") {
            o.out = value;
        } else if (arg == "--operator") {
            o.operatorName = value;
        } else if (arg == "--indicadores") {
            // The driver's rule: a percent from 0 to 100.
            char *end = nullptr;
            const double limit = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(limit >= 0 && limit <= 100)) {
                error = "--indicadores takes the flag threshold in percent, 0 to 100, not '" + value + "'";
                return false;
            }
            o.indicadores = true;
            o.limiteConfianca = limit;
        }
    }
    if (!o.help) {
        const char *missing = o.db.empty()          ? "--db"
                              : o.branch.empty()    ? "--branch"
                              : o.service.empty()   ? "--service"
                              : o.month == 0        ? "--month"
                              : o.costType == 0     ? "--cost-type"
                              : o.out.empty()       ? "--out"
                                                    : nullptr;
        if (missing) {
            error = std::string(missing) + " is required";
            return false;
        }
        if (!o.csv() && !endsWith(o.out, ".xlsx")) {
            error = "--out names a .xlsx or a .csv file, not '" + o.out + "'";
            return false;
        }
    }
    if (o.costTypeReal < 0)
        o.costTypeReal = o.costType;
    out = std::move(o);
    return true;
}

} // namespace costexport
