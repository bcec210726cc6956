#include "platform/appserver/plan.h"

#include "platform/appserver/rounding.h"
#include "platform/toolkit/data/costrules.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>

namespace appsrv {

namespace {

std::string text(const tk::Variant &value)
{
    return value.isNull() ? std::string() : value.asString();
}

double number(const tk::Variant &value)
{
    return value.isNull() ? 0.0 : value.asDouble();
}

int serial(tk::TDateTime day)
{
    return static_cast<int>(std::floor(day));
}

// Prices of one price date, looked up once per product (by its index in the kitchen data).
class PriceCache
{
public:
    PriceCache(const PriceBook &book, const KitchenData &data) : m_book(book), m_data(data) {}
    const Price &get(int product, tk::TDateTime date)
    {
        if (date != m_date || m_prices.size() != m_data.products.size()) {
            m_prices.assign(m_data.products.size(), Price());
            m_known.assign(m_data.products.size(), false);
            m_date = date;
        }
        const auto index = static_cast<size_t>(product);
        if (!m_known[index]) {
            m_prices[index] = m_book.lookup(m_data.products[index].cdProduto, date);
            m_known[index] = true;
        }
        return m_prices[index];
    }

private:
    const PriceBook &m_book;   // Not owned.
    const KitchenData &m_data; // Not owned.
    tk::TDateTime m_date = -1;
    std::vector<Price> m_prices;
    std::vector<bool> m_known;
};

} // namespace

std::string effectiveCostBranch(const std::string &cdFiliCust, const std::string &cdFilial)
{
    return tk::Trim(cdFiliCust).empty() ? cdFilial : cdFiliCust;
}

double comensPrato(double qtComEstiCar, double vrPeConsCard)
{
    return tk::DishDiners(qtComEstiCar, vrPeConsCard);
}

std::string dayType(tk::TDateTime day, bool holiday)
{
    return holiday ? "8" : std::to_string(tk::DayOfWeek(day));
}

std::string KitchenData::dishKey(std::string_view cdFilAuxPrat, std::string_view cdPrato)
{
    std::string key;
    key.reserve(cdFilAuxPrat.size() + 1 + cdPrato.size());
    key.append(cdFilAuxPrat);
    key += '\x1f';
    key.append(cdPrato);
    return key;
}

bool KitchenData::isHoliday(tk::TDateTime day) const
{
    return std::find(holidays.begin(), holidays.end(), serial(day)) != holidays.end();
}

const MenuDay *KitchenData::menuDay(tk::TDateTime day) const
{
    const auto found = days.find(serial(day));
    return found == days.end() ? nullptr : &found->second;
}

int KitchenData::productIndex(std::string_view cdProduto)
{
    const auto found = m_productIds.find(cdProduto);
    if (found != m_productIds.end())
        return found->second;
    const int index = static_cast<int>(products.size());
    products.push_back(ProductInfo{std::string(cdProduto), {}, {}, {}});
    m_productIds.emplace(products.back().cdProduto, index);
    return index;
}

const std::vector<RecipeLine> &KitchenData::recipe(const MenuLine &line) const
{
    static const std::vector<RecipeLine> none;
    return line.dish < 0 ? none : dishes[static_cast<size_t>(line.dish)].recipe;
}

KitchenData KitchenData::load(db::Connection &connection, const std::string &filial, const std::string &servico,
                              tk::TDateTime first, tk::TDateTime last, unsigned parts)
{
    KitchenData data;
    data.first = std::floor(first);
    data.last = std::floor(last);
    const db::Params range{{"FILIAL", filial},
                           {"SERV", servico},
                           {"D1", tk::Variant::fromDateTime(data.first)},
                           {"D2", tk::Variant::fromDateTime(data.last)}};

    // The menus of the range by day and diet; the lines take their diners from their diet's menu.
    // Joined here rather than in SQL: one read of the few menu heads and dish names instead of two
    // index searches for every line.
    const tk::DataPacket heads = connection.query(
        "SELECT DTCARDAPIO, QTCOMESTICAR, QTCLIESTICAR, CDDIETPAD FROM CARDAPIO "
        "WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV AND DTCARDAPIO BETWEEN :D1 AND :D2",
        range);
    std::map<std::pair<double, std::string>, std::pair<double, double>> dietMenus; // diners by (day, diet)
    for (const auto &row : heads.rows) {
        MenuDay &day = data.days[serial(row[0].asDateTime())];
        day.hasMenu = true;
        day.qtComEstiCar += number(row[1]);
        day.qtCliEstiCar += number(row[2]);
        dietMenus[{row[0].asDateTime(), text(row[3])}] = {number(row[1]), number(row[2])};
    }

    const tk::DataPacket dishRows = connection.query(
        "SELECT P.CDFILAUXPRAT, P.CDPRATO, P.NMPRATO "
        "FROM (SELECT DISTINCT CDFILAUXPRAT, CDPRATO FROM ITCARDAPIO WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV "
        " AND DTCARDAPIO BETWEEN :D1 AND :D2) I "
        "JOIN PRATO P ON P.CDFILAUXPRAT = I.CDFILAUXPRAT AND P.CDPRATO = I.CDPRATO",
        range);
    std::unordered_map<std::string, int> dishIds; // by dishKey
    data.dishes.reserve(dishRows.rows.size());
    for (const auto &row : dishRows.rows) {
        dishIds.emplace(dishKey(text(row[0]), text(row[1])), static_cast<int>(data.dishes.size()));
        data.dishes.push_back(Dish{text(row[0]), text(row[1]), text(row[2]), {}});
    }

    // The lines of the range go straight into the plan's structures, without an intermediate packet.
    connection.forEachRow(
        "SELECT DTCARDAPIO, CDDIETPAD, CDFILAUXPRAT, CDPRATO, VRPECONSCARD FROM ITCARDAPIO "
        "WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV AND DTCARDAPIO BETWEEN :D1 AND :D2 "
        "ORDER BY DTCARDAPIO, CDDIETPAD, NRORDEM, CDPRATO",
        range, [&](const db::Connection::Row &row) {
            MenuLine line;
            const tk::TDateTime day = row.dateTime(0);
            line.cdDietPad = std::string(row.text(1));
            const auto menu = dietMenus.find({day, line.cdDietPad});
            const auto dish = dishIds.find(dishKey(row.text(2), row.text(3)));
            if (menu == dietMenus.end() || dish == dishIds.end())
                return; // a line without its menu or dish is not part of the plan
            const Dish &d = data.dishes[static_cast<size_t>(dish->second)];
            line.dish = dish->second;
            line.day = std::floor(day);
            line.cdFilAuxPrat = d.cdFilAuxPrat;
            line.cdPrato = d.cdPrato;
            line.nmPrato = d.nmPrato;
            line.vrPeConsCard = row.number(4);
            line.qtComEstiCar = menu->second.first;
            line.qtCliEstiCar = menu->second.second;
            line.comensPrato = comensPrato(line.qtComEstiCar, line.vrPeConsCard);
            data.lines.push_back(std::move(line));
        });

    if (parts & Recipes) {
        // Every recipe line of the dishes (the widest read), then the name, unit and season calendar of
        // each product once: joining PRODUTO here would search it again for every line.
        int dish = -1;
        std::string dishAux, dishPrato;
        bool first = true;
        connection.forEachRow(
            "SELECT R.CDFILAUXPRAT, R.CDPRATO, R.CDPRODUTO, R.SGUNIDPROD, R.QTPRODUTO, R.QTDERECE, R.VRFATCOR, "
            "R.VRFATCOC "
            "FROM (SELECT DISTINCT CDFILAUXPRAT, CDPRATO FROM ITCARDAPIO WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV "
            " AND DTCARDAPIO BETWEEN :D1 AND :D2) I "
            "JOIN PRATOPROD R ON R.CDFILAUXPRAT = I.CDFILAUXPRAT AND R.CDPRATO = I.CDPRATO",
            range, [&](const db::Connection::Row &row) {
                // The lines of one dish come together: its key is looked up when it changes.
                const std::string_view aux = row.text(0);
                const std::string_view prato = row.text(1);
                if (first || aux != dishAux || prato != dishPrato) {
                    first = false;
                    dishAux.assign(aux);
                    dishPrato.assign(prato);
                    const auto found = dishIds.find(dishKey(aux, prato));
                    dish = found == dishIds.end() ? -1 : found->second;
                }
                if (dish < 0)
                    return; // not a dish of the plan
                RecipeLine r;
                r.product = data.productIndex(row.text(2));
                r.sgUnidProd = std::string(row.text(3));
                r.qtProduto = row.number(4);
                r.qtdeRece = row.number(5);
                r.vrFatCor = row.number(6);
                r.vrFatCoc = row.number(7);
                r.qtdeBruta = roundDec(r.qtdeRece * r.vrFatCor, 6);
                data.dishes[static_cast<size_t>(dish)].recipe.push_back(std::move(r));
            });

        // The catalogue rows of those products in one statement: a statement per product costs a
        // round trip each on a database server.
        const size_t count = data.products.size(); // so far only recipe products
        std::vector<char> missing(count, 1);
        connection.forEachRow(
            "SELECT CDPRODUTO, NMPRODUTO, SGUNIDADE, IDINTESAFR FROM PRODUTO WHERE CDPRODUTO IN ("
            "SELECT R.CDPRODUTO FROM (SELECT DISTINCT CDFILAUXPRAT, CDPRATO FROM ITCARDAPIO WHERE CDFILIAL = :FILIAL "
            " AND CDSERVFILI = :SERV AND DTCARDAPIO BETWEEN :D1 AND :D2) I "
            "JOIN PRATOPROD R ON R.CDFILAUXPRAT = I.CDFILAUXPRAT AND R.CDPRATO = I.CDPRATO)",
            range, [&](const db::Connection::Row &row) {
                const auto found = data.m_productIds.find(row.text(0));
                if (found == data.m_productIds.end())
                    return; // a product of a dish that is not part of the plan
                ProductInfo &product = data.products[static_cast<size_t>(found->second)];
                product.nmProduto = std::string(row.text(1));
                product.sgUnidade = std::string(row.text(2));
                product.idInteSafr = std::string(row.text(3));
                missing[static_cast<size_t>(found->second)] = 0;
            });

        // Each dish's lines by product name, then code (unique in a dish): the order the packets and
        // the sums follow. The products are ranked once, so that the dishes sort on whole numbers;
        // std::string compares bytes as SQLite's BINARY collation does. A line whose product is not
        // in the catalogue is not part of the plan.
        std::vector<int> byName(count);
        for (size_t i = 0; i < count; ++i)
            byName[i] = static_cast<int>(i);
        std::sort(byName.begin(), byName.end(), [&](int a, int b) {
            const ProductInfo &pa = data.product(a);
            const ProductInfo &pb = data.product(b);
            const int order = pa.nmProduto.compare(pb.nmProduto);
            return order != 0 ? order < 0 : pa.cdProduto < pb.cdProduto;
        });
        std::vector<int> rank(count);
        for (size_t i = 0; i < count; ++i)
            rank[static_cast<size_t>(byName[i])] = static_cast<int>(i);
        for (Dish &d : data.dishes) {
            std::erase_if(d.recipe, [&](const RecipeLine &r) { return missing[static_cast<size_t>(r.product)] != 0; });
            std::sort(d.recipe.begin(), d.recipe.end(), [&](const RecipeLine &a, const RecipeLine &b) {
                return rank[static_cast<size_t>(a.product)] < rank[static_cast<size_t>(b.product)];
            });
        }
    }

    if (!(parts & Consumption))
        return data;

    const db::Params service{{"FILIAL", filial}, {"SERV", servico}};
    const tk::DataPacket types = connection.query(
        "SELECT TPCONS, CDTPRCONSFIX, NMTIPOPRAT, VRCUSTPADRTP FROM TIPOCONSSERV "
        "WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV ORDER BY CDTPRCONSFIX, TPCONS",
        service);
    for (const auto &row : types.rows)
        data.consumptionTypes.push_back({text(row[0]), text(row[1]), text(row[2]), number(row[3])});

    const tk::DataPacket items = connection.query(
        "SELECT C.IDTIPODIA, C.IDCONSUMO, C.CDPRODUTO, P.NMPRODUTO, P.SGUNIDADE, C.QTCONSSERV "
        "FROM CONSSERV C JOIN PRODUTO P ON P.CDPRODUTO = C.CDPRODUTO "
        "WHERE C.CDFILIAL = :FILIAL AND C.CDSERVFILI = :SERV "
        "ORDER BY C.IDTIPODIA, C.IDCONSUMO DESC, P.NMPRODUTO, C.CDPRODUTO",
        service);
    for (const auto &row : items.rows) {
        ConsumptionItem item{-1, text(row[0]), text(row[1]), text(row[2]), text(row[3]), text(row[4]), number(row[5])};
        item.product = data.productIndex(item.cdProduto);
        data.consumptionItems.push_back(std::move(item));
    }

    const tk::DataPacket rateio = connection.query(
        "SELECT CDRATEIO, DTINIVIGRAT, IDTIPORAT, VRRATEIO FROM RATEIOSERV "
        "WHERE CDFILIAL = :FILIAL AND CDSERVFILI = :SERV ORDER BY CDRATEIO, DTINIVIGRAT",
        service);
    for (const auto &row : rateio.rows)
        data.indirectCosts.push_back({text(row[0]), row[1].asDateTime(), text(row[2]), number(row[3])});

    const tk::DataPacket holidays = connection.query(
        "SELECT DTFERIFILI FROM FERIFILI WHERE CDFILIAL = :FILIAL AND DTFERIFILI BETWEEN :D1 AND :D2",
        {{"FILIAL", filial}, {"D1", tk::Variant::fromDateTime(data.first)},
         {"D2", tk::Variant::fromDateTime(data.last)}});
    for (const auto &row : holidays.rows)
        data.holidays.push_back(serial(row[0].asDateTime()));
    return data;
}

ConsumptionDay costConsumption(const KitchenData &data, const PriceBook &book, tk::TDateTime day,
                               const std::string &idTipoDia, double diners, tk::TDateTime priceDate)
{
    ConsumptionDay result;
    const MenuDay *menu = data.menuDay(day);
    if (!menu)
        return result; // no service that day: nothing is consumed
    PriceCache prices(book, data);
    std::map<std::string, double> sums;
    for (const ConsumptionItem &item : data.consumptionItems) {
        if (item.idTipoDia != idTipoDia)
            continue;
        ConsumptionLine line;
        line.item = &item;
        line.price = prices.get(item.product, priceDate);
        const tk::LineCost cost = tk::ConsumptionItemCost(item.qtConsServ, line.price.cost, item.idConsumo == "P", diners);
        line.qtdeTotal = cost.quantity;
        line.custoTotal = cost.cost;
        sums[item.idConsumo] += line.custoTotal;
        result.lines.push_back(line);
    }
    double total = 0;
    for (const ConsumptionType &type : data.consumptionTypes) {
        const auto sum = sums.find(type.tpCons);
        if (sum == sums.end())
            continue;
        result.types.push_back(&type);
        const double typeTotal = tk::CostTotal(sum->second);
        result.typeTotals[type.tpCons] = typeTotal;
        total += typeTotal;
    }
    result.total = tk::CostTotal(total);
    return result;
}

PriceBook loadPlanPrices(db::Connection &connection, const PricingContext &context, tk::TDateTime first,
                         tk::TDateTime last, const KitchenData &data)
{
    std::vector<std::string> codes;
    codes.reserve(data.products.size());
    for (const ProductInfo &product : data.products)
        codes.push_back(product.cdProduto);
    const tk::TDateTime from = context.refeFixa ? context.dtRefeFixa : first;
    const tk::TDateTime to = context.refeFixa ? context.dtRefeFixa : last;
    return PriceBook::load(connection, context.costBranch, context.tipoCusto, from, to, codes);
}

std::vector<PlannedDay> planMonth(const KitchenData &data, const PricingContext &context, const PriceBook &book)
{
    std::vector<PlannedDay> month;
    PriceCache prices(book, data);
    // Per-day accumulation by product index; turned into the day's map once the day is done.
    std::vector<PlannedProduct> byIndex(data.products.size());
    std::vector<char> used(data.products.size(), 0);
    std::vector<int> touched;
    auto product = [&](int index) -> PlannedProduct & {
        const auto i = static_cast<size_t>(index);
        if (!used[i]) {
            used[i] = 1;
            touched.push_back(index);
        }
        return byIndex[i];
    };
    auto line = data.lines.begin();
    for (tk::TDateTime day = data.first; day <= data.last; day += 1) {
        PlannedDay planned;
        planned.day = day;
        const MenuDay *menu = data.menuDay(day);
        while (line != data.lines.end() && line->day < day)
            ++line;
        if (!menu) {
            month.push_back(std::move(planned));
            continue;
        }
        planned.qtComEstiCar = menu->qtComEstiCar;
        planned.qtCliEstiCar = menu->qtCliEstiCar;
        const tk::TDateTime priceDate = context.priceDate(day);

        double material = 0;
        for (; line != data.lines.end() && line->day == day; ++line) {
            double dish = 0;
            for (const RecipeLine &r : data.recipe(*line)) {
                const Price &price = prices.get(r.product, priceDate);
                const tk::LineCost cost = tk::IngredientCost(r.qtdeBruta, price.cost, line->comensPrato);
                dish += cost.cost;
                PlannedProduct &p = product(r.product);
                p.qtMenu += cost.quantity;
                p.costMenu += cost.cost;
                p.inMenu = true;
                p.price = price;
                planned.outdated = planned.outdated || price.outdated;
            }
            material += dish;
        }
        planned.vrCustProdMat = tk::CostTotal(material);

        const ConsumptionDay consumption = costConsumption(data, book, day, dayType(day, data.isHoliday(day)),
                                                           menu->qtComEstiCar, priceDate);
        planned.vrCustoCons = consumption.total;
        for (const ConsumptionLine &c : consumption.lines) {
            PlannedProduct &p = product(c.item->product);
            p.qtConsumption += c.qtdeTotal;
            p.price = c.price;
            planned.outdated = planned.outdated || c.price.outdated;
        }
        for (int index : touched) {
            planned.products.emplace(data.product(index).cdProduto, byIndex[static_cast<size_t>(index)]);
            byIndex[static_cast<size_t>(index)] = PlannedProduct();
            used[static_cast<size_t>(index)] = 0;
        }
        touched.clear();

        // Indirect costs: for each allotment the row in force on the day.
        double indirect = 0;
        for (size_t i = 0; i < data.indirectCosts.size(); ++i) {
            const IndirectCost &cost = data.indirectCosts[i];
            const bool last = i + 1 == data.indirectCosts.size() || data.indirectCosts[i + 1].cdRateio != cost.cdRateio;
            if (cost.from > day)
                continue;
            if (!last && data.indirectCosts[i + 1].from <= day)
                continue; // a later row of the same allotment is in force
            indirect += cost.idTipoRat == "P" ? roundDec(cost.vrRateio * menu->qtComEstiCar, 5) : cost.vrRateio;
        }
        planned.vrCustoRat = roundDec(indirect, 5);
        month.push_back(std::move(planned));
    }
    return month;
}

} // namespace appsrv
