#include "platform/appserver/pricing.h"

#include "platform/toolkit/data/datetime.h"

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

PriceBook PriceBook::load(db::Connection &connection, const std::string &branch, int tipoCusto,
                          const std::string &product)
{
    PriceBook book;
    book.m_quotes = isQuoteCostType(tipoCusto);
    const db::Params params{{"FILIAL", branch}, {"TIPO", tipoCusto}, {"PROD", product}};
    const std::string onlyProduct = product.empty() ? "" : " AND CDPRODUTO = :PROD";
    // Read straight into the book: a branch's price history is the largest table the server reads.
    if (book.m_quotes) {
        connection.forEachRow(
            "SELECT CDPRODUTO, DTINIVALITM, DTFINVALITM, VRCOTACAO, CDFORNECED, NMMARCA FROM COTACAO "
            "WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO" + onlyProduct,
            params, [&](const db::Connection::Row &row) {
                PriceEntry e;
                e.from = row.dateTime(1);
                e.to = row.dateTime(2);
                e.value = row.number(3);
                e.supplier = std::string(row.text(4));
                e.brand = std::string(row.text(5));
                book.m_entries[std::string(row.text(0))].push_back(std::move(e));
            });
    } else {
        connection.forEachRow(
            "SELECT CDPRODUTO, DTINIVIGCUST, VRCUSTPROD, CDFORNECED, NMMARCA FROM CUSTOPROD "
            "WHERE CDFILIAL = :FILIAL AND CDTIPOCUSTO = :TIPO" + onlyProduct,
            params, [&](const db::Connection::Row &row) {
                PriceEntry e;
                e.from = row.dateTime(1);
                e.value = row.number(2);
                e.supplier = std::string(row.text(3));
                e.brand = std::string(row.text(4));
                book.m_entries[std::string(row.text(0))].push_back(std::move(e));
            });
    }
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

} // namespace appsrv
