#include "platform/toolkit/data/filtergroups.h"

#include "platform/toolkit/data/datasource.h"

namespace tk {

FilterKeys::FilterKeys(const TClientDataSet &ds, std::vector<std::string> fields) : m_names(std::move(fields))
{
    for (const std::string &name : m_names) {
        const TField *field = ds.FieldByName(name);
        if (field->Calculated())
            throw EDatabaseError("Field '" + name + "' is calculated and cannot key a filter");
        m_indices.push_back(field->Index());
    }
}

void FilterKeys::ForEachRecord(TClientDataSet &ds, const std::function<void(const std::string *key)> &fn) const
{
    if (!ds.Active())
        return;
    std::vector<const TField *> fields;
    for (const std::string &name : m_names)
        fields.push_back(ds.FieldByName(name));
    std::vector<Variant> values(fields.size());
    std::vector<const Variant *> pointers;
    for (const Variant &value : values)
        pointers.push_back(&value);

    const bool wasFiltered = ds.Filtered();
    DisableControlsGuard controls(ds);
    if (wasFiltered)
        ds.SetFiltered(false);
    try {
        for (int row = 0; row < ds.RecordCount(); ++row) {
            ds.WithViewRecord(row, [&] {
                for (size_t i = 0; i < fields.size(); ++i)
                    values[i] = fields[i]->Value();
                const std::optional<std::string> key = FilterExpression::recordEqualityKey(pointers);
                fn(key ? &*key : nullptr);
            });
        }
    } catch (...) {
        if (wasFiltered)
            ds.SetFiltered(true);
        throw;
    }
    if (wasFiltered)
        ds.SetFiltered(true);
}

std::string FilterKeys::FilterKey(const TClientDataSet &ds, const std::string &filter) const
{
    const std::unique_ptr<FilterExpression> expression = ds.CompileFilter(filter);
    std::optional<std::string> key = expression ? expression->equalityKey(m_indices) : std::nullopt;
    if (!key) {
        std::string names;
        for (const std::string &name : m_names)
            names += (names.empty() ? "" : ", ") + name;
        throw EFilterError("Filter '" + filter + "' is not one equality on each of " + names);
    }
    return std::move(*key);
}

} // namespace tk
