// TADOIBQuery over a real SQLite file: SQL lines, repeated and date parameters, reopening,
// and the errors of a parameter without a value or a bad statement.

#include "platform/hostlib/errors.h"
#include "platform/hostlib/localquery.h"
#include "platform/hostlib/routines.h"
#include "platform/toolkit/data/datetime.h"
#include "tests/hostlib/testdb.h"

#include <gtest/gtest.h>

using namespace host;

namespace {

std::vector<std::string> column(TADOIBQuery &query, const std::string &field)
{
    std::vector<std::string> values;
    for (query.First(); !query.Eof(); query.Next())
        values.push_back(query.FieldByName(field)->AsString());
    return values;
}

class LocalQuery : public ::testing::Test
{
protected:
    hosttest::TempSuiteDb suiteDb;
};

TEST_F(LocalQuery, ServiceNameQueryAsTheWindowWritesIt)
{
    TADOIBQuery qryServico("qryServico");
    for (const char *line : {"SELECT", "   NMSERVICO", "FROM ", "   SERVICO", "WHERE",
                             "   CDFILIAL   = :P_CDFILIAL   AND", "   CDSERVFILI = :P_CDSERVFILI", " "})
        qryServico.SQL().Add(line);
    EXPECT_EQ(qryServico.SQL().Count(), 8);
    EXPECT_EQ(qryServico.ParamNames(), (std::vector<std::string>{"P_CDFILIAL", "P_CDSERVFILI"}));

    qryServico.Close();
    qryServico.ParamByName("P_CDFILIAL").SetAsString("0001");
    qryServico.ParamByName("P_CDSERVFILI").SetAsString("001");
    qryServico.Open();
    ASSERT_EQ(qryServico.GetRecordCount(), 1);
    qryServico.First();
    EXPECT_EQ(AllTrim(qryServico.FieldByName("NMSERVICO")->AsString()), "Almoço");
}

TEST_F(LocalQuery, RepeatedParameterBindsTheSameValueEverywhere)
{
    TADOIBQuery query("qryPrato");
    query.SQL().Add("SELECT NMPRATO FROM CARDAPIO");
    query.SQL().Add("WHERE CDFILIAL = :P_CDFILIAL AND (CDCARDAPIO = :P_CD OR :p_cd = '*')");
    query.SQL().Add("ORDER BY NMPRATO");
    EXPECT_EQ(query.ParamNames(), (std::vector<std::string>{"P_CDFILIAL", "P_CD"}));
    EXPECT_EQ(&query.ParamByName("P_CD"), &query.ParamByName("p_cd"));

    struct Case { const char *branch; const char *menu; std::vector<std::string> dishes; };
    const Case cases[] = {
        {"0001", "0002", {"Frango assado", "Peixe grelhado"}},
        {"0001", "*", {"Arroz branco", "Feijão carioca", "Frango assado", "Peixe grelhado"}},
        {"0002", "*", {"Arroz integral"}},
        {"0002", "0002", {}},
    };
    for (const Case &c : cases) {
        query.Close();
        query.ParamByName("P_CDFILIAL").SetAsString(c.branch);
        query.ParamByName("P_CD").SetAsString(c.menu);
        query.Open();
        EXPECT_EQ(column(query, "NMPRATO"), c.dishes) << c.branch << "/" << c.menu;
        EXPECT_EQ(query.GetRecordCount(), static_cast<int>(c.dishes.size()));
    }
}

TEST_F(LocalQuery, DateParametersBindTheDatePart)
{
    TADOIBQuery query("qryData");
    query.SQL().Add("SELECT NMPRATO, DTCARDAPIO FROM CARDAPIO");
    query.SQL().Add("WHERE CDFILIAL = :F AND DTCARDAPIO BETWEEN :DTINI AND :DTFIM");
    query.SQL().Add("ORDER BY DTCARDAPIO, NMPRATO");
    query.ParamByName("F").SetAsString("0001");
    // The times of day are dropped: 2 March 15:00 still includes the dishes of 2 March.
    query.ParamByName("DTINI").SetAsDate(tk::EncodeDateTime(2026, 3, 2, 15, 0, 0));
    query.ParamByName("DTFIM").SetAsDate(tk::EncodeDateTime(2026, 3, 3, 10, 0, 0));
    EXPECT_EQ(query.ParamByName("DTINI").Value().type(), tk::VarType::DateTime);
    query.Open();
    EXPECT_EQ(column(query, "NMPRATO"),
              (std::vector<std::string>{"Arroz branco", "Feijão carioca", "Frango assado"}));
    query.First();
    EXPECT_EQ(query.FieldByName("DTCARDAPIO")->AsDateTime(), tk::EncodeDate(2026, 3, 2));

    // Month bounds as the window passes them: first day and last day of March.
    query.Close();
    query.ParamByName("DTINI").SetAsDate(PriDiaMes(tk::EncodeDate(2026, 3, 20)));
    query.ParamByName("DTFIM").SetAsDate(UltDiaMes(3, 2026));
    query.Open();
    EXPECT_EQ(query.GetRecordCount(), 4) << "31 March is inside the month";
}

TEST_F(LocalQuery, FloatAndIntegerParameters)
{
    TADOIBQuery query("qryCusto");
    query.SQL().SetText("SELECT NMPRATO FROM CARDAPIO\nWHERE VRCUSTO > :P_MIN AND LENGTH(CDFILIAL) = :P_LEN\n"
                        "ORDER BY VRCUSTO");
    EXPECT_EQ(query.SQL().Count(), 3);
    query.ParamByName("P_MIN").SetAsFloat(0.5);
    query.ParamByName("P_LEN").SetAsInteger(4);
    query.Open();
    EXPECT_EQ(column(query, "NMPRATO"),
              (std::vector<std::string>{"Feijão carioca", "Frango assado", "Peixe grelhado"}));
}

TEST_F(LocalQuery, ReopenRunsTheQueryAgainAndOpenWhileOpenDoesNothing)
{
    TADOIBQuery query("qryReabre");
    query.SQL().Add("SELECT COUNT(*) AS QTD FROM CARDAPIO WHERE CDFILIAL = :F");
    query.ParamByName("F").SetAsString("0001");
    query.Open();
    EXPECT_EQ(query.FieldByName("QTD")->AsInteger(), 4);

    suiteDb.conn().exec("INSERT INTO CARDAPIO VALUES ('0001', '0003', '2026-03-04', 'Sopa', 1.0)");
    query.Open();
    EXPECT_EQ(query.FieldByName("QTD")->AsInteger(), 4) << "already open";
    query.Close();
    query.Open();
    EXPECT_EQ(query.FieldByName("QTD")->AsInteger(), 5);
}

TEST_F(LocalQuery, ValuesSurviveAChangeOfTheSqlForNamesThatRemain)
{
    TADOIBQuery query("qryTroca");
    query.SQL().Add("SELECT NMPRATO FROM CARDAPIO WHERE CDFILIAL = :F AND CDCARDAPIO = :C");
    query.ParamByName("F").SetAsString("0002");
    query.ParamByName("C").SetAsString("0001");
    query.SQL().Clear();
    query.SQL().Add("SELECT NMPRATO FROM CARDAPIO WHERE CDFILIAL = :F");
    EXPECT_EQ(query.ParamNames(), std::vector<std::string>{"F"});
    EXPECT_THROW(query.ParamByName("C"), EHostError);
    query.Open();
    EXPECT_EQ(column(query, "NMPRATO"), std::vector<std::string>{"Arroz integral"});
}

TEST_F(LocalQuery, ColonsInTextAndCommentsAreNotParameters)
{
    TADOIBQuery query("qryTexto");
    query.SQL().Add("SELECT 'hora: 10:30' AS T, NMPRATO -- :NAO_E_PARAMETRO");
    query.SQL().Add("FROM CARDAPIO /* :TAMPOUCO */ WHERE CDFILIAL = :F AND NMPRATO <> 'a '':x'");
    EXPECT_EQ(query.ParamNames(), std::vector<std::string>{"F"});
    query.ParamByName("F").SetAsString("0002");
    query.Open();
    EXPECT_EQ(query.FieldByName("T")->AsString(), "hora: 10:30");
}

TEST_F(LocalQuery, ParameterWithoutValueIsAnErrorNamingIt)
{
    TADOIBQuery query("qryFalta");
    query.SQL().Add("SELECT NMPRATO FROM CARDAPIO WHERE CDFILIAL = :F AND CDCARDAPIO = :P_CDCARDAPIO");
    query.ParamByName("F").SetAsString("0001");
    try {
        query.Open();
        FAIL() << "no exception";
    } catch (const EHostError &e) {
        EXPECT_STREQ(e.what(), "Parâmetro 'P_CDCARDAPIO' sem valor na consulta qryFalta");
    }
    EXPECT_FALSE(query.Active());

    // An explicit Null is a value: it binds SQL NULL and matches nothing.
    query.ParamByName("P_CDCARDAPIO").SetValue(Variant());
    query.Open();
    EXPECT_TRUE(query.Active());
    EXPECT_EQ(query.GetRecordCount(), 0);
}

TEST_F(LocalQuery, UnknownParameterEmptySqlAndBadStatementAreClearErrors)
{
    TADOIBQuery query("qryErro");
    EXPECT_THROW(query.Open(), EHostError) << "no SQL";
    query.SQL().Add("SELECT NMPRATO FROM TABELA_QUE_NAO_EXISTE WHERE X = :X");
    try {
        query.ParamByName("Y");
        FAIL() << "no exception";
    } catch (const EHostError &e) {
        EXPECT_STREQ(e.what(), "Parâmetro 'Y' não encontrado na consulta qryErro");
    }
    query.ParamByName("X").SetAsInteger(1);
    try {
        query.Open();
        FAIL() << "no exception";
    } catch (const EHostError &e) {
        EXPECT_EQ(std::string(e.what()).rfind("Erro na consulta qryErro: ", 0), 0u) << e.what();
    }
}

TEST_F(LocalQuery, SetConnectionUsesAnotherDatabase)
{
    hosttest::TempSuiteDb other; // now the shared database
    other.conn().exec("DELETE FROM CARDAPIO");
    TADOIBQuery query("qryOutra");
    query.SQL().Add("SELECT COUNT(*) AS QTD FROM CARDAPIO");
    query.Open();
    EXPECT_EQ(query.FieldByName("QTD")->AsInteger(), 0);
    query.Close();
    query.SetConnection(&suiteDb.conn());
    query.Open();
    EXPECT_EQ(query.FieldByName("QTD")->AsInteger(), 5);
}

TEST_F(LocalQuery, PreparedSqlWritesEveryParameterInUpperCase)
{
    TADOIBQuery query;
    query.SQL().Add("SELECT 1 WHERE :a = :A OR :b_1 = 'x:y'");
    EXPECT_EQ(query.PreparedSQL(), "SELECT 1 WHERE :A = :A OR :B_1 = 'x:y'");
}

} // namespace
