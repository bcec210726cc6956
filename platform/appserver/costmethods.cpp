#include "platform/appserver/costmethods.h"

#include "platform/appserver/plan.h"
#include "platform/appserver/pricing.h"
#include "platform/appserver/workset.h"
#include "platform/contract/costmethods.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <unordered_map>

namespace appsrv {

namespace {

// Longest range of days one call may ask for: a month, with room for odd calendars.
constexpr double kMaxRangeDays = 62;

// A packet row built in place (a braced list would copy every value once more).
template<typename... Values>
std::vector<tk::Variant> rowOf(Values &&...values)
{
    std::vector<tk::Variant> row;
    row.reserve(sizeof...(values));
    (row.emplace_back(std::forward<Values>(values)), ...);
    return row;
}

tk::Variant date(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}

std::string text(const tk::Variant &value)
{
    return value.isNull() ? std::string() : value.asString();
}

double number(const tk::Variant &value)
{
    return value.isNull() ? 0.0 : value.asDouble();
}

using contract::checkedFail;
using contract::checkedOk;

void checkRange(tk::TDateTime first, tk::TDateTime last, size_t lastPosition)
{
    if (std::floor(last) < std::floor(first))
        contract::refuseArgument(lastPosition, "last", "is before the first day");
    if (std::floor(last) - std::floor(first) > kMaxRangeDays)
        contract::refuseArgument(lastPosition, "last", "is more than " + std::to_string(static_cast<int>(kMaxRangeDays))
                                                           + " days after the first day");
}

// IDCOMCUSPERC of the branch ("" when the branch has no parameters).
std::string idComCusPerc(db::Connection &connection, const std::string &filial)
{
    const tk::DataPacket rows = connection.query("SELECT IDCOMCUSPERC FROM PARAMFILIAL WHERE CDFILIAL = :FILIAL",
                                                 {{"FILIAL", filial}});
    return rows.rows.empty() ? std::string() : text(rows.rows[0][0]);
}

struct CatalogueProduct
{
    std::string cdArvProd;
    std::string nmProduto;
};

std::unordered_map<std::string, CatalogueProduct> loadProducts(db::Connection &connection)
{
    std::unordered_map<std::string, CatalogueProduct> products;
    const tk::DataPacket rows = connection.query("SELECT CDPRODUTO, CDARVPROD, NMPRODUTO FROM PRODUTO");
    for (const auto &row : rows.rows)
        products[text(row[0])] = {text(row[1]), text(row[2])};
    return products;
}

std::vector<std::string> productCodes(const KitchenData &data)
{
    std::vector<std::string> codes;
    codes.reserve(data.products.size());
    for (const ProductInfo &product : data.products)
        codes.push_back(product.cdProduto);
    return codes;
}

// The prices a plan of the days from first to last looks up: the fixed reference date, or each day.
PriceBook loadPrices(db::Connection &connection, const PricingContext &context, tk::TDateTime first,
                     tk::TDateTime last, const KitchenData &data)
{
    return loadPlanPrices(connection, context, first, last, data);
}

// The realized side of a month: withdrawals priced at their date, per product and per day.
struct RealizedItem
{
    tk::TDateTime day = 0;
    std::string cdProduto;
    std::string nmProduto;
    std::string sgUnidade;
    double qtRetirada = 0;
    double custoUnit = 0;
};

struct RealizedDay
{
    tk::TDateTime day = 0;
    double qtComEfetCar = 0;
    double qtCliEfetCar = 0;
    double qtRetirada = 0;
    double custo = 0;
};

struct Realized
{
    std::vector<RealizedItem> items;
    std::vector<RealizedDay> days;
};

Realized loadRealized(db::Connection &connection, const std::string &filial, const std::string &servico,
                      tk::TDateTime anyDayOfMonth, int tipoCustoReal, const std::string &costBranch)
{
    const tk::TDateTime first = tk::StartOfTheMonth(anyDayOfMonth);
    const tk::TDateTime last = tk::EndOfTheMonth(anyDayOfMonth);
    const db::Params range{{"FILIAL", filial}, {"SERV", servico}, {"D1", date(first)}, {"D2", date(last)}};

    std::map<int, std::pair<double, double>> effective;
    const tk::DataPacket diners = connection.query(
        "SELECT DTCARDAPIO, QTCOMEFETCAR, QTCLIEFETCAR FROM COMENSEFET "
        "WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV AND DTCARDAPIO BETWEEN :D1 AND :D2",
        range);
    for (const auto &row : diners.rows)
        effective[static_cast<int>(row[0].asDateTime())] = {number(row[1]), number(row[2])};

    const tk::DataPacket withdrawals = connection.query(
        "SELECT R.DTRETIRADA, R.CDPRODUTO, P.NMPRODUTO, P.SGUNIDADE, R.QTRETIRADA "
        "FROM RETIRADA R JOIN PRODUTO P ON P.CDPRODUTO = R.CDPRODUTO "
        "WHERE R.CDFILIAL = :FILIAL AND R.CDSERVFILI = :SERV AND R.DTRETIRADA BETWEEN :D1 AND :D2 "
        "ORDER BY R.DTRETIRADA, P.NMPRODUTO, R.CDPRODUTO, R.NRRETIRADA",
        range);
    std::vector<std::string> withdrawn;
    for (const auto &row : withdrawals.rows)
        withdrawn.push_back(text(row[1]));
    const PriceBook book = PriceBook::load(connection, costBranch, tipoCustoReal, first, last, withdrawn);
    Realized realized;
    for (const auto &row : withdrawals.rows) {
        const tk::TDateTime day = std::floor(row[0].asDateTime());
        const std::string product = text(row[1]);
        if (realized.items.empty() || realized.items.back().day != day || realized.items.back().cdProduto != product) {
            RealizedItem item;
            item.day = day;
            item.cdProduto = product;
            item.nmProduto = text(row[2]);
            item.sgUnidade = text(row[3]);
            item.custoUnit = book.lookup(product, day).cost;
            realized.items.push_back(std::move(item));
        }
        realized.items.back().qtRetirada += number(row[4]);
    }
    for (RealizedItem &item : realized.items) {
        item.qtRetirada = tk::RoundDec(item.qtRetirada, 5);
        if (realized.days.empty() || realized.days.back().day != item.day) {
            RealizedDay day;
            day.day = item.day;
            const auto found = effective.find(static_cast<int>(item.day));
            if (found != effective.end()) {
                day.qtComEfetCar = found->second.first;
                day.qtCliEfetCar = found->second.second;
            }
            realized.days.push_back(day);
        }
        // Unrounded, as the client's CustoTotal of the item.
        realized.days.back().custo += item.qtRetirada * item.custoUnit;
        realized.days.back().qtRetirada += item.qtRetirada;
    }
    for (RealizedDay &day : realized.days) {
        day.custo = tk::RoundDec(day.custo, 5);
        day.qtRetirada = tk::RoundDec(day.qtRetirada, 5);
    }
    return realized;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Service

CostService::CostService(std::string dbPath, CostServiceOptions options)
    : m_options(options), m_errors(options.log), m_pool(dbPath, options.maxIdleConnections)
{
    if (!db::Connection::isPostgres(dbPath) && !std::filesystem::exists(dbPath))
        throw db::SqlError("Database '" + dbPath + "' not found", db::SqlError::Kind::Connection);
    {
        auto connection = m_pool.acquire();
        // Fails clearly at start when the database holds no suite schema.
        try {
            connection->query("SELECT COUNT(*) AS N FROM FILIAL");
            connection->query("SELECT COUNT(*) AS N FROM TRABCUSTO");
        } catch (const db::SqlError &e) {
            if (e.kind() != db::SqlError::Kind::Statement)
                throw;
            throw db::SqlError("Database '" + db::Connection::displayName(dbPath)
                               + "' holds no suite schema (create it with demo-db): " + e.what());
        }
        ensureWorkSetColumns(*connection);
    }
    // Every failure leaves a handler as the user's text (the detail goes to the log).
    auto bind = [this](const char *name, tk::Variant (CostService::*method)(const tk::VariantArray &)) {
        return std::pair<const std::string, Handler>(name, [this, name, method](const tk::VariantArray &args) {
            try {
                return (this->*method)(args);
            } catch (const std::exception &e) {
                throw UserError(m_errors.userText(name, e));
            }
        });
    };
    m_methods = {
        bind("GetParams", &CostService::getParams),
        bind("GetTrabCusto", &CostService::getTrabCusto),
        bind("GetCustoPadrao", &CostService::getCustoPadrao),
        bind("GetComensPlan", &CostService::getComensPlan),
        bind("GetCardapio", &CostService::getCardapio),
        bind("GetProduto", &CostService::getProduto),
        bind("GetConsServ", &CostService::getConsServ),
        bind("GetRealizado", &CostService::getRealizado),
        bind("GetItemReti", &CostService::getItemReti),
        bind("GetProdCustZero", &CostService::getProdCustZero),
        bind("GetProdCotDesatu", &CostService::getProdCotDesatu),
        bind("GetOrigemCusto", &CostService::getOrigemCusto),
        bind("DelConsplan", &CostService::delConsplan),
        bind("RenovaSessao", &CostService::renovaSessao),
    };
}

tk::Variant CostService::call(const std::string &method, const tk::VariantArray &args) const
{
    const auto found = m_methods.find(method);
    if (found == m_methods.end())
        throw tk::Exception("unknown method '" + method + "'");
    return found->second(args);
}

template<typename Fn>
auto CostService::read(Fn &&fn)
{
    auto connection = m_pool.acquire();
    std::optional<db::Transaction> tx;
    try {
        tx.emplace(*connection);
    } catch (const db::SqlError &) {
        // An idle connection that the database dropped while it waited (a restart): nothing has run
        // yet, so the call goes on with a new one.
        if (!connection->broken())
            throw;
        connection = m_pool.acquire();
        tx.emplace(*connection);
    }
    auto result = fn(*connection);
    tx->commit();
    return result;
}

void CostService::readTransaction(const std::function<void(db::Connection &)> &fn)
{
    read([&](db::Connection &c) {
        fn(c);
        return 0;
    });
}

void CostService::addMethod(const std::string &name, Handler handler)
{
    m_methods[name] = [this, name, handler = std::move(handler)](const tk::VariantArray &args) {
        try {
            return handler(args);
        } catch (const std::exception &e) {
            throw UserError(m_errors.userText(name, e));
        }
    };
}

int64_t CostService::cleanupStaleWorkSets()
{
    return cleanupStaleWorkSets(nowDateTime());
}

int64_t CostService::cleanupStaleWorkSets(tk::TDateTime now)
{
    auto connection = m_pool.acquire();
    return cleanupWorkSets(*connection, m_options.workSetMaxAgeSeconds, m_options.workSetLeaseSeconds, now);
}

void CostService::renewLease(const std::string &session)
{
    const auto now = std::chrono::steady_clock::now();
    const auto period = std::chrono::seconds(std::max<int64_t>(1, m_options.workSetLeaseSeconds / 5));
    {
        std::lock_guard lock(m_renewedMutex);
        auto &last = m_renewed[session];
        if (last != std::chrono::steady_clock::time_point() && now - last < period)
            return;
        last = now;
        std::erase_if(m_renewed, [&](const auto &entry) { return now - entry.second > 5 * period; });
    }
    try {
        auto connection = m_pool.acquire();
        renewWorkSets(*connection, session, nowDateTime());
    } catch (const std::exception &e) {
        std::lock_guard lock(m_renewedMutex);
        m_renewed.erase(session);
        if (m_options.log)
            m_options.log(std::string("work-set lease of a session not renewed: ") + e.what());
    }
}

// GetParams(CdFilial) -> [qryParamFilial, qryParamPlaneja]
tk::Variant CostService::getParams(const tk::VariantArray &argv)
{
    const std::string filial = contract::fromWire<contract::GetParams>(argv).CdFilial;
    return read([&](db::Connection &c) {
        tk::DataPacket filialParams = contract::newPacket<contract::GetParams>(0);
        for (const auto &row : c.query("SELECT IDCOMCUSPERC FROM PARAMFILIAL WHERE CDFILIAL = :FILIAL",
                                       {{"FILIAL", filial}}).rows)
            filialParams.addRow({row[0]});
        tk::DataPacket planning = contract::newPacket<contract::GetParams>(1);
        for (const auto &row : c.query("SELECT IDUTILFATCOR, IDUTILFATCOC, IDTIPCALCFAT, NRCORSAFRA, NRCORINICSAF, "
                                       "NRCORENTRSAF FROM PARAMPLANEJA WHERE CDFILIAL = :FILIAL",
                                       {{"FILIAL", filial}}).rows)
            planning.addRow(row);
        return tk::Variant::array({tk::Variant(std::move(filialParams)), tk::Variant(std::move(planning))});
    });
}

// GetTrabCusto(CdFilial, CdServFili, first, last, CdTipoCusto, operator, IdRefeFixa, DtRefeFixa, CdFiliCust,
// write) -> [ChaveTrabCusto or an error text, qryTrabCusto, cdsPreCotDesatu]. The daily table has a row
// for every day of the range; days without a menu carry zeros.
tk::Variant CostService::getTrabCusto(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetTrabCusto>(argv);
    PricingContext context;
    context.filial = args.CdFilial;
    context.servico = args.CdServFili;
    const tk::TDateTime first = std::floor(args.first);
    const tk::TDateTime last = std::floor(args.last);
    context.tipoCusto = args.CdTipoCusto;
    const std::string &operatorName = args.operador;
    context.refeFixa = args.IdRefeFixa;
    context.dtRefeFixa = args.DtRefeFixa;
    const std::string &cdFiliCust = args.CdFiliCust;
    const bool writeSet = args.write;
    checkRange(first, last, 4);
    context.costBranch = effectiveCostBranch(cdFiliCust, context.filial);

    struct Computed
    {
        std::vector<PlannedDay> days;
        std::string comCusPerc;
        std::vector<DayConfidence> confidence; // kept with the work set
    };
    Computed computed = read([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, context.filial, context.servico, first, last);
        const PriceBook book = loadPrices(c, context, first, last, data);
        Computed result{planMonth(data, context, book), idComCusPerc(c, context.filial), {}};
        if (writeSet)
            result.confidence = costConfidence(result.days, data, book, context);
        return result;
    });

    tk::DataPacket daily = contract::newPacket<contract::GetTrabCusto>(1);
    tk::DataPacket outdated = contract::newPacket<contract::GetTrabCusto>(2);
    // Running figures as the client recomputes them when it opens the table.
    double previousCost = 0, previousDiners = 0, materialSum = 0, consumptionSum = 0;
    for (const PlannedDay &day : computed.days) {
        const double diners = computed.comCusPerc == "C" ? day.qtCliEstiCar : day.qtComEstiCar;
        const double total = day.vrCustProdMat + (day.vrCustoCons + day.vrCustoRat);
        const double accumulated = total + previousCost;
        const double accumulatedDiners = diners + previousDiners;
        previousCost = accumulated;
        previousDiners = accumulatedDiners;
        materialSum += day.vrCustProdMat;
        consumptionSum += day.vrCustoCons;
        const double average = accumulatedDiners != 0 ? tk::RoundDec(accumulated / accumulatedDiners, 5) : 0.0;
        daily.addRow({date(day.day), day.vrCustProdMat, day.vrCustoCons, day.vrCustoRat, day.qtComEstiCar,
                      day.qtCliEstiCar, accumulated, tk::RoundDec(consumptionSum, 5), tk::RoundDec(materialSum, 5),
                      average, accumulatedDiners});
        if (day.outdated)
            outdated.addRow({date(day.day)});
    }

    std::string key;
    if (writeSet) {
        WorkSetHeader header{context.filial, context.servico, first,         last,        context.tipoCusto,
                             cdFiliCust,     context.refeFixa, context.dtRefeFixa, operatorName,
                             wire::RpcServer::callSession()};
        try {
            auto connection = m_pool.acquire();
            key = writeWorkSet(*connection, header, computed.days, computed.confidence, nowDateTime(),
                               m_options.workSetCap);
        } catch (const std::exception &e) {
            // The window shows this text and goes on with the daily table.
            key = "Erro ao gravar o conjunto de trabalho: " + m_errors.userText("GetTrabCusto", e);
        }
    }
    return tk::Variant::array({key, tk::Variant(std::move(daily)), tk::Variant(std::move(outdated))});
}

// GetCustoPadrao(CdFilial, CdServFili, first) -> cdsCustoPadrao: the standard cost per diner of the
// latest row in force on or before the last day of the month (no row: an empty packet).
tk::Variant CostService::getCustoPadrao(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetCustoPadrao>(argv);
    const std::string &filial = args.CdFilial;
    const std::string &servico = args.CdServFili;
    const tk::TDateTime first = args.first;
    return read([&](db::Connection &c) {
        tk::DataPacket packet = contract::newPacket<contract::GetCustoPadrao>();
        const tk::DataPacket rows = c.query(
            "SELECT VRCUSTPADR FROM CUSTPADR WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV "
            "AND DTINIVIGPADR <= :FIM ORDER BY DTINIVIGPADR DESC",
            {{"FILIAL", filial}, {"SERV", servico}, {"FIM", date(tk::EndOfTheMonth(first))}});
        if (!rows.rows.empty())
            packet.addRow({rows.rows[0][0]});
        return tk::Variant(std::move(packet));
    });
}

// GetComensPlan(CdFilial, CdServFili, DtIniMes) -> checked: the month's planned diners (clients only when
// the branch counts clients, as the daily table does).
tk::Variant CostService::getComensPlan(const tk::VariantArray &argv)
{
    try {
        const auto args = contract::fromWire<contract::GetComensPlan>(argv);
        const std::string &filial = args.CdFilial;
        const std::string &servico = args.CdServFili;
        const tk::TDateTime month = args.DtIniMes;
        const double diners = read([&](db::Connection &c) {
            const bool clients = idComCusPerc(c, filial) == "C";
            const tk::DataPacket rows = c.query(
                "SELECT QTCOMESTICAR, QTCLIESTICAR FROM CARDAPIO WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV "
                "AND DTCARDAPIO BETWEEN :D1 AND :D2 ORDER BY DTCARDAPIO, CDDIETPAD",
                {{"FILIAL", filial}, {"SERV", servico}, {"D1", date(tk::StartOfTheMonth(month))},
                 {"D2", date(tk::EndOfTheMonth(month))}});
            double sum = 0;
            for (const auto &row : rows.rows)
                sum += number(row[clients ? 1 : 0]);
            return sum;
        });
        return checkedOk(diners);
    } catch (const std::exception &e) {
        return checkedFail(m_errors.userText("GetComensPlan", e));
    }
}

// GetCardapio(CdFilial, CdServFili, first of day) -> qryCardapio: every menu line of the month. CONT is
// the number of days of the month on which the dish is on a menu.
tk::Variant CostService::getCardapio(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetCardapio>(argv);
    const std::string &filial = args.CdFilial;
    const std::string &servico = args.CdServFili;
    const tk::TDateTime month = args.first;
    const KitchenData data = read([&](db::Connection &c) {
        return KitchenData::load(c, filial, servico, tk::StartOfTheMonth(month), tk::EndOfTheMonth(month),
                                 KitchenData::Menus);
    });
    std::map<std::string, std::vector<int>> daysOfDish;
    for (const MenuLine &line : data.lines) {
        auto &days = daysOfDish[KitchenData::dishKey(line.cdFilAuxPrat, line.cdPrato)];
        if (days.empty() || days.back() != static_cast<int>(line.day))
            days.push_back(static_cast<int>(line.day));
    }
    tk::DataPacket packet = contract::newPacket<contract::GetCardapio>();
    for (const MenuLine &line : data.lines) {
        std::vector<int> days = daysOfDish[KitchenData::dishKey(line.cdFilAuxPrat, line.cdPrato)];
        std::sort(days.begin(), days.end());
        const double count = static_cast<double>(std::unique(days.begin(), days.end()) - days.begin());
        packet.addRow({line.nmPrato, filial, line.cdPrato, line.cdFilAuxPrat, servico, date(line.day), line.cdDietPad,
                       line.qtComEstiCar, line.qtCliEstiCar, line.vrPeConsCard, count, line.comensPrato});
    }
    return tk::Variant(std::move(packet));
}

// GetProduto(CdFilial, CdServFili, day, CdTipoCusto, IdRefeFixa, price date, first, CdFiliCust) -> qryProduto:
// every ingredient of every dish of the day's menus (all diets), priced at the price date.
tk::Variant CostService::getProduto(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetProduto>(argv);
    const std::string &filial = args.CdFilial;
    const std::string &servico = args.CdServFili;
    const tk::TDateTime day = std::floor(args.day);
    const int tipoCusto = args.CdTipoCusto;
    const tk::TDateTime priceDate = args.priceDate;
    const std::string costBranch = effectiveCostBranch(args.CdFiliCust, filial);

    tk::DataPacket packet = contract::newPacket<contract::GetProduto>();
    read([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, filial, servico, day, day, KitchenData::Recipes);
        const PriceBook book = PriceBook::load(c, costBranch, tipoCusto, priceDate, priceDate, productCodes(data));
        std::vector<Price> prices(data.products.size());
        std::vector<char> priced(data.products.size(), 0);
        size_t rows = 0;
        for (const MenuLine &line : data.lines)
            rows += data.recipe(line).size();
        packet.rows.reserve(rows);
        const tk::Variant menuDay = date(day);
        for (const MenuLine &line : data.lines) {
            for (const RecipeLine &r : data.recipe(line)) {
                const auto index = static_cast<size_t>(r.product);
                const ProductInfo &product = data.products[index];
                if (!priced[index]) {
                    prices[index] = book.lookup(product.cdProduto, priceDate);
                    priced[index] = 1;
                }
                const Price &price = prices[index];
                packet.addRow(rowOf(product.nmProduto, r.sgUnidProd, line.cdPrato, product.cdProduto, r.qtProduto,
                                    r.vrFatCoc, r.vrFatCor, product.sgUnidade, product.idInteSafr, line.cdDietPad,
                                    r.qtdeRece, menuDay, price.previous, price.cost, r.qtdeBruta, line.cdFilAuxPrat,
                                    price.outdated ? "S" : "N"));
            }
        }
        return 0;
    });
    return tk::Variant(std::move(packet));
}

// GetConsServ(CdFilial, CdServFili, day, CdTipoCusto, day type, price date, CdFiliCust) ->
// [cdsConsumo, qryConsServ, cdsComens]. A day without a menu has no consumption.
tk::Variant CostService::getConsServ(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetConsServ>(argv);
    const std::string &filial = args.CdFilial;
    const std::string &servico = args.CdServFili;
    const tk::TDateTime day = std::floor(args.day);
    const int tipoCusto = args.CdTipoCusto;
    const std::string &idTipoDia = args.dayType;
    if (idTipoDia.size() != 1 || idTipoDia[0] < '1' || idTipoDia[0] > '8')
        contract::refuseArgument(5, "day type", "must be \"1\" to \"8\", got \"" + idTipoDia + "\"");
    const tk::TDateTime priceDate = args.priceDate;
    const std::string costBranch = effectiveCostBranch(args.CdFiliCust, filial);

    tk::DataPacket types = contract::newPacket<contract::GetConsServ>(0);
    tk::DataPacket items = contract::newPacket<contract::GetConsServ>(1);
    tk::DataPacket diners = contract::newPacket<contract::GetConsServ>(2);
    read([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, filial, servico, day, day, KitchenData::Consumption);
        const PriceBook book = PriceBook::load(c, costBranch, tipoCusto, priceDate, priceDate, productCodes(data));
        const MenuDay *menu = data.menuDay(day);
        const double qtComEstiCar = menu ? menu->qtComEstiCar : 0.0;
        const ConsumptionDay consumption = costConsumption(data, book, day, idTipoDia, qtComEstiCar, priceDate);
        for (const ConsumptionType *type : consumption.types)
            types.addRow({type->tpCons, type->cdTprConsFix, type->nmTipoPrat, type->vrCustPadrTp});
        for (const ConsumptionLine &line : consumption.lines) {
            items.addRow({line.item->idConsumo, line.item->nmProduto, line.item->sgUnidade, line.item->qtConsServ,
                          line.price.cost, line.item->cdProduto, line.price.outdated ? "S" : "N"});
        }
        diners.addRow({qtComEstiCar});
        return 0;
    });
    return tk::Variant::array({tk::Variant(std::move(types)), tk::Variant(std::move(items)),
                               tk::Variant(std::move(diners))});
}

namespace {
struct RealizedArgs
{
    std::string filial;
    std::string servico;
    tk::TDateTime month = 0;
    int tipoCustoReal = 0;
    std::string costBranch;
};

RealizedArgs readRealizedArgs(const contract::RealizedMonth &args)
{
    RealizedArgs r;
    r.filial = args.CdFilial;
    r.servico = args.CdServFili;
    r.month = args.first;
    r.tipoCustoReal = args.CdTipoCustoReal;
    r.costBranch = effectiveCostBranch(args.CdFiliCust, r.filial);
    return r;
}
} // namespace

// GetRealizado(CdFilial, CdServFili, first of day, CdTipoCustoReal, IdRefeFixa, DtRefeFixa, CdFiliCust) ->
// qryRealizado: the days of the month with withdrawals, priced at the withdrawal date.
tk::Variant CostService::getRealizado(const tk::VariantArray &argv)
{
    const RealizedArgs r = readRealizedArgs(contract::fromWire<contract::GetRealizado>(argv));
    const Realized realized = read([&](db::Connection &c) {
        return loadRealized(c, r.filial, r.servico, r.month, r.tipoCustoReal, r.costBranch);
    });
    tk::DataPacket packet = contract::newPacket<contract::GetRealizado>();
    double costSum = 0, dinerSum = 0;
    for (const RealizedDay &day : realized.days) {
        costSum += day.custo;
        dinerSum += day.qtComEfetCar;
        const double custoAcum = tk::RoundDec(costSum, 5);
        const double comensAcu = tk::RoundDec(dinerSum, 5);
        const double average = comensAcu != 0 ? tk::RoundDec(custoAcum / comensAcu, 5) : 0.0;
        packet.addRow({date(day.day), day.qtComEfetCar, day.qtCliEfetCar, day.qtRetirada, day.custo, custoAcum,
                       comensAcu, average});
    }
    return tk::Variant(std::move(packet));
}

// GetItemReti(as GetRealizado) -> qryItemReti: the products withdrawn on each day of the month.
tk::Variant CostService::getItemReti(const tk::VariantArray &argv)
{
    const RealizedArgs r = readRealizedArgs(contract::fromWire<contract::GetItemReti>(argv));
    const Realized realized = read([&](db::Connection &c) {
        return loadRealized(c, r.filial, r.servico, r.month, r.tipoCustoReal, r.costBranch);
    });
    std::map<int, const RealizedDay *> days;
    for (const RealizedDay &day : realized.days)
        days[static_cast<int>(day.day)] = &day;
    tk::DataPacket packet = contract::newPacket<contract::GetItemReti>();
    for (const RealizedItem &item : realized.items) {
        const RealizedDay *day = days[static_cast<int>(item.day)];
        packet.addRow({item.nmProduto, item.sgUnidade, item.custoUnit, item.qtRetirada, day->qtComEfetCar,
                       day->qtCliEfetCar, item.cdProduto, date(item.day)});
    }
    return tk::Variant(std::move(packet));
}

// GetProdCustZero(CdFiliCust, CdTipoCusto, DtRefeFixa, CdFilial, CdServFili, first, last, IdRefeFixa) ->
// cdsProdCustZero: per day, the menu products whose unit cost is 0, with the day's gross quantity.
tk::Variant CostService::getProdCustZero(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetProdCustZero>(argv);
    PricingContext context;
    context.tipoCusto = args.CdTipoCusto;
    context.dtRefeFixa = args.DtRefeFixa;
    context.filial = args.CdFilial;
    context.servico = args.CdServFili;
    const tk::TDateTime first = std::floor(args.first);
    const tk::TDateTime last = std::floor(args.last);
    context.refeFixa = args.IdRefeFixa;
    checkRange(first, last, 7);
    context.costBranch = effectiveCostBranch(args.CdFiliCust, context.filial);

    tk::DataPacket packet = contract::newPacket<contract::GetProdCustZero>();
    read([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, context.filial, context.servico, first, last);
        const PriceBook book = loadPrices(c, context, first, last, data);
        const auto products = loadProducts(c);
        for (const PlannedDay &day : planMonth(data, context, book)) {
            std::vector<std::pair<std::string, std::string>> zero; // name, code
            for (const auto &[code, planned] : day.products) {
                if (planned.inMenu && planned.price.cost == 0)
                    zero.emplace_back(products.count(code) ? products.at(code).nmProduto : code, code);
            }
            std::sort(zero.begin(), zero.end());
            for (const auto &[name, code] : zero) {
                const auto info = products.find(code);
                packet.addRow({info != products.end() ? info->second.cdArvProd : "", code, name, date(day.day), 0.0,
                               tk::RoundDec(day.products.at(code).qtMenu, 5)});
            }
        }
        return 0;
    });
    return tk::Variant(std::move(packet));
}

// GetProdCotDesatu(ChaveTrabCusto, CdFilial, CdFiliCust, CdServFili, CdTipoCusto, first, last, DtRefeFixa,
// IdRefeFixa) -> cdsProdCotDesatu: the work set's products priced from an outdated quote.
tk::Variant CostService::getProdCotDesatu(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetProdCotDesatu>(argv);
    const std::string &key = args.ChaveTrabCusto;
    const std::string &filial = args.CdFilial;
    const tk::TDateTime first = std::floor(args.first);
    const tk::TDateTime last = std::floor(args.last);
    checkRange(first, last, 7);

    return read([&](db::Connection &c) {
        requireWorkSet(c, key, filial, wire::RpcServer::callSession());
        tk::DataPacket packet = contract::newPacket<contract::GetProdCotDesatu>();
        const tk::DataPacket rows = c.query(
            "SELECT C.DTCONSPLAN, P.CDARVPROD, C.CDPRODUTO, P.NMPRODUTO, C.QTCONSPLAN, C.CUSTOPROD, C.DTCUSTOSUP, "
            "C.DTFINCUSTSUP FROM CONSPLAN C JOIN PRODUTO P ON P.CDPRODUTO = C.CDPRODUTO "
            "WHERE C.CDCHAVETRAB = :KEY AND C.IDCUSTODESATU = 'S' AND C.DTCONSPLAN BETWEEN :D1 AND :D2 "
            "ORDER BY C.DTCONSPLAN, P.NMPRODUTO, C.CDPRODUTO",
            {{"KEY", key}, {"D1", date(first)}, {"D2", date(last)}});
        for (const auto &row : rows.rows)
            packet.addRow(row);
        return tk::Variant(std::move(packet));
    });
}

// GetOrigemCusto(branch, product, CdTipoCusto, price date) -> checked cdsOrigemCusto: the quote (IDORIGEM
// "C") or cost row (IDORIGEM "P") behind the product's price, with supplier and brand.
tk::Variant CostService::getOrigemCusto(const tk::VariantArray &argv)
{
    try {
        const auto args = contract::fromWire<contract::GetOrigemCusto>(argv);
        const std::string &branch = args.branch;
        const std::string &product = args.product;
        const int tipoCusto = args.CdTipoCusto;
        const tk::TDateTime priceDate = args.priceDate;
        tk::DataPacket packet = contract::newPacket<contract::GetOrigemCusto>();
        read([&](db::Connection &c) {
            const tk::DataPacket info = c.query("SELECT CDARVPROD, NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :PROD",
                                                {{"PROD", product}});
            if (info.rows.empty())
                throw UserError("Produto '" + product + "' não encontrado");
            const PriceBook book = PriceBook::load(c, branch, tipoCusto, product);
            const Price price = book.lookup(product, priceDate);
            if (!price.found) {
                throw UserError("Produto '" + product + "' sem custo do tipo " + std::to_string(tipoCusto)
                                    + " na filial '" + branch + "' em " + tk::DateToStr(priceDate));
            }
            const PriceEntry &entry = *price.entry;
            tk::VariantArray supplier{tk::Variant(entry.supplier), {}, {}, {}};
            if (!entry.supplier.empty()) {
                const tk::DataPacket s = c.query(
                    "SELECT IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN FROM FORNECEDOR WHERE CDFORNECED = :F",
                    {{"F", entry.supplier}});
                if (!s.rows.empty())
                    supplier = {tk::Variant(entry.supplier), s.rows[0][0], s.rows[0][1], s.rows[0][2]};
            } else {
                supplier[0] = tk::Variant();
            }
            packet.addRow({supplier[0], supplier[1], supplier[2], supplier[3], product, info.rows[0][0],
                           info.rows[0][1], date(entry.from), entry.openEnded ? tk::Variant() : date(entry.to),
                           entry.brand.empty() ? tk::Variant() : tk::Variant(entry.brand),
                           book.quoteBased() ? "C" : "P"});
            return 0;
        });
        return checkedOk(tk::Variant(std::move(packet)));
    } catch (const std::exception &e) {
        return checkedFail(m_errors.userText("GetOrigemCusto", e));
    }
}

// DelConsplan(ChaveTrabCusto, CdFilial) -> "" on success, else the error text. An empty key (a window whose
// first load failed) has nothing to delete.
tk::Variant CostService::delConsplan(const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::DelConsplan>(argv);
    const std::string &key = args.ChaveTrabCusto;
    const std::string &filial = args.CdFilial;
    if (key.empty())
        return tk::Variant("");
    try {
        auto connection = m_pool.acquire();
        if (!deleteWorkSet(*connection, key, filial, wire::RpcServer::callSession()))
            return tk::Variant(workSetNotFound(key, filial));
    } catch (const std::exception &e) {
        return tk::Variant("Erro ao excluir o conjunto de trabalho '" + key + "': " + m_errors.userText("DelConsplan", e));
    }
    return tk::Variant("");
}

// RenovaSessao() -> the lease in seconds. The renewal itself is the one every call of a session makes
// (registerCostMethods); this method is what a window sends while its user makes no other call.
tk::Variant CostService::renovaSessao(const tk::VariantArray &argv)
{
    contract::fromWire<contract::RenovaSessao>(argv);
    return tk::Variant(static_cast<int32_t>(m_options.workSetLeaseSeconds));
}

} // namespace appsrv
