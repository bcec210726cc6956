// The host services over the real neighbours: the demo suite database (schema and generator of
// the database library) and a real application-server connection over loopback.

#include "platform/database/demodata.h"
#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/localcache.h"
#include "platform/hostlib/localquery.h"
#include "platform/hostlib/routines.h"
#include "platform/hostlib/settings.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/suite/costparamsdialog.h"
#include "platform/toolkit/data/datetime.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QWidget>

#include <QComboBox>
#include <QDateEdit>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace host;

namespace {

class DemoDatabase : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        path = dir->filePath("demo.db").toStdString();
        auto connection = db::Connection::open(path);
        db::createSchema(*connection);
        db::DemoOptions options;
        db::generateDemoData(*connection, options);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        Settings settings = GetSettings();
        settings.dbPath = path;
        SetSettings(settings);
    }
    void TearDown() override
    {
        ClearLocalCache();
        Settings settings = GetSettings();
        settings.dbPath.clear();
        SetSettings(settings);
    }

    static QTemporaryDir *dir;
    static std::string path;
};

QTemporaryDir *DemoDatabase::dir = nullptr;
std::string DemoDatabase::path;

TEST_F(DemoDatabase, ProcessingDateOfTheDemoBranch)
{
    EXPECT_EQ(DataProc("0001"), tk::EncodeDate(2026, 3, 16));
    EXPECT_THROW(DataProc("9999"), EHostError);
}

TEST_F(DemoDatabase, ServiceNameQueryOfTheWindow)
{
    TADOIBQuery qryServico("qryServico");
    for (const char *line : {"SELECT", "   NMSERVICO", "FROM ", "   SERVICO", "WHERE",
                             "   CDFILIAL   = :P_CDFILIAL   AND", "   CDSERVFILI = :P_CDSERVFILI", " "})
        qryServico.SQL().Add(line);
    qryServico.ParamByName("P_CDFILIAL").SetAsString("0001");
    qryServico.ParamByName("P_CDSERVFILI").SetAsString("001");
    qryServico.Open();
    ASSERT_EQ(qryServico.GetRecordCount(), 1);
    EXPECT_FALSE(EmptyString(qryServico.FieldByName("NMSERVICO")->AsString()));
}

TEST_F(DemoDatabase, SeasonalBandsReachTheLocalCache)
{
    AtualizaLocalCache(tk::Variant::array({"SINASAFRA"}));
    const tk::DataPacket *bands = LocalCacheTable("SINASAFRA");
    ASSERT_NE(bands, nullptr);
    EXPECT_GE(bands->rowCount(), 3u);
}

TEST_F(DemoDatabase, ParameterDialogOffersTheDemoBranchesAndServices)
{
    suite::CostParamsDialog dialog;
    ASSERT_GE(dialog.cbxFilial->findData("0001"), 0);
    ASSERT_GE(dialog.cbxFiliCust->findData("0002"), 0);
    dialog.cbxFilial->setCurrentIndex(dialog.cbxFilial->findData("0001"));
    EXPECT_GE(dialog.cbxServico->findData("001"), 0);
    EXPECT_EQ(dialog.Validate(), "");
    EXPECT_EQ(dialog.cbxTipoCusto->itemText(dialog.cbxTipoCusto->findData(44)), "44 - Cotação média");
    EXPECT_EQ(dialog.dteReferencia->date(), QDate(2026, 3, 16)) << "the demo branch's processing date";
    EXPECT_EQ(dialog.EmptyMonthMessage(), "") << "the demo month has its menus";
    dialog.dteReferencia->setDate(QDate(2026, 6, 1));
    EXPECT_NE(dialog.EmptyMonthMessage().find("Não há cardápio planejado para 06/2026"), std::string::npos);
}

TEST(BusyPainting, TheIndicatorAnimatesWhileARemoteCallWaits)
{
    wire::RpcServer::Options options;
    wire::RpcServer server(options);
    server.registerMethod("Lento", [](const tk::VariantArray &) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        return tk::Variant("pronto");
    });
    const uint16_t port = server.start();

    tk::TNetConnection netCustoServ("netCustoServ");
    netCustoServ.Port = port;
    netCustoServ.TimeoutMs = 10000;
    AttachBusyPainting(netCustoServ);

    QWidget form;
    form.resize(400, 300);
    form.show();
    ActiveShowAvi(&form, 6, "Calculando custos do cardápio...");
    const int before = ShowAviFrame();
    EXPECT_EQ(netCustoServ.Call("Lento", {}), tk::Variant("pronto"));
    const int after = ShowAviFrame();
    DeactiveShowAvi();
    server.stop();
    // 500 ms at one frame every 80 ms: a frozen window would show no new frame at all.
    EXPECT_GE(after - before, 2) << "frames drawn while the call waited";
}

} // namespace
