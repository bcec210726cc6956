// The demo at scale: the months before the demo month (menus, prices, the realized side) and further
// kitchens, made from the demo month already written, so that the demo month itself stays exactly what
// one seed gives. Rows go in through bulk writers (COPY on PostgreSQL). The choices come from a random
// stream of their own, seeded from the demo's seed.

#include "platform/database/demodata.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace db {

namespace {

class Stream
{
public:
    explicit Stream(uint64_t seed) : m_state(seed * 0xD1B54A32D192ED03ull + 0x8CB92BA72F3D8DD7ull) {}
    double uniform(double low, double high)
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return low + (high - low) * (static_cast<double>(z >> 11) / 9007199254740992.0);
    }

private:
    uint64_t m_state;
};

std::string text(const tk::Variant &v)
{
    return v.isNull() ? std::string() : v.asString();
}

tk::TDateTime dateOf(const tk::Variant &v)
{
    return v.type() == tk::VarType::String ? tk::IsoToDateTime(v.asString()) : std::floor(v.asDateTime());
}

tk::Variant day(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}

std::string kitchenCode(int index)
{
    // 0001 is the demo kitchen and 0002 the cost branch; further kitchens follow from 0003.
    const int number = index == 0 ? 1 : index + 2;
    std::string code = std::to_string(number);
    return std::string(4 - std::min<size_t>(4, code.size()), '0') + code;
}

// The day of the demo month that a day of another month copies: the same weekday, in the same week
// of the month as far as `lastSource` allows.
tk::TDateTime sourceDay(tk::TDateTime target, tk::TDateTime first, tk::TDateTime lastSource)
{
    const int shift = (tk::DayOfWeek(target) - tk::DayOfWeek(first) + 7) % 7;
    const int week = static_cast<int>(target - tk::StartOfTheMonth(target)) / 7;
    tk::TDateTime source = first + shift + 7 * week;
    while (source > lastSource)
        source -= 7;
    return source;
}

struct Row
{
    std::vector<tk::Variant> values;
};

// The first day of the month `delta` months from the month of `value`.
tk::TDateTime addMonths(tk::TDateTime value, int delta)
{
    tk::TDateTime month = tk::StartOfTheMonth(value);
    for (; delta > 0; --delta)
        month = tk::EndOfTheMonth(month) + 1;
    for (; delta < 0; ++delta)
        month = tk::StartOfTheMonth(month - 1);
    return month;
}

std::map<int, std::vector<Row>> byDay(Connection &c, const std::string &sql, const Params &params, size_t dayColumn)
{
    std::map<int, std::vector<Row>> rows;
    for (auto &row : c.query(sql, params).rows) {
        const int d = static_cast<int>(dateOf(row[dayColumn]));
        rows[d].push_back(Row{std::move(row)});
    }
    return rows;
}

} // namespace

void generateDemoScale(Connection &c, const DemoOptions &options, DemoSummary &summary)
{
    if (options.months <= 1 && options.branches <= 1)
        return;
    Stream random(options.seed ^ 0x5CA1Eull);
    const tk::TDateTime first = tk::EncodeDate(options.year, options.month, 1);
    const tk::TDateTime last = tk::EndOfTheMonth(first);
    const tk::TDateTime processing = tk::EncodeDate(options.year, options.month, 16);
    const tk::TDateTime previousMonth = tk::StartOfTheMonth(first - 1);
    const tk::TDateTime twoMonthsBack = tk::StartOfTheMonth(previousMonth - 1);
    const std::string demoKitchen = "0001";
    const Params kitchen{{"F", demoKitchen}, {"D1", day(first)}, {"D2", day(last)}};

    // The demo month of the demo kitchen, by day: what every other month and kitchen copies.
    const auto menus = byDay(c, "SELECT CDSERVFILI, DTCARDAPIO, CDDIETPAD, QTCOMESTICAR, QTCLIESTICAR FROM CARDAPIO "
                                "WHERE CDFILIAL = :F AND DTCARDAPIO BETWEEN :D1 AND :D2", kitchen, 1);
    const auto lines = byDay(c, "SELECT CDSERVFILI, DTCARDAPIO, CDDIETPAD, CDFILAUXPRAT, CDPRATO, NRORDEM, VRPECONSCARD "
                                "FROM ITCARDAPIO WHERE CDFILIAL = :F AND DTCARDAPIO BETWEEN :D1 AND :D2", kitchen, 1);
    const auto effective = byDay(c, "SELECT CDSERVFILI, DTCARDAPIO, QTCOMEFETCAR, QTCLIEFETCAR FROM COMENSEFET "
                                    "WHERE CDFILIAL = :F AND DTCARDAPIO BETWEEN :D1 AND :D2", kitchen, 1);
    const auto withdrawals = byDay(c, "SELECT CDSERVFILI, DTRETIRADA, CDPRODUTO, QTRETIRADA FROM RETIRADA "
                                      "WHERE CDFILIAL = :F AND DTRETIRADA BETWEEN :D1 AND :D2", kitchen, 1);
    const tk::Variant lastNumber =
        c.query("SELECT MAX(NRRETIRADA) AS N FROM RETIRADA WHERE CDFILIAL = :F", {{"F", demoKitchen}}).rows[0][0];
    const int demoWithdrawals = lastNumber.isNull() ? 0 : static_cast<int>(lastNumber.asDouble());

    auto cardapio = c.bulkInsert("CARDAPIO", {"CDFILIAL", "CDSERVFILI", "DTCARDAPIO", "CDDIETPAD", "QTCOMESTICAR",
                                              "QTCLIESTICAR"});
    auto itens = c.bulkInsert("ITCARDAPIO", {"CDFILIAL", "CDSERVFILI", "DTCARDAPIO", "CDDIETPAD", "CDFILAUXPRAT",
                                             "CDPRATO", "NRORDEM", "VRPECONSCARD"});
    auto comensais = c.bulkInsert("COMENSEFET", {"CDFILIAL", "CDSERVFILI", "DTCARDAPIO", "QTCOMEFETCAR", "QTCLIEFETCAR"});
    auto retiradas = c.bulkInsert("RETIRADA", {"CDFILIAL", "CDSERVFILI", "NRRETIRADA", "DTRETIRADA", "CDPRODUTO",
                                               "QTRETIRADA"});
    auto cotacoes = c.bulkInsert("COTACAO", {"CDFILIAL", "CDTIPOCUSTO", "CDPRODUTO", "CDFORNECED", "DTINIVALITM",
                                             "DTFINVALITM", "VRCOTACAO", "NMMARCA"});
    auto custos = c.bulkInsert("CUSTOPROD", {"CDFILIAL", "CDTIPOCUSTO", "CDPRODUTO", "DTINIVIGCUST", "VRCUSTPROD",
                                             "CDFORNECED", "NMMARCA"});

    // Further kitchens: the demo kitchen's service, parameters, diets, consumption and indirect costs.
    for (int k = 1; k < options.branches; ++k) {
        const Params copy{{"K", kitchenCode(k)}, {"F", demoKitchen}, {"N", "Restaurante Unidade " + kitchenCode(k)}};
        c.execute("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, DTPROCESSO) SELECT :K, :N, DTPROCESSO FROM FILIAL "
                  "WHERE CDFILIAL = :F", copy);
        for (const char *table : {"SERVICO (CDFILIAL, CDSERVFILI, NMSERVICO) SELECT :K, CDSERVFILI, NMSERVICO",
                                  "PARAMFILIAL (CDFILIAL, IDCOMCUSPERC) SELECT :K, IDCOMCUSPERC",
                                  "PARAMPLANEJA (CDFILIAL, IDUTILFATCOR, IDUTILFATCOC, IDTIPCALCFAT, NRCORSAFRA, "
                                  "NRCORINICSAF, NRCORENTRSAF) SELECT :K, IDUTILFATCOR, IDUTILFATCOC, IDTIPCALCFAT, "
                                  "NRCORSAFRA, NRCORINICSAF, NRCORENTRSAF",
                                  "FERIFILI (CDFILIAL, DTFERIFILI, NMFERIFILI) SELECT :K, DTFERIFILI, NMFERIFILI",
                                  "DIETSERV (CDFILIAL, CDSERVFILI, CDDIETPAD) SELECT :K, CDSERVFILI, CDDIETPAD",
                                  "TIPOCONSSERV (CDFILIAL, CDSERVFILI, TPCONS, CDTPRCONSFIX, NMTIPOPRAT, VRCUSTPADRTP) "
                                  "SELECT :K, CDSERVFILI, TPCONS, CDTPRCONSFIX, NMTIPOPRAT, VRCUSTPADRTP",
                                  "CONSSERV (CDFILIAL, CDSERVFILI, IDTIPODIA, IDCONSUMO, CDPRODUTO, QTCONSSERV) "
                                  "SELECT :K, CDSERVFILI, IDTIPODIA, IDCONSUMO, CDPRODUTO, QTCONSSERV",
                                  "RATEIOSERV (CDFILIAL, CDSERVFILI, CDRATEIO, DTINIVIGRAT, NMRATEIO, IDTIPORAT, VRRATEIO) "
                                  "SELECT :K, CDSERVFILI, CDRATEIO, DTINIVIGRAT, NMRATEIO, IDTIPORAT, VRRATEIO",
                                  "CUSTPADR (CDFILIAL, CDSERVFILI, DTINIVIGPADR, VRCUSTPADR) "
                                  "SELECT :K, CDSERVFILI, DTINIVIGPADR, VRCUSTPADR"}) {
            const std::string sql = std::string(table);
            const std::string name = sql.substr(0, sql.find(' '));
            c.execute("INSERT INTO " + sql + " FROM " + name + " WHERE CDFILIAL = :F", copy);
        }
    }

    // The months of the history, oldest first, and the demo month itself for the further kitchens.
    const int months = std::max(1, options.months);
    const tk::TDateTime oldest = addMonths(first, -(months - 1));
    // Indirect costs and the standard cost are in force over the whole history.
    if (months > 1) {
        for (int k = 0; k < options.branches; ++k) {
            const Params older{{"K", kitchenCode(k)}, {"D", day(oldest)}, {"F", demoKitchen}};
            c.execute("INSERT INTO RATEIOSERV (CDFILIAL, CDSERVFILI, CDRATEIO, DTINIVIGRAT, NMRATEIO, IDTIPORAT, VRRATEIO) "
                      "SELECT :K, CDSERVFILI, CDRATEIO, :D, NMRATEIO, IDTIPORAT, VRRATEIO FROM RATEIOSERV R "
                      "WHERE CDFILIAL = :F AND DTINIVIGRAT = (SELECT MIN(DTINIVIGRAT) FROM RATEIOSERV X "
                      "WHERE X.CDFILIAL = R.CDFILIAL AND X.CDSERVFILI = R.CDSERVFILI AND X.CDRATEIO = R.CDRATEIO) "
                      "AND DTINIVIGRAT > :D",
                      older);
            c.execute("INSERT INTO CUSTPADR (CDFILIAL, CDSERVFILI, DTINIVIGPADR, VRCUSTPADR) "
                      "SELECT :K, CDSERVFILI, :D, VRCUSTPADR FROM CUSTPADR P WHERE CDFILIAL = :F AND DTINIVIGPADR = "
                      "(SELECT MIN(DTINIVIGPADR) FROM CUSTPADR X WHERE X.CDFILIAL = P.CDFILIAL "
                      "AND X.CDSERVFILI = P.CDSERVFILI) AND DTINIVIGPADR > :D",
                      older);
        }
    }

    // Price history: each month before the demo's own quotes (it writes the previous month's and the
    // cost rows of the two months before) has a quote a product and a cost row, drifting back in time.
    if (months > 1) {
        // Joined with the grouped first dates rather than a subquery a row: the keys of these tables
        // are off during the load, and a correlated subquery would read the table once a row.
        const tk::DataPacket earliestQuotes = c.query(
            "SELECT Q.CDFILIAL, Q.CDTIPOCUSTO, Q.CDPRODUTO, Q.CDFORNECED, Q.VRCOTACAO, Q.NMMARCA FROM COTACAO Q "
            "JOIN (SELECT CDFILIAL, CDTIPOCUSTO, CDPRODUTO, CDFORNECED, MIN(DTINIVALITM) AS D FROM COTACAO "
            "GROUP BY CDFILIAL, CDTIPOCUSTO, CDPRODUTO, CDFORNECED) X ON X.CDFILIAL = Q.CDFILIAL "
            "AND X.CDTIPOCUSTO = Q.CDTIPOCUSTO AND X.CDPRODUTO = Q.CDPRODUTO AND X.CDFORNECED = Q.CDFORNECED "
            "AND X.D = Q.DTINIVALITM "
            "ORDER BY Q.CDFILIAL, Q.CDTIPOCUSTO, Q.CDPRODUTO, Q.CDFORNECED");
        const tk::DataPacket oldestCosts = c.query(
            "SELECT P.CDFILIAL, P.CDTIPOCUSTO, P.CDPRODUTO, P.VRCUSTPROD, P.CDFORNECED, P.NMMARCA FROM CUSTOPROD P "
            "JOIN (SELECT CDFILIAL, CDTIPOCUSTO, CDPRODUTO, MIN(DTINIVIGCUST) AS D FROM CUSTOPROD "
            "GROUP BY CDFILIAL, CDTIPOCUSTO, CDPRODUTO) X ON X.CDFILIAL = P.CDFILIAL "
            "AND X.CDTIPOCUSTO = P.CDTIPOCUSTO AND X.CDPRODUTO = P.CDPRODUTO AND X.D = P.DTINIVIGCUST "
            "WHERE P.CDTIPOCUSTO <> 10 ORDER BY P.CDFILIAL, P.CDTIPOCUSTO, P.CDPRODUTO");
        for (tk::TDateTime month = oldest; month < previousMonth; month = addMonths(month, 1)) {
            const double back = std::round((previousMonth - month) / 30.4);
            for (const auto &q : earliestQuotes.rows) {
                const double drift = std::pow(0.994, back) * random.uniform(0.98, 1.02);
                cotacoes->add({q[0], q[1], q[2], q[3], day(month), day(tk::EndOfTheMonth(month)),
                               tk::RoundDec(q[4].asDouble() * drift, 4), q[5]});
                ++summary.quotes;
            }
            if (month >= twoMonthsBack)
                continue;
            for (const auto &p : oldestCosts.rows) {
                const double drift = std::pow(0.994, back) * random.uniform(0.98, 1.02);
                custos->add({p[0], p[1], p[2], day(month), tk::RoundDec(p[3].asDouble() * drift, 4), p[4], p[5]});
            }
        }
        cotacoes->finish();
        custos->finish();
    }

    // Menus and the realized side, a kitchen and a month at a time.
    const int total = options.branches * months - 1;
    int done = 0;
    const tk::TDateTime lastRealized = processing - 1;
    for (int k = 0; k < options.branches; ++k) {
        const std::string code = kitchenCode(k);
        const double size = k == 0 ? 1.0 : random.uniform(0.6, 1.5); // each kitchen serves its own crowd
        int withdrawal = k == 0 ? demoWithdrawals : 0;                    // numbered per kitchen
        for (tk::TDateTime month = oldest; month <= first; month = addMonths(month, 1)) {
            if (k == 0 && month == first)
                continue; // the demo month of the demo kitchen is written already
            const bool current = month == first;
            for (tk::TDateTime d = month; d <= tk::EndOfTheMonth(month); d += 1) {
                const int source = static_cast<int>(current ? d : sourceDay(d, first, last));
                const auto menu = menus.find(source);
                if (menu == menus.end())
                    continue;
                for (const Row &m : menu->second) {
                    const double diners = std::round(m.values[3].asDouble() * size * random.uniform(0.95, 1.05));
                    const double clients = std::round(diners * random.uniform(0.84, 0.9));
                    cardapio->add({code, m.values[0], day(d), m.values[2], diners, clients});
                }
            }
            cardapio->finish(); // the menu heads before their lines
            for (tk::TDateTime d = month; d <= tk::EndOfTheMonth(month); d += 1) {
                const int source = static_cast<int>(current ? d : sourceDay(d, first, last));
                const auto found = lines.find(source);
                if (found == lines.end())
                    continue;
                for (const Row &l : found->second) {
                    itens->add({code, l.values[0], day(d), l.values[2], l.values[3], l.values[4], l.values[5],
                                l.values[6]});
                    ++summary.menuLines;
                }
            }
            itens->finish(); // the lines' rows are all made: the wire is free for the realized side
            // Days before the processing date are realized: the demo month's first half, every day before.
            for (tk::TDateTime d = month; d <= tk::EndOfTheMonth(month) && (!current || d < processing); d += 1) {
                int source = static_cast<int>(current ? d : sourceDay(d, first, lastRealized));
                // A day the demo month has no withdrawal for is copied from the same weekday a week off.
                if (!current && !withdrawals.count(source))
                    source += source + 7 <= static_cast<int>(lastRealized) ? 7 : -7;
                const auto diners = effective.find(source);
                if (diners != effective.end()) {
                    for (const Row &e : diners->second) {
                        const double all = std::round(e.values[2].asDouble() * size * random.uniform(0.95, 1.05));
                        comensais->add({code, e.values[0], day(d), all, std::round(all * random.uniform(0.85, 0.9))});
                    }
                }
                const auto taken = withdrawals.find(source);
                if (taken == withdrawals.end())
                    continue;
                for (const Row &r : taken->second) {
                    const double q = tk::RoundDec(r.values[3].asDouble() * size * random.uniform(0.9, 1.1), 3);
                    retiradas->add({code, r.values[0], ++withdrawal, day(d), r.values[2], std::max(q, 0.001)});
                    ++summary.withdrawals;
                }
            }
            comensais->finish();
            retiradas->finish();
            ++done;
            if (options.progress)
                options.progress("demo-db: kitchen " + std::to_string(k + 1) + "/" + std::to_string(options.branches)
                                 + ", " + tk::DateTimeToIso(month).substr(0, 7) + " (" + std::to_string(done) + "/"
                                 + std::to_string(total) + " kitchen-months)");
        }
    }
}

} // namespace db
