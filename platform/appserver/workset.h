#pragma once

// Work sets of the cost analysis: the month's planned consumption of the products whose price came from
// an outdated quote, per product and day (what GetProdCotDesatu and the report list), written under a
// fresh 10-character key by GetTrabCusto. A work set belongs to the client session that made it (the
// session id of the connection's hello) and only that session reads or deletes it. It lives on a
// lease: every call of its session renews the session's sets (DTUSO), and the clean-up removes sets
// whose lease ran out, so a dead client's sets go within minutes. A session keeps at most a cap of
// live sets: a new one beyond it takes the place of the oldest.

#include "platform/appserver/insightmethods.h"
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
    std::string session; // the owner
};

// The current time as a toolkit date-time (UTC), to the second.
tk::TDateTime nowDateTime();

// A random key of upper-case letters and digits.
std::string newWorkSetKey();

// Adds the owner and lease columns and the confidence tables to a database made before work sets had
// them (safe while other servers start at once), so that an existing database keeps working.
void ensureWorkSetColumns(db::Connection &connection);

// Writes the work set, with the confidence of its days, in its own write transaction and returns its
// key; the session's oldest sets beyond `cap` (the new one counted) go in the same transaction.
std::string writeWorkSet(db::Connection &connection, const WorkSetHeader &header,
                         const std::vector<PlannedDay> &days, const std::vector<DayConfidence> &confidence,
                         tk::TDateTime createdAt, int64_t cap);

// The text of a work set the caller may not use: absent, of another branch or of another session.
std::string workSetNotFound(const std::string &key, const std::string &filial);

// The confidence GetTrabCusto stored with the work set, day by day in date order (the products of
// each day heaviest first); `hasIngredients` is not kept.
std::vector<DayConfidence> readWorkSetConfidence(db::Connection &connection, const std::string &key);

// True when the key names a work set of the branch that belongs to the session.
bool workSetExists(db::Connection &connection, const std::string &key, const std::string &filial,
                   const std::string &session);

// For every read of a work set: UserError (workSetNotFound) unless the key names a work set of the
// branch that belongs to the session. Another session's set reads as absent: its key tells nothing
// to whoever guessed it.
void requireWorkSet(db::Connection &connection, const std::string &key, const std::string &filial,
                    const std::string &session);

// Deletes the session's work set of the branch; false when there is none.
bool deleteWorkSet(db::Connection &connection, const std::string &key, const std::string &filial,
                   const std::string &session);

// Renews the lease of every work set of the session; returns how many.
int64_t renewWorkSets(db::Connection &connection, const std::string &session, tk::TDateTime now);

// Deletes every work set last used before now - leaseSeconds or created before now - maxAgeSeconds;
// returns how many. On SQLite the freed pages then go back to the file system (when the file was
// made with incremental vacuum, as createSchema makes it).
int64_t cleanupWorkSets(db::Connection &connection, int64_t maxAgeSeconds, int64_t leaseSeconds,
                        tk::TDateTime now);

} // namespace appsrv
