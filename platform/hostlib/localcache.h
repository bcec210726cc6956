#pragma once

// The host's in-memory copy of small suite tables (for example SINASAFRA), refreshed on request.

#include "platform/toolkit/data/datapacket.h"

#include <string>
#include <vector>

namespace host {

// Re-reads each named table from the suite database into the cache. tableNames is one table name
// or an array of them. A name that is not a plain identifier, or a table the database does not
// have, raises EHostError naming it; tables refreshed before the failing one stay refreshed.
void AtualizaLocalCache(const tk::Variant &tableNames);

// The cached copy of a table (upper-case name match), nullptr when it was never refreshed.
// The pointer stays valid until the next refresh of that table or ClearLocalCache().
const tk::DataPacket *LocalCacheTable(const std::string &tableName);
// Names of the cached tables, upper case, sorted.
std::vector<std::string> LocalCacheTables();
void ClearLocalCache();

} // namespace host
