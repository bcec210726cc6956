#pragma once

// Work sets of the cost analysis: the month's planned consumption per product and day, written under a
// fresh 10-character key by GetTrabCusto and read by GetProdCotDesatu, deleted by DelConsplan or by the
// clean-up of stale sets.

#include "platform/appserver/plan.h"
#include "platform/database/sqldb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace appsrv {

constexpr size_t kWorkSetKeyLength = 10;

struct WorkSetHeader
{
    std::string filial;
    std::string servico;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    int tipoCusto = 0;
    std::string cdFiliCust;
    bool refeFixa = false;
    tk::TDateTime dtRefeFixa = 0;
    std::string operatorName;
};

// The current time as a toolkit date-time (UTC), to the second.
tk::TDateTime nowDateTime();

// A random key of upper-case letters and digits.
std::string newWorkSetKey();

// Writes the work set in its own write transaction and returns its key.
std::string writeWorkSet(db::Connection &connection, const WorkSetHeader &header,
                         const std::vector<PlannedDay> &days, tk::TDateTime createdAt);

// True when the key names a work set of the branch.
bool workSetExists(db::Connection &connection, const std::string &key, const std::string &filial);

// Deletes the work set of the branch; false when there is none.
bool deleteWorkSet(db::Connection &connection, const std::string &key, const std::string &filial);

// Deletes every work set created before now - maxAgeSeconds; returns how many.
int64_t cleanupWorkSets(db::Connection &connection, int64_t maxAgeSeconds, tk::TDateTime now);

} // namespace appsrv
