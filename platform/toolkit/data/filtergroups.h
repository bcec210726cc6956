#pragma once

// The records of a dataset grouped once by the values of a few key fields, so that an equality filter
// on those fields ("CDPRATO = '001' AND CDFILAUXPRAT = '0001'", as FilterEq and FilterAnd build it) is
// answered by one lookup instead of a new view of the dataset. A filter is read by the dataset's own
// parser and a record's key is made by the rules of its equality (filter.h): a group holds exactly the
// records that filter would select, in the order of the unfiltered view at the time of the pass.
//
// Each group keeps what the caller read from its records during the pass (the payload), not the
// records themselves: the groups stay valid until the caller drops them, whatever happens to the
// dataset after, and the owner builds new ones after each load.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/filter.h"

#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tk {

// The part that does not depend on the payload.
class FilterKeys
{
public:
    // EDatabaseError for a key field the dataset does not have (or a calculated one).
    FilterKeys(const TClientDataSet &ds, std::vector<std::string> fields);

    // One pass over the unfiltered view (the filter is restored after, controls stay disabled
    // meanwhile), with the current record on each record in turn: `fn` gets the record's key, or
    // nullptr when no equality filter on the key fields selects it.
    void ForEachRecord(TClientDataSet &ds, const std::function<void(const std::string *key)> &fn) const;

    // The key a filter selects; EFilterError when the text is bad or is not one equality on each key field.
    std::string FilterKey(const TClientDataSet &ds, const std::string &filter) const;

private:
    std::vector<std::string> m_names;
    std::vector<int> m_indices;
};

template<typename T>
class TFilterGroups
{
public:
    // `read` is called on every record of the pass, the record current; its value joins the group of
    // the record's key (records no equality selects are read and left out).
    TFilterGroups(TClientDataSet &ds, std::vector<std::string> fields, const std::function<T()> &read)
        : m_keys(ds, std::move(fields)), m_dataset(&ds)
    {
        m_keys.ForEachRecord(ds, [&](const std::string *key) {
            T value = read();
            if (key)
                m_groups[*key].push_back(std::move(value));
        });
    }

    // The payloads of the records `filter` selects, in view order (empty when none); EFilterError as
    // FilterKeys::FilterKey. The dataset must still be alive (its fields read the text).
    const std::vector<T> &Select(const std::string &filter) const
    {
        static const std::vector<T> none;
        const auto found = m_groups.find(m_keys.FilterKey(*m_dataset, filter));
        return found == m_groups.end() ? none : found->second;
    }

private:
    FilterKeys m_keys;
    const TClientDataSet *m_dataset; // Not owned.
    std::unordered_map<std::string, std::vector<T>> m_groups;
};

} // namespace tk
