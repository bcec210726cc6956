#pragma once

// The demo kitchen: a believable Brazilian institutional kitchen (branch "0001", cost branch "0002",
// lunch service "001") with a month of menus, prices, consumption, indirect costs and the realized side
// of the days before the processing date. Deterministic for a seed.

#include "platform/database/sqldb.h"

#include <cstdint>
#include <functional>
#include <string>

namespace db {

struct DemoOptions
{
    enum class Scale { Small, Large };
    Scale scale = Scale::Small; // Large: 4 diets x 30 dishes a day x about 30 ingredients
    int year = 2026;
    int month = 3;
    uint64_t seed = 1;
    static constexpr int kMaxMonths = 120;
    static constexpr int kMaxBranches = 500;
    int months = 1;   // the months up to year/month that have menus, prices and withdrawals
    int branches = 1; // kitchens, each with its own services and menus; one product catalogue
    // Called now and then during a long load with a line saying how far it got (may be empty).
    std::function<void(const std::string &line)> progress;
};

struct DemoSummary
{
    int products = 0;
    int dishes = 0;
    int menuLines = 0;
    int quotes = 0;
    int withdrawals = 0;
};

// Fills a database that holds the empty schema. Throws SqlError or tk::Exception.
DemoSummary generateDemoData(Connection &connection, const DemoOptions &options);

// The months before the demo month and the further kitchens of options.months and options.branches,
// made from the demo month written by generateDemoData (which calls it); adds to the summary.
void generateDemoScale(Connection &connection, const DemoOptions &options, DemoSummary &summary);

} // namespace db
