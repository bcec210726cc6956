// Which price a product has at a date: cost rows and supplier quotes.

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

} // namespace
