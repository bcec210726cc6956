#include "platform/hostlib/localcache.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/errors.h"
#include "platform/hostlib/settings.h"

#include <algorithm>
#include <map>
#include <memory>

namespace host {

namespace {

std::map<std::string, std::unique_ptr<tk::DataPacket>> &cache()
{
    static std::map<std::string, std::unique_ptr<tk::DataPacket>> tables;
    return tables;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A table name goes into SQL text, so it must be a plain identifier.
bool isIdentifier(const std::string &name)
{
    if (name.empty() || name.size() > 64)
        return false;
    const auto first = static_cast<unsigned char>(name.front());
    if (!(std::isalpha(first) || first == '_'))
        return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) || c == '_'; });
}

void refresh(const std::string &name)
{
    if (!isIdentifier(name))
        throw EHostError("Nome de tabela inválido para o cache local: '" + name + "'");
    const std::string key = upper(name);
    tk::DataPacket packet;
    try {
        packet = SharedDatabase().query("SELECT * FROM " + key);
    } catch (const db::SqlError &e) {
        throw EHostError("Tabela desconhecida para o cache local: " + key + " (" + e.what() + ")");
    }
    cache()[key] = std::make_unique<tk::DataPacket>(std::move(packet));
}

} // namespace

void AtualizaLocalCache(const tk::Variant &tableNames)
{
    if (tableNames.isArray()) {
        for (const tk::Variant &item : tableNames.items())
            refresh(item.asString());
    } else {
        refresh(tableNames.asString());
    }
}

const tk::DataPacket *LocalCacheTable(const std::string &tableName)
{
    const auto it = cache().find(upper(tableName));
    return it == cache().end() ? nullptr : it->second.get();
}

std::vector<std::string> LocalCacheTables()
{
    std::vector<std::string> names;
    for (const auto &entry : cache())
        names.push_back(entry.first);
    return names;
}

void ClearLocalCache()
{
    cache().clear();
}

} // namespace host
