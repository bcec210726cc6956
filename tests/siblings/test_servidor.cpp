// KPV49700 and KPV40212 against the real application server: a demo database in a temporary
// folder, the cost methods served over a real socket, and the modules' own calls.

#include "modalcloser.h"

#include "platform/appserver/costmethods.h"
#include "platform/database/demodata.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/siblings/kpv40212/frmorigemcusto.h"
#include "platform/siblings/kpv40212/historico.h"
#include "platform/siblings/kpv49700/relatorio.h"
#include "platform/toolkit/data/datetime.h"

#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

class ServidorReal : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir();
        ASSERT_TRUE(dir->isValid());
        dbPath = dir->filePath(QStringLiteral("suite.db")).toStdString();
        {
            auto connection = db::Connection::open(dbPath);
            db::createSchema(*connection);
            db::DemoOptions options; // small kitchen, March 2026
            db::generateDemoData(*connection, options);
        }
        server = new wire::RpcServer(wire::RpcServer::Options{});
        service = appsrv::registerCostMethods(*server, dbPath);
        port = server->start();
        saved = host::GetSettings();
    }
    static void TearDownTestSuite()
    {
        host::UnloadModules();
        host::SetSettings(saved);
        delete server;
        service.reset();
        delete dir;
    }
    void SetUp() override
    {
        host::Settings settings = saved;
        settings.serverHost = "127.0.0.1";
        settings.serverPort = port;
        settings.operatorName = "Teste";
        host::SetSettings(settings);
    }

    static tk::Variant args(const std::string &selector)
    {
        return tk::Variant::array({"0001", "001", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                                   tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 18)), false,
                                   tk::Variant(selector)});
    }

    // A work set of the month, as the cost window creates it at its first activation.
    static std::string workSet()
    {
        tk::TNetConnection connection;
        connection.Port = port;
        const tk::Variant result = connection.Call(
            "GetTrabCusto", {"0001", "001", tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                             tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), 6, "Teste", false,
                             tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)), "", true});
        return result[0].asString();
    }

    static QTemporaryDir *dir;
    static std::string dbPath;
    static wire::RpcServer *server;
    static std::shared_ptr<appsrv::CostService> service;
    static uint16_t port;
    static host::Settings saved;
};

QTemporaryDir *ServidorReal::dir = nullptr;
std::string ServidorReal::dbPath;
wire::RpcServer *ServidorReal::server = nullptr;
std::shared_ptr<appsrv::CostService> ServidorReal::service;
uint16_t ServidorReal::port = 0;
host::Settings ServidorReal::saved;

// With the cost branch as the array's added last element the report lists what the window's page
// lists for that branch, not the analysis branch's own list.
TEST_F(ServidorReal, ZeroCostListingFollowsTheCostBranch)
{
    tk::VariantArray items = args("0").items();
    items.push_back("0002");
    const tk::DataPacket rows = kpv49700::FetchListing(tk::Variant(items));
    const tk::Variant direct = service->call(
        "GetProdCustZero", {"0002", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)), "0001", "001",
                            tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                            tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), false});
    EXPECT_EQ(rows, direct.packet());
}

TEST_F(ServidorReal, ZeroCostListingIsTheServersAnswerForTheMonth)
{
    const tk::DataPacket rows = kpv49700::FetchListing(args("0"));
    ASSERT_GT(rows.rowCount(), 0u) << "the demo kitchen has products without price";
    const tk::Variant direct = service->call(
        "GetProdCustZero", {"", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)), "0001", "001",
                            tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                            tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), false});
    EXPECT_EQ(rows, direct.packet());
    const int day = rows.fieldIndex("DTCARDAPIO");
    std::set<std::string> names;
    for (const auto &row : rows.rows) {
        EXPECT_EQ(tk::MonthOf(row[size_t(day)].asDateTime()), 3);
        names.insert(row[size_t(rows.fieldIndex("NMPRODUTO"))].asString());
    }
    EXPECT_TRUE(names.count("Cheiro-verde") || names.count("Coentro") || names.count("Hortelã"));

    // The report draws every product of the listing.
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("custozero.pdf"));
    const auto result
        = kpv49700::WriteReportPdf(rows, kpv49700::HeaderFor(kpv49700::ParseArgs(args("0"))), pdf);
    EXPECT_EQ(result.lines.size(), rows.rowCount());
}

TEST_F(ServidorReal, OutdatedQuoteListingReadsTheWindowsWorkSet)
{
    const std::string key = workSet();
    ASSERT_EQ(key.size(), 10u) << key;
    const tk::DataPacket rows = kpv49700::FetchListing(args("1" + key));
    ASSERT_GT(rows.rowCount(), 0u) << "the demo kitchen has quotes that end before the month does";
    // The window's own connection reads the same rows: the report shares the window's session.
    tk::TNetConnection window;
    window.Port = port;
    const tk::Variant direct = window.Call(
        "GetProdCotDesatu", {tk::Variant(key), "0001", "", "001", 6,
                             tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                             tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)),
                             tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)), false});
    EXPECT_EQ(rows, direct.packet());
    const std::vector<QStringList> lines
        = kpv49700::ReportLines(rows, kpv49700::Listagem::CotacaoDesatualizada);
    ASSERT_EQ(lines.size(), rows.rowCount());
    EXPECT_FALSE(lines[0].at(4).isEmpty()) << "unit cost";
    EXPECT_FALSE(lines[0].at(5).isEmpty()) << "quote period start";
}

TEST_F(ServidorReal, ServerErrorsReachTheCallerWithTheirText)
{
    try {
        kpv49700::FetchListing(args("1XXXXXXXXXX"));
        ADD_FAILURE() << "an unknown work set gave a listing";
    } catch (const tk::ERemoteError &e) {
        EXPECT_NE(std::string(e.what()).find("GetProdCotDesatu"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("não encontrado"), std::string::npos) << e.what();
    }

    // Nobody listens on the port of a stopped server.
    wire::RpcServer stopped(wire::RpcServer::Options{});
    const uint16_t freePort = stopped.start();
    stopped.stop();
    host::Settings settings = host::GetSettings();
    settings.serverPort = freePort;
    host::SetSettings(settings);
    try {
        kpv49700::FetchListing(args("0"));
        ADD_FAILURE() << "no server, yet a listing";
    } catch (const tk::ENetError &e) {
        EXPECT_NE(std::string(e.what()).find("Falha de comunicação com o servidor"), std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find(std::to_string(freePort)), std::string::npos) << e.what();
    }
}

// The module as the cost window starts it: IniProc fetches the listing and opens the preview.
TEST_F(ServidorReal, ReportModuleRunsThroughLoadBPL)
{
    const size_t expected = kpv49700::FetchListing(args("0")).rowCount();
    size_t shown = 0;
    QString title;
    ModalCloser closer([&](QWidget *w) {
        title = w->windowTitle();
        if (auto *report = qobject_cast<kpv49700::TfrmRelProdutos *>(w))
            shown = report->Rows().rowCount();
    });
    host::LoadBPL("KPV49700", args("0"));
    EXPECT_TRUE(closer.Closed());
    EXPECT_EQ(title.toStdString(), "Relatório de Produtos - Produtos com Custo Zero");
    EXPECT_EQ(shown, expected);
}

// The origin viewer takes the server's own cdsOrigemCusto packet.
TEST_F(ServidorReal, OriginWindowShowsTheServersPacket)
{
    const tk::DataPacket rows = kpv49700::FetchListing(args("1" + workSet()));
    ASSERT_GT(rows.rowCount(), 0u);
    const std::string product = rows.rows[0][size_t(rows.fieldIndex("CDPRODUTO"))].asString();
    const std::string name = rows.rows[0][size_t(rows.fieldIndex("NMPRODUTO"))].asString();

    tk::TNetConnection connection;
    connection.Port = port;
    const tk::Variant packet = host::CheckResultServ(
        connection.Call("GetOrigemCusto", {"0001", tk::Variant(product), 6,
                                           tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 25))}),
        true, 0);
    const auto w = kpv40212::CreateOriginWindow(tk::Variant::array({packet, "0001", tk::Variant(product)}));
    EXPECT_EQ(w->edtCdProduto->text().toStdString(), product);
    EXPECT_EQ(w->edtNmProduto->text().toStdString(), name);
    EXPECT_FALSE(w->edtRazaoSocial->text().isEmpty());
    EXPECT_EQ(w->edtOrigem->text().toStdString(), "C - Cotação de fornecedor");
    EXPECT_EQ(w->edtDtIniVal->text().size(), 10);
    EXPECT_EQ(w->Historico, nullptr) << "no history without the branch, cost type and price date";

    // With them, the viewer shows the product's quote rows of the 12 months up to the price date, a
    // line per supplier, the one in force marked.
    const auto h = kpv40212::CreateOriginWindow(tk::Variant::array(
        {packet, "0001", tk::Variant(product), "0001", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 25))}));
    ASSERT_NE(h->Historico, nullptr) << (h->lblHistorico ? h->lblHistorico->text().toStdString() : "");
    auto db = db::Connection::open(dbPath);
    const tk::DataPacket quotes = db->query(
        "SELECT COUNT(*), COUNT(DISTINCT CDFORNECED) FROM COTACAO WHERE CDFILIAL = '0001' AND CDTIPOCUSTO = 6 "
        "AND CDPRODUTO = :P AND DTINIVALITM <= '2026-03-25' AND DTFINVALITM >= '2025-03-26'",
        {{"P", product}});
    EXPECT_EQ(h->Historico->Table()->rowCount(), quotes.rows[0][0].asInteger());
    EXPECT_EQ(static_cast<int64_t>(h->Historico->Suppliers().size()), quotes.rows[0][1].asInteger());
    EXPECT_EQ(h->Historico->InForce()->count(), 1);
    EXPECT_TRUE(h->Historico->Summary()->text().startsWith(QStringLiteral("Mínimo ")))
        << h->Historico->Summary()->text().toStdString();
    EXPECT_TRUE(h->Historico->Threshold()->name().endsWith(QStringLiteral("25/03/2026")));
}

// A product without quotes in the 12 months: an empty table and chart, and the summary says so.
TEST_F(ServidorReal, PriceHistoryOfAProductWithoutQuotes)
{
    tk::DataPacket empty;
    for (const char *field : {"CDFORNECED", "IDTPIJURFORN", "NRINSJURFORN", "NMRAZSOCFORN", "CDPRODUTO", "CDARVPROD",
                              "NMPRODUTO", "NMMARCA", "IDORIGEM"})
        empty.addField(field, tk::FieldType::String, 50);
    empty.addField("DTINIVALITM", tk::FieldType::DateTime);
    empty.addField("DTFINVALITM", tk::FieldType::DateTime);
    const auto h = kpv40212::CreateOriginWindow(tk::Variant::array(
        {tk::Variant(empty), "0001", "NAOEXISTE", "0001", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 25))}));
    ASSERT_NE(h->Historico, nullptr);
    EXPECT_EQ(h->Historico->Table()->rowCount(), 0);
    EXPECT_TRUE(h->Historico->Suppliers().empty());
    EXPECT_EQ(h->Historico->Summary()->text(), QStringLiteral("Nenhum preço nos últimos 12 meses."));
}

} // namespace
