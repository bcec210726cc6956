#pragma once

// The demo kitchen: a believable Brazilian institutional kitchen (branch "0001", cost branch "0002",
// lunch service "001") with a month of menus, prices, consumption, indirect costs and the realized side
// of the days before the processing date. Deterministic for a seed.

#include "platform/database/sqldb.h"

#include <cstdint>
#include <string>

namespace db {

struct DemoOptions
{
    enum class Scale { Small, Large };
    Scale scale = Scale::Small; // Large: 4 diets x 30 dishes a day x about 30 ingredients
    int year = 2026;
    int month = 3;
    uint64_t seed = 1;
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

} // namespace db
