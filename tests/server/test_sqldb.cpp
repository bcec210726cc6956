// The SQL access layer over a real SQLite file: types, parameters, transactions, errors, and the local
// queries that the window runs on the suite database exactly as it writes them.

#include "fixture.h"

#include "platform/database/sqldb.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

using servertest::D;
using servertest::TempDb;

namespace {

std::string lines(std::initializer_list<const char *> text)
{
    std::string sql;
    for (const char *line : text)
        sql += std::string(line) + "\n";
    return sql;
}

class SqlDbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        conn = db::Connection::open(file.path());
        conn->exec("CREATE TABLE T (ID INTEGER PRIMARY KEY, NOME VARCHAR(20), CODIGO CHAR(4), VALOR DOUBLE PRECISION, "
                   "PRECO NUMERIC(12,4), DIA DATE, MOMENTO TIMESTAMP, ATIVO BOOLEAN, OBS TEXT);"
                   "INSERT INTO T VALUES (1, 'Arroz', 'A001', 2.5, 3, '2026-03-02', '2026-03-02 10:30:00', 1, 'x');"
                   "INSERT INTO T VALUES (2, 'Feijão', 'F002', NULL, 7.25, '2026-03-05', NULL, 0, NULL);");
    }
    TempDb file{"sqldb"};
    std::unique_ptr<db::Connection> conn;
};

TEST_F(SqlDbTest, DeclaredTypesGiveFieldTypesAndSizes)
{
    const tk::DataPacket p = conn->query("SELECT * FROM T ORDER BY ID");
    struct Case { const char *name; tk::FieldType type; int size; };
    const Case cases[] = {
        {"ID", tk::FieldType::Integer, 0},       {"NOME", tk::FieldType::String, 20},
        {"CODIGO", tk::FieldType::String, 4},    {"VALOR", tk::FieldType::Float, 0},
        {"PRECO", tk::FieldType::Float, 0},      {"DIA", tk::FieldType::DateTime, 0},
        {"MOMENTO", tk::FieldType::DateTime, 0}, {"ATIVO", tk::FieldType::Boolean, 0},
        {"OBS", tk::FieldType::String, 0},
    };
    ASSERT_EQ(p.fields.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(p.fields[i].name, cases[i].name);
        EXPECT_EQ(p.fields[i].type, cases[i].type);
        EXPECT_EQ(p.fields[i].size, cases[i].size);
    }
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(p.rows[0][0], tk::Variant(1));
    EXPECT_EQ(p.rows[0][1], tk::Variant("Arroz"));
    EXPECT_EQ(p.rows[1][1], tk::Variant("Feijão"));
    EXPECT_EQ(p.rows[0][3], tk::Variant(2.5));
    EXPECT_TRUE(p.rows[1][3].isNull());
    EXPECT_EQ(p.rows[0][4], tk::Variant(3.0)); // an integral value in a numeric column is still a float
    EXPECT_EQ(p.rows[0][5], D(2026, 3, 2));
    EXPECT_EQ(p.rows[0][6], tk::Variant::fromDateTime(tk::EncodeDateTime(2026, 3, 2, 10, 30, 0)));
    EXPECT_EQ(p.rows[0][7], tk::Variant(true));
    EXPECT_EQ(p.rows[1][7], tk::Variant(false));
}

TEST_F(SqlDbTest, ExpressionColumnsTakeTheTypeOfTheirFirstValue)
{
    const tk::DataPacket p = conn->query(
        "SELECT COUNT(*) AS N, -1.0 AS F, 'abc' AS S, NULL AS Z, CASE WHEN ID = 1 THEN 1 ELSE 2.5 END AS MIX "
        "FROM T GROUP BY ID ORDER BY ID");
    EXPECT_EQ(p.fields[0].type, tk::FieldType::Integer);
    EXPECT_EQ(p.fields[1].type, tk::FieldType::Float);
    EXPECT_EQ(p.fields[2].type, tk::FieldType::String);
    EXPECT_EQ(p.fields[3].type, tk::FieldType::String);
    // Integers and reals mixed in one expression make a float column, and no value is lost.
    EXPECT_EQ(p.fields[4].type, tk::FieldType::Float);
    EXPECT_EQ(p.rows[0][4], tk::Variant(1.0));
    EXPECT_EQ(p.rows[1][4], tk::Variant(2.5));
}

TEST_F(SqlDbTest, ParametersBindByNameEveryOccurrenceAndDatesAsIsoText)
{
    // One name used three times, mixed case in the list.
    const tk::DataPacket p = conn->query("SELECT ID FROM T WHERE DIA >= :P_DIA AND (:P_DIA <> '' OR :p_dia IS NULL) "
                                         "AND NOME = :NOME",
                                         {{"p_dia", D(2026, 3, 3)}, {"NOME", "Feijão"}});
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(p.rows[0][0], tk::Variant(2));
    const tk::DataPacket iso = conn->query("SELECT :D AS D, :T AS T", {{"D", D(2026, 3, 2)},
        {"T", tk::Variant::fromDateTime(tk::EncodeDateTime(2026, 3, 2, 8, 5, 0))}});
    EXPECT_EQ(iso.rows[0][0], tk::Variant("2026-03-02"));
    EXPECT_EQ(iso.rows[0][1], tk::Variant("2026-03-02 08:05:00"));
    const tk::DataPacket other = conn->query("SELECT :B AS B, :I AS I, :F AS F, :N AS N",
                                             {{"B", true}, {"I", 7}, {"F", 0.5}, {"N", tk::Variant()}});
    EXPECT_EQ(other.rows[0][0], tk::Variant(1));
    EXPECT_EQ(other.rows[0][1], tk::Variant(7));
    EXPECT_EQ(other.rows[0][2], tk::Variant(0.5));
    EXPECT_TRUE(other.rows[0][3].isNull());
}

TEST_F(SqlDbTest, ErrorsAreSqlErrorsWithAClearText)
{
    struct Case { const char *what; std::function<void()> run; const char *expected; };
    const Case cases[] = {
        {"missing parameter", [&] { conn->query("SELECT * FROM T WHERE ID = :ID"); }, "parameter :ID has no value"},
        {"array parameter", [&] { conn->query("SELECT :A", {{"A", tk::Variant::array({1})}}); }, "cannot take"},
        {"syntax", [&] { conn->query("SELEC 1"); }, "syntax error"},
        {"unknown table", [&] { conn->query("SELECT * FROM NADA"); }, "no such table"},
        {"two statements", [&] { conn->execute("DELETE FROM T; DELETE FROM T", {}); }, "more than one statement"},
        {"constraint", [&] { conn->execute("INSERT INTO T (ID) VALUES (1)", {}); }, "UNIQUE"},
        {"bad date text", [&] { conn->exec("INSERT INTO T (ID, DIA) VALUES (9, 'amanhã')");
                                conn->query("SELECT DIA FROM T WHERE ID = 9"); }, "not an ISO date"},
        {"positional", [&] { conn->query("SELECT ?"); }, "positional"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            c.run();
            ADD_FAILURE() << "no error";
        } catch (const db::SqlError &e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
    }
    // The connection stays usable after every error.
    EXPECT_EQ(conn->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(3));
}

TEST_F(SqlDbTest, ExecuteCountsChangesAndReusesStatements)
{
    for (int i = 10; i < 200; ++i)
        EXPECT_EQ(conn->execute("INSERT INTO T (ID, NOME) VALUES (:ID, :NOME)", {{"ID", i}, {"NOME", "n"}}), 1);
    EXPECT_EQ(conn->execute("UPDATE T SET NOME = 'm' WHERE ID >= :ID", {{"ID", 100}}), 100);
    EXPECT_EQ(conn->execute("DELETE FROM T WHERE ID = :ID", {{"ID", 99999}}), 0);
}

TEST_F(SqlDbTest, TransactionRollsBackUnlessCommitted)
{
    {
        db::Transaction tx(*conn, db::TxMode::Immediate);
        EXPECT_TRUE(conn->inTransaction());
        conn->execute("DELETE FROM T", {});
    }
    EXPECT_FALSE(conn->inTransaction());
    EXPECT_EQ(conn->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(2));
    {
        db::Transaction tx(*conn);
        conn->execute("DELETE FROM T WHERE ID = 1", {});
        tx.commit();
    }
    EXPECT_EQ(conn->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(1));
}

TEST_F(SqlDbTest, ASecondConnectionSeesCommittedDataAndWalMode)
{
    auto other = db::Connection::open("sqlite:" + file.path(), db::OpenMode::ExistingOnly);
    EXPECT_EQ(other->query("PRAGMA journal_mode").rows[0][0], tk::Variant("wal"));
    EXPECT_EQ(other->query("PRAGMA foreign_keys").rows[0][0], tk::Variant(1));
    db::Transaction reading(*other);
    EXPECT_EQ(other->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(2));
    conn->execute("INSERT INTO T (ID) VALUES (50)", {});
    // A read transaction keeps its snapshot.
    EXPECT_EQ(other->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(2));
    reading.commit();
    EXPECT_EQ(other->query("SELECT COUNT(*) AS N FROM T").rows[0][0], tk::Variant(3));
}

TEST(SqlDbOpen, MissingFileAndOtherDialects)
{
    TempDb file("missing");
    EXPECT_THROW(db::Connection::open(file.path(), db::OpenMode::ExistingOnly), db::SqlError);
    EXPECT_FALSE(std::filesystem::exists(file.path()));
    EXPECT_THROW(db::Connection::open("postgresql://localhost/suite"), db::SqlError);
    EXPECT_THROW(db::Connection::open(""), db::SqlError);
    auto memory = db::Connection::open(":memory:");
    EXPECT_EQ(memory->dialect(), "sqlite");
}

// The window's local queries, as their text stands, on the schema.
class LocalQueries : public ::testing::Test
{
protected:
    void SetUp() override
    {
        conn = db::Connection::open(file.path());
        servertest::buildTinyKitchen(*conn);
    }
    TempDb file{"local"};
    std::unique_ptr<db::Connection> conn;
};

TEST_F(LocalQueries, SeasonalBandLookup)
{
    const std::string sql = lines({"SELECT ", "   NMSINASAFRA,", "   NRCORSINSAFR", "FROM ", "   SINASAFRA", "WHERE",
                                   "   VRLIMINFSAFR <  :P_PERCSAFRA AND", "   VRLIMSUPSAFR >= :P_PERCSAFRA OR",
                                   "   :P_PERCSAFRA =  0            AND", "   VRLIMINFSAFR =  :P_PERCSAFRA"});
    struct Case { double p; const char *band; };
    const Case cases[] = {{10, "Safra"}, {10.01, "Início de safra"}, {0, "Safra"}, {30, "Início de safra"},
                          {30.5, "Entressafra"}, {100, "Entressafra"}, {150, nullptr}, {-5, nullptr}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.p);
        const tk::DataPacket p = conn->query(sql, {{"P_PERCSAFRA", c.p}});
        if (!c.band) {
            EXPECT_TRUE(p.rows.empty());
            continue;
        }
        ASSERT_EQ(p.rows.size(), 1u);
        EXPECT_EQ(p.rows[0][0], tk::Variant(c.band));
        EXPECT_EQ(p.fields[1].type, tk::FieldType::Integer);
    }
}

TEST_F(LocalQueries, HolidayServiceAndDietQueries)
{
    const std::string holiday = lines({"SELECT ", "   COUNT(*) AS CTFERIFILI", "FROM", "   FERIFILI", "WHERE",
                                       "   CDFILIAL   = :P_CDFILIAL   AND", "   DTFERIFILI = :P_DTFERIFILI"});
    EXPECT_EQ(conn->query(holiday, {{"P_CDFILIAL", "0001"}, {"P_DTFERIFILI", D(2026, 3, 3)}}).rows[0][0], tk::Variant(1));
    EXPECT_EQ(conn->query(holiday, {{"P_CDFILIAL", "0001"}, {"P_DTFERIFILI", D(2026, 3, 4)}}).rows[0][0], tk::Variant(0));
    EXPECT_EQ(conn->query(holiday, {{"P_CDFILIAL", "0002"}, {"P_DTFERIFILI", D(2026, 3, 3)}}).rows[0][0], tk::Variant(0));

    const std::string service = lines({"SELECT", "   NMSERVICO", "FROM ", "   SERVICO", "WHERE",
                                       "   CDFILIAL   = :P_CDFILIAL   AND", "   CDSERVFILI = :P_CDSERVFILI", " "});
    const tk::DataPacket s = conn->query(service, {{"P_CDFILIAL", "0001"}, {"P_CDSERVFILI", "001"}});
    ASSERT_EQ(s.rows.size(), 1u);
    EXPECT_EQ(s.rows[0][0], tk::Variant("Almoço"));

    const std::string diet = lines({"SELECT", "   S.CDDIETPAD,", "   P.DSDIETPAD,", "   -1.0 AS CUSTDIET,",
                                    "   -1.0 AS NUMCOMEN,", "   -1.0 AS CUSTPERCAPT", "FROM", "   DIETPADR P, DIETSERV S",
                                    "WHERE", "   S.CDFILIAL   =  :P_CDFILIAL        AND",
                                    "   S.CDSERVFILI =  :P_CDSERVFILI      AND", "   P.IDTIPODIET = 'S'                 AND",
                                    "   S.CDDIETPAD  = P.CDDIETPAD", "ORDER BY", "   S.CDDIETPAD"});
    const tk::DataPacket d = conn->query(diet, {{"P_CDFILIAL", "0001"}, {"P_CDSERVFILI", "001"}});
    ASSERT_EQ(d.rows.size(), 1u); // the enteral formula is not a standard diet
    EXPECT_EQ(d.rows[0][0], tk::Variant("0001"));
    EXPECT_EQ(d.fields[0].size, 4);
    EXPECT_EQ(d.fields[1].size, 50);
    for (size_t i = 2; i < 5; ++i) {
        EXPECT_EQ(d.fields[i].type, tk::FieldType::Float);
        EXPECT_EQ(d.rows[0][i], tk::Variant(-1.0));
    }
}

TEST_F(LocalQueries, SchemaIsOneScriptAndRejectsASecondRun)
{
    EXPECT_NE(db::schemaSql().find("CREATE TABLE CONSPLAN"), std::string::npos);
    EXPECT_THROW(db::createSchema(*conn), db::SqlError); // tables exist; nothing half-created
    EXPECT_EQ(conn->query("SELECT COUNT(*) AS N FROM PRODUTO").rows[0][0], tk::Variant(5));
}

} // namespace
