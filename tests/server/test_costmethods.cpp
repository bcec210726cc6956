// Cost semantics of every method on the tiny hand-computed kitchen (see fixture.h), called on the
// service directly; the same methods over a socket are in test_server_socket.cpp.

#include "fixture.h"

#include "platform/appserver/cleanup.h"
#include "platform/appserver/costmethods.h"
#include "platform/appserver/insightmethods.h"
#include "platform/appserver/workset.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

using namespace servertest;

namespace {

class TinyKitchen : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        auto c = db::Connection::open(file.path());
        buildTinyKitchen(*c, idComCusPerc());
        appsrv::CostServiceOptions options;
        options.log = [this](const std::string &line) { log.push_back(line); };
        service = std::make_unique<appsrv::CostService>(file.path(), options);
    }
    virtual std::string idComCusPerc() const { return "T"; }
    tk::Variant call(const std::string &method, const tk::VariantArray &args) { return service->call(method, args); }

    // The log line of the reference that a user's text ends with; empty when there is none.
    std::string logOf(const std::string &userText) const
    {
        const std::string marker = "(referência ";
        const size_t at = userText.rfind(marker);
        if (at == std::string::npos)
            return {};
        const std::string reference = userText.substr(at + marker.size(), 8);
        for (const std::string &line : log)
            if (line.rfind("erro " + reference + " ", 0) == 0)
                return line;
        return {};
    }

    bool pg() const { return GetParam() == Backend::Postgres; }
    TempDb file{"tiny", GetParam()};
    std::vector<std::string> log;
    std::unique_ptr<appsrv::CostService> service;
};
INSTANTIATE_TEST_SUITE_P(Backends, TinyKitchen, ::testing::ValuesIn(backends()), backendName);

// Daily table of March: 2nd and 3rd have menus; every other day is present with zeros.
TEST_P(TinyKitchen, DailyTableFromMenusConsumptionAndIndirectCosts)
{
    const tk::Variant result = call("GetTrabCusto", trabCustoArgs());
    ASSERT_EQ(result.size(), 3u);
    const std::string key = result[0].asString();
    EXPECT_EQ(key.size(), 10u) << key;
    const tk::DataPacket &daily = result[1].packet();
    ASSERT_EQ(daily.rows.size(), 31u);

    struct Row { int day; double mat, cons, rat, comes, clie, acu, consAcu, matAcu, medio, comesAcu; };
    const Row expected[] = {
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        // D1: P1 8 kg x 5.00 = 40, P3 no price = 0; D2: P2 RoundDec(0.18 x 50) = 9 kg x 12.00 (outdated) = 108.
        // Consumption (day type 2): C1 2 x 100 x 0.02 = 4, C2 10 x 8.00 = 80. Indirect: 2 x 100 + 100.
        {2, 148, 84, 300, 100, 90, 532, 84, 148, 5.32, 100},
        // Holiday: day type 8, C1 1 x 40 x 0.02 = 0.8, C2 5 x 8 = 40; D1: 3.2 kg x 5 = 16; energy 120 from the 3rd.
        {3, 16, 40.8, 200, 40, 36, 788.8, 124.8, 164, 5.63429, 140},
        {4, 0, 0, 0, 0, 0, 788.8, 124.8, 164, 5.63429, 140},
    };
    for (const Row &r : expected) {
        SCOPED_TRACE(r.day);
        const size_t i = static_cast<size_t>(r.day - 1);
        EXPECT_EQ(cell(daily, i, "DTDATA"), D(2026, 3, r.day));
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTPRODMAT"), r.mat);
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTOCONS"), r.cons);
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTORAT"), r.rat);
        EXPECT_DOUBLE_EQ(num(daily, i, "QTCOMESTICAR"), r.comes);
        EXPECT_DOUBLE_EQ(num(daily, i, "QTCLIESTICAR"), r.clie);
        EXPECT_NEAR(num(daily, i, "VRCUSTOACU"), r.acu, 1e-9);
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTOCONSACU"), r.consAcu);
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTMATACU"), r.matAcu);
        EXPECT_DOUBLE_EQ(num(daily, i, "VRCUSTOMEDIO"), r.medio);
        EXPECT_DOUBLE_EQ(num(daily, i, "QTCOMESACU"), r.comesAcu);
    }
    // Only the 2nd uses an outdated quote (Frango, priced from February).
    const tk::DataPacket &outdated = result[2].packet();
    ASSERT_EQ(outdated.rows.size(), 1u);
    EXPECT_EQ(outdated.rows[0][0], D(2026, 3, 2));
}

TEST_P(TinyKitchen, FixedPriceDateChangesThePricesButNotTheDays)
{
    // Priced at 15 February: P1 4.80 and P2 12.00 are both covering quotes; C1 and C2 have none yet.
    const tk::Variant result = call("GetTrabCusto", trabCustoArgs(true, D(2026, 2, 15)));
    const tk::DataPacket &daily = result[1].packet();
    EXPECT_DOUBLE_EQ(num(daily, 1, "VRCUSTPRODMAT"), tk::RoundDec(8 * 4.8 + 108, 5));
    EXPECT_DOUBLE_EQ(num(daily, 1, "VRCUSTOCONS"), 0);
    EXPECT_DOUBLE_EQ(num(daily, 2, "VRCUSTPRODMAT"), tk::RoundDec(3.2 * 4.8, 5));
    EXPECT_TRUE(result[2].packet().rows.empty());
}

TEST_P(TinyKitchen, IngredientsOfTheDayWithPreviousAndOutdatedPrices)
{
    const tk::Variant result = call("GetProduto", {"0001", "001", D(2026, 3, 2), 44, false, D(2026, 3, 2),
                                                   D(2026, 3, 1), "0002"});
    const tk::DataPacket &p = result.packet();
    ASSERT_EQ(p.rows.size(), 3u);
    struct Row { const char *dish, *product; double custo, anterior, bruta, rece; const char *desatu; };
    const Row expected[] = {
        {"D1", "P1", 5.0, 4.8, 0.08, 0.08, "N"},
        {"D1", "P3", 0.0, 0.0, 0.01, 0.01, "N"},
        {"D2", "P2", 12.0, 0.0, 0.18, 0.15, "S"},
    };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(str(p, i, "CDPRATO"), expected[i].dish);
        EXPECT_EQ(str(p, i, "CDPRODUTO"), expected[i].product);
        EXPECT_DOUBLE_EQ(num(p, i, "CustoProd"), expected[i].custo);
        EXPECT_DOUBLE_EQ(num(p, i, "CUSTOPRODANT"), expected[i].anterior);
        EXPECT_DOUBLE_EQ(num(p, i, "QTDEBRUTA"), expected[i].bruta);
        EXPECT_DOUBLE_EQ(num(p, i, "QTDERECE"), expected[i].rece);
        EXPECT_EQ(str(p, i, "IDCUSTODESATU"), expected[i].desatu);
        EXPECT_EQ(str(p, i, "CDDIETPAD"), "0001");
        EXPECT_EQ(str(p, i, "CDFILAUXPRAT"), "0001");
        EXPECT_EQ(cell(p, i, "DTCARDAPIO"), D(2026, 3, 2));
    }
    // Without a cost branch the prices of the branch itself are used: it has none.
    const tk::DataPacket own = call("GetProduto", {"0001", "001", D(2026, 3, 2), 44, false, D(2026, 3, 2),
                                                   D(2026, 3, 1), ""}).packet();
    ASSERT_EQ(own.rows.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(num(own, i, "CustoProd"), 0.0);
    // A day without a menu has no ingredients.
    EXPECT_TRUE(call("GetProduto", {"0001", "001", D(2026, 3, 5), 44, false, D(2026, 3, 5), D(2026, 3, 1), "0002"})
                    .packet().rows.empty());
}

// A dish's ingredients come by product name, then code, each with its own name, unit and season
// calendar; a recipe line whose product is not in the catalogue is left out.
TEST_P(TinyKitchen, IngredientsByNameThenCodeWithTheirCatalogueData)
{
    {
        auto c = db::Connection::open(file.path());
        // Foreign keys off, so that a line can name a product the catalogue lacks.
        c->exec(pg() ? "SET session_replication_role = replica" : "PRAGMA foreign_keys = OFF");
        c->exec("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO, SGUNIDADE, IDINTESAFR) VALUES "
                "('P0', '1', 'Arroz', 'SC', '333333333333'), ('P9', '1', 'Abacate', 'UN', NULL), "
                "('Q1', '1', 'arroz', 'KG', '111111111111');"
                "INSERT INTO PRATOPROD (CDFILAUXPRAT, CDPRATO, CDPRODUTO, SGUNIDPROD, QTPRODUTO, QTDERECE, VRFATCOR, "
                "VRFATCOC) VALUES ('0001', 'D1', 'P0', 'SC', 1, 0.02, 1, 1), ('0001', 'D1', 'P9', 'UN', 1, 0.03, 1, 1), "
                "('0001', 'D1', 'Q1', 'KG', 1, 0.04, 1, 1), ('0001', 'D1', 'PX', 'KG', 1, 0.05, 1, 1);");
    }
    const tk::DataPacket p = call("GetProduto", {"0001", "001", D(2026, 3, 2), 44, false, D(2026, 3, 2),
                                                 D(2026, 3, 1), "0002"}).packet();
    struct Row { const char *dish, *product, *name, *unit, *season; double rece; };
    const Row expected[] = {
        {"D1", "P9", "Abacate", "UN", "", 0.03},
        {"D1", "P0", "Arroz", "SC", "333333333333", 0.02},
        {"D1", "P1", "Arroz", "KG", "111111111111", 0.08},
        {"D1", "P3", "Salsa", "MC", "113111111111", 0.01},
        {"D1", "Q1", "arroz", "KG", "111111111111", 0.04}, // bytes order: lower case after upper case
        {"D2", "P2", "Frango", "KG", "111111111111", 0.15},
    };
    ASSERT_EQ(p.rows.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(str(p, i, "CDPRATO"), expected[i].dish);
        EXPECT_EQ(str(p, i, "CDPRODUTO"), expected[i].product);
        EXPECT_EQ(str(p, i, "NMPRODUTO"), expected[i].name);
        EXPECT_EQ(str(p, i, "SGUNIDADE"), expected[i].unit);
        EXPECT_EQ(str(p, i, "SGUNIDPROD"), expected[i].unit);
        EXPECT_EQ(str(p, i, "IDINTESAFR"), expected[i].season);
        EXPECT_DOUBLE_EQ(num(p, i, "QTDERECE"), expected[i].rece);
    }
}

TEST_P(TinyKitchen, MenuOfTheMonthWithDinersOfEachDish)
{
    const tk::DataPacket p = call("GetCardapio", {"0001", "001", D(2026, 3, 1)}).packet();
    ASSERT_EQ(p.rows.size(), 3u);
    struct Row { int day; const char *dish; double share, comens, cont, comes; };
    const Row expected[] = {{2, "D1", 100, 100, 2, 100}, {2, "D2", 50, 50, 1, 100}, {3, "D1", 100, 40, 2, 40}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cell(p, i, "DTCARDAPIO"), D(2026, 3, expected[i].day));
        EXPECT_EQ(str(p, i, "CDPRATO"), expected[i].dish);
        EXPECT_DOUBLE_EQ(num(p, i, "VRPECONSCARD"), expected[i].share);
        EXPECT_DOUBLE_EQ(num(p, i, "COMENSPRATO"), expected[i].comens);
        EXPECT_DOUBLE_EQ(num(p, i, "CONT"), expected[i].cont);
        EXPECT_DOUBLE_EQ(num(p, i, "QTCOMESTICAR"), expected[i].comes);
    }
    EXPECT_EQ(str(p, 0, "NMPRATO"), "Arroz branco");
    // Another month has no menu.
    EXPECT_TRUE(call("GetCardapio", {"0001", "001", D(2026, 4, 1)}).packet().rows.empty());
}

TEST_P(TinyKitchen, ConsumptionOfTheDayByDayType)
{
    struct Case { int day; const char *type; size_t types, items; double diners; };
    const Case cases[] = {
        {2, "2", 2, 2, 100},  // per-capita and fixed items of a Monday
        {3, "8", 2, 2, 40},   // the holiday's items
        {3, "3", 1, 1, 40},   // asked as an ordinary Tuesday: only the fixed item of that day type
        {5, "5", 0, 0, 0},    // no menu that day: no consumption
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.day);
        const tk::Variant r = call("GetConsServ", {"0001", "001", D(2026, 3, c.day), 44, c.type, D(2026, 3, c.day), "0002"});
        ASSERT_EQ(r.size(), 3u);
        EXPECT_EQ(r[0].packet().rows.size(), c.types);
        EXPECT_EQ(r[1].packet().rows.size(), c.items);
        ASSERT_EQ(r[2].packet().rows.size(), 1u);
        EXPECT_DOUBLE_EQ(num(r[2].packet(), 0, "QTCOMESTICAR"), c.diners);
    }
    const tk::Variant r = call("GetConsServ", {"0001", "001", D(2026, 3, 2), 44, "2", D(2026, 3, 2), "0002"});
    const tk::DataPacket &types = r[0].packet();
    EXPECT_EQ(str(types, 0, "TPCONS"), "P");
    EXPECT_EQ(str(types, 0, "NMTIPOPRAT"), "Per Capita");
    EXPECT_EQ(str(types, 1, "TPCONS"), "F");
    EXPECT_DOUBLE_EQ(num(types, 1, "VRCUSTPADRTP"), 0.9);
    const tk::DataPacket &items = r[1].packet();
    EXPECT_EQ(str(items, 0, "IDCONSUMO"), "P");
    EXPECT_EQ(str(items, 0, "CDPRODUTO"), "C1");
    EXPECT_DOUBLE_EQ(num(items, 0, "QTCONSSERV"), 2);
    EXPECT_DOUBLE_EQ(num(items, 0, "CustoUnit"), 0.02);
    EXPECT_EQ(str(items, 1, "CDPRODUTO"), "C2");
    EXPECT_DOUBLE_EQ(num(items, 1, "CustoUnit"), 8.0);
    EXPECT_EQ(str(items, 1, "IDCUSTODESATU"), "N");
}

TEST_P(TinyKitchen, RealizedDaysOnlyWhereThereAreWithdrawals)
{
    const tk::VariantArray args{"0001", "001", D(2026, 3, 1), 1, false, D(2026, 3, 1), "0002"};
    const tk::DataPacket days = call("GetRealizado", args).packet();
    ASSERT_EQ(days.rows.size(), 3u); // 1, 2 and 4 March; the 3rd has no withdrawal
    struct Row { int day; double comes, clie, qt, custo, acum, comensAcu, medio; };
    const Row expected[] = {
        {1, 50, 45, 7, 5 * 4.0 + 2 * 10.0, 40, 50, 0.8},
        {2, 95, 80, 8.5, 8.5 * 4.5, 78.25, 145, 0.53966},
        {4, 0, 0, 1.5, 15, 93.25, 145, 0.6431}, // no effective diners recorded
    };
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].day);
        EXPECT_EQ(cell(days, i, "DTCARDAPIO"), D(2026, 3, expected[i].day));
        EXPECT_DOUBLE_EQ(num(days, i, "QTCOMEFETCAR"), expected[i].comes);
        EXPECT_DOUBLE_EQ(num(days, i, "QTCLIEFETCAR"), expected[i].clie);
        EXPECT_DOUBLE_EQ(num(days, i, "QTRETIRADA"), expected[i].qt);
        EXPECT_DOUBLE_EQ(num(days, i, "CUSTO"), expected[i].custo);
        EXPECT_DOUBLE_EQ(num(days, i, "CUSTOACUM"), expected[i].acum);
        EXPECT_DOUBLE_EQ(num(days, i, "QTCOMENSACU"), expected[i].comensAcu);
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTOMEDIO"), expected[i].medio);
    }
    // Items: the two withdrawals of P1 on the 1st are one item; the price follows the withdrawal date.
    const tk::DataPacket items = call("GetItemReti", args).packet();
    ASSERT_EQ(items.rows.size(), 4u);
    EXPECT_EQ(str(items, 0, "CDPRODUTO"), "P1");
    EXPECT_DOUBLE_EQ(num(items, 0, "QTRETIRADA"), 5);
    EXPECT_DOUBLE_EQ(num(items, 0, "CustoUnit"), 4.0);
    EXPECT_DOUBLE_EQ(num(items, 0, "QTCOMEFETCAR"), 50);
    EXPECT_EQ(str(items, 2, "CDPRODUTO"), "P1");
    EXPECT_DOUBLE_EQ(num(items, 2, "CustoUnit"), 4.5);
    // Every day's cost is the sum of its items' quantity x unit cost, as the client shows them.
    for (size_t d = 0; d < days.rows.size(); ++d) {
        double sum = 0;
        for (size_t i = 0; i < items.rows.size(); ++i) {
            if (cell(items, i, "DTCARDAPIO") == cell(days, d, "DTCARDAPIO"))
                sum += num(items, i, "QTRETIRADA") * num(items, i, "CustoUnit");
        }
        EXPECT_DOUBLE_EQ(tk::RoundDec(sum, 5), num(days, d, "CUSTO"));
    }
}

TEST_P(TinyKitchen, ZeroCostProductsOfTheMenus)
{
    const tk::DataPacket p = call("GetProdCustZero", {"0002", 44, D(2026, 3, 1), "0001", "001", D(2026, 3, 1),
                                                      D(2026, 3, 31), false}).packet();
    ASSERT_EQ(p.rows.size(), 2u);
    EXPECT_EQ(str(p, 0, "CDPRODUTO"), "P3");
    EXPECT_EQ(str(p, 0, "NMPRODUTO"), "Salsa");
    EXPECT_EQ(str(p, 0, "CDARVPROD"), "106010003");
    EXPECT_EQ(cell(p, 0, "DTCARDAPIO"), D(2026, 3, 2));
    EXPECT_DOUBLE_EQ(num(p, 0, "QTDEBRUTA"), 1.0);
    EXPECT_DOUBLE_EQ(num(p, 0, "CUSTOPROD"), 0.0);
    EXPECT_EQ(cell(p, 1, "DTCARDAPIO"), D(2026, 3, 3));
    EXPECT_DOUBLE_EQ(num(p, 1, "QTDEBRUTA"), 0.4);
    // At the branch itself nothing has a price: every menu product of both days.
    EXPECT_EQ(call("GetProdCustZero", {"", 44, D(2026, 3, 1), "0001", "001", D(2026, 3, 1), D(2026, 3, 31), false})
                  .packet().rows.size(), 5u);
}

// Cost confidence: on 2 March the chicken (108 of the day's raw material) comes from a February quote;
// the parsley has a March quote of 0, so it counts at its February price of 3.00 (1 bunch on the 2nd,
// 0.4 on the 3rd) and the shares are of the raw material with that estimate added.
TEST_P(TinyKitchen, CostConfidenceFromOutdatedAndEstimatedIngredients)
{
    auto c = db::Connection::open(file.path());
    c->exec("INSERT INTO COTACAO VALUES ('0002', 44, 'P3', 'S1', '2026-02-01', '2026-02-28', 3.00, NULL);"
            "INSERT INTO COTACAO VALUES ('0002', 44, 'P3', 'S1', '2026-03-01', '2026-03-31', 0.00, NULL);");
    appsrv::addInsightMethods(*service);
    const tk::Variant result = call("GetConfiancaCusto", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, false,
                                                         D(2026, 3, 1), "0002"});
    ASSERT_EQ(result.size(), 3u);
    const tk::DataPacket &days = result[0].packet();
    ASSERT_EQ(days.rows.size(), 31u);
    struct Row { int day; double mat, desatu, estim, qtDesatu, qtSemCusto, pcDesatu, pcSemCusto, confianca; };
    for (const Row &r : {Row{2, 148, 108, 3, 1, 1, 71.52, 1.99, 26.49}, Row{3, 16, 0, 1.2, 0, 1, 0, 6.98, 93.02}}) {
        SCOPED_TRACE(r.day);
        const size_t i = static_cast<size_t>(r.day - 1);
        EXPECT_EQ(cell(days, i, "DTDATA"), D(2026, 3, r.day));
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTPRODMAT"), r.mat);
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTDESATU"), r.desatu);
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTESTIM"), r.estim);
        EXPECT_DOUBLE_EQ(num(days, i, "QTPRODDESATU"), r.qtDesatu);
        EXPECT_DOUBLE_EQ(num(days, i, "QTPRODSEMCUSTO"), r.qtSemCusto);
        EXPECT_DOUBLE_EQ(num(days, i, "PCDESATU"), r.pcDesatu);
        EXPECT_DOUBLE_EQ(num(days, i, "PCSEMCUSTO"), r.pcSemCusto);
        EXPECT_DOUBLE_EQ(num(days, i, "PCCONFIANCA"), r.confianca);
    }
    // A day without a menu rests on nothing: no confidence at all rather than a made-up 100.
    EXPECT_TRUE(cell(days, 0, "PCCONFIANCA").isNull());

    // The ingredients behind the shares, heaviest first within the day.
    const tk::DataPacket &products = result[1].packet();
    ASSERT_EQ(products.rows.size(), 3u);
    EXPECT_EQ(str(products, 0, "NMPRODUTO"), "Frango");
    EXPECT_EQ(str(products, 0, "IDMOTIVO"), "D");
    EXPECT_DOUBLE_EQ(num(products, 0, "PCCUSTO"), 71.52);
    EXPECT_EQ(str(products, 1, "NMPRODUTO"), "Salsa");
    EXPECT_EQ(str(products, 1, "IDMOTIVO"), "E");
    EXPECT_DOUBLE_EQ(num(products, 1, "VRCUSTO"), 3);
    EXPECT_EQ(cell(products, 2, "DTDATA"), D(2026, 3, 3));

    // The month: 108 outdated and 4.2 estimated of 164 + 4.2.
    const tk::DataPacket &month = result[2].packet();
    ASSERT_EQ(month.rows.size(), 1u);
    EXPECT_DOUBLE_EQ(num(month, 0, "VRCUSTPRODMAT"), 164);
    EXPECT_DOUBLE_EQ(num(month, 0, "PCDESATU"), 64.21);
    EXPECT_DOUBLE_EQ(num(month, 0, "PCSEMCUSTO"), 2.5);
    EXPECT_DOUBLE_EQ(num(month, 0, "PCCONFIANCA"), 33.29);
    EXPECT_DOUBLE_EQ(num(month, 0, "QTPRODDESATU"), 1);
    EXPECT_DOUBLE_EQ(num(month, 0, "QTPRODSEMCUSTO"), 1);

    // The daily table it sits beside costs the same raw material.
    const tk::DataPacket daily = call("GetTrabCusto", trabCustoArgs())[1].packet();
    for (size_t i = 0; i < daily.rows.size(); ++i)
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTPRODMAT"), num(daily, i, "VRCUSTPRODMAT")) << i;

    EXPECT_THROW(call("GetConfiancaCusto", {"0001", "001", D(2026, 3, 31), D(2026, 3, 1), 44, false, D(2026, 3, 1),
                                            "0002"}),
                 appsrv::UserError);
}

// The variance split by hand (realized at basis 1, processing date 16 March). 2 March: 100 planned
// diners, 95 realized; raw material 148 (1.48 a diner), consumption 84 and indirect costs 300; rice
// 8.5 kg withdrawn at 4.50 against 8 kg planned at 5.00, the chicken's 9 kg at 12.00 not withdrawn.
//   diners (95 - 100) x 1.48 = -7.4; price (4.50 - 5.00) x 8.5 = -4.25;
//   quantity (8.5 - 8 x 0.95) x 5 + (0 - 9 x 0.95) x 12 = 4.5 - 102.6 = -98.1; consumption and
//   indirect -384: -493.75 = 38.25 - 532.
// 1 March (no menu): rice 5 kg at 4.00 and chicken 2 kg at 10.00 are outside the menu, 40.
// 3 March (40 planned, nothing realized): diners -40 x 0.4 = -16, consumption and indirect -240.8.
// 4 March: the chicken's 1.5 kg at 10.00, outside the (empty) menu. Days from the 16th on are not split.
TEST_P(TinyKitchen, VarianceSplitOfPlannedAgainstRealized)
{
    appsrv::addInsightMethods(*service);
    const tk::Variant result = call("GetDecomposicaoVariacao", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44,
                                                               false, D(2026, 3, 1), "0002", 1, D(2026, 3, 16)});
    ASSERT_EQ(result.size(), 2u);
    const tk::DataPacket &days = result[0].packet();
    ASSERT_EQ(days.rows.size(), 15u) << "the days before the processing date";
    struct Row { int day; double plan, real, diff, diners, price, qty, off, indirect; };
    for (const Row &r : {Row{1, 0, 40, 40, 0, 0, 0, 40, 0}, Row{2, 532, 38.25, -493.75, -7.4, -4.25, -98.1, 0, -384},
                         Row{3, 256.8, 0, -256.8, -16, 0, 0, 0, -240.8}, Row{4, 0, 15, 15, 0, 0, 0, 15, 0},
                         Row{5, 0, 0, 0, 0, 0, 0, 0, 0}}) {
        SCOPED_TRACE(r.day);
        const size_t i = static_cast<size_t>(r.day - 1);
        EXPECT_EQ(cell(days, i, "DTDATA"), D(2026, 3, r.day));
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTOPLAN"), r.plan);
        EXPECT_DOUBLE_EQ(num(days, i, "VRCUSTOREAL"), r.real);
        EXPECT_DOUBLE_EQ(num(days, i, "VRDIFERENCA"), r.diff);
        EXPECT_DOUBLE_EQ(num(days, i, "VREFEITOCOMENS"), r.diners);
        EXPECT_DOUBLE_EQ(num(days, i, "VREFEITOPRECO"), r.price);
        EXPECT_DOUBLE_EQ(num(days, i, "VREFEITOQTDE"), r.qty);
        EXPECT_DOUBLE_EQ(num(days, i, "VRFORACARD"), r.off);
        EXPECT_DOUBLE_EQ(num(days, i, "VRCONSINDIR"), r.indirect);
        EXPECT_DOUBLE_EQ(num(days, i, "VRRESIDUO"), 0);
    }
    EXPECT_DOUBLE_EQ(num(days, 1, "QTCOMENSPLAN"), 100);
    EXPECT_DOUBLE_EQ(num(days, 1, "QTCOMENSREAL"), 95);
    const tk::DataPacket &month = result[1].packet();
    EXPECT_DOUBLE_EQ(num(month, 0, "VRDIFERENCA"), -695.55);
    EXPECT_DOUBLE_EQ(num(month, 0, "VRFORACARD"), 55);
    EXPECT_DOUBLE_EQ(num(month, 0, "VRCONSINDIR"), -624.8);

    // A processing date before the month splits nothing; a bad argument names itself.
    EXPECT_TRUE(call("GetDecomposicaoVariacao", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, false,
                                                 D(2026, 3, 1), "0002", 1, D(2026, 2, 1)})[0].packet().rows.empty());
    try {
        call("GetDecomposicaoVariacao", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, false, D(2026, 3, 1),
                                         "0002", "1", D(2026, 3, 16)});
        ADD_FAILURE() << "accepted a text cost type";
    } catch (const appsrv::UserError &e) {
        EXPECT_NE(std::string(e.what()).find("CdTipoCustoReal"), std::string::npos) << e.what();
    }
}

// Price history of a product against its quote rows: rice has one supplier (February and March, the
// March quote in force on 10 March); the chicken gets a second supplier here and its February quote
// is the outdated one in force; the parsley has no quote at all.
TEST_P(TinyKitchen, PriceHistoryWithOneSupplierTwoAndNone)
{
    auto c = db::Connection::open(file.path());
    c->exec("INSERT INTO COTACAO VALUES ('0002', 44, 'P2', 'S1', '2025-12-01', '2026-01-31', 11.00, 'Marca C');"
            "INSERT INTO COTACAO VALUES ('0002', 44, 'P2', 'S1', '2025-01-01', '2025-02-28', 9.00, NULL);");
    appsrv::addInsightMethods(*service);
    auto history = [&](const char *product) { return call("GetHistoricoPreco", {"0002", product, 44, D(2026, 3, 10)}); };

    const tk::Variant rice = history("P1");
    const tk::DataPacket &riceRows = rice[0].packet();
    ASSERT_EQ(riceRows.rows.size(), 2u);
    EXPECT_EQ(str(riceRows, 0, "NMRAZSOCFORN"), "Fornecedor Um Ltda");
    EXPECT_EQ(cell(riceRows, 0, "DTINIVALITM"), D(2026, 2, 1));
    EXPECT_DOUBLE_EQ(num(riceRows, 0, "VRPRECO"), 4.80);
    EXPECT_EQ(str(riceRows, 0, "IDVIGENTE"), "N");
    EXPECT_EQ(str(riceRows, 1, "IDVIGENTE"), "S");
    EXPECT_EQ(str(riceRows, 1, "IDDESATU"), "N");
    const tk::DataPacket &riceSummary = rice[1].packet();
    EXPECT_DOUBLE_EQ(num(riceSummary, 0, "VRMINIMO"), 4.80);
    EXPECT_DOUBLE_EQ(num(riceSummary, 0, "VRMAXIMO"), 5.00);
    EXPECT_DOUBLE_EQ(num(riceSummary, 0, "VRULTIMO"), 5.00);
    EXPECT_EQ(cell(riceSummary, 0, "DTINICIO"), D(2025, 3, 11));
    EXPECT_EQ(cell(riceSummary, 0, "DTLIMITE"), D(2026, 3, 10));

    // Two suppliers, by supplier then start; the quote of January 2025 ended before the 12 months.
    const tk::Variant chicken = history("P2");
    const tk::DataPacket &chickenRows = chicken[0].packet();
    ASSERT_EQ(chickenRows.rows.size(), 2u);
    EXPECT_EQ(str(chickenRows, 0, "CDFORNECED"), "S1");
    EXPECT_EQ(str(chickenRows, 0, "NMMARCA"), "Marca C");
    EXPECT_EQ(str(chickenRows, 1, "CDFORNECED"), "S2");
    EXPECT_EQ(str(chickenRows, 1, "IDVIGENTE"), "S");
    EXPECT_EQ(str(chickenRows, 1, "IDDESATU"), "S") << "the February quote ended before 10 March";
    EXPECT_DOUBLE_EQ(num(chicken[1].packet(), 0, "VRMINIMO"), 11.00);
    EXPECT_DOUBLE_EQ(num(chicken[1].packet(), 0, "VRMAXIMO"), 12.00);
    EXPECT_DOUBLE_EQ(num(chicken[1].packet(), 0, "VRULTIMO"), 12.00);
    EXPECT_EQ(cell(chicken[1].packet(), 0, "DTULTIMO"), D(2026, 2, 1));

    const tk::Variant parsley = history("P3");
    EXPECT_TRUE(parsley[0].packet().rows.empty());
    EXPECT_TRUE(cell(parsley[1].packet(), 0, "VRULTIMO").isNull());
    EXPECT_EQ(cell(parsley[1].packet(), 0, "DTLIMITE"), D(2026, 3, 10));
}

TEST_P(TinyKitchen, StandardCostAndPlannedDiners)
{
    struct Case { int month; double expected; size_t rows; };
    for (const Case &c : {Case{3, 5.5, 1}, Case{4, 6.0, 1}, Case{2, 5.0, 1}}) {
        const tk::DataPacket p = call("GetCustoPadrao", {"0001", "001", D(2026, c.month, 1)}).packet();
        ASSERT_EQ(p.rows.size(), c.rows);
        EXPECT_DOUBLE_EQ(num(p, 0, "VRCUSTPADR"), c.expected) << c.month;
    }
    EXPECT_TRUE(call("GetCustoPadrao", {"0001", "001", D(2025, 12, 1)}).packet().rows.empty());
    const tk::Variant diners = call("GetComensPlan", {"0001", "001", D(2026, 3, 1)});
    EXPECT_EQ(diners, tk::Variant::array({true, "", 140.0}));
    EXPECT_EQ(call("GetComensPlan", {"0001", "001", D(2026, 4, 1)}), tk::Variant::array({true, "", 0.0}));
}

class TinyKitchenClients : public TinyKitchen
{
    std::string idComCusPerc() const override { return "C"; }
};
INSTANTIATE_TEST_SUITE_P(Backends, TinyKitchenClients, ::testing::ValuesIn(backends()), backendName);

TEST_P(TinyKitchenClients, ClientsOnlyCountWhereTheBranchSaysSo)
{
    EXPECT_EQ(call("GetComensPlan", {"0001", "001", D(2026, 3, 1)}), tk::Variant::array({true, "", 126.0}));
    const tk::DataPacket daily = call("GetTrabCusto", trabCustoArgs())[1].packet();
    EXPECT_DOUBLE_EQ(num(daily, 2, "QTCOMESACU"), 126);
    EXPECT_DOUBLE_EQ(num(daily, 2, "VRCUSTOMEDIO"), tk::RoundDec(788.8 / 126, 5));
    const tk::DataPacket params = call("GetParams", {"0001"})[0].packet();
    EXPECT_EQ(str(params, 0, "IDCOMCUSPERC"), "C");
}

TEST_P(TinyKitchen, CostOriginOfQuotesAndCostRows)
{
    const tk::Variant quote = call("GetOrigemCusto", {"0002", "P1", 44, D(2026, 3, 5)});
    ASSERT_EQ(quote.size(), 3u);
    ASSERT_EQ(quote[0], tk::Variant(true)) << quote[1].toDisplayString();
    const tk::DataPacket &q = quote[2].packet();
    ASSERT_EQ(q.rows.size(), 1u);
    EXPECT_EQ(str(q, 0, "CDFORNECED"), "S1");
    EXPECT_EQ(str(q, 0, "NMRAZSOCFORN"), "Fornecedor Um Ltda");
    EXPECT_EQ(str(q, 0, "NRINSJURFORN"), "11.111.111/0001-11");
    EXPECT_EQ(str(q, 0, "IDTPIJURFORN"), "J");
    EXPECT_EQ(str(q, 0, "NMMARCA"), "Marca A");
    EXPECT_EQ(str(q, 0, "CDARVPROD"), "101010001");
    EXPECT_EQ(cell(q, 0, "DTINIVALITM"), D(2026, 3, 1));
    EXPECT_EQ(cell(q, 0, "DTFINVALITM"), D(2026, 3, 31));
    EXPECT_EQ(str(q, 0, "IDORIGEM"), "C");

    // The outdated quote behind Frango's March price.
    const tk::Variant outdated = call("GetOrigemCusto", {"0002", "P2", 44, D(2026, 3, 5)});
    const tk::DataPacket &o = outdated[2].packet();
    EXPECT_EQ(cell(o, 0, "DTFINVALITM"), D(2026, 2, 28));

    // A cost row: open-ended, no supplier on P2.
    const tk::Variant row = call("GetOrigemCusto", {"0002", "P1", 1, D(2026, 3, 5)});
    const tk::DataPacket &r = row[2].packet();
    EXPECT_EQ(cell(r, 0, "DTINIVALITM"), D(2026, 3, 2));
    EXPECT_TRUE(cell(r, 0, "DTFINVALITM").isNull());
    EXPECT_EQ(str(r, 0, "IDORIGEM"), "P");
    EXPECT_TRUE(cell(call("GetOrigemCusto", {"0002", "P2", 1, D(2026, 3, 5)})[2].packet(), 0, "CDFORNECED").isNull());

    // Failures travel inside the checked result.
    // A rule of the data is told as it is; a bad call gets a short text and a reference whose log
    // line holds the detail.
    struct Fail { tk::VariantArray args; const char *text; const char *logged; };
    const Fail fails[] = {
        {{"0002", "P3", 44, D(2026, 3, 5)}, "Produto 'P3' sem custo do tipo 44 na filial '0002' em 05/03/2026", ""},
        {{"0002", "XX", 44, D(2026, 3, 5)}, "Produto 'XX' não encontrado", ""},
        {{"0002", "P1", "44", D(2026, 3, 5)}, "argumento 3 (CdTipoCusto) inválido (referência ",
         "GetOrigemCusto: argument 3 (CdTipoCusto) must be an integer, got string"},
        {{"0002", "P1"}, "número de argumentos errado: esperados 4, recebidos 2 (referência ",
         "GetOrigemCusto: expected 4 arguments, got 2"},
    };
    for (const Fail &f : fails) {
        const tk::Variant v = call("GetOrigemCusto", f.args);
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0], tk::Variant(false));
        const std::string text = v[1].asString();
        EXPECT_EQ(text.rfind(f.text, 0), 0u) << text;
        const std::string line = logOf(text);
        EXPECT_EQ(line.empty(), *f.logged == 0) << line;
        EXPECT_NE(line.find(f.logged), std::string::npos) << line;
        EXPECT_TRUE(v[2].isNull());
    }
}

// A database failure: the user reads a short text with a reference, never SQL; the log line of that
// reference holds the statement and the database's own words.
TEST_P(TinyKitchen, DatabaseFailuresReachTheUserAsAReference)
{
    db::Connection::open(file.path())->exec("DROP TABLE CUSTPADR");
    try {
        call("GetCustoPadrao", {"0001", "001", D(2026, 3, 1)});
        ADD_FAILURE() << "no error";
    } catch (const appsrv::UserError &e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Falha no banco de dados (referência ", 0), 0u) << text;
        EXPECT_EQ(text.find("SELECT"), std::string::npos) << text;
        EXPECT_EQ(text.find("GetCustoPadrao"), std::string::npos) << text;
        const std::string line = logOf(text);
        EXPECT_NE(line.find("GetCustoPadrao: "), std::string::npos) << line;
        EXPECT_NE(line.find("CUSTPADR"), std::string::npos) << line;
    }
    // Two failures, two references.
    std::string first, second;
    for (std::string *text : {&first, &second}) {
        try {
            call("GetCustoPadrao", {"0001", "001", D(2026, 3, 1)});
        } catch (const appsrv::UserError &e) {
            *text = e.what();
        }
    }
    EXPECT_NE(first, second);
}

TEST_P(TinyKitchen, WorkSetLife)
{
    const tk::Variant created = call("GetTrabCusto", trabCustoArgs());
    const std::string key = created[0].asString();
    ASSERT_EQ(key.size(), 10u);
    const tk::VariantArray readArgs{key, "0001", "0002", "001", 44, D(2026, 3, 1), D(2026, 3, 31), D(2026, 3, 1), false};

    // The outdated quotes of the work set: Frango on the 2nd, with the quote's period.
    const tk::DataPacket p = call("GetProdCotDesatu", readArgs).packet();
    ASSERT_EQ(p.rows.size(), 1u);
    EXPECT_EQ(cell(p, 0, "DTCONSPLAN"), D(2026, 3, 2));
    EXPECT_EQ(str(p, 0, "CDPRODUTO"), "P2");
    EXPECT_EQ(str(p, 0, "NMPRODUTO"), "Frango");
    EXPECT_EQ(str(p, 0, "CDARVPROD"), "104010002");
    EXPECT_DOUBLE_EQ(num(p, 0, "QTCONSPLAN"), 9);
    EXPECT_DOUBLE_EQ(num(p, 0, "CUSTOPROD"), 12);
    EXPECT_EQ(cell(p, 0, "DTCUSTOSUP"), D(2026, 2, 1));
    EXPECT_EQ(cell(p, 0, "DTFINCUSTSUP"), D(2026, 2, 28));

    // Only what is read back is stored: the one outdated price of the month, not its eight other rows.
    {
        auto c = db::Connection::open(file.path());
        const tk::DataPacket rows = c->query("SELECT DTCONSPLAN, CDPRODUTO, QTCONSPLAN FROM CONSPLAN WHERE CDCHAVETRAB = "
                                             ":K ORDER BY DTCONSPLAN, CDPRODUTO", {{"K", key}});
        ASSERT_EQ(rows.rows.size(), 1u);
        EXPECT_EQ(rows.rows[0][1], tk::Variant("P2"));
        EXPECT_EQ(rows.rows[0][2], tk::Variant(9.0));
    }

    // Another branch cannot use or delete the key.
    tk::VariantArray otherBranch = readArgs;
    otherBranch[1] = "0002";
    EXPECT_THROW(call("GetProdCotDesatu", otherBranch), tk::Exception);
    EXPECT_NE(call("DelConsplan", {key, "0002"}).asString(), "");

    EXPECT_EQ(call("DelConsplan", {key, "0001"}), tk::Variant(""));
    // Deleted: unknown from now on, and its rows are gone.
    try {
        call("GetProdCotDesatu", readArgs);
        ADD_FAILURE() << "read a deleted work set";
    } catch (const tk::Exception &e) {
        EXPECT_NE(std::string(e.what()).find("não encontrado"), std::string::npos);
    }
    const std::string again = call("DelConsplan", {key, "0001"}).asString();
    EXPECT_NE(again.find(key), std::string::npos);
    EXPECT_NE(again.size(), 10u);
    EXPECT_EQ(call("DelConsplan", {"", "0001"}), tk::Variant("")); // a window whose first load failed
    auto c = db::Connection::open(file.path());
    EXPECT_EQ(c->query("SELECT COUNT(*) AS N FROM CONSPLAN").rows[0][0], tk::Variant(0));

    // Without the write flag no work set is made and the key is empty.
    tk::VariantArray noWrite = trabCustoArgs();
    noWrite[9] = false;
    EXPECT_EQ(call("GetTrabCusto", noWrite)[0], tk::Variant(""));
    EXPECT_EQ(c->query("SELECT COUNT(*) AS N FROM TRABCUSTO").rows[0][0], tk::Variant(0));
}

TEST_P(TinyKitchen, StaleWorkSetsAreRemoved)
{
    const std::string old1 = call("GetTrabCusto", trabCustoArgs())[0].asString();
    const std::string old2 = call("GetTrabCusto", trabCustoArgs())[0].asString();
    EXPECT_NE(old1, old2);
    const tk::TDateTime now = appsrv::nowDateTime();
    // Nothing is stale yet.
    EXPECT_EQ(service->cleanupStaleWorkSets(now), 0);
    // Half a day later both are older than the default age (12 h) ...
    auto c = db::Connection::open(file.path());
    EXPECT_EQ(c->execute("UPDATE TRABCUSTO SET DTCRIACAO = :T WHERE CDCHAVETRAB = :K",
                         {{"T", tk::DateTimeToIso(now - 0.6)}, {"K", old1}}), 1);
    EXPECT_EQ(service->cleanupStaleWorkSets(now), 1);
    EXPECT_EQ(c->query("SELECT CDCHAVETRAB FROM TRABCUSTO").rows.size(), 1u);
    EXPECT_EQ(c->query("SELECT COUNT(*) AS N FROM CONSPLAN WHERE CDCHAVETRAB = :K", {{"K", old1}}).rows[0][0],
              tk::Variant(0));
    EXPECT_NE(call("DelConsplan", {old1, "0001"}).asString(), "");
    // A set unused for longer than its lease (default 10 min) goes too, however young.
    EXPECT_EQ(c->execute("UPDATE TRABCUSTO SET DTUSO = :T WHERE CDCHAVETRAB = :K",
                         {{"T", tk::DateTimeToIso(now - 601.0 / 86400)}, {"K", old2}}), 1);
    EXPECT_EQ(service->cleanupStaleWorkSets(now), 1);
    EXPECT_NE(call("DelConsplan", {old2, "0001"}).asString(), "");

    // SQLite: the file gives the pages of removed sets back.
    if (pg())
        return;
    EXPECT_EQ(c->query("PRAGMA auto_vacuum").rows.at(0).at(0).asInteger(), 2); // incremental
    const std::string big = call("GetTrabCusto", trabCustoArgs())[0].asString();
    {
        db::Transaction tx(*c, db::TxMode::Immediate);
        for (int i = 0; i < 5000; ++i)
            c->execute("INSERT INTO CONSPLAN VALUES (:K, '2026-03-02', :P, 1, 1, NULL, NULL, 'S')",
                       {{"K", big}, {"P", "X" + std::to_string(i)}});
        tx.commit();
    }
    const auto pages = [&] { return c->query("PRAGMA page_count").rows.at(0).at(0).asInteger(); };
    const int filled = pages();
    c->execute("UPDATE TRABCUSTO SET DTCRIACAO = '2020-01-01 00:00:00'", {});
    EXPECT_EQ(service->cleanupStaleWorkSets(now), 1);
    EXPECT_LT(pages(), filled - 20);
    EXPECT_EQ(c->query("PRAGMA freelist_count").rows.at(0).at(0).asInteger(), 0);
}

// A database made before work sets had an owner and a lease gains both columns when a server starts,
// and its old sets get a lease from their creation; a second server starting on it changes nothing.
TEST_P(TinyKitchen, OlderDatabasesGainTheOwnerAndLeaseColumns)
{
    const std::string key = call("GetTrabCusto", trabCustoArgs())[0].asString();
    auto c = db::Connection::open(file.path());
    c->exec("DROP INDEX TRABCUSTO_USO; DROP INDEX TRABCUSTO_SESSAO; ALTER TABLE TRABCUSTO DROP COLUMN DTUSO; "
            "ALTER TABLE TRABCUSTO DROP COLUMN CDSESSAO");
    const auto reopened = std::make_shared<appsrv::CostService>(file.path());
    appsrv::CostService second(file.path());
    EXPECT_EQ(c->query("SELECT COUNT(*) AS N FROM TRABCUSTO WHERE CDSESSAO = '' AND DTUSO = DTCRIACAO").rows[0][0],
              tk::Variant(1));
    EXPECT_FALSE(reopened->call("GetProdCotDesatu", {key, "0001", "0002", "001", 44, D(2026, 3, 1), D(2026, 3, 31),
                                                     D(2026, 3, 1), false}).packet().rows.empty());
    EXPECT_EQ(reopened->call("DelConsplan", {key, "0001"}), tk::Variant(""));
}

TEST_P(TinyKitchen, CleanerThreadRemovesStaleSetsAndStops)
{
    appsrv::CostServiceOptions options;
    options.workSetMaxAgeSeconds = 1;
    auto shortLived = std::make_shared<appsrv::CostService>(file.path(), options);
    const std::string key = shortLived->call("GetTrabCusto", trabCustoArgs())[0].asString();
    auto c = db::Connection::open(file.path());
    c->execute("UPDATE TRABCUSTO SET DTCRIACAO = '2020-01-01 00:00:00'", {});
    {
        appsrv::WorkSetCleaner cleaner(shortLived, std::chrono::milliseconds(20));
        for (int i = 0; i < 250 && !c->query("SELECT CDCHAVETRAB FROM TRABCUSTO").rows.empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } // the destructor stops the thread at once
    EXPECT_TRUE(c->query("SELECT CDCHAVETRAB FROM TRABCUSTO").rows.empty()) << key;
}

TEST_P(TinyKitchen, WorkSetWriteFailureIsTheKeySlotText)
{
    // A trigger makes the work-set write fail the way a full disk would.
    auto c = db::Connection::open(file.path());
    if (pg())
        c->exec("CREATE FUNCTION NO_WRITES() RETURNS trigger AS $$ BEGIN RAISE EXCEPTION 'disco cheio'; END $$ "
                "LANGUAGE plpgsql; CREATE TRIGGER NO_WRITES BEFORE INSERT ON TRABCUSTO FOR EACH ROW "
                "EXECUTE FUNCTION NO_WRITES()");
    else
        c->exec("CREATE TRIGGER NO_WRITES BEFORE INSERT ON TRABCUSTO BEGIN SELECT RAISE(ABORT, 'disco cheio'); END");
    const tk::Variant r = call("GetTrabCusto", trabCustoArgs());
    const std::string text = r[0].asString();
    EXPECT_NE(text.size(), 10u);
    EXPECT_EQ(text.rfind("Erro ao gravar o conjunto de trabalho: Falha no banco de dados (referência ", 0), 0u)
        << text;
    // The database's own words are in the log, under the reference the user sees.
    EXPECT_NE(logOf(text).find("disco cheio [INSERT INTO TRABCUSTO"), std::string::npos) << logOf(text);
    // The daily table still arrives.
    EXPECT_EQ(r[1].packet().rows.size(), 31u);
    EXPECT_EQ(c->query("SELECT COUNT(*) AS N FROM CONSPLAN").rows[0][0], tk::Variant(0));
}

class CostServiceStart : public ::testing::TestWithParam<Backend>
{
};
INSTANTIATE_TEST_SUITE_P(Backends, CostServiceStart, ::testing::ValuesIn(backends()), backendName);

TEST_P(CostServiceStart, RefusesMissingOrForeignDatabases)
{
    TempDb missing("absent", GetParam(), false);
    EXPECT_THROW(appsrv::CostService{missing.path()}, db::SqlError);
    TempDb empty("foreign", GetParam());
    db::Connection::open(empty.path())->exec("CREATE TABLE X (A INTEGER)");
    try {
        appsrv::CostService service{empty.path()};
        ADD_FAILURE() << "started";
    } catch (const db::SqlError &e) {
        EXPECT_NE(std::string(e.what()).find("holds no suite schema"), std::string::npos) << e.what();
    }
    if (GetParam() != Backend::Sqlite)
        return;
    // An empty file and a file of something else are refused without a byte written to them.
    struct Foreign { const char *tag; std::string content; const char *error; };
    for (const Foreign &f : {Foreign{"zero", "", "the file is empty"},
                             Foreign{"text", "nome;valor\n1;2\n", "not an SQLite database"},
                             Foreign{"short", "SQLite", "not an SQLite database"}}) {
        SCOPED_TRACE(f.tag);
        TempDb file(f.tag);
        std::ofstream(file.path(), std::ios::binary) << f.content;
        try {
            appsrv::CostService service(file.path());
            ADD_FAILURE() << "accepted";
        } catch (const db::SqlError &e) {
            EXPECT_NE(std::string(e.what()).find(f.error), std::string::npos) << e.what();
        }
        std::ifstream in(file.path(), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), f.content);
        EXPECT_FALSE(std::filesystem::exists(file.path() + "-wal"));
    }
}

} // namespace
