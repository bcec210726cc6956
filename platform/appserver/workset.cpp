#include "platform/appserver/workset.h"

#include "platform/appserver/errors.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <unordered_map>

namespace appsrv {

namespace {
constexpr double kUnixEpoch = 25569.0; // 1 January 1970 as a toolkit date-time

std::string iso(tk::TDateTime value)
{
    return tk::DateTimeToIso(value);
}
} // namespace

tk::TDateTime nowDateTime()
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return kUnixEpoch + static_cast<double>(seconds) / 86400.0;
}

std::string newWorkSetKey()
{
    // Straight from the system's random source: keys of different servers and processes are
    // independent draws (about 52 bits each), so they neither collide in practice nor can be guessed
    // from one another.
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::random_device device;
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    std::string key(kWorkSetKeyLength, ' ');
    for (char &c : key)
        c = alphabet[pick(device)];
    return key;
}

namespace {
// The tables of a work set's rows, deleted before its header (the clean-up must not depend on the
// foreign-key cascade being switched on).
constexpr const char *kWorkSetRowTables[] = {"CONSPLAN", "CONFPLAN", "CONFPROD"};

// The writes of one work set, inside the caller's transaction.
std::string writeWorkSetRows(db::Connection &connection, const WorkSetHeader &header,
                             const std::vector<PlannedDay> &days, const std::vector<DayConfidence> &confidence,
                             tk::TDateTime createdAt, int64_t cap)
{
    // The header row claims the key: one statement that inserts nothing when the key is taken, so
    // that two servers drawing the same key at once cannot both have it, on any dialect. Everything
    // that names a work set (and a session owner, when there is one) is a column of this row.
    const std::string claim =
        "INSERT INTO TRABCUSTO (CDCHAVETRAB, CDFILIAL, CDSERVFILI, DTINIMES, DTFIMMES, CDTIPOCUSTO, CDFILICUST, "
        "IDREFEFIXA, DTREFEFIXA, NMOPERADOR, DTCRIACAO, CDSESSAO, DTUSO) VALUES (:KEY, :FILIAL, :SERV, :D1, :D2, "
        ":TIPO, :FILICUST, :REFEFIXA, :DTREFEFIXA, :OPERADOR, :CRIACAO, :SESSAO, :CRIACAO) "
        "ON CONFLICT (CDCHAVETRAB) DO NOTHING";
    db::Params headerRow{{"KEY", {}},
                         {"FILIAL", header.filial},
                         {"SERV", header.servico},
                         {"D1", tk::Variant::fromDateTime(header.first)},
                         {"D2", tk::Variant::fromDateTime(header.last)},
                         {"TIPO", header.tipoCusto},
                         {"FILICUST", header.cdFiliCust},
                         {"REFEFIXA", header.refeFixa ? "S" : "N"},
                         {"DTREFEFIXA", header.refeFixa ? tk::Variant::fromDateTime(header.dtRefeFixa) : tk::Variant()},
                         {"OPERADOR", header.operatorName.substr(0, 40)},
                         {"CRIACAO", iso(createdAt)},
                         {"SESSAO", header.session}};
    std::string key;
    for (int attempt = 0;; ++attempt) {
        key = newWorkSetKey();
        headerRow[0].second = key;
        if (connection.execute(claim, headerRow) == 1)
            break;
        if (attempt >= 10)
            throw db::SqlError("no free work-set key after " + std::to_string(attempt + 1) + " attempts");
    }

    // Thousands of rows a month: written in bulk (COPY on PostgreSQL).
    const auto rows = connection.bulkInsert("CONSPLAN", {"CDCHAVETRAB", "DTCONSPLAN", "CDPRODUTO", "QTCONSPLAN",
                                                         "CUSTOPROD", "DTCUSTOSUP", "DTFINCUSTSUP", "IDCUSTODESATU"});
    std::vector<tk::Variant> row{key, {}, {}, {}, {}, {}, {}, {}};
    // The same few period dates recur on thousands of rows: each is formatted once.
    std::unordered_map<double, tk::Variant> isoDates;
    auto isoDate = [&](tk::TDateTime value) -> const tk::Variant & {
        auto found = isoDates.find(value);
        if (found == isoDates.end())
            found = isoDates.emplace(value, tk::Variant(iso(value))).first;
        return found->second;
    };
    // Only what is read back: GetProdCotDesatu lists the outdated prices, nothing reads the others.
    for (const PlannedDay &day : days) {
        row[1] = isoDate(day.day);
        for (const auto &[product, planned] : day.products) {
            const Price &price = planned.price;
            if (!price.outdated)
                continue;
            row[2] = product;
            row[3] = tk::RoundDec(planned.qtMenu + planned.qtConsumption, 5);
            row[4] = planned.price.cost;
            row[5] = price.found ? isoDate(price.from) : tk::Variant();
            row[6] = price.found && !price.openEnded ? isoDate(price.to) : tk::Variant();
            row[7] = planned.price.outdated ? "S" : "N";
            rows->add(row);
        }
    }
    rows->finish();

    // The confidence of every day and the few products behind it, as GetConfiancaCusto answers them.
    const auto confDays = connection.bulkInsert("CONFPLAN", {"CDCHAVETRAB", "DTCONFPLAN", "VRCUSTPRODMAT",
                                                             "VRCUSTDESATU", "VRCUSTESTIM", "QTPRODDESATU",
                                                             "QTPRODSEMCUSTO"});
    const auto confProducts = connection.bulkInsert("CONFPROD", {"CDCHAVETRAB", "DTCONFPLAN", "NRORDEM", "CDPRODUTO",
                                                                 "NMPRODUTO", "IDMOTIVO", "VRCUSTO"});
    for (const DayConfidence &day : confidence) {
        confDays->add({key, isoDate(day.day), day.material, day.outdatedCost, day.estimatedCost,
                       static_cast<int32_t>(day.outdatedCount), static_cast<int32_t>(day.noCostCount)});
        int32_t order = 0;
        for (const BadIngredient &product : day.ingredients)
            confProducts->add({key, isoDate(day.day), ++order, product.cdProduto, product.nmProduto,
                               product.estimated ? "E" : "D", product.cost});
    }
    confDays->finish();
    confProducts->finish();

    // The cap: the new set and the session's newest others stay (a session's calls renew all its sets
    // at once, so the age is what tells them apart; sets made in the same second go in key order).
    const std::string surplus =
        "SELECT CDCHAVETRAB FROM TRABCUSTO WHERE CDSESSAO = :SESSAO AND CDCHAVETRAB <> :KEY "
        "AND CDCHAVETRAB NOT IN (SELECT CDCHAVETRAB FROM TRABCUSTO WHERE CDSESSAO = :SESSAO "
        "AND CDCHAVETRAB <> :KEY ORDER BY DTCRIACAO DESC, CDCHAVETRAB LIMIT :KEEP)";
    const db::Params capParams{{"SESSAO", header.session}, {"KEY", key}, {"KEEP", static_cast<int32_t>(std::clamp<int64_t>(cap - 1, 0, 1000000))}};
    for (const char *table : kWorkSetRowTables)
        connection.execute(std::string("DELETE FROM ") + table + " WHERE CDCHAVETRAB IN (" + surplus + ")", capParams);
    connection.execute("DELETE FROM TRABCUSTO WHERE CDCHAVETRAB IN (" + surplus + ")", capParams);
    return key;
}

// The schema script's statement of one table, as CREATE TABLE IF NOT EXISTS: how a table of a later
// version reaches an existing database with the script's own definition.
std::string tableSql(const std::string &dialect, const std::string &table)
{
    const std::string sql = db::schemaSql(dialect);
    const std::string head = "CREATE TABLE " + table + " (";
    const size_t from = sql.find(head);
    const size_t to = from == std::string::npos ? from : sql.find("\n);", from);
    if (to == std::string::npos)
        throw db::SqlError("the schema has no table " + table);
    const size_t name = from + std::string("CREATE TABLE ").size();
    return "CREATE TABLE IF NOT EXISTS " + sql.substr(name, to + 3 - name);
}

bool hasColumn(db::Connection &connection, const std::string &column, const char *table = "TRABCUSTO")
{
    try {
        connection.query("SELECT " + column + " FROM " + table + " WHERE 1 = 0");
        return true;
    } catch (const db::SqlError &e) {
        if (e.kind() != db::SqlError::Kind::Statement)
            throw;
        return false;
    }
}
} // namespace

void ensureWorkSetColumns(db::Connection &connection)
{
    if (!hasColumn(connection, "CDCHAVETRAB", "CONFPLAN") || !hasColumn(connection, "CDCHAVETRAB", "CONFPROD")) {
        db::writeTransaction(connection, [&] {
            for (const char *table : {"CONFPLAN", "CONFPROD"})
                connection.exec(tableSql(connection.dialect(), table));
        });
    }
    if (hasColumn(connection, "CDSESSAO") && hasColumn(connection, "DTUSO"))
        return;
    const bool pg = connection.dialect() == "postgresql";
    db::writeTransaction(connection, [&] {
        // Checked again inside the transaction: another server may have just added them. PostgreSQL
        // says so itself (IF NOT EXISTS); SQLite's write lock makes the check and the change one step.
        if (pg) {
            connection.exec("ALTER TABLE TRABCUSTO ADD COLUMN IF NOT EXISTS CDSESSAO VARCHAR(64) COLLATE \"C\" "
                            "NOT NULL DEFAULT ''");
            connection.exec("ALTER TABLE TRABCUSTO ADD COLUMN IF NOT EXISTS DTUSO TIMESTAMP");
        } else {
            if (!hasColumn(connection, "CDSESSAO"))
                connection.exec("ALTER TABLE TRABCUSTO ADD COLUMN CDSESSAO VARCHAR(64) NOT NULL DEFAULT ''");
            if (!hasColumn(connection, "DTUSO"))
                connection.exec("ALTER TABLE TRABCUSTO ADD COLUMN DTUSO TIMESTAMP");
        }
        connection.exec("UPDATE TRABCUSTO SET DTUSO = DTCRIACAO WHERE DTUSO IS NULL");
        connection.exec("CREATE INDEX IF NOT EXISTS TRABCUSTO_USO ON TRABCUSTO (DTUSO)");
        connection.exec("CREATE INDEX IF NOT EXISTS TRABCUSTO_SESSAO ON TRABCUSTO (CDSESSAO, DTUSO)");
    });
}

std::string writeWorkSet(db::Connection &connection, const WorkSetHeader &header,
                         const std::vector<PlannedDay> &days, const std::vector<DayConfidence> &confidence,
                         tk::TDateTime createdAt, int64_t cap)
{
    // Run again from the start (with a new key) when another server's write wins a race.
    return db::writeTransaction(connection, [&] {
        return writeWorkSetRows(connection, header, days, confidence, createdAt, cap);
    });
}

bool workSetExists(db::Connection &connection, const std::string &key, const std::string &filial,
                   const std::string &session)
{
    const tk::DataPacket found = connection.query(
        "SELECT CDCHAVETRAB FROM TRABCUSTO WHERE CDCHAVETRAB = :KEY AND CDFILIAL = :FILIAL AND CDSESSAO = :SESSAO",
        {{"KEY", key}, {"FILIAL", filial}, {"SESSAO", session}});
    return !found.rows.empty();
}

std::string workSetNotFound(const std::string &key, const std::string &filial)
{
    return "Conjunto de trabalho '" + key + "' não encontrado para a filial '" + filial + "'";
}

std::vector<DayConfidence> readWorkSetConfidence(db::Connection &connection, const std::string &key)
{
    const db::Params params{{"KEY", key}};
    std::vector<DayConfidence> days;
    for (const auto &row : connection
                               .query("SELECT DTCONFPLAN, VRCUSTPRODMAT, VRCUSTDESATU, VRCUSTESTIM, QTPRODDESATU, "
                                      "QTPRODSEMCUSTO FROM CONFPLAN WHERE CDCHAVETRAB = :KEY ORDER BY DTCONFPLAN",
                                      params)
                               .rows) {
        DayConfidence day;
        day.day = row[0].asDateTime();
        day.material = row[1].asDouble();
        day.outdatedCost = row[2].asDouble();
        day.estimatedCost = row[3].asDouble();
        day.outdatedCount = static_cast<int>(row[4].asInteger());
        day.noCostCount = static_cast<int>(row[5].asInteger());
        days.push_back(std::move(day));
    }
    const tk::DataPacket products = connection.query(
        "SELECT DTCONFPLAN, CDPRODUTO, NMPRODUTO, IDMOTIVO, VRCUSTO FROM CONFPROD WHERE CDCHAVETRAB = :KEY "
        "ORDER BY DTCONFPLAN, NRORDEM",
        params);
    auto day = days.begin();
    for (const auto &row : products.rows) {
        const tk::TDateTime date = row[0].asDateTime();
        while (day != days.end() && day->day < date)
            ++day;
        if (day == days.end() || day->day != date)
            throw db::SqlError("work set " + key + " keeps products of a day it has no confidence for");
        day->ingredients.push_back(
            {row[1].asString(), row[2].asString(), row[3].asString() == "E", row[4].asDouble()});
    }
    return days;
}

void requireWorkSet(db::Connection &connection, const std::string &key, const std::string &filial,
                    const std::string &session)
{
    if (key.size() != kWorkSetKeyLength || !workSetExists(connection, key, filial, session))
        throw UserError(workSetNotFound(key, filial));
}

bool deleteWorkSet(db::Connection &connection, const std::string &key, const std::string &filial,
                   const std::string &session)
{
    const db::Params params{{"KEY", key}, {"FILIAL", filial}, {"SESSAO", session}};
    return db::writeTransaction(connection, [&] {
        // The rows go first: the clean-up must not depend on the foreign-key cascade being switched on.
        for (const char *table : kWorkSetRowTables)
            connection.execute(std::string("DELETE FROM ") + table + " WHERE CDCHAVETRAB IN (SELECT CDCHAVETRAB "
                               "FROM TRABCUSTO WHERE CDCHAVETRAB = :KEY AND CDFILIAL = :FILIAL AND CDSESSAO = :SESSAO)",
                               params);
        return connection.execute(
                   "DELETE FROM TRABCUSTO WHERE CDCHAVETRAB = :KEY AND CDFILIAL = :FILIAL AND CDSESSAO = :SESSAO",
                   params) > 0;
    });
}

int64_t renewWorkSets(db::Connection &connection, const std::string &session, tk::TDateTime now)
{
    return db::writeTransaction(connection, [&] {
        return connection.execute("UPDATE TRABCUSTO SET DTUSO = :AGORA WHERE CDSESSAO = :SESSAO",
                                  {{"AGORA", iso(now)}, {"SESSAO", session}});
    });
}

int64_t cleanupWorkSets(db::Connection &connection, int64_t maxAgeSeconds, int64_t leaseSeconds,
                        tk::TDateTime now)
{
    const db::Params limits{{"USO", iso(now - static_cast<double>(leaseSeconds) / 86400.0)},
                            {"CRIACAO", iso(now - static_cast<double>(maxAgeSeconds) / 86400.0)}};
    const int64_t removed = db::writeTransaction(connection, [&] {
        for (const char *table : kWorkSetRowTables)
            connection.execute(std::string("DELETE FROM ") + table + " WHERE CDCHAVETRAB IN (SELECT CDCHAVETRAB "
                               "FROM TRABCUSTO WHERE DTUSO < :USO OR DTCRIACAO < :CRIACAO)",
                               limits);
        return connection.execute("DELETE FROM TRABCUSTO WHERE DTUSO < :USO OR DTCRIACAO < :CRIACAO", limits);
    });
    if (removed > 0 && connection.dialect() == "sqlite") {
        // Gives the freed pages back; does nothing in a file made without incremental vacuum.
        const auto turn = connection.writerTurn();
        connection.exec("PRAGMA incremental_vacuum");
    }
    return removed;
}

} // namespace appsrv
