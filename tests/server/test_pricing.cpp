// Which price a product has at a date: cost rows and supplier quotes; and the books read from a real
// database for a range of days, which must price exactly as the whole history does.

#include "fixture.h"

#include "platform/appserver/pricing.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

namespace {

using appsrv::PriceBook;
using appsrv::PriceEntry;

tk::TDateTime d(int month, int day)
{
    return tk::EncodeDate(2026, month, day);
}

PriceEntry quote(tk::TDateTime from, tk::TDateTime to, double value, const char *supplier = "S1")
{
    PriceEntry e;
    e.from = from;
    e.to = to;
    e.value = value;
    e.supplier = supplier;
    return e;
}

PriceEntry row(tk::TDateTime from, double value)
{
    PriceEntry e;
    e.from = from;
    e.value = value;
    return e;
}

struct Case
{
    const char *what;
    tk::TDateTime date;
    double cost;
    double previous;
    bool outdated;
    bool found;
};

void check(const PriceBook &book, const std::string &product, const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const appsrv::Price p = book.lookup(product, c.date);
        EXPECT_DOUBLE_EQ(p.cost, c.cost);
        EXPECT_DOUBLE_EQ(p.previous, c.previous);
        EXPECT_EQ(p.outdated, c.outdated);
        EXPECT_EQ(p.found, c.found);
        EXPECT_EQ(p.entry != nullptr, c.found);
    }
}

TEST(PriceBook, CostRowsInForceAtTheDate)
{
    PriceBook book;
    book.add("A", row(d(3, 10), 6.0));
    book.add("A", row(d(1, 1), 4.0));
    book.add("A", row(d(2, 1), 5.0));
    check(book, "A", {
        {"before the first row: no price", d(1, 1) - 1, 0, 0, false, false},
        {"first day of the first row", d(1, 1), 4.0, 0, false, true},
        {"between rows", d(2, 15), 5.0, 4.0, false, true},
        {"the day before a new row", d(3, 9), 5.0, 4.0, false, true},
        {"the day a new row starts", d(3, 10), 6.0, 5.0, false, true},
        {"time of day is ignored", d(3, 10) + 0.75, 6.0, 5.0, false, true},
        {"long after: the last row stays in force", d(12, 31), 6.0, 5.0, false, true},
    });
    check(book, "unknown", {{"a product without rows", d(3, 1), 0, 0, false, false}});
    const appsrv::Price p = book.lookup("A", d(2, 15));
    EXPECT_DOUBLE_EQ(p.entry->to, d(3, 9));
    EXPECT_FALSE(p.entry->openEnded);
    EXPECT_TRUE(book.lookup("A", d(5, 1)).entry->openEnded);
}

TEST(PriceBook, QuotesCoveringEarlierAndNone)
{
    PriceBook book;
    book.setQuoteBased(true);
    book.add("A", quote(d(1, 1), d(1, 31), 4.0));
    book.add("A", quote(d(2, 1), d(2, 28), 4.5));
    book.add("A", quote(d(3, 1), d(3, 20), 5.0));
    // A competing quote from the same day: the cheaper wins; a later start wins over an earlier one.
    book.add("A", quote(d(3, 1), d(3, 31), 5.2, "S2"));
    book.add("A", quote(d(3, 15), d(3, 31), 5.4, "S3"));
    check(book, "A", {
        {"no quote started yet", d(1, 1) - 1, 0, 0, false, false},
        {"first quote", d(1, 10), 4.0, 0, false, true},
        {"last day of a period is covered", d(1, 31), 4.0, 0, false, true},
        {"cheapest of two starting the same day", d(3, 5), 5.0, 4.5, false, true},
        {"the latest started covering quote", d(3, 16), 5.4, 5.0, false, true},
        {"after every period: the one that ended last, outdated", d(4, 2), 5.4, 5.0, true, true},
    });
    PriceBook gap;
    gap.setQuoteBased(true);
    gap.add("B", quote(d(1, 1), d(1, 31), 3.0));
    gap.add("B", quote(d(3, 1), d(3, 31), 3.3));
    check(gap, "B", {
        {"in a gap: the earlier quote, outdated", d(2, 10), 3.0, 0, true, true},
        {"a quote that only starts later does not count", d(2, 28), 3.0, 0, true, true},
        {"covered again", d(3, 1), 3.3, 3.0, false, true},
    });
    PriceBook future;
    future.setQuoteBased(true);
    future.add("C", quote(d(4, 1), d(4, 30), 9.0));
    check(future, "C", {{"only a future quote: no price", d(3, 15), 0, 0, false, false}});
}

TEST(PriceBook, QuoteBasedBases)
{
    for (int t : {6, 44, 48})
        EXPECT_TRUE(appsrv::isQuoteCostType(t)) << t;
    for (int t : {0, 1, 10, 30, 31, 45, 61, 62})
        EXPECT_FALSE(appsrv::isQuoteCostType(t)) << t;
}

// Forty months of prices for a few products with every shape the lookups know: monthly quotes,
// competing and same-day quotes, a quote valid for years, a product whose last quote ended long ago,
// one never priced, one priced only in the future; cost rows monthly, rarely, or long ago only.
class RangeBooks : public ::testing::TestWithParam<servertest::Backend>
{
protected:
    void SetUp() override
    {
        conn = db::Connection::open(file.path());
        db::createSchema(*conn);
        conn->exec("INSERT INTO FILIAL VALUES ('0002', 'Central', NULL);"
                   "INSERT INTO FORNECEDOR VALUES ('S1', 'J', '1', 'Um'); INSERT INTO FORNECEDOR VALUES ('S2', 'J', '2', 'Dois');");
        for (const char *p : {"MES", "DUO", "LONGO", "ANTIGO", "NUNCA", "FUTURO", "RARO"})
            conn->execute("INSERT INTO PRODUTO VALUES (:P, '1', :P, 'KG', NULL)", {{"P", p}});
        db::Transaction tx(*conn, db::TxMode::Immediate);
        auto quote = [&](const char *p, const char *s, tk::TDateTime from, tk::TDateTime to, double v) {
            conn->execute("INSERT INTO COTACAO VALUES ('0002', 44, :P, :S, :A, :B, :V, NULL)",
                          {{"P", p}, {"S", s}, {"A", tk::Variant::fromDateTime(from)},
                           {"B", tk::Variant::fromDateTime(to)}, {"V", v}});
        };
        auto cost = [&](const char *p, tk::TDateTime from, double v) {
            conn->execute("INSERT INTO CUSTOPROD VALUES ('0002', 1, :P, :A, :V, NULL, NULL)",
                          {{"P", p}, {"A", tk::Variant::fromDateTime(from)}, {"V", v}});
        };
        for (int m = 0; m < 40; ++m) {
            const tk::TDateTime start = tk::EncodeDate(2023 + m / 12, 1 + m % 12, 1);
            const tk::TDateTime end = tk::EndOfTheMonth(start);
            if (m % 7 != 3) // some months without a quote: priced from the last one, outdated
                quote("MES", "S1", start, m % 5 == 0 ? start + 19 : end, 5 + m * 0.1);
            quote("DUO", "S1", start, end, 7 + m * 0.05);
            quote("DUO", "S2", start + (m % 3), end, 7 + m * 0.04); // same day, or a later start
            cost("MES", start + (m % 4), 3 + m * 0.01);
            if (m % 13 == 0)
                cost("RARO", start, 2 + m);
        }
        quote("LONGO", "S2", tk::EncodeDate(2023, 2, 1), tk::EncodeDate(2027, 1, 31), 11);
        quote("LONGO", "S1", tk::EncodeDate(2022, 12, 1), tk::EncodeDate(2023, 1, 31), 10);
        quote("ANTIGO", "S1", tk::EncodeDate(2023, 1, 1), tk::EncodeDate(2023, 3, 31), 4);
        quote("ANTIGO", "S2", tk::EncodeDate(2022, 11, 1), tk::EncodeDate(2023, 1, 31), 3.5);
        quote("FUTURO", "S1", tk::EncodeDate(2027, 1, 1), tk::EncodeDate(2027, 1, 31), 9);
        cost("ANTIGO", tk::EncodeDate(2023, 1, 5), 1.5);
        cost("ANTIGO", tk::EncodeDate(2023, 2, 5), 1.6);
        tx.commit();
    }
    servertest::TempDb file{"ranges", GetParam()};
    std::unique_ptr<db::Connection> conn;
};
INSTANTIATE_TEST_SUITE_P(Backends, RangeBooks, ::testing::ValuesIn(servertest::backends()), servertest::backendName);

TEST_P(RangeBooks, PriceEveryDayAsTheWholeHistoryDoes)
{
    const std::vector<std::string> products = {"MES", "DUO", "LONGO", "ANTIGO", "NUNCA", "FUTURO", "RARO"};
    struct Range { int y, m, d1, d2; };
    const Range ranges[] = {{2023, 1, 1, 31}, {2023, 2, 10, 10}, {2024, 6, 1, 30}, {2025, 3, 1, 31},
                            {2026, 4, 15, 15}, {2026, 5, 1, 31}, {2026, 12, 20, 20}};
    for (int tipo : {44, 1}) {
        for (const Range &r : ranges) {
            const tk::TDateTime first = tk::EncodeDate(r.y, r.m, r.d1), last = tk::EncodeDate(r.y, r.m, r.d2);
            SCOPED_TRACE(std::to_string(tipo) + " " + tk::DateTimeToIso(first));
            const PriceBook book = PriceBook::load(*conn, "0002", tipo, first, last, products);
            for (const std::string &p : products) {
                const PriceBook whole = PriceBook::load(*conn, "0002", tipo, p);
                for (tk::TDateTime day = first; day <= last; day += 1) {
                    const appsrv::Price a = book.lookup(p, day), b = whole.lookup(p, day);
                    ASSERT_EQ(a.found, b.found) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.cost, b.cost) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.previous, b.previous) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.outdated, b.outdated) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.from, b.from) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.to, b.to) << p << " " << tk::DateTimeToIso(day);
                    EXPECT_EQ(a.openEnded, b.openEnded) << p << " " << tk::DateTimeToIso(day);
                }
            }
        }
    }
}

} // namespace
