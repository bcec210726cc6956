#include "platform/appserver/pricing.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/variant.h"

#include <algorithm>
#include <cmath>

namespace appsrv {

bool isQuoteCostType(int tipoCusto)
{
    return tipoCusto == 6 || tipoCusto == 44 || tipoCusto == 48;
}

namespace {

bool entryBefore(const PriceEntry &a, const PriceEntry &b)
{
    if (a.from != b.from)
        return a.from < b.from;
    if (a.value != b.value)
        return a.value < b.value;
    return a.supplier < b.supplier;
}

} // namespace

namespace {

constexpr double kWindowDays = 62; // the first read reaches this far back before the first price date

} // namespace

void PriceBook::read(db::Connection &connection, const std::string &where, const db::Params &params)
{
    // Read straight into the book: price history is the largest table the server reads.
    if (m_quotes) {
        connection.forEachRow(
            "SELECT CDPRODUTO, DTINIVALITM, DTFINVALITM, VRCOTACAO, CDFORNECED, NMMARCA FROM COTACAO "
            "WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO AND " + where,
            params, [&](const db::Connection::Row &row) {
                PriceEntry e;
                e.from = row.dateTime(1);
                e.to = row.dateTime(2);
                e.value = row.number(3);
                e.supplier = std::string(row.text(4));
                e.brand = std::string(row.text(5));
                m_entries[std::string(row.text(0))].push_back(std::move(e));
            });
    } else {
        connection.forEachRow(
            "SELECT CDPRODUTO, DTINIVIGCUST, VRCUSTPROD, CDFORNECED, NMMARCA FROM CUSTOPROD "
            "WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO AND " + where,
            params, [&](const db::Connection::Row &row) {
                PriceEntry e;
                e.from = row.dateTime(1);
                e.value = row.number(2);
                e.supplier = std::string(row.text(3));
                e.brand = std::string(row.text(4));
                m_entries[std::string(row.text(0))].push_back(std::move(e));
            });
    }
}

PriceBook PriceBook::load(db::Connection &connection, const std::string &branch, int tipoCusto,
                          const std::string &product)
{
    PriceBook book;
    book.m_quotes = isQuoteCostType(tipoCusto);
    book.read(connection, "CDPRODUTO = :PROD", {{"FILIAL", branch}, {"TIPO", tipoCusto}, {"PROD", product}});
    book.finish();
    return book;
}

// A product's prices on the days asked for are settled by the rows read (every row that ends on or
// after `cut`, for quotes; every row that starts on or after it, for cost rows) when neither the row
// chosen nor the one before it could be a row not read: any such row ended (or started) before `cut`.
bool PriceBook::settled(const std::string &product, tk::TDateTime first, tk::TDateTime last, double cut) const
{
    const auto found = m_entries.find(product);
    if (found == m_entries.end())
        return false;
    for (tk::TDateTime day = first; day <= last; day += 1) {
        const Price price = lookup(product, day);
        if (!price.found || price.entry->from < cut)
            return false;
        bool before = false;
        for (const PriceEntry &e : found->second)
            before = before || (e.from >= cut && e.from < price.entry->from);
        if (!before)
            return false;
    }
    return true;
}

PriceBook PriceBook::load(db::Connection &connection, const std::string &branch, int tipoCusto, tk::TDateTime first,
                          tk::TDateTime last, const std::vector<std::string> &products)
{
    PriceBook book;
    book.m_quotes = isQuoteCostType(tipoCusto);
    first = std::floor(first);
    last = std::floor(last);
    const db::Params branchParams{{"FILIAL", branch}, {"TIPO", tipoCusto}};
    // Where the history begins: a read that reaches back to it has every row.
    const tk::DataPacket start = connection.query(
        book.m_quotes ? "SELECT MIN(DTFINVALITM) AS D FROM COTACAO WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO"
                      : "SELECT MIN(DTINIVIGCUST) AS D FROM CUSTOPROD WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO",
        branchParams);
    if (start.rows.empty() || start.rows[0][0].isNull())
        return book; // no prices at all
    tk::TDateTime historyStart = 0;
    const tk::Variant &startValue = start.rows[0][0];
    if (startValue.type() == tk::VarType::String)
        historyStart = tk::IsoToDateTime(startValue.asString());
    else
        historyStart = startValue.asDateTime();

    // The rows in force around the days asked for, found by index seeks on their validity dates.
    const double cut = first - kWindowDays;
    db::Params params = branchParams;
    params.emplace_back("CUT", tk::Variant::fromDateTime(cut));
    params.emplace_back("LAST", tk::Variant::fromDateTime(last));
    book.read(connection, book.m_quotes ? "DTFINVALITM >= :CUT AND DTINIVALITM <= :LAST" : "DTINIVIGCUST >= :CUT",
              params);
    book.finish();
    if (historyStart >= cut)
        return book; // the whole history was read

    // A product whose price the rows read do not settle (no recent price at all, or a price whose
    // predecessor is older than the window) is read whole: one index seek on the product.
    std::vector<std::string> unsettled;
    for (const std::string &product : products) {
        if (!book.settled(product, first, last, cut))
            unsettled.push_back(product);
    }
    std::sort(unsettled.begin(), unsettled.end());
    unsettled.erase(std::unique(unsettled.begin(), unsettled.end()), unsettled.end());
    db::Params productParams = branchParams;
    productParams.emplace_back("PROD", tk::Variant());
    for (const std::string &product : unsettled) {
        book.m_entries.erase(product);
        productParams.back().second = product;
        book.read(connection, "CDPRODUTO = :PROD", productParams);
    }
    if (!unsettled.empty())
        book.finish();
    return book;
}

void PriceBook::add(const std::string &product, PriceEntry entry)
{
    m_entries[product].push_back(std::move(entry));
    finish();
}

void PriceBook::finish()
{
    for (auto &[product, entries] : m_entries) {
        std::sort(entries.begin(), entries.end(), entryBefore);
        if (!m_quotes) {
            for (size_t i = 0; i < entries.size(); ++i) {
                entries[i].openEnded = i + 1 == entries.size();
                entries[i].to = entries[i].openEnded ? entries[i].from : entries[i + 1].from - 1;
            }
        }
    }
}

Price PriceBook::lookup(const std::string &product, tk::TDateTime date) const
{
    Price price;
    const auto found = m_entries.find(product);
    if (found == m_entries.end() || found->second.empty())
        return price;
    const std::vector<PriceEntry> &entries = found->second;
    const double day = std::floor(date);

    int chosen = -1;
    if (!m_quotes) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].from <= day)
                chosen = static_cast<int>(i);
        }
        if (chosen < 0)
            return price;
        price.previous = chosen > 0 ? entries[static_cast<size_t>(chosen) - 1].value : 0.0;
    } else {
        // Entries are sorted by start, then price: the last covering one started latest, and of
        // those started the same day the first is the cheapest.
        for (size_t i = 0; i < entries.size(); ++i) {
            const PriceEntry &e = entries[i];
            if (e.from <= day && day <= e.to
                && (chosen < 0 || e.from > entries[static_cast<size_t>(chosen)].from))
                chosen = static_cast<int>(i);
        }
        if (chosen < 0) {
            for (size_t i = 0; i < entries.size(); ++i) {
                const PriceEntry &e = entries[i];
                if (e.to >= day)
                    continue;
                if (chosen < 0) {
                    chosen = static_cast<int>(i);
                    continue;
                }
                const PriceEntry &best = entries[static_cast<size_t>(chosen)];
                if (e.to > best.to || (e.to == best.to && e.from > best.from))
                    chosen = static_cast<int>(i);
            }
            if (chosen < 0)
                return price;
            price.outdated = true;
        }
        const double start = entries[static_cast<size_t>(chosen)].from;
        int before = -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].from < start && (before < 0 || entries[i].from > entries[static_cast<size_t>(before)].from))
                before = static_cast<int>(i);
        }
        price.previous = before >= 0 ? entries[static_cast<size_t>(before)].value : 0.0;
    }
    price.found = true;
    price.entry = &entries[static_cast<size_t>(chosen)];
    price.cost = price.entry->value;
    price.from = price.entry->from;
    price.to = price.entry->to;
    price.openEnded = price.entry->openEnded;
    return price;
}

double PriceBook::lastKnownCost(const std::string &product, tk::TDateTime date) const
{
    const double day = std::floor(date);
    double cost = 0;
    for (const PriceEntry &e : entries(product)) {
        if (e.from > day)
            break; // sorted by start
        if (e.value != 0)
            cost = e.value;
    }
    return cost;
}

const std::vector<PriceEntry> &PriceBook::entries(const std::string &product) const
{
    static const std::vector<PriceEntry> none;
    const auto found = m_entries.find(product);
    return found == m_entries.end() ? none : found->second;
}

} // namespace appsrv
