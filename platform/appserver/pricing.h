#pragma once

// Unit costs of products: the one place that decides which price a product has at a date.
//
// Cost rows (every basis except the quote-based ones): the row in force at the date is the latest
// whose start DTINIVIGCUST is on or before it; the previous price is the row before that one.
// Quote-based bases (6, 44, 48): the supplier quote whose validity period covers the date (of several,
// the latest started, then the cheapest, then the lowest supplier code); when none covers it, the
// quote that ended last before the date, flagged outdated. Quotes that only start after the date do
// not count. The previous price is the quote that started last before the one used.
// No price at all gives a cost of 0.

#include "platform/database/sqldb.h"
#include "platform/toolkit/data/variant.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace appsrv {

bool isQuoteCostType(int tipoCusto);

struct PriceEntry
{
    tk::TDateTime from = 0;
    tk::TDateTime to = 0;   // last valid day; for cost rows the day before the next row starts
    bool openEnded = false; // a cost row with no later row
    double value = 0;
    std::string supplier;   // CDFORNECED, may be empty
    std::string brand;      // NMMARCA, may be empty
};

struct Price
{
    double cost = 0;     // CustoProd
    double previous = 0; // CUSTOPRODANT
    bool found = false;
    bool outdated = false;
    // Period of the quote or cost row behind the price (when found); copied, so that a price outlives
    // its book.
    tk::TDateTime from = 0;
    tk::TDateTime to = 0;
    bool openEnded = false;
    const PriceEntry *entry = nullptr; // Not owned: the book's entry; valid only while the book lives.
};

class PriceBook
{
public:
    PriceBook() = default;
    // Every price of one product at one branch and basis.
    static PriceBook load(db::Connection &connection, const std::string &branch, int tipoCusto,
                          const std::string &product);
    // The prices of one branch and basis that decide the lookups of `products` on the days from
    // `first` to `last`: the rows in force around those days, found by index seeks on their validity
    // dates, so that the rows read do not grow with the length of the history. A product that the
    // recent rows do not settle is read whole. Lookups of other products or days may differ from a
    // book of the whole history.
    static PriceBook load(db::Connection &connection, const std::string &branch, int tipoCusto, tk::TDateTime first,
                          tk::TDateTime last, const std::vector<std::string> &products);

    Price lookup(const std::string &product, tk::TDateTime date) const;
    // The latest non-zero price of the product that started on or before the date (0 when none):
    // what a product without cost is estimated at.
    double lastKnownCost(const std::string &product, tk::TDateTime date) const;
    // Every entry of the product, by start (empty when it has none).
    const std::vector<PriceEntry> &entries(const std::string &product) const;
    bool quoteBased() const { return m_quotes; }

    // For tests and the fixtures: adds one entry (entries may come in any order).
    void add(const std::string &product, PriceEntry entry);
    void setQuoteBased(bool quotes) { m_quotes = quotes; }

private:
    void finish();
    void read(db::Connection &connection, const std::string &where, const db::Params &params);
    bool settled(const std::string &product, tk::TDateTime first, tk::TDateTime last, double cut) const;

    bool m_quotes = false;
    std::unordered_map<std::string, std::vector<PriceEntry>> m_entries; // sorted by start
};

} // namespace appsrv
