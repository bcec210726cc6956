// demo-db DATABASE [--scale small|large] [--month YYYY-MM] [--months N] [--branches N] [--seed N] [--schema-only]
// Creates the suite schema in DATABASE (a new SQLite file, or an empty PostgreSQL database) and, unless
// --schema-only, the demo kitchens.

#include "platform/database/demodata.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

const char *const kUsage = "usage: demo-db DATABASE [--scale small|large] [--month YYYY-MM] [--months N] "
                           "[--branches N] [--seed N] [--schema-only]\n";

int usage(const std::string &error)
{
    std::fprintf(stderr, "demo-db: %s\n%s", error.c_str(), kUsage);
    return 2;
}

int help()
{
    std::printf("%s"
                "Creates the suite schema and the demo kitchens in DATABASE: a new SQLite file, or an empty\n"
                "PostgreSQL database named postgresql://USER@HOST:PORT/DBNAME or \"host=... dbname=...\".\n"
                "  --db DATABASE      the database, as an option instead of the first argument\n"
                "  --scale small|large  small: a believable kitchen; large: 4 diets x 30 dishes of about\n"
                "                     30 ingredients a day (default small)\n"
                "  --month YYYY-MM    the month being planned (default 2026-03)\n"
                "  --months N         menus, quotes, costs and withdrawals of the N months up to --month,\n"
                "                     with their price history (1 to %d, default 1)\n"
                "  --branches N       N kitchens, each with its services and menus, sharing the product\n"
                "                     catalogue (1 to %d, default 1)\n"
                "  --seed N           seed of the generator (default 1)\n"
                "  --schema-only      the empty schema, no data\n"
                "  --help             this text\n"
                "Example: demo-db postgresql://custos@db1:5432/suite --scale large --branches 50 --months 12\n",
                kUsage, db::DemoOptions::kMaxMonths, db::DemoOptions::kMaxBranches);
    return 0;
}

bool parseCount(const char *text, int low, int high, int &value)
{
    char *end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (!end || *end || end == text || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
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
        const bool valued = arg == "--scale" || arg == "--month" || arg == "--months" || arg == "--branches"
                            || arg == "--seed" || arg == "--db";
        if (valued && !next)
            return usage(arg + " needs a value");
        if (arg == "--scale") {
            const std::string scale = argv[++i];
            if (scale == "small")
                options.scale = db::DemoOptions::Scale::Small;
            else if (scale == "large")
                options.scale = db::DemoOptions::Scale::Large;
            else
                return usage("--scale takes small or large");
        } else if (arg == "--month") {
            const std::string month = argv[++i];
            int year = 0, mon = 0;
            char tail = 0;
            if (month.size() != 7 || std::sscanf(month.c_str(), "%4d-%2d%c", &year, &mon, &tail) != 2 || mon < 1
                || mon > 12 || year < 1910 || year > 9999)
                return usage("--month takes YYYY-MM");
            options.year = year;
            options.month = mon;
        } else if (arg == "--months") {
            if (!parseCount(argv[++i], 1, db::DemoOptions::kMaxMonths, options.months))
                return usage("--months takes a number from 1 to " + std::to_string(db::DemoOptions::kMaxMonths));
        } else if (arg == "--branches") {
            if (!parseCount(argv[++i], 1, db::DemoOptions::kMaxBranches, options.branches))
                return usage("--branches takes a number from 1 to " + std::to_string(db::DemoOptions::kMaxBranches));
        } else if (arg == "--seed") {
            char *end = nullptr;
            const char *text = argv[++i];
            options.seed = std::strtoull(text, &end, 10);
            if (!end || *end || !*text || *text == '-')
                return usage("--seed takes a number");
        } else if (arg == "--schema-only") {
            schemaOnly = true;
        } else if (arg == "--help" || arg == "-h") {
            return help();
        } else if (arg == "--db" || (arg.empty() || arg[0] != '-')) {
            if (!file.empty())
                return usage("only one DATABASE");
            file = arg == "--db" ? argv[++i] : arg;
            if (file.empty())
                return usage("DATABASE is empty");
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (file.empty())
        return usage("DATABASE is required");
    const bool postgres = db::Connection::isPostgres(file);
    if (!postgres && std::filesystem::exists(file))
        return usage("'" + file + "' already exists; remove it first");
    if (isatty(STDERR_FILENO)) {
        // Each line with the time since the start, so that the phases of a long load can be told apart.
        const auto start = std::chrono::steady_clock::now();
        options.progress = [start](const std::string &line) {
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            std::fprintf(stderr, "\r%6.1f s  %-68s", elapsed.count(), line.c_str());
            std::fflush(stderr);
        };
    }
    bool created = false;
    try {
        auto connection = db::Connection::open(file);
        created = true;
        if (postgres && db::hasSchema(*connection))
            throw db::SqlError("Database '" + db::Connection::displayName(file)
                               + "' already holds the suite schema; give an empty database");
        db::createSchema(*connection);
        if (!schemaOnly) {
            const db::DemoSummary s = db::generateDemoData(*connection, options);
            if (options.progress)
                std::fprintf(stderr, "\r%-78s\r", "");
            std::printf("%s: %d products, %d dishes, %d menu lines, %d quotes, %d withdrawals\n",
                        postgres ? db::Connection::displayName(file).c_str() : file.c_str(), s.products, s.dishes,
                        s.menuLines, s.quotes, s.withdrawals);
        }
    } catch (const std::exception &e) {
        if (options.progress)
            std::fprintf(stderr, "\n");
        std::fprintf(stderr, "demo-db: %s\n", e.what());
        if (!postgres && created) {
            std::error_code ignored;
            std::filesystem::remove(file, ignored);
        }
        return dynamic_cast<const db::SqlError *>(&e) ? 2 : 1;
    }
    return 0;
}
