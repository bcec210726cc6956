#pragma once

// Locate's hash index of a dataset, owned by TClientDataSet::Impl. Not part of the API.
//
// It keeps the hashes of the key fields' values in load order (parallel to the dataset's records), by
// field index (empty: none): a search compares contiguous 8-byte hashes instead of chasing a record and
// its values per row, and reads a record only when all its hashes match. The hashes follow the records,
// not the view: a new filter or index keeps them and an edit updates its record's entries
// (recordChanged); an insert, a delete or a new load empties them (recordsChanged). Hashing costs more
// than a scan, so it is done only once a few record scans have run since they were last emptied.

#include "platform/toolkit/data/variant.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

class TField;

namespace detail {

struct Record;

class LocateIndex
{
public:
    using Records = std::vector<std::unique_ptr<Record>>;
    using Fields = std::vector<std::unique_ptr<TField>>;

    // Hashes of Locate's key values: two values Locate takes as equal hash alike (a text by its bytes,
    // a number by its double value whatever its storage, -0 as 0), so unequal hashes rule a record out.
    static uint64_t hash(const Variant &value);
    static uint64_t hashText(const std::string &text);
    static uint64_t hashNumber(double value);
    static uint64_t hashBoolean(bool value);
    static constexpr uint64_t kNullHash = 0x4e554c4cULL;

    // Whether a search on these data fields goes through the hashes: they are current, or enough scans
    // of the records have run to pay for hashing them.
    bool worthUsing(const std::vector<size_t> &fieldIndices, size_t recordCount) const;
    // A search that read the records themselves.
    void countScan() { ++m_scans; }

    // Hashes the fields of `fieldIndices` that are not current, in one pass over the records.
    void build(const Fields &fields, const Records &records, const std::vector<size_t> &fieldIndices);

    // The records (in load order) whose hashes of the key fields equal `wanted` (one per key) and for
    // which `matches` holds, at most limit + 1 of them: more than `limit` tells the caller to scan.
    // The hashes of those fields must be current (build).
    std::vector<const Record *> candidates(const Records &records, const std::vector<size_t> &keyFields,
                                           const std::vector<uint64_t> &wanted, size_t limit,
                                           const std::function<bool(const Record &)> &matches) const;

    // An insert, a delete or a new load: the hashes are emptied, their memory kept for the next build.
    void recordsChanged();
    // An edit of one record; slot in `records` is a hint, may be stale.
    void recordChanged(const Records &records, const Record *record, int slot);
    // The dataset's content went away: the hashes' memory too.
    void release();

    // A new load: the fields searched before are hashed while the load has their values at hand.
    bool hashedBefore(const std::string &fieldName) const;
    // The hashes a load made, by field index, for the new records (may be empty).
    void adopt(std::vector<std::vector<uint64_t>> columns);

private:
    bool current(const std::vector<size_t> &fieldIndices, size_t recordCount) const;

    std::vector<std::vector<uint64_t>> m_columns;
    // Names of the fields hashed so far: a new load hashes them as it reads its rows, so that a
    // dataset searched again after every reload does not read all its records on the first search.
    std::vector<std::string> m_hashedNames;
    int m_scans = 0;
};

} // namespace detail
} // namespace tk
