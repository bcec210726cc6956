#include "platform/toolkit/data/locateindex.h"

#include "platform/toolkit/data/dataset_p.h"

#include <algorithm>
#include <cstring>

namespace tk::detail {

namespace {

// Locate hashes its key fields into contiguous arrays once this many scans of the records have run
// since the records last changed (a new filter or index keeps the hashes): hashing costs a few
// scans and then makes each Locate several times faster, so Locates repeated on the same records
// pay for it while an insert or a delete between two Locates never triggers it.
constexpr int kLocateScansBeforeCopy = 4;

uint64_t mixHash(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

} // namespace

uint64_t LocateIndex::hashText(const std::string &text)
{
    uint64_t h = 0xcbf29ce484222325ULL; // FNV-1a
    for (const char c : text) {
        h ^= uint8_t(c);
        h *= 0x100000001b3ULL;
    }
    return mixHash(h ^ text.size());
}

uint64_t LocateIndex::hashNumber(double value)
{
    if (value == 0)
        value = 0; // -0 equals 0
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return mixHash(bits ^ 0x6e756d626572ULL);
}

uint64_t LocateIndex::hashBoolean(bool value)
{
    return value ? 0x74727565ULL : 0x66616c73ULL;
}

uint64_t LocateIndex::hash(const Variant &v)
{
    const Variant::Storage &st = v.storage();
    if (const auto *s = std::get_if<std::string>(&st))
        return hashText(*s);
    double num = 0;
    if (numericOf(st, num))
        return hashNumber(num);
    if (const auto *b = std::get_if<bool>(&st))
        return hashBoolean(*b);
    if (v.isNull())
        return kNullHash;
    return 0x6f74686572ULL; // an array or a packet: no key matches it
}

void LocateIndex::recordsChanged()
{
    // Emptied but kept: the next copy reuses the memory instead of faulting in fresh pages.
    for (std::vector<uint64_t> &column : m_columns)
        column.clear();
    m_scans = 0;
}

void LocateIndex::release()
{
    recordsChanged();
    std::vector<std::vector<uint64_t>>().swap(m_columns);
}

void LocateIndex::adopt(std::vector<std::vector<uint64_t>> columns)
{
    m_columns = std::move(columns);
}

bool LocateIndex::hashedBefore(const std::string &fieldName) const
{
    return std::any_of(m_hashedNames.begin(), m_hashedNames.end(),
                       [&](const std::string &n) { return sameName(n, fieldName); });
}

void LocateIndex::recordChanged(const Records &records, const Record *record, int slot)
{
    // The records are the same: the hashes stay, with the record's new values. Most edits happen
    // with no hash to update; they skip the search for the record.
    const bool anyCurrent = std::any_of(m_columns.begin(), m_columns.end(),
                                        [&](const auto &column) { return column.size() == records.size(); });
    if (!anyCurrent || records.empty())
        return;
    if (slot < 0 || slot >= int(records.size()) || records[size_t(slot)].get() != record) {
        const auto it = std::find_if(records.begin(), records.end(),
                                     [record](const auto &r) { return r.get() == record; });
        if (it == records.end()) {
            recordsChanged();
            return;
        }
        slot = int(it - records.begin());
    }
    for (size_t f = 0; f < m_columns.size(); ++f)
        if (m_columns[f].size() == records.size())
            m_columns[f][size_t(slot)] = hash(record->values[f]);
}

void LocateIndex::build(const Fields &fields, const Records &records, const std::vector<size_t> &fieldIndices)
{
    if (m_columns.size() != fields.size())
        m_columns.resize(fields.size());
    std::vector<size_t> missing;
    for (size_t f : fieldIndices)
        if (m_columns[f].size() != records.size() && std::find(missing.begin(), missing.end(), f) == missing.end())
            missing.push_back(f);
    if (missing.empty())
        return;
    for (size_t f : missing) {
        m_columns[f].clear();
        m_columns[f].reserve(records.size());
        const std::string &name = fields[f]->FieldName();
        if (!hashedBefore(name))
            m_hashedNames.push_back(name);
    }
    // One pass over the records for every missing field.
    for (size_t i = 0; i < records.size(); ++i) {
        prefetchAhead(records, i, missing.front());
        const std::vector<Variant> &values = records[i]->values;
        for (size_t f : missing)
            m_columns[f].push_back(hash(values[f]));
    }
}

bool LocateIndex::current(const std::vector<size_t> &fieldIndices, size_t recordCount) const
{
    return std::all_of(fieldIndices.begin(), fieldIndices.end(), [&](size_t f) {
        return f < m_columns.size() && m_columns[f].size() == recordCount;
    });
}

bool LocateIndex::worthUsing(const std::vector<size_t> &fieldIndices, size_t recordCount) const
{
    return current(fieldIndices, recordCount) || m_scans >= kLocateScansBeforeCopy;
}

std::vector<const Record *> LocateIndex::candidates(const Records &records, const std::vector<size_t> &keyFields,
                                                    const std::vector<uint64_t> &wanted, size_t limit,
                                                    const std::function<bool(const Record &)> &matches) const
{
    std::vector<const uint64_t *> columns;
    for (size_t f : keyFields)
        columns.push_back(m_columns[f].data());
    const uint64_t *first = columns.front();
    const uint64_t firstWanted = wanted.front();
    const size_t count = records.size();
    std::vector<const Record *> found;
    for (size_t i = 0; i < count && found.size() <= limit; ++i) {
        if (first[i] != firstWanted)
            continue;
        size_t k = 1;
        while (k < columns.size() && columns[k][i] == wanted[k])
            ++k;
        if (k < columns.size())
            continue;
        const Record *r = records[i].get();
        if (matches(*r))
            found.push_back(r);
    }
    return found;
}

} // namespace tk::detail
