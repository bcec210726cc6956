// demo-db FILE [--scale small|large] [--month YYYY-MM] [--seed N] [--schema-only]
// Creates FILE with the suite schema and, unless --schema-only, the demo kitchen.

#include "platform/database/demodata.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
int usage(const std::string &error)
{
    std::fprintf(stderr, "demo-db: %s\nusage: demo-db FILE [--scale small|large] [--month YYYY-MM] [--seed N] "
                         "[--schema-only]\n",
                 error.c_str());
    return 2;
}
} // namespace

int main(int argc, char **argv)
{
    std::string file;
    db::DemoOptions options;
    bool schemaOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--scale" && next) {
            const std::string scale = argv[++i];
            if (scale == "small")
                options.scale = db::DemoOptions::Scale::Small;
            else if (scale == "large")
                options.scale = db::DemoOptions::Scale::Large;
            else
                return usage("--scale takes small or large");
        } else if (arg == "--month" && next) {
            const std::string month = argv[++i];
            int year = 0, mon = 0;
            char tail = 0;
            if (month.size() != 7 || std::sscanf(month.c_str(), "%4d-%2d%c", &year, &mon, &tail) != 2 || mon < 1
                || mon > 12 || year < 1900 || year > 9999)
                return usage("--month takes YYYY-MM");
            options.year = year;
            options.month = mon;
        } else if (arg == "--seed" && next) {
            char *end = nullptr;
            options.seed = std::strtoull(argv[++i], &end, 10);
            if (!end || *end)
                return usage("--seed takes a number");
        } else if (arg == "--schema-only") {
            schemaOnly = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else if (file.empty()) {
            file = arg;
        } else {
            return usage("only one FILE");
        }
    }
    if (file.empty())
        return usage("FILE is required");
    if (std::filesystem::exists(file))
        return usage("'" + file + "' already exists; remove it first");
    try {
        auto connection = db::Connection::open(file);
        db::createSchema(*connection);
        if (!schemaOnly) {
            const db::DemoSummary s = db::generateDemoData(*connection, options);
            std::printf("%s: %d products, %d dishes, %d menu lines, %d quotes, %d withdrawals\n", file.c_str(),
                        s.products, s.dishes, s.menuLines, s.quotes, s.withdrawals);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "demo-db: %s\n", e.what());
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        return 1;
    }
    return 0;
}
