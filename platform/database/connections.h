#pragma once

// The dialects behind db::Connection::open (not part of the public interface).

#include "platform/database/sqldb.h"

#include <memory>
#include <string>

namespace db::detail {

std::unique_ptr<Connection> openSqlite(const std::string &path, OpenMode mode);
std::unique_ptr<Connection> openPostgres(const std::string &uri);
// "postgresql://user@host:port/dbname" from either form of a connection string, without the password.
std::string postgresDisplayName(const std::string &uri);

} // namespace db::detail
