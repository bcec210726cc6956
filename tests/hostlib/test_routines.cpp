// The host's utility routines: rounding, month ends, weekday names, blanks, checked server
// results, messages, pictures, processing dates, settings and the local cache.

#include "platform/hostlib/localcache.h"
#include "platform/hostlib/messages.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
#include "platform/hostlib/usererrors.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"
#include "tests/hostlib/testdb.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace host;

namespace {

struct RoundCase { double value; int places; double expected; };

TEST(HostRoundDec, RoundsHalfAwayFromZeroOnTheDecimalValue)
{
    const RoundCase cases[] = {
        {0.370368, 5, 0.37037},   {2.675, 2, 2.68},        {-2.675, 2, -2.68},
        {1.005, 2, 1.01},         {0.125, 2, 0.13},        {-0.5, 0, -1.0},
        {2.5, 0, 3.0},            {1234.567891, 5, 1234.56789},
        {0.000005, 5, 0.00001},   {12.344999, 2, 12.34},   {0.0, 5, 0.0},
        {99.999995, 5, 100.0},    {-0.000004, 5, 0.0},
    };
    for (const RoundCase &c : cases)
        EXPECT_DOUBLE_EQ(RoundDec(c.value, c.places), c.expected) << c.value << " to " << c.places;
}

struct MonthCase { int y, m, d, hour; int firstDay; int lastDay; };

TEST(HostMonthEnds, FirstAndLastDayOfTheMonthAtMidnight)
{
    const MonthCase cases[] = {
        {2026, 1, 31, 0, 1, 31},  {2026, 1, 1, 9, 1, 31},   {2024, 2, 10, 12, 1, 29},
        {2023, 2, 28, 0, 1, 28},  {1900, 2, 15, 0, 1, 28},  {2000, 2, 1, 23, 1, 29},
        {2026, 12, 31, 23, 1, 31}, {2026, 4, 15, 0, 1, 30}, {2100, 2, 3, 0, 1, 28},
    };
    for (const MonthCase &c : cases) {
        const TDateTime date = tk::EncodeDateTime(c.y, c.m, c.d, c.hour, 30, 0);
        SCOPED_TRACE(tk::DateTimeToIso(date));
        EXPECT_EQ(PriDiaMes(date), tk::EncodeDate(c.y, c.m, c.firstDay));
        EXPECT_EQ(UltimoDiaMes(date), tk::EncodeDate(c.y, c.m, c.lastDay));
        EXPECT_EQ(UltDiaMes(c.m, c.y), tk::EncodeDate(c.y, c.m, c.lastDay));
        EXPECT_EQ(UltDiaMes(c.m, c.y), std::floor(UltDiaMes(c.m, c.y))) << "carries no time of day";
    }
}

TEST(HostMonthEnds, MonthOutsideTheYearIsAnError)
{
    EXPECT_THROW(UltDiaMes(0, 2026), tk::Exception);
    EXPECT_THROW(UltDiaMes(13, 2026), tk::Exception);
}

struct WeekdayCase { int day; const char *name; const char *shown; };

TEST(HostNomeSemana, FullNameAndItsFirstThreeCharacters)
{
    // 1 March 2026 is a Sunday.
    const WeekdayCase cases[] = {
        {1, "domingo", "dom"},       {2, "segunda-feira", "seg"}, {3, "terça-feira", "ter"},
        {4, "quarta-feira", "qua"},  {5, "quinta-feira", "qui"},  {6, "sexta-feira", "sex"},
        {7, "sábado", "sáb"},
    };
    for (const WeekdayCase &c : cases) {
        const TDateTime date = tk::EncodeDateTime(2026, 3, c.day, 18, 45, 0);
        EXPECT_EQ(NomeSemana(date), c.name);
        EXPECT_EQ(tk::Utf8Left(NomeSemana(date), 3), c.shown);
    }
    // "sáb" is three characters and four bytes.
    EXPECT_EQ(tk::Utf8Left(NomeSemana(tk::EncodeDate(2026, 3, 7)), 3).size(), 4u);
}

struct TrimCase { const char *text; const char *trimmed; };

TEST(HostBlanks, AllTrimAndEmptyString)
{
    const TrimCase cases[] = {
        {"  Almoço  ", "Almoço"}, {"\tX\r\n", "X"}, {"", ""}, {"   ", ""},
        {"a b", "a b"},           {" é ", "é"},     {"0002", "0002"}, {"\n", ""},
    };
    for (const TrimCase &c : cases) {
        EXPECT_EQ(AllTrim(c.text), c.trimmed) << '"' << c.text << '"';
        EXPECT_EQ(EmptyString(c.text), std::string(c.trimmed).empty()) << '"' << c.text << '"';
    }
}

TEST(HostIif, PicksByCondition)
{
    EXPECT_EQ(iif(true, Variant(1), Variant("b")), Variant(1));
    EXPECT_EQ(iif(false, Variant(1), Variant("b")), Variant("b"));
}

// --- CheckResultServ ---------------------------------------------------------------------------

TEST(HostCheckResultServ, SuccessReturnsThePayload)
{
    EXPECT_EQ(CheckResultServ(Variant::array({true, "", 1234.0}), true, 0), Variant(1234.0));
    // A 16-bit boolean sent as integer -1 is true.
    EXPECT_EQ(CheckResultServ(Variant::array({-1, "", "x"}), true, 0), Variant("x"));
    EXPECT_EQ(CheckResultServ(Variant::array({true, "", 1, 2}), true, 1), Variant(2));
    EXPECT_TRUE(CheckResultServ(Variant::array({true, "", Variant()}), true, 0).isNull());
}

struct FailureCase { const char *name; Variant result; bool showError; int index; const char *text; };

TEST(HostCheckResultServ, FailuresAndBadShapesRaise)
{
    const FailureCase cases[] = {
        {"server failure", Variant::array({false, "GetComensPlan: filial inexistente", Variant()}), true, 0,
         "Erro no servidor: GetComensPlan: filial inexistente"},
        {"integer false", Variant::array({0, "sem dados", Variant()}), true, 0, "Erro no servidor: sem dados"},
        {"failure without text", Variant::array({false, "", Variant()}), true, 0,
         "Erro no servidor: falha sem descrição"},
        {"failure, not shown", Variant::array({false, "detalhe", Variant()}), false, 0, "Erro no servidor"},
        {"null", Variant(), true, 0, "Resposta inválida do servidor"},
        {"plain text", Variant("ok"), true, 0, "Resposta inválida do servidor"},
        {"two elements", Variant::array({true, ""}), true, 0, "Resposta inválida do servidor"},
        {"text flag", Variant::array({"sim", "", 1}), true, 0, "Resposta inválida do servidor"},
        {"index past the end", Variant::array({true, "", 1}), true, 1, "Resposta inválida do servidor"},
        {"negative index", Variant::array({true, "", 1}), true, -1, "Resposta inválida do servidor"},
    };
    for (const FailureCase &c : cases) {
        try {
            CheckResultServ(c.result, c.showError, c.index);
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const EServerError &e) {
            EXPECT_STREQ(e.what(), c.text) << c.name;
        }
    }
}

// --- TMessages ---------------------------------------------------------------------------------

TEST(HostMessages, LooksUpKeysAndFallsBackToTheKey)
{
    TMessages messages("msgPadrao");
    messages.Add("DIA", "Dia ");
    messages.Add("calculando", "Calculando custos do cardápio...");
    messages.Add("refefix", "(Custo) Referência.: %s");
    messages.Add("P", "Per Capita");
    EXPECT_EQ(messages.Msg("DIA"), "Dia ") << "trailing blanks belong to the text";
    EXPECT_EQ(messages.Msg("calculando"), "Calculando custos do cardápio...");
    EXPECT_EQ(messages.Msg("P"), "Per Capita");
    EXPECT_EQ(messages.Msg("p"), "p") << "keys are case-sensitive";
    EXPECT_EQ(messages.Msg("NAO_EXISTE"), "NAO_EXISTE");
    EXPECT_EQ(messages.Msg(""), "");
    messages.Add("P", "Per capita (kg)");
    EXPECT_EQ(messages.Msg("P"), "Per capita (kg)");
    EXPECT_EQ(messages.Count(), 4u);
    EXPECT_TRUE(messages.Contains("refefix"));
    EXPECT_FALSE(messages.Contains("Refefix"));
}

// --- DBPict ------------------------------------------------------------------------------------

TEST(HostDBPict, ProductTreeMaskFormatsNineDigitCodes)
{
    struct Case { const char *stored; const char *shown; };
    const Case cases[] = {
        {"101020003", "1.01.02.0003"},
        {"206110045", "2.06.11.0045"},
        {"930991099", "9.30.99.1099"},
    };
    EXPECT_EQ(DBPict(0), "9.99.99.9999;0;_");
    for (const Case &c : cases)
        EXPECT_EQ(tk::FormatMaskText(DBPict(0), c.stored), c.shown);
    EXPECT_THROW(DBPict(7), EHostError);
}

// --- Settings ----------------------------------------------------------------------------------

TEST(HostSettings, ServerOperatorAndModuleComeFromTheSettings)
{
    const Settings saved = GetSettings();
    Settings settings;
    settings.serverHost = "servidor.cozinha";
    settings.serverPort = 9300;
    settings.operatorName = "MARIA";
    settings.moduloAtiv = 24;
    SetSettings(settings);
    EXPECT_EQ(WebURL(), "servidor.cozinha");
    EXPECT_EQ(WebPort(), 9300);
    EXPECT_EQ(Operador(), "MARIA");
    EXPECT_EQ(ModuloAtiv(), 24);
    SetSettings(saved);
}

TEST(HostSettings, NoDatabaseConfiguredIsAClearError)
{
    const Settings saved = GetSettings();
    Settings settings = saved;
    settings.dbPath.clear();
    SetSettings(settings);
    EXPECT_THROW(SharedDatabase(), EHostError);
    EXPECT_THROW(DataProc("0001"), EHostError);
    SetSettings(saved);
}

TEST(HostSettings, AMissingDatabaseFileIsNotCreated)
{
    const Settings saved = GetSettings();
    Settings settings = saved;
    settings.dbPath = "/tmp/hostlib-no-such-dir/nao-existe.db";
    SetSettings(settings);
    EXPECT_ANY_THROW(SharedDatabase());
    SetSettings(saved);
}

// --- DataProc ----------------------------------------------------------------------------------

TEST(HostDataProc, ProcessingDateOfTheBranch)
{
    hosttest::TempSuiteDb suiteDb;
    EXPECT_EQ(DataProc("0001"), tk::EncodeDate(2026, 3, 16));
    EXPECT_EQ(DataProc("0002"), tk::EncodeDate(2024, 2, 29));
}

TEST(HostDataProc, UnknownBranchOrMissingDateIsAClearError)
{
    hosttest::TempSuiteDb suiteDb;
    struct Case { const char *branch; const char *fragment; };
    const Case cases[] = {
        {"9999", "Filial não encontrada: 9999"},
        {"", "Filial não encontrada: "},
        {"0001' OR '1'='1", "Filial não encontrada"},
        {"0003", "Filial 0003 sem data de processamento"},
    };
    for (const Case &c : cases) {
        try {
            DataProc(c.branch);
            ADD_FAILURE() << c.branch << ": no exception";
        } catch (const EHostError &e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
        }
    }
}

// --- AtualizaLocalCache ------------------------------------------------------------------------

TEST(HostLocalCache, RefreshReadsTheTableAgain)
{
    hosttest::TempSuiteDb suiteDb;
    EXPECT_EQ(LocalCacheTable("SINASAFRA"), nullptr);
    AtualizaLocalCache(Variant::array({"SINASAFRA"}));
    ASSERT_NE(LocalCacheTable("SINASAFRA"), nullptr);
    EXPECT_EQ(LocalCacheTable("sinasafra")->rowCount(), 2u);
    EXPECT_GE(LocalCacheTable("SINASAFRA")->fieldIndex("NRCOR"), 0);

    suiteDb.conn().exec("INSERT INTO SINASAFRA VALUES ('03', 30, 100, 16711680)");
    EXPECT_EQ(LocalCacheTable("SINASAFRA")->rowCount(), 2u) << "the copy changes only on refresh";
    AtualizaLocalCache(Variant("SINASAFRA"));
    EXPECT_EQ(LocalCacheTable("SINASAFRA")->rowCount(), 3u);

    AtualizaLocalCache(Variant::array({"FILIAL", "SERVICO"}));
    EXPECT_EQ(LocalCacheTables(), (std::vector<std::string>{"FILIAL", "SERVICO", "SINASAFRA"}));
}

TEST(HostLocalCache, UnknownOrUnsafeTableNamesAreClearErrors)
{
    hosttest::TempSuiteDb suiteDb;
    struct Case { Variant names; const char *fragment; };
    const Case cases[] = {
        {Variant::array({"NAOEXISTE"}), "Tabela desconhecida para o cache local: NAOEXISTE"},
        {Variant::array({"SINASAFRA; DROP TABLE FILIAL"}), "Nome de tabela inválido"},
        {Variant::array({""}), "Nome de tabela inválido"},
        {Variant::array({"1SINASAFRA"}), "Nome de tabela inválido"},
    };
    for (const Case &c : cases) {
        try {
            AtualizaLocalCache(c.names);
            ADD_FAILURE() << "no exception";
        } catch (const EHostError &e) {
            EXPECT_NE(std::string(e.what()).find(c.fragment), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(DataProc("0001"), tk::EncodeDate(2026, 3, 16)) << "FILIAL is still there";
    // Tables before the failing name are refreshed.
    EXPECT_THROW(AtualizaLocalCache(Variant::array({"SINASAFRA", "NAOEXISTE"})), EHostError);
    EXPECT_NE(LocalCacheTable("SINASAFRA"), nullptr);
}

} // namespace

namespace {

// Database and system failures in the user's words, the technical text after them.
TEST(HostUserErrors, DatabaseAndSystemFailuresInPortugueseWithTheDetail)
{
    struct Case { std::string detail; db::SqlError::Kind kind; std::string expected; };
    const std::string missing = "Cannot open database '/x/suite.db': file not found";
    const std::string locked = "SQL error: database is locked [UPDATE TRABCUSTO SET ...]";
    const std::string noTable = "SQL error: no such table: FERIFILI [SELECT ...]";
    const Case cases[] = {
        {missing, db::SqlError::Kind::Connection, "Banco de dados indisponível: arquivo não encontrado (" + missing + ")"},
        {locked, db::SqlError::Kind::Conflict,
         "Banco de dados ocupado, tente de novo: o banco está em uso por outro programa (" + locked + ")"},
        {noTable, db::SqlError::Kind::Statement, "Falha no banco de dados (" + noTable + ")"},
        {"Database 'x.db' holds no suite schema", db::SqlError::Kind::Statement,
         "Falha no banco de dados: o banco não tem as tabelas da suíte (Database 'x.db' holds no suite schema)"},
    };
    for (const Case &c : cases) {
        const db::SqlError error(c.detail, c.kind);
        EXPECT_EQ(UserErrorText(error), c.expected);
        EXPECT_EQ(tk::DescribeError(error), c.expected) << "the toolkit's dialogs use the same words";
    }
    const std::filesystem::filesystem_error noFile(
        "cannot copy file", "/x/a.db", std::make_error_code(std::errc::no_such_file_or_directory));
    EXPECT_EQ(UserErrorText(noFile).rfind("Falha do sistema: arquivo ou pasta não encontrado (", 0), 0u)
        << UserErrorText(noFile);
    const tk::Exception own("Falha de comunicação com o servidor 127.0.0.1:9 ao conectar: connection refused");
    EXPECT_EQ(UserErrorText(own), own.what()) << "texts already meant for the user stay as they are";

    // The real failure: a configured database file that is not there.
    Settings settings = GetSettings();
    const Settings saved = settings;
    settings.dbPath = "/nao/existe/suite.db";
    SetSettings(settings);
    try {
        SharedDatabase();
        ADD_FAILURE() << "no error";
    } catch (const std::exception &e) {
        EXPECT_EQ(UserErrorText(e).rfind("Banco de dados indisponível: arquivo não encontrado (", 0), 0u)
            << UserErrorText(e);
    }
    SetSettings(saved);
}

} // namespace
