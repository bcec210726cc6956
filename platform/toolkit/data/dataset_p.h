#pragma once

// Private state of TClientDataSet, shared by dataset.cpp, datasetload.cpp, locateindex.cpp and field.cpp.
// Not part of the API.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/filter.h"
#include "platform/toolkit/data/locateindex.h"

#include <memory>
#include <string>
#include <strings.h>
#include <unordered_map>
#include <vector>

namespace tk {

namespace detail {

struct Record
{
    TBookmark id = kInvalidBookmark;
    std::vector<Variant> values; // one per field, in field order; calculated slots hold the cache
    uint64_t calcGen = 0;        // view generation the calculated values belong to (0: never)
};

// The record field reads see instead of the current one: a record being computed (calc), or a
// row a grid paints (WithViewRecord).
struct ActiveContext
{
    Record *record; // Not owned.
    bool calc;
};

// Whether a value is already in the storage type of a field (Null always is).
bool storedAs(const Variant &value, FieldType type);
// Converts a value to the storage type of a field; EDatabaseError when impossible.
Variant coerceToField(const Variant &value, FieldType type, const std::string &fieldName);

// Field and index names compare without case.
inline bool sameName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// The value of a number or a date, as Locate, the index order and the coercions see it.
inline bool numericOf(const Variant::Storage &st, double &out)
{
    if (const auto *d = std::get_if<double>(&st)) {
        out = *d;
        return true;
    }
    if (const auto *i = std::get_if<int32_t>(&st)) {
        out = *i;
        return true;
    }
    if (const auto *dt = std::get_if<Variant::DateTimeValue>(&st)) {
        out = dt->value;
        return true;
    }
    return false;
}

// Scans over the view chase two pointers per record (record, then its values); fetching a few
// records ahead hides most of that latency. `slot` is the value the scan reads first.
constexpr size_t kPrefetchDistance = 16;

// `records`: a vector of Record pointers, raw or owning.
template <typename Records>
inline void prefetchAhead(const Records &records, size_t i, size_t slot)
{
    if (i + 2 * kPrefetchDistance < records.size())
        __builtin_prefetch(&*records[i + 2 * kPrefetchDistance]);
    if (i + kPrefetchDistance < records.size())
        __builtin_prefetch(records[i + kPrefetchDistance]->values.data() + slot);
}

} // namespace detail

struct TClientDataSet::Impl
{
    explicit Impl(TClientDataSet *owner) : q(owner) {}

    TClientDataSet *q; // Not owned (the owner).

    // Structure.
    std::vector<std::unique_ptr<TField>> fields; // Owned.
    // Fields by upper-case name, built on the first search after the field list changed (call
    // fieldsChanged() after every change of `fields`).
    mutable std::unordered_map<std::string, TField *> fieldsByName;
    mutable bool fieldsByNameValid = false;
    void fieldsChanged() { fieldsByNameValid = false; }
    std::vector<TFieldDef> fieldDefs;
    std::vector<TIndexDef> indexDefs;
    std::string indexName;       // active named index, "" when none
    std::string indexFieldNames; // fields of the active index ("" for load order)
    bool indexDescending = false;
    std::vector<int> indexFields; // resolved positions of indexFieldNames

    // Content.
    bool active = false;
    TDataSetState state = TDataSetState::dsInactive;
    std::vector<std::unique_ptr<detail::Record>> records; // Owned; load order.
    std::unordered_map<TBookmark, detail::Record *> byId;
    TBookmark nextId = 1;
    std::vector<detail::Record *> sorted; // records in index order; valid when sortedValid
    bool sortedValid = false;

    // View and cursor.
    std::vector<detail::Record *> view;
    int cur = -1;
    bool eof = true;
    bool bof = true;
    uint64_t viewGen = 1;

    // Filter.
    std::string filterText;
    bool filtered = false;
    std::unique_ptr<FilterExpression> filter; // compiled while active and filtered; null: all pass

    // Calculated fields.
    bool calcWholeView = false;
    int64_t calcCount = 0;
    std::vector<detail::ActiveContext> stack;

    // Editing.
    std::vector<Variant> buffer;
    detail::Record *editRecord = nullptr; // Not owned; the record dsEdit changes.
    bool insertAppend = true;
    detail::Record *insertAnchor = nullptr; // Not owned; Insert places the record before it.

    detail::LocateIndex locateIndex; // see locateindex.h

    // Controls.
    int disableCount = 0;
    bool pendingActiveChange = false;
    std::vector<TDataSource *> sources; // Not owned.

    // --- helpers -----------------------------------------------------------------------------
    bool editing() const
    {
        return state == TDataSetState::dsEdit || state == TDataSetState::dsInsert;
    }
    bool hasDataFields() const;
    bool hasPersistentDataFields() const;

    // The values field reads see; nullptr when there is no active record.
    std::vector<Variant> *activeValues(bool forCalcField);
    void setFieldValue(TField &field, const Variant &value);

    void ensureCalc(detail::Record *record);
    void computeCalc(detail::Record *record);
    void computeWholeView();

    void checkActive() const;
    void checkNotComputing(const char *operation) const;
    void checkBrowseMode(); // posts a pending edit

    void resolveIndex();
    // Sets the index (a named one, or field names with an empty name) and rebuilds the view; on a
    // bad index the previous one stays and the error propagates.
    void changeIndex(const std::string &name, const std::string &fields, bool descending);
    const std::vector<detail::Record *> &orderedRecords();
    void rebuildView();
    int viewPosition(const detail::Record *record) const;
    std::unique_ptr<FilterExpression> compileFilter(const std::string &text) const;
    bool passesFilter(const detail::Record *record) const;

    // A new view (open, filter, index): recomputes, positions on the first record and notifies.
    void viewChanged(bool scrollEvents);
    void arrive(int oldCur);
    // hashes: Locate's hashes of the new records, by field index (LocateIndex::adopt), may be empty.
    void openWith(std::vector<std::unique_ptr<detail::Record>> newRecords,
                  std::vector<std::vector<uint64_t>> hashes = {});
    void clearContent();

    // An insert, a delete or a new load; an edit of one record (slot in `records`: a hint, may be stale).
    void recordsChanged();
    void recordChanged(const detail::Record *record, int slot);
    // The first view position holding one of `candidates` (any order), -1 when none does.
    int firstInView(std::vector<const detail::Record *> &candidates) const;

    void fire(const TDataSetNotifyEvent &event);
    void notify(TDataSource::Event event, TField *field = nullptr, int distance = 0);
};

} // namespace tk
