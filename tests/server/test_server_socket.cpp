// The server over a real loopback socket against generated demo databases: every method's packet shape,
// figures that agree across methods as the client recomputes them, work-set life, bad arguments,
// several clients at once, and the appserver executable itself.

#include "fixture.h"

#include "platform/appserver/costmethods.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <thread>

using namespace servertest;

namespace {

// One generated small demo database and one in-process server for the whole suite.
class DemoServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        file = new TempDb("demo");
        {
            auto c = db::Connection::open(file->path());
            db::createSchema(*c);
            db::generateDemoData(*c, db::DemoOptions{});
        }
        server = new wire::RpcServer(wire::RpcServer::Options{});
        service = new std::shared_ptr<appsrv::CostService>(appsrv::registerCostMethods(*server, file->path()));
        port = server->start();
    }
    static void TearDownTestSuite()
    {
        server->stop();
        delete server;
        delete service;
        delete file;
    }
    void SetUp() override
    {
        net.Port = port;
        net.TimeoutMs = 20000;
    }
    tk::Variant call(const std::string &method, const tk::VariantArray &args) { return net.Call(method, args); }

    // The daily table and key of the demo window: 0001/001, basis 44, cost branch 0002, March 2026.
    tk::Variant trabCusto(bool write = true)
    {
        return call("GetTrabCusto", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, "Operador de teste", false,
                                     D(2026, 3, 1), "0002", write});
    }

    static TempDb *file;
    static wire::RpcServer *server;
    static std::shared_ptr<appsrv::CostService> *service;
    static uint16_t port;
    tk::TNetConnection net{"netCustoServ"};
};

TempDb *DemoServer::file = nullptr;
wire::RpcServer *DemoServer::server = nullptr;
std::shared_ptr<appsrv::CostService> *DemoServer::service = nullptr;
uint16_t DemoServer::port = 0;

struct ExpectedField
{
    const char *name;
    tk::FieldType type;
    int size;
};

constexpr auto S = tk::FieldType::String;
constexpr auto X = tk::FieldType::FixedString;
constexpr auto F = tk::FieldType::Float;
constexpr auto T = tk::FieldType::DateTime;

// The packet carries the declared fields with their types and sizes, and every value fits its field.
void expectShape(const tk::DataPacket &p, const std::vector<ExpectedField> &expected, const char *dataset)
{
    SCOPED_TRACE(dataset);
    for (const ExpectedField &f : expected) {
        const int i = p.fieldIndex(f.name);
        ASSERT_GE(i, 0) << "missing field " << f.name;
        const tk::PacketField &field = p.fields[static_cast<size_t>(i)];
        EXPECT_EQ(field.name, f.name) << "field names are exact, mixed case included";
        EXPECT_EQ(field.type, f.type) << f.name;
        if (f.type == S || f.type == X) {
            EXPECT_EQ(field.size, f.size) << f.name;
        }
    }
    for (const auto &row : p.rows) {
        ASSERT_EQ(row.size(), p.fields.size());
        for (size_t c = 0; c < row.size(); ++c) {
            const tk::Variant &v = row[c];
            if (v.isNull())
                continue;
            const tk::PacketField &field = p.fields[c];
            switch (field.type) {
            case S:
            case X:
                ASSERT_EQ(v.type(), tk::VarType::String) << field.name;
                EXPECT_LE(tk::Utf8Length(v.asString()), static_cast<size_t>(field.size)) << field.name << ": " << v.asString();
                break;
            case F: EXPECT_EQ(v.type(), tk::VarType::Double) << field.name; break;
            case T: EXPECT_EQ(v.type(), tk::VarType::DateTime) << field.name; break;
            default: break;
            }
        }
    }
}

TEST_F(DemoServer, EveryMethodCarriesTheFieldsItsDatasetDeclares)
{
    const tk::Variant params = call("GetParams", {"0001"});
    ASSERT_EQ(params.size(), 2u);
    expectShape(params[0].packet(), {{"IDCOMCUSPERC", S, 1}}, "qryParamFilial");
    expectShape(params[1].packet(), {{"IDUTILFATCOR", S, 1}, {"IDUTILFATCOC", S, 1}, {"IDTIPCALCFAT", S, 1},
                                     {"NRCORSAFRA", F, 0}, {"NRCORINICSAF", F, 0}, {"NRCORENTRSAF", F, 0}},
                "qryParamPlaneja");
    EXPECT_EQ(params[0].packet().rows.size(), 1u);
    EXPECT_EQ(params[1].packet().rows.size(), 1u);

    const tk::Variant trab = trabCusto();
    ASSERT_EQ(trab.size(), 3u);
    EXPECT_EQ(trab[0].asString().size(), 10u);
    expectShape(trab[1].packet(), {{"DTDATA", T, 0}, {"VRCUSTPRODMAT", F, 0}, {"VRCUSTOCONS", F, 0},
                                   {"VRCUSTORAT", F, 0}, {"QTCOMESTICAR", F, 0}, {"QTCLIESTICAR", F, 0},
                                   {"VRCUSTOACU", F, 0}, {"VRCUSTOCONSACU", F, 0}, {"VRCUSTMATACU", F, 0},
                                   {"VRCUSTOMEDIO", F, 0}, {"QTCOMESACU", F, 0}},
                "qryTrabCusto");
    EXPECT_EQ(trab[1].packet().rows.size(), 31u);
    expectShape(trab[2].packet(), {{"DTDATA", T, 0}}, "cdsPreCotDesatu");
    EXPECT_FALSE(trab[2].packet().rows.empty()) << "the demo has outdated quotes";

    expectShape(call("GetCustoPadrao", {"0001", "001", D(2026, 3, 1)}).packet(), {{"VRCUSTPADR", F, 0}},
                "cdsCustoPadrao");
    const tk::Variant comens = call("GetComensPlan", {"0001", "001", D(2026, 3, 1)});
    ASSERT_EQ(comens.size(), 3u);
    EXPECT_EQ(comens[0], tk::Variant(true));
    EXPECT_EQ(comens[1], tk::Variant(""));
    EXPECT_EQ(comens[2].type(), tk::VarType::Double);
    EXPECT_GT(comens[2].asDouble(), 0);

    const tk::DataPacket cardapio = call("GetCardapio", {"0001", "001", D(2026, 3, 1)}).packet();
    expectShape(cardapio, {{"NMPRATO", S, 40}, {"CDFILIAL", S, 4}, {"CDPRATO", S, 10}, {"CDFILAUXPRAT", S, 4},
                           {"CDSERVFILI", S, 5}, {"DTCARDAPIO", T, 0}, {"CDDIETPAD", S, 4}, {"QTCOMESTICAR", F, 0},
                           {"QTCLIESTICAR", F, 0}, {"VRPECONSCARD", F, 0}, {"CONT", F, 0}, {"COMENSPRATO", F, 0}},
                "qryCardapio");
    EXPECT_GT(cardapio.rows.size(), 300u);

    const tk::DataPacket produto = call("GetProduto", {"0001", "001", D(2026, 3, 4), 44, false, D(2026, 3, 4),
                                                       D(2026, 3, 1), "0002"}).packet();
    expectShape(produto, {{"NMPRODUTO", S, 50}, {"SGUNIDPROD", S, 10}, {"CDPRATO", S, 10}, {"CDPRODUTO", S, 10},
                          {"QTPRODUTO", F, 0}, {"VRFATCOC", F, 0}, {"VRFATCOR", F, 0}, {"SGUNIDADE", S, 10},
                          {"IDINTESAFR", S, 12}, {"CDDIETPAD", S, 4}, {"QTDERECE", F, 0}, {"DTCARDAPIO", T, 0},
                          {"CUSTOPRODANT", F, 0}, {"CustoProd", F, 0}, {"QTDEBRUTA", F, 0}, {"CDFILAUXPRAT", S, 4},
                          {"IDCUSTODESATU", S, 4000}},
                "qryProduto");
    EXPECT_GT(produto.rows.size(), 60u);

    const tk::Variant cons = call("GetConsServ", {"0001", "001", D(2026, 3, 4), 44, "4", D(2026, 3, 4), "0002"});
    ASSERT_EQ(cons.size(), 3u);
    expectShape(cons[0].packet(), {{"TPCONS", X, 1}, {"CDTPRCONSFIX", S, 2}, {"NMTIPOPRAT", S, 15},
                                   {"VRCUSTPADRTP", F, 0}},
                "cdsConsumo");
    expectShape(cons[1].packet(), {{"IDCONSUMO", X, 1}, {"NMPRODUTO", S, 50}, {"SGUNIDADE", S, 10},
                                   {"QTCONSSERV", F, 0}, {"CustoUnit", F, 0}, {"CDPRODUTO", S, 10},
                                   {"IDCUSTODESATU", S, 4000}},
                "qryConsServ");
    expectShape(cons[2].packet(), {{"QTCOMESTICAR", F, 0}}, "cdsComens");
    EXPECT_EQ(cons[0].packet().rows.size(), 2u);

    const tk::VariantArray realArgs{"0001", "001", D(2026, 3, 1), 1, false, D(2026, 3, 1), "0002"};
    expectShape(call("GetRealizado", realArgs).packet(),
                {{"DTCARDAPIO", T, 0}, {"QTCOMEFETCAR", F, 0}, {"QTCLIEFETCAR", F, 0}, {"QTRETIRADA", F, 0},
                 {"CUSTO", F, 0}, {"CUSTOACUM", F, 0}, {"QTCOMENSACU", F, 0}, {"VRCUSTOMEDIO", F, 0}},
                "qryRealizado");
    expectShape(call("GetItemReti", realArgs).packet(),
                {{"NMPRODUTO", S, 50}, {"SGUNIDADE", S, 10}, {"CustoUnit", F, 0}, {"QTRETIRADA", F, 0},
                 {"QTCOMEFETCAR", F, 0}, {"QTCLIEFETCAR", F, 0}, {"CDPRODUTO", S, 10}, {"DTCARDAPIO", T, 0}},
                "qryItemReti");
    const tk::DataPacket zero = call("GetProdCustZero", {"0002", 44, D(2026, 3, 1), "0001", "001", D(2026, 3, 1),
                                                         D(2026, 3, 31), false}).packet();
    expectShape(zero, {{"CDARVPROD", S, 20}, {"CDPRODUTO", S, 10}, {"NMPRODUTO", S, 50}, {"DTCARDAPIO", T, 0},
                       {"CUSTOPROD", F, 0}, {"QTDEBRUTA", F, 0}},
                "cdsProdCustZero");
    EXPECT_FALSE(zero.rows.empty()) << "the demo has zero-cost products";
    const tk::DataPacket cot = call("GetProdCotDesatu", {trab[0], "0001", "0002", "001", 44, D(2026, 3, 1),
                                                         D(2026, 3, 31), D(2026, 3, 1), false}).packet();
    expectShape(cot, {{"DTCONSPLAN", T, 0}, {"CDARVPROD", S, 20}, {"CDPRODUTO", S, 10}, {"NMPRODUTO", S, 50},
                      {"QTCONSPLAN", F, 0}, {"CUSTOPROD", F, 0}, {"DTCUSTOSUP", T, 0}, {"DTFINCUSTSUP", T, 0}},
                "cdsProdCotDesatu");
    EXPECT_FALSE(cot.rows.empty());
    const tk::Variant origin = call("GetOrigemCusto", {"0002", produto.rows[0][3], 44, D(2026, 3, 4)});
    ASSERT_EQ(origin.size(), 3u);
    ASSERT_EQ(origin[0], tk::Variant(true)) << origin[1].toDisplayString();
    expectShape(origin[2].packet(), {{"CDFORNECED", S, 21}, {"IDTPIJURFORN", S, 1}, {"NRINSJURFORN", S, 20},
                                     {"NMRAZSOCFORN", S, 40}, {"CDPRODUTO", S, 10}, {"CDARVPROD", S, 20},
                                     {"NMPRODUTO", S, 50}, {"DTINIVALITM", T, 0}, {"DTFINVALITM", T, 0},
                                     {"NMMARCA", S, 20}, {"IDORIGEM", S, 1}},
                "cdsOrigemCusto");
    EXPECT_EQ(call("DelConsplan", {trab[0], "0001"}), tk::Variant(""));
}

// The daily table, the dishes and their ingredients, and the consumption page agree to the last digit when
// the client recomputes them with its own formulas.
TEST_F(DemoServer, DailyTableAgreesWithDishesAndConsumptionOfEveryDay)
{
    const tk::Variant trab = trabCusto(false);
    const tk::DataPacket &daily = trab[1].packet();
    std::set<int> outdatedDays;
    for (const auto &row : trab[2].packet().rows)
        outdatedDays.insert(static_cast<int>(row[0].asDateTime()));
    const tk::DataPacket cardapio = call("GetCardapio", {"0001", "001", D(2026, 3, 1)}).packet();
    auto holidays = db::Connection::open(file->path());

    int daysWithMenu = 0;
    std::set<int> seenOutdated;
    for (size_t d = 0; d < daily.rows.size(); ++d) {
        const tk::Variant day = cell(daily, d, "DTDATA");
        SCOPED_TRACE(tk::DateTimeToIso(day.asDateTime()));
        const tk::DataPacket produto = call("GetProduto", {"0001", "001", day, 44, false, day, D(2026, 3, 1), "0002"})
                                           .packet();
        double daySum = 0;
        for (size_t m = 0; m < cardapio.rows.size(); ++m) {
            if (cell(cardapio, m, "DTCARDAPIO") != day)
                continue;
            double custoPrato = 0;
            for (size_t i = 0; i < produto.rows.size(); ++i) {
                if (str(produto, i, "CDPRATO") != str(cardapio, m, "CDPRATO")
                    || str(produto, i, "CDFILAUXPRAT") != str(cardapio, m, "CDFILAUXPRAT"))
                    continue;
                EXPECT_EQ(str(produto, i, "CDDIETPAD"), str(cardapio, m, "CDDIETPAD"));
                const double qtdeTotal = tk::RoundDec(num(produto, i, "QTDEBRUTA") * num(cardapio, m, "COMENSPRATO"), 5);
                custoPrato += tk::RoundDec(num(produto, i, "CustoProd") * qtdeTotal, 5);
                if (str(produto, i, "IDCUSTODESATU") == "S")
                    seenOutdated.insert(static_cast<int>(day.asDateTime()));
            }
            daySum += custoPrato;
        }
        EXPECT_DOUBLE_EQ(tk::RoundDec(daySum, 5), num(daily, d, "VRCUSTPRODMAT"));

        // Consumption page: day type from the holiday query, as the window asks it.
        const bool holiday = holidays->query("SELECT COUNT(*) AS CTFERIFILI FROM FERIFILI WHERE CDFILIAL = :P_CDFILIAL "
                                             "AND DTFERIFILI = :P_DTFERIFILI",
                                             {{"P_CDFILIAL", "0001"}, {"P_DTFERIFILI", day}}).rows[0][0].asInteger() >= 1;
        const std::string dayType = holiday ? "8" : std::to_string(tk::DayOfWeek(day.asDateTime()));
        const tk::Variant cons = call("GetConsServ", {"0001", "001", day, 44, dayType, day, "0002"});
        const tk::DataPacket &types = cons[0].packet();
        const tk::DataPacket &items = cons[1].packet();
        const double diners = cons[2].packet().rows.empty() ? 0 : num(cons[2].packet(), 0, "QTCOMESTICAR");
        EXPECT_DOUBLE_EQ(diners, num(daily, d, "QTCOMESTICAR"));
        double consumption = 0;
        for (size_t t = 0; t < types.rows.size(); ++t) {
            double sum = 0;
            for (size_t i = 0; i < items.rows.size(); ++i) {
                if (str(items, i, "IDCONSUMO") != str(types, t, "TPCONS"))
                    continue;
                const double factor = str(items, i, "IDCONSUMO") == "P" ? diners : 1.0;
                const double qtdeTotal = tk::RoundDec(num(items, i, "QTCONSSERV") * factor, 5);
                sum += tk::RoundDec(num(items, i, "CustoUnit") * qtdeTotal, 5);
                if (str(items, i, "IDCUSTODESATU") == "S")
                    seenOutdated.insert(static_cast<int>(day.asDateTime()));
            }
            consumption += tk::RoundDec(sum, 5);
        }
        EXPECT_DOUBLE_EQ(tk::RoundDec(consumption, 5), num(daily, d, "VRCUSTOCONS"));
        if (num(daily, d, "QTCOMESTICAR") > 0) {
            ++daysWithMenu;
            EXPECT_GT(num(daily, d, "VRCUSTPRODMAT"), 0);
            EXPECT_GT(num(daily, d, "VRCUSTORAT"), 0);
        }
    }
    EXPECT_EQ(daysWithMenu, 31);
    // The days flagged outdated are exactly those on which a price used comes from an outdated quote.
    EXPECT_EQ(seenOutdated, outdatedDays);
}

TEST_F(DemoServer, DemoKitchenIsBelievable)
{
    const tk::DataPacket daily = trabCusto(false)[1].packet();
    // Fewer diners at weekends; the per-diner cost sits around the standard cost.
    const double monday = num(daily, 1, "QTCOMESTICAR");  // 2 March 2026
    const double sunday = num(daily, 0, "QTCOMESTICAR");  // 1 March 2026
    EXPECT_GT(monday, 1.8 * sunday);
    const double standard = num(call("GetCustoPadrao", {"0001", "001", D(2026, 3, 1)}).packet(), 0, "VRCUSTPADR");
    const double perDiner = num(daily, 30, "VRCUSTOMEDIO");
    EXPECT_GT(perDiner, 0.95 * standard);
    EXPECT_LT(perDiner, 1.05 * standard);
    // Colours mean something: the standard lies between the cheapest and the dearest day (all diners
    // count at branch 0001), and only two to four days are priced from outdated quotes.
    double lowest = 1e9, highest = 0;
    for (size_t d = 0; d < daily.rows.size(); ++d) {
        const double total = num(daily, d, "VRCUSTPRODMAT") + num(daily, d, "VRCUSTOCONS") + num(daily, d, "VRCUSTORAT");
        lowest = std::min(lowest, tk::RoundDec(total / num(daily, d, "QTCOMESTICAR"), 5));
        highest = std::max(highest, tk::RoundDec(total / num(daily, d, "QTCOMESTICAR"), 5));
    }
    EXPECT_LT(lowest, standard);
    EXPECT_GT(highest, standard);
    const size_t outdated = trabCusto(false)[2].packet().rows.size();
    EXPECT_GE(outdated, 2u);
    EXPECT_LE(outdated, 4u);
    // A handful of products have no cost; every tree code fits the product mask 9.99.99.9999; the cost
    // branch says what it is.
    auto c = db::Connection::open(file->path());
    const tk::DataPacket zero = call("GetProdCustZero", {"0002", 44, D(2026, 3, 1), "0001", "001", D(2026, 3, 1),
                                                        D(2026, 3, 31), false}).packet();
    std::set<std::string> zeroProducts;
    for (size_t i = 0; i < zero.rows.size(); ++i)
        zeroProducts.insert(str(zero, i, "NMPRODUTO"));
    EXPECT_GE(zeroProducts.size(), 2u);
    EXPECT_LE(zeroProducts.size(), 6u);
    for (const auto &row : c->query("SELECT CDARVPROD FROM PRODUTO").rows) {
        const std::string code = row[0].asString();
        EXPECT_EQ(code.size(), 9u) << code;
        EXPECT_EQ(code.find_first_not_of("0123456789"), std::string::npos) << code;
    }
    EXPECT_NE(c->query("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0002'").rows[0][0].asString().find("Filial de custo"),
              std::string::npos);
    // Realized: only days before the processing date (16th), and the 8th has no withdrawals.
    const tk::DataPacket realized = call("GetRealizado", {"0001", "001", D(2026, 3, 1), 1, false, D(2026, 3, 1), "0002"})
                                        .packet();
    EXPECT_EQ(realized.rows.size(), 14u);
    for (size_t i = 0; i < realized.rows.size(); ++i) {
        const tk::TDateTime day = cell(realized, i, "DTCARDAPIO").asDateTime();
        EXPECT_LT(day, tk::EncodeDate(2026, 3, 16));
        EXPECT_NE(day, tk::EncodeDate(2026, 3, 8));
        EXPECT_GT(num(realized, i, "QTCOMEFETCAR"), 0);
        const double planned = num(daily, static_cast<size_t>(day - tk::EncodeDate(2026, 3, 1)), "VRCUSTPRODMAT");
        EXPECT_GT(num(realized, i, "CUSTO"), 0.5 * planned);
    }
}

TEST_F(DemoServer, WorkSetLifeOverTheSocket)
{
    const std::string key = trabCusto()[0].asString();
    ASSERT_EQ(key.size(), 10u);
    const tk::VariantArray readArgs{key, "0001", "0002", "001", 44, D(2026, 3, 1), D(2026, 3, 31), D(2026, 3, 1), false};
    EXPECT_FALSE(call("GetProdCotDesatu", readArgs).packet().rows.empty());
    EXPECT_EQ(call("DelConsplan", {key, "0001"}), tk::Variant(""));
    try {
        call("GetProdCotDesatu", readArgs);
        ADD_FAILURE() << "a deleted work set was read";
    } catch (const tk::ERemoteError &e) {
        EXPECT_NE(std::string(e.what()).find(key), std::string::npos) << e.what();
    }
    const std::string unknown = call("DelConsplan", {"ZZZZZZZZZZ", "0001"}).asString();
    EXPECT_FALSE(unknown.empty());
    EXPECT_NE(unknown.size(), 10u);
    // The connection is still good after a server error.
    EXPECT_EQ(call("GetParams", {"0001"}).size(), 2u);
}

// Every method rejects a wrong argument count and a wrong argument type with a clear text; checked
// methods answer it inside their checked result.
TEST_F(DemoServer, WrongArgumentsAreClearErrors)
{
    const tk::Variant day = D(2026, 3, 4);
    struct Case { const char *method; tk::VariantArray good; size_t badPosition; const char *badText; bool checked; };
    const Case cases[] = {
        {"GetParams", {"0001"}, 1, "argument 1 (CdFilial) must be a string", false},
        {"GetTrabCusto", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, "op", false, day, "0002", false}, 3,
         "argument 3 (first) must be a date, got string", false},
        {"GetCustoPadrao", {"0001", "001", day}, 3, "argument 3 (first) must be a date", false},
        {"GetComensPlan", {"0001", "001", day}, 2, "argument 2 (CdServFili) must be a string", true},
        {"GetCardapio", {"0001", "001", day}, 1, "argument 1 (CdFilial) must be a string", false},
        {"GetProduto", {"0001", "001", day, 44, false, day, day, "0002"}, 4, "argument 4 (CdTipoCusto) must be an integer",
         false},
        {"GetConsServ", {"0001", "001", day, 44, "4", day, "0002"}, 5, "argument 5 (day type) must be a string", false},
        {"GetRealizado", {"0001", "001", day, 1, false, day, "0002"}, 5, "argument 5 (IdRefeFixa) must be a boolean",
         false},
        {"GetItemReti", {"0001", "001", day, 1, false, day, "0002"}, 6, "argument 6 (DtRefeFixa) must be a date", false},
        {"GetProdCustZero", {"0002", 44, day, "0001", "001", D(2026, 3, 1), D(2026, 3, 31), false}, 8,
         "argument 8 (IdRefeFixa) must be a boolean", false},
        {"GetProdCotDesatu", {"AAAAAAAAAA", "0001", "0002", "001", 44, D(2026, 3, 1), D(2026, 3, 31), day, false}, 5,
         "argument 5 (CdTipoCusto) must be an integer", false},
        {"GetOrigemCusto", {"0002", "100001", 44, day}, 4, "argument 4 (price date) must be a date", true},
        {"DelConsplan", {"AAAAAAAAAA", "0001"}, 1, "argument 1 (ChaveTrabCusto) must be a string", false},
    };
    auto expectError = [&](const char *method, const tk::VariantArray &args, bool checked, const std::string &text) {
        SCOPED_TRACE(method);
        if (checked) {
            const tk::Variant r = call(method, args);
            ASSERT_EQ(r.size(), 3u);
            EXPECT_EQ(r[0], tk::Variant(false));
            EXPECT_NE(r[1].asString().find(text), std::string::npos) << r[1].asString();
            return;
        }
        try {
            call(method, args);
            ADD_FAILURE() << "no error";
        } catch (const tk::ERemoteError &e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
    };
    for (const Case &c : cases) {
        tk::VariantArray fewer = c.good;
        fewer.pop_back();
        expectError(c.method, fewer, c.checked,
                    std::string(c.method) + ": expected " + std::to_string(c.good.size()) + " arguments, got "
                        + std::to_string(fewer.size()));
        tk::VariantArray more = c.good;
        more.push_back(tk::Variant());
        expectError(c.method, more, c.checked, "arguments, got " + std::to_string(more.size()));
        tk::VariantArray wrong = c.good;
        wrong[c.badPosition - 1] = wrong[c.badPosition - 1].type() == tk::VarType::String ? tk::Variant(1.5)
                                                                                         : tk::Variant("x");
        expectError(c.method, wrong, c.checked, c.badText);
    }
    // The client's other encodings are accepted: a date as a double or an integer, a flag as -1.
    EXPECT_EQ(call("GetProduto", {"0001", "001", tk::EncodeDate(2026, 3, 4), 44, -1,
                                  static_cast<int32_t>(tk::EncodeDate(2026, 3, 4)), day, "0002"}).packet().rows.size(),
              call("GetProduto", {"0001", "001", day, 44, true, day, day, "0002"}).packet().rows.size());
    // Out-of-range values are refused, not guessed.
    expectError("GetTrabCusto", {"0001", "001", D(2026, 3, 31), D(2026, 3, 1), 44, "op", false, day, "0002", false},
                false, "argument 4 (last) is before the first day");
    expectError("GetRealizado", {"0001", "001", tk::Variant(1e12), 1, false, day, "0002"}, false,
                "argument 3 (first) is not a valid date");
    expectError("GetRealizado", {"0001", "001", day, 1, 2, day, "0002"}, false, "must be a boolean, got the integer 2");
    expectError("GetConsServ", {"0001", "001", day, 44, "9", day, "0002"}, false, "must be \"1\" to \"8\"");
}

TEST_F(DemoServer, SeveralClientsAtOnceGetTheirOwnAnswers)
{
    const tk::DataPacket reference = trabCusto(false)[1].packet();
    const tk::DataPacket referenceDay = call("GetProduto", {"0001", "001", D(2026, 3, 10), 44, false, D(2026, 3, 10),
                                                            D(2026, 3, 1), "0002"}).packet();
    constexpr int kClients = 6;
    std::vector<std::string> keys(kClients);
    std::vector<std::string> errors(kClients);
    std::vector<std::thread> threads;
    for (int t = 0; t < kClients; ++t) {
        threads.emplace_back([&, t] {
            try {
                tk::TNetConnection c;
                c.Port = port;
                c.TimeoutMs = 30000;
                for (int round = 0; round < 3; ++round) {
                    const tk::Variant r = c.Call("GetTrabCusto", {"0001", "001", D(2026, 3, 1), D(2026, 3, 31), 44, "op",
                                                                  false, D(2026, 3, 1), "0002", true});
                    if (!(r[1].packet() == reference))
                        errors[t] = "daily table differs";
                    const std::string key = r[0].asString();
                    if (c.Call("GetProduto", {"0001", "001", D(2026, 3, 10), 44, false, D(2026, 3, 10), D(2026, 3, 1),
                                              "0002"}).packet() != referenceDay)
                        errors[t] = "ingredients differ";
                    if (c.Call("DelConsplan", {key, "0001"}).asString() != "")
                        errors[t] = "delete failed";
                    keys[t] += key;
                }
            } catch (const std::exception &e) {
                errors[t] = e.what();
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    std::set<std::string> distinct;
    for (int t = 0; t < kClients; ++t) {
        EXPECT_EQ(errors[t], "") << "client " << t;
        EXPECT_EQ(keys[t].size(), 30u);
        for (size_t i = 0; i + 10 <= keys[t].size(); i += 10)
            distinct.insert(keys[t].substr(i, 10));
    }
    EXPECT_EQ(distinct.size(), static_cast<size_t>(kClients * 3));
}

// The executable: prints its address, answers, logs each call, and stops on SIGTERM.
TEST(AppServerExecutable, ServesAndStopsOnSigterm)
{
    const char *binDir = std::getenv("COSTANALYSIS_BIN_DIR");
    const std::string exe = std::string(binDir ? binDir : "bin") + "/appserver";
    if (!std::filesystem::exists(exe))
        GTEST_SKIP() << "no appserver executable at " << exe;
    TempDb file("exe");
    {
        auto c = db::Connection::open(file.path());
        buildTinyKitchen(*c);
    }
    int out[2], err[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_EQ(pipe(err), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        execl(exe.c_str(), exe.c_str(), "--db", file.path().c_str(), "--listen", "127.0.0.1:0", "--workset-max-age",
              "3600", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    fcntl(err[0], F_SETFL, O_NONBLOCK);
    // Reads stdout until the ready line, for at most 10 s.
    std::string line;
    for (int waited = 0; waited < 10000 && line.find('\n') == std::string::npos; waited += 50) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 50) > 0) {
            char buffer[256];
            const ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<size_t>(n));
        }
    }
    ASSERT_EQ(line.rfind("listening on 127.0.0.1:", 0), 0u) << line;
    const int port = std::stoi(line.substr(std::string("listening on 127.0.0.1:").size()));
    {
        tk::TNetConnection c;
        c.Port = port;
        c.TimeoutMs = 10000;
        EXPECT_EQ(c.Call("GetComensPlan", {"0001", "001", D(2026, 3, 1)}), tk::Variant::array({true, "", 140.0}));
        EXPECT_THROW(c.Call("GetParams", {}), tk::ERemoteError);
    }
    kill(pid, SIGTERM);
    int status = -1;
    for (int waited = 0; waited < 10000; waited += 20) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!WIFEXITED(status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "appserver did not stop on SIGTERM";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string log;
    char buffer[4096];
    ssize_t n;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0)
        log.append(buffer, static_cast<size_t>(n));
    close(out[0]);
    close(err[0]);
    EXPECT_NE(log.find("GetComensPlan"), std::string::npos) << log;
    EXPECT_NE(log.find("GetParams"), std::string::npos) << log;
    EXPECT_NE(log.find("expected 1 arguments"), std::string::npos) << log;
}

} // namespace

namespace {

// The generator is deterministic for a seed and follows the month it is given.
TEST(DemoData, SameSeedSameKitchenAndOtherMonths)
{
    auto dump = [](const std::string &path) {
        auto c = db::Connection::open(path);
        std::string text;
        for (const char *table : {"CARDAPIO", "ITCARDAPIO", "COTACAO", "RETIRADA", "COMENSEFET"}) {
            for (const auto &row : c->query(std::string("SELECT * FROM ") + table + " ORDER BY 1, 2, 3, 4").rows) {
                for (const tk::Variant &v : row)
                    text += v.toDisplayString() + "|";
                text += "\n";
            }
        }
        return text;
    };
    TempDb a("seed_a"), b("seed_b"), leap("leap");
    db::DemoOptions options;
    options.seed = 42;
    for (TempDb *file : {&a, &b}) {
        auto c = db::Connection::open(file->path());
        db::createSchema(*c);
        db::generateDemoData(*c, options);
    }
    EXPECT_EQ(dump(a.path()), dump(b.path()));
    options.year = 2024;
    options.month = 2;
    auto c = db::Connection::open(leap.path());
    db::createSchema(*c);
    db::generateDemoData(*c, options);
    const tk::DataPacket days = c->query("SELECT MIN(DTCARDAPIO) AS A, MAX(DTCARDAPIO) AS B, "
                                         "COUNT(DISTINCT DTCARDAPIO) AS N FROM CARDAPIO");
    EXPECT_EQ(days.rows[0][0], tk::Variant("2024-02-01"));
    EXPECT_EQ(days.rows[0][1], tk::Variant("2024-02-29"));
    EXPECT_EQ(days.rows[0][2], tk::Variant(29));
    EXPECT_EQ(c->query("SELECT DTPROCESSO FROM FILIAL WHERE CDFILIAL = '0001'").rows[0][0], D(2024, 2, 16));
}

} // namespace
