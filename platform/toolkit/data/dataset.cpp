#include "platform/toolkit/data/dataset.h"

#include "platform/toolkit/data/dataset_p.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <algorithm>
#include <optional>
#include <cmath>
#include <limits>

namespace tk {

using detail::LocateIndex;
using detail::numericOf;
using detail::prefetchAhead;
using detail::Record;
using detail::sameName;

namespace {

std::vector<std::string> splitFieldList(const std::string &list)
{
    std::vector<std::string> names;
    std::string current;
    for (char c : list) {
        if (c == ';') {
            names.push_back(Trim(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    names.push_back(Trim(current));
    names.erase(std::remove(names.begin(), names.end(), std::string()), names.end());
    return names;
}

// Restores a value on every exit path.
template <typename Fn>
class ScopeExit
{
public:
    explicit ScopeExit(Fn fn) : m_fn(std::move(fn)) {}
    ~ScopeExit() { m_fn(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;
private:
    Fn m_fn;
};

// Ordering of two values of one field: null first, then by value.
int compareValues(const Variant &a, const Variant &b)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const auto *sa = std::get_if<std::string>(&a.storage());
    const auto *sb = std::get_if<std::string>(&b.storage());
    if (sa && sb) {
        const int c = sa->compare(*sb);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    double da = 0, db = 0;
    if (numericOf(a.storage(), da) && numericOf(b.storage(), db))
        return da < db ? -1 : (da > db ? 1 : 0);
    const auto *ba = std::get_if<bool>(&a.storage());
    const auto *bb = std::get_if<bool>(&b.storage());
    if (ba && bb)
        return int(*ba) - int(*bb);
    return 0;
}

// Above this many matching records the hashes are of little help in finding the first of them in the
// view: with so many matches, the scan of the view's records stops early.
constexpr size_t kLocateMaxCandidates = 16;

} // namespace

// --- Value coercion ------------------------------------------------------------------------------

namespace detail {

bool storedAs(const Variant &value, FieldType type)
{
    switch (value.type()) {
    case VarType::Null:
        return true;
    case VarType::String:
        return type == FieldType::String || type == FieldType::FixedString;
    case VarType::Integer:
        return type == FieldType::Integer;
    case VarType::Double:
        return type == FieldType::Float;
    case VarType::DateTime:
        return type == FieldType::DateTime;
    case VarType::Boolean:
        return type == FieldType::Boolean;
    default:
        return false;
    }
}

Variant coerceToField(const Variant &value, FieldType type, const std::string &fieldName)
{
    const Variant::Storage &st = value.storage();
    if (value.isNull())
        return value;
    auto fail = [&]() -> Variant {
        throw EDatabaseError("Invalid value '" + value.toDisplayString() + "' for field '" + fieldName + "' ("
                             + fieldTypeName(type) + ")");
    };
    try {
        switch (type) {
        case FieldType::String:
        case FieldType::FixedString:
            if (std::holds_alternative<std::string>(st))
                return value;
            if (value.isArray() || value.isPacket())
                return fail();
            return Variant(value.asString());
        case FieldType::Integer: {
            if (std::holds_alternative<int32_t>(st))
                return value;
            if (const auto *b = std::get_if<bool>(&st))
                return Variant(int32_t(*b ? 1 : 0));
            double d = 0;
            if (!numericOf(st, d)) {
                if (const auto *s = std::get_if<std::string>(&st)) {
                    if (!TryStrToFloat(*s, d))
                        return fail();
                } else {
                    return fail();
                }
            }
            const double r = std::round(d); // half away from zero
            if (!std::isfinite(r) || r < double(std::numeric_limits<int32_t>::min())
                || r > double(std::numeric_limits<int32_t>::max()))
                return fail();
            return Variant(int32_t(r));
        }
        case FieldType::Float: {
            if (std::holds_alternative<double>(st))
                return value;
            double d = 0;
            if (numericOf(st, d))
                return Variant(d);
            if (const auto *b = std::get_if<bool>(&st))
                return Variant(*b ? 1.0 : 0.0);
            if (const auto *s = std::get_if<std::string>(&st)) {
                if (TryStrToFloat(*s, d))
                    return Variant(d);
            }
            return fail();
        }
        case FieldType::DateTime: {
            if (std::holds_alternative<Variant::DateTimeValue>(st))
                return value;
            double d = 0;
            if (numericOf(st, d))
                return Variant::fromDateTime(d);
            if (const auto *s = std::get_if<std::string>(&st)) {
                if (TryIsoToDateTime(Trim(*s), d) || TryStrToDate(*s, d))
                    return Variant::fromDateTime(d);
            }
            return fail();
        }
        case FieldType::Boolean: {
            if (std::holds_alternative<bool>(st))
                return value;
            double d = 0;
            if (numericOf(st, d))
                return Variant(d != 0);
            if (const auto *s = std::get_if<std::string>(&st)) {
                const std::string t = Trim(*s);
                if (sameName(t, "true") || sameName(t, "t") || t == "1")
                    return Variant(true);
                if (sameName(t, "false") || sameName(t, "f") || t == "0")
                    return Variant(false);
            }
            return fail();
        }
        }
    } catch (const EDatabaseError &) {
        throw;
    } catch (const Exception &) {
        return fail();
    }
    return fail();
}

} // namespace detail

// --- Impl helpers -------------------------------------------------------------------------------------

bool TClientDataSet::Impl::hasDataFields() const
{
    for (const auto &f : fields)
        if (!f->Calculated())
            return true;
    return false;
}

bool TClientDataSet::Impl::hasPersistentDataFields() const
{
    for (const auto &f : fields)
        if (!f->Calculated() && !f->m_autoCreated)
            return true;
    return false;
}

std::vector<Variant> *TClientDataSet::Impl::activeValues(bool forCalcField)
{
    if (!active)
        return nullptr;
    if (!stack.empty()) {
        // A record shown through WithViewRecord computes its calculated fields on their first
        // read; inside its own computation (calc entry) the values assigned so far are read.
        Record *top = stack.back().record;
        if (forCalcField && !stack.back().calc)
            ensureCalc(top);
        return &top->values;
    }
    if (editing())
        return &buffer;
    if (cur < 0)
        return nullptr;
    Record *r = view[size_t(cur)];
    if (forCalcField)
        ensureCalc(r);
    return &r->values;
}

void TClientDataSet::Impl::setFieldValue(TField &field, const Variant &value)
{
    // The value in the field's type; a text longer than the field's size is cut at a character.
    auto stored = [&]() {
        Variant v = detail::coerceToField(value, field.DataType(), field.FieldName());
        if (field.Size() > 0) {
            if (const auto *s = std::get_if<std::string>(&v.storage()); s && Utf8Length(*s) > size_t(field.Size()))
                v = Variant(Utf8Left(*s, size_t(field.Size())));
        }
        return v;
    };
    if (!active)
        throw EDatabaseError("Cannot modify field '" + field.FieldName() + "': dataset '" + q->Name()
                             + "' is closed");
    if (!stack.empty()) {
        if (stack.back().calc && field.Calculated()) {
            stack.back().record->values[size_t(field.Index())] = stored();
            return;
        }
        throw EDatabaseError("Cannot modify field '" + field.FieldName() + "' of dataset '" + q->Name()
                             + "' while its calculated fields are being computed");
    }
    if (!editing())
        throw EDatabaseError("Dataset '" + q->Name() + "' is not in edit or insert mode");
    if (field.Calculated())
        throw EDatabaseError("Calculated field '" + field.FieldName() + "' can only be set in OnCalcFields");
    buffer[size_t(field.Index())] = stored();
    notify(TDataSource::Event::RecordChanged, &field);
}

void TClientDataSet::Impl::ensureCalc(Record *record)
{
    if (record->calcGen != viewGen)
        computeCalc(record);
}

void TClientDataSet::Impl::computeCalc(Record *record)
{
    // Marked valid first: reads of this record's calculated fields inside its own computation
    // return what has been assigned so far instead of recursing.
    record->calcGen = viewGen;
    bool anyCalc = false;
    for (const auto &f : fields) {
        if (f->Calculated()) {
            record->values[size_t(f->Index())] = Variant();
            anyCalc = true;
        }
    }
    if (!anyCalc || !q->OnCalcFields)
        return;
    stack.push_back({record, true});
    ScopeExit pop([this] { stack.pop_back(); });
    ++calcCount;
    const TDataSetNotifyEvent handler = q->OnCalcFields; // the handler may detach itself
    handler(*q);
}

void TClientDataSet::Impl::computeWholeView()
{
    const uint64_t gen = viewGen;
    const std::vector<Record *> snapshot = view;
    for (Record *r : snapshot) {
        if (viewGen != gen)
            return; // a handler changed the view again; that change computed its own view
        ensureCalc(r);
    }
}

void TClientDataSet::Impl::checkActive() const
{
    if (!active)
        throw EDatabaseError("Dataset '" + q->Name() + "' is not open");
}

void TClientDataSet::Impl::checkNotComputing(const char *operation) const
{
    if (!stack.empty())
        throw EDatabaseError(std::string("Cannot ") + operation + " dataset '" + q->Name()
                             + "' while its records are being computed or shown");
}

void TClientDataSet::Impl::checkBrowseMode()
{
    if (editing())
        q->Post();
}

void TClientDataSet::Impl::resolveIndex()
{
    indexFields.clear();
    for (const std::string &name : splitFieldList(indexFieldNames)) {
        const TField *f = q->FindField(name);
        if (!f)
            throw EDatabaseError("Index field '" + name + "' not found in dataset '" + q->Name() + "'");
        indexFields.push_back(f->Index());
    }
    sortedValid = false;
}

const std::vector<Record *> &TClientDataSet::Impl::orderedRecords()
{
    if (!sortedValid) {
        sorted.clear();
        sorted.reserve(records.size());
        for (const auto &r : records)
            sorted.push_back(r.get());
        if (!indexFields.empty()) {
            const std::vector<int> keys = indexFields;
            const bool desc = indexDescending;
            std::stable_sort(sorted.begin(), sorted.end(), [&keys, desc](const Record *a, const Record *b) {
                for (int k : keys) {
                    const int c = compareValues(a->values[size_t(k)], b->values[size_t(k)]);
                    if (c != 0)
                        return desc ? c > 0 : c < 0;
                }
                return false;
            });
        }
        sortedValid = true;
    }
    return sorted;
}

bool TClientDataSet::Impl::passesFilter(const Record *record) const
{
    return !filter || filter->matches(record->values);
}

void TClientDataSet::Impl::recordsChanged()
{
    locateIndex.recordsChanged();
}

void TClientDataSet::Impl::recordChanged(const Record *record, int slot)
{
    locateIndex.recordChanged(records, record, slot);
}

int TClientDataSet::Impl::firstInView(std::vector<const Record *> &candidates) const
{
    // Only the view's pointers are read, never the records they point to.
    if (candidates.empty())
        return -1;
    if (candidates.size() == 1)
        return viewPosition(candidates.front());
    const std::less<const Record *> before;
    std::sort(candidates.begin(), candidates.end(), before);
    const Record *lowest = candidates.front();
    const Record *highest = candidates.back();
    for (size_t i = 0; i < view.size(); ++i) {
        const Record *r = view[i];
        if (before(r, lowest) || before(highest, r))
            continue;
        if (std::binary_search(candidates.begin(), candidates.end(), r, before))
            return int(i);
    }
    return -1;
}

void TClientDataSet::Impl::rebuildView()
{
    const std::vector<Record *> &order = orderedRecords();
    if (!filter) {
        view = order;
        return;
    }
    view.clear();
    const size_t slot = filter->fieldIndices().empty() ? 0 : size_t(filter->fieldIndices().front());
    for (size_t i = 0; i < order.size(); ++i) {
        prefetchAhead(order, i, slot);
        if (filter->matches(order[i]->values))
            view.push_back(order[i]);
    }
}

int TClientDataSet::Impl::viewPosition(const Record *record) const
{
    const auto it = std::find(view.begin(), view.end(), record);
    return it == view.end() ? -1 : int(it - view.begin());
}

std::unique_ptr<FilterExpression> TClientDataSet::Impl::compileFilter(const std::string &text) const
{
    if (Trim(text).empty())
        return nullptr;
    return FilterExpression::compile(text, [this](const std::string &name, FilterFieldInfo &info) {
        const TField *f = q->FindField(name);
        if (!f)
            return false;
        if (f->Calculated())
            throw EFilterError("Invalid filter: calculated field '" + name + "' cannot be used in a filter");
        info.index = f->Index();
        info.type = f->DataType();
        return true;
    });
}

void TClientDataSet::Impl::fire(const TDataSetNotifyEvent &event)
{
    if (!event)
        return;
    const TDataSetNotifyEvent handler = event; // the handler may reassign or detach the event
    handler(*q);
}

void TClientDataSet::Impl::notify(TDataSource::Event event, TField *field, int distance)
{
    if (disableCount > 0) {
        if (event == TDataSource::Event::ActiveChanged)
            pendingActiveChange = true;
        return;
    }
    const std::vector<TDataSource *> targets = sources;
    for (TDataSource *s : targets)
        if (std::find(sources.begin(), sources.end(), s) != sources.end())
            s->notify(event, field, distance);
}

void TClientDataSet::Impl::arrive(int oldCur)
{
    if (cur >= 0)
        ensureCalc(view[size_t(cur)]);
    if (cur != oldCur)
        notify(TDataSource::Event::Scrolled, nullptr, cur - oldCur);
}

void TClientDataSet::Impl::viewChanged(bool scrollEvents)
{
    checkBrowseMode();
    if (scrollEvents)
        fire(q->BeforeScroll);
    rebuildView();
    ++viewGen;
    cur = view.empty() ? -1 : 0;
    bof = true;
    eof = view.empty();
    if (calcWholeView)
        computeWholeView();
    else if (cur >= 0)
        ensureCalc(view[size_t(cur)]);
    notify(TDataSource::Event::DataSetChanged);
    if (scrollEvents)
        fire(q->AfterScroll);
}

void TClientDataSet::Impl::clearContent()
{
    locateIndex.release();
    view.clear();
    sorted.clear();
    sortedValid = false;
    byId.clear();
    records.clear();
    buffer.clear();
    editRecord = nullptr;
    insertAnchor = nullptr;
    cur = -1;
    eof = bof = true;
}

void TClientDataSet::Impl::openWith(std::vector<std::unique_ptr<Record>> newRecords,
                                   std::vector<std::vector<uint64_t>> hashes)
{
    // Everything that can fail (index fields, filter text) is checked before the content changes.
    std::vector<int> savedIndex = indexFields;
    resolveIndex();
    std::unique_ptr<FilterExpression> compiled = filtered ? compileFilter(filterText) : nullptr;

    clearContent();
    records = std::move(newRecords);
    locateIndex.adopt(std::move(hashes));
    byId.reserve(records.size());
    for (const auto &r : records)
        byId.emplace(r->id, r.get());
    filter = std::move(compiled);
    const bool wasActive = active;
    active = true;
    state = TDataSetState::dsBrowse;

    rebuildView();
    ++viewGen;
    cur = view.empty() ? -1 : 0;
    bof = true;
    eof = view.empty();
    if (calcWholeView)
        computeWholeView();
    else if (cur >= 0)
        ensureCalc(view[size_t(cur)]);
    if (!wasActive)
        notify(TDataSource::Event::ActiveChanged);
    notify(TDataSource::Event::DataSetChanged);
    fire(q->AfterOpen);
    fire(q->AfterScroll);
}

// --- TClientDataSet -------------------------------------------------------------------------------------

TClientDataSet::TClientDataSet(std::string name) : d(std::make_unique<Impl>(this)), m_name(std::move(name)) {}

TClientDataSet::~TClientDataSet()
{
    for (TDataSource *s : d->sources)
        s->m_dataSet = nullptr;
}

TField *TClientDataSet::AddField(const std::string &name, FieldType type, int size, TFieldKind kind)
{
    if (Trim(name).empty())
        throw EDatabaseError("A field needs a name");
    if (FindField(name))
        throw EDatabaseError("Duplicate field name '" + name + "' in dataset '" + m_name + "'");
    if (d->active && kind == TFieldKind::fkData)
        throw EDatabaseError("Cannot add data field '" + name + "' to the open dataset '" + m_name + "'");
    d->checkNotComputing("add a field to");
    auto field = std::make_unique<TField>(this, name, type, size, kind);
    field->m_index = int(d->fields.size());
    TField *raw = field.get();
    d->fields.push_back(std::move(field));
    d->fieldsChanged();
    if (d->active) {
        // A calculated field added to an open dataset: every record gets an empty slot and the
        // view is computed again on next need.
        d->recordsChanged();
        for (const auto &r : d->records)
            r->values.emplace_back();
        if (d->editing())
            d->buffer.emplace_back();
        ++d->viewGen;
    }
    return raw;
}

int TClientDataSet::FieldCount() const
{
    return int(d->fields.size());
}

TField *TClientDataSet::Field(int index) const
{
    if (index < 0 || index >= int(d->fields.size()))
        throw EDatabaseError("Field index " + std::to_string(index) + " out of range in dataset '" + m_name + "'");
    return d->fields[size_t(index)].get();
}

TField *TClientDataSet::FindField(const std::string &name) const
{
    auto upper = [](std::string text) {
        for (char &c : text)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        return text;
    };
    if (!d->fieldsByNameValid) {
        d->fieldsByName.clear();
        for (const auto &f : d->fields)
            d->fieldsByName.emplace(upper(f->FieldName()), f.get()); // the first of equal names wins
        d->fieldsByNameValid = true;
    }
    const auto found = d->fieldsByName.find(upper(name));
    return found == d->fieldsByName.end() ? nullptr : found->second;
}

TField *TClientDataSet::FieldByName(const std::string &name) const
{
    TField *f = FindField(name);
    if (!f)
        throw EDatabaseError("Field '" + name + "' not found" + (m_name.empty() ? "" : " in dataset '" + m_name + "'"));
    return f;
}

std::vector<TFieldDef> &TClientDataSet::FieldDefs()
{
    return d->fieldDefs;
}

bool TClientDataSet::Active() const
{
    return d->active;
}

TDataSetState TClientDataSet::State() const
{
    if (!d->stack.empty() && d->stack.back().calc)
        return TDataSetState::dsCalcFields;
    return d->state;
}

void TClientDataSet::CreateDataSet()
{
    d->checkNotComputing("create");
    if (d->active)
        Close();
    if (!d->hasDataFields() && !d->fieldDefs.empty()) {
        // Fields from the definitions, ahead of any calculated field the owner declared.
        std::vector<std::unique_ptr<TField>> created;
        for (const TFieldDef &def : d->fieldDefs) {
            if (FindField(def.name))
                throw EDatabaseError("Duplicate field name '" + def.name + "' in dataset '" + m_name + "'");
            auto f = std::make_unique<TField>(this, def.name, def.type, def.size, def.kind);
            f->m_autoCreated = true;
            created.push_back(std::move(f));
        }
        for (auto &f : d->fields)
            created.push_back(std::move(f));
        d->fields = std::move(created);
        d->fieldsChanged();
        for (size_t i = 0; i < d->fields.size(); ++i)
            d->fields[i]->m_index = int(i);
    }
    d->openWith({});
}

void TClientDataSet::Open()
{
    if (!d->active)
        CreateDataSet();
}

void TClientDataSet::Close()
{
    if (!d->active)
        return;
    d->checkNotComputing("close");
    d->fire(BeforeClose);
    d->clearContent();
    d->filter.reset();
    d->active = false;
    d->state = TDataSetState::dsInactive;
    d->notify(TDataSource::Event::ActiveChanged);
}

// --- Index ---------------------------------------------------------------------------------------------

std::vector<TIndexDef> &TClientDataSet::IndexDefs()
{
    return d->indexDefs;
}

void TClientDataSet::AddIndex(const std::string &name, const std::string &fields, bool descending)
{
    for (const TIndexDef &def : d->indexDefs)
        if (sameName(def.name, name))
            throw EDatabaseError("Duplicate index name '" + name + "' in dataset '" + m_name + "'");
    d->indexDefs.push_back(TIndexDef{name, fields, descending});
}

const std::string &TClientDataSet::IndexName() const
{
    return d->indexName;
}

void TClientDataSet::SetIndexName(const std::string &name)
{
    std::string fields;
    bool descending = false;
    if (!name.empty()) {
        const auto it = std::find_if(d->indexDefs.begin(), d->indexDefs.end(),
                                     [&](const TIndexDef &def) { return sameName(def.name, name); });
        if (it == d->indexDefs.end())
            throw EDatabaseError("Index '" + name + "' not found in dataset '" + m_name + "'");
        fields = it->fields;
        descending = it->descending;
    }
    if (sameName(name, d->indexName) && fields == d->indexFieldNames && descending == d->indexDescending)
        return;
    d->changeIndex(name, fields, descending);
}

void TClientDataSet::SetIndexFieldNames(const std::string &fields)
{
    if (d->indexName.empty() && fields == d->indexFieldNames && !d->indexDescending)
        return;
    d->changeIndex(std::string(), fields, false);
}

void TClientDataSet::Impl::changeIndex(const std::string &name, const std::string &fields, bool descending)
{
    checkNotComputing("re-index");
    const std::string savedName = indexName, savedFields = indexFieldNames;
    const bool savedDesc = indexDescending;
    indexName = name;
    indexFieldNames = fields;
    indexDescending = descending;
    if (!active)
        return;
    try {
        resolveIndex();
    } catch (...) {
        // A bad index leaves the previous one in force.
        indexName = savedName;
        indexFieldNames = savedFields;
        indexDescending = savedDesc;
        resolveIndex();
        throw;
    }
    viewChanged(true);
}

// --- Filter ----------------------------------------------------------------------------------------------

const std::string &TClientDataSet::Filter() const
{
    return d->filterText;
}

void TClientDataSet::SetFilter(const std::string &text)
{
    // The same text again changes nothing (and computes nothing).
    if (text == d->filterText)
        return;
    if (d->active && d->filtered) {
        d->checkBrowseMode();
        std::unique_ptr<FilterExpression> compiled = d->compileFilter(text); // may throw: nothing changed
        d->filterText = text;
        d->filter = std::move(compiled);
        d->viewChanged(true);
    } else {
        d->filterText = text;
    }
}

bool TClientDataSet::Filtered() const
{
    return d->filtered;
}

void TClientDataSet::SetFiltered(bool value)
{
    if (value == d->filtered)
        return;
    if (!d->active) {
        d->filtered = value;
        return;
    }
    d->checkBrowseMode();
    std::unique_ptr<FilterExpression> compiled = value ? d->compileFilter(d->filterText) : nullptr;
    d->filtered = value;
    d->filter = std::move(compiled);
    d->viewChanged(true);
}

// --- Cursor ---------------------------------------------------------------------------------------------

void TClientDataSet::First()
{
    d->checkActive();
    d->checkBrowseMode();
    d->fire(BeforeScroll);
    const int old = d->cur;
    d->cur = d->view.empty() ? -1 : 0;
    d->bof = true;
    d->eof = d->view.empty();
    d->arrive(old);
    d->fire(AfterScroll);
}

void TClientDataSet::Last()
{
    d->checkActive();
    d->checkBrowseMode();
    d->fire(BeforeScroll);
    const int old = d->cur;
    d->cur = int(d->view.size()) - 1;
    d->eof = true;
    d->bof = d->view.empty();
    d->arrive(old);
    d->fire(AfterScroll);
}

void TClientDataSet::Next()
{
    MoveBy(1);
}

void TClientDataSet::Prior()
{
    MoveBy(-1);
}

int TClientDataSet::MoveBy(int distance)
{
    d->checkActive();
    d->checkBrowseMode();
    d->fire(BeforeScroll);
    if (!((distance > 0 && !d->eof) || (distance < 0 && !d->bof)))
        return 0;
    const int old = d->cur;
    const int n = int(d->view.size());
    d->bof = d->eof = false;
    if (n == 0) {
        d->bof = d->eof = true;
        d->cur = -1;
    } else {
        const int64_t target = int64_t(d->cur) + distance;
        if (target >= n) {
            d->cur = n - 1;
            d->eof = true;
        } else if (target < 0) {
            d->cur = 0;
            d->bof = true;
        } else {
            d->cur = int(target);
        }
    }
    d->arrive(old);
    d->fire(AfterScroll);
    return d->cur - old;
}

bool TClientDataSet::Eof() const
{
    return !d->active || d->eof;
}

bool TClientDataSet::Bof() const
{
    return !d->active || d->bof;
}

int TClientDataSet::RecNo() const
{
    return d->active && d->cur >= 0 ? d->cur + 1 : 0;
}

void TClientDataSet::SetRecNo(int recNo)
{
    d->checkActive();
    d->checkBrowseMode();
    if (d->view.empty())
        return;
    const int target = std::clamp(recNo, 1, int(d->view.size())) - 1;
    if (target == d->cur)
        return; // already there: no scroll events
    d->fire(BeforeScroll);
    const int old = d->cur;
    d->cur = target;
    d->bof = d->eof = false;
    d->arrive(old);
    d->fire(AfterScroll);
}

int TClientDataSet::RecordCount() const
{
    return d->active ? int(d->view.size()) : 0;
}

bool TClientDataSet::IsEmpty() const
{
    return !d->active || (d->view.empty() && d->state != TDataSetState::dsInsert);
}

bool TClientDataSet::Locate(const std::string &keyFields, const Variant &keyValues)
{
    d->checkActive();
    const std::vector<std::string> names = splitFieldList(keyFields);
    if (names.empty())
        throw EDatabaseError("Locate on dataset '" + m_name + "' needs at least one key field");
    std::vector<const Variant *> values;
    if (names.size() == 1) {
        values.push_back(keyValues.isArray() && keyValues.size() == 1 ? &keyValues[0] : &keyValues);
    } else {
        if (!keyValues.isArray() || keyValues.size() != names.size())
            throw EDatabaseError("Locate on dataset '" + m_name + "': " + std::to_string(names.size())
                                 + " key fields need an array of as many values");
        for (size_t i = 0; i < names.size(); ++i)
            values.push_back(&keyValues[i]);
    }

    // Each key becomes a typed matcher, prepared once.
    struct Key
    {
        size_t index;
        bool calculated;
        enum Kind { Null, Text, Number, Boolean, Never } kind;
        std::string text;
        double number = 0;
        bool boolean = false;
    };
    std::vector<Key> keys;
    for (size_t i = 0; i < names.size(); ++i) {
        const TField *f = FieldByName(names[i]);
        Key key{size_t(f->Index()), f->Calculated(), Key::Never, {}, 0, false};
        const Variant &v = *values[i];
        if (v.isNull()) {
            key.kind = Key::Null;
        } else {
            try {
                const Variant c = detail::coerceToField(v, f->DataType(), f->FieldName());
                double num = 0;
                if (const auto *s = std::get_if<std::string>(&c.storage())) {
                    key.kind = Key::Text;
                    key.text = *s;
                } else if (const auto *b = std::get_if<bool>(&c.storage())) {
                    key.kind = Key::Boolean;
                    key.boolean = *b;
                } else if (numericOf(v.isNumeric() ? v.storage() : c.storage(), num)) {
                    // Compare by the value given, not its rounding to an integer field.
                    key.kind = Key::Number;
                    key.number = num;
                }
            } catch (const EDatabaseError &) {
                key.kind = Key::Never; // e.g. a text that is no number, against a numeric field
            }
        }
        keys.push_back(std::move(key));
    }

    d->checkBrowseMode();
    auto keyMatches = [](const Key &k, const Variant &v) {
        switch (k.kind) {
        case Key::Null:
            return v.isNull();
        case Key::Text: {
            const auto *s = std::get_if<std::string>(&v.storage());
            return s && textEquals(*s, k.text);
        }
        case Key::Number: {
            double num = 0;
            return numericOf(v.storage(), num) && num == k.number;
        }
        case Key::Boolean: {
            const auto *b = std::get_if<bool>(&v.storage());
            return b && *b == k.boolean;
        }
        case Key::Never:
            break;
        }
        return false;
    };
    auto never = [](const Key &k) { return k.kind == Key::Never; };
    auto calculated = [](const Key &k) { return k.calculated; };
    const bool possible = std::none_of(keys.begin(), keys.end(), never);
    const bool anyCalculated = std::any_of(keys.begin(), keys.end(), calculated);
    std::vector<size_t> keyIndices;
    for (const Key &k : keys)
        keyIndices.push_back(k.index);
    int found = -1;
    bool scanRecords = possible;
    if (!possible) {
        // No record can match.
    } else if (!anyCalculated && d->locateIndex.worthUsing(keyIndices, d->records.size())) {
        // A repeated Locate on data keys only: the records whose key hashes match, in load order,
        // each checked against its values, then the first of them in the view. No handler runs
        // during the search, so the hashes stay valid throughout.
        d->locateIndex.build(d->fields, d->records, keyIndices);
        std::vector<uint64_t> wanted;
        for (const Key &k : keys) {
            wanted.push_back(k.kind == Key::Text      ? LocateIndex::hashText(k.text)
                             : k.kind == Key::Number  ? LocateIndex::hashNumber(k.number)
                             : k.kind == Key::Boolean ? LocateIndex::hashBoolean(k.boolean)
                                                      : LocateIndex::kNullHash);
        }
        std::vector<const Record *> candidates = d->locateIndex.candidates(
            d->records, keyIndices, wanted, kLocateMaxCandidates, [&](const Record &r) {
                return std::all_of(keys.begin(), keys.end(),
                                   [&](const Key &key) { return keyMatches(key, r.values[key.index]); });
            });
        if (candidates.size() <= kLocateMaxCandidates) {
            found = d->firstInView(candidates);
            scanRecords = false;
        }
    }
    if (scanRecords) {
        // The first Locates since the records changed, keys matching many records, or calculated
        // keys (computed on demand by the handler, which may change the view): read the records of
        // the view themselves, in order.
        if (!anyCalculated)
            d->locateIndex.countScan();
        for (size_t i = 0; i < d->view.size(); ++i) {
            prefetchAhead(d->view, i, keys.front().index);
            Record *r = d->view[i];
            bool all = true;
            for (const Key &k : keys) {
                if (k.calculated)
                    d->ensureCalc(r);
                if (!keyMatches(k, r->values[k.index])) {
                    all = false;
                    break;
                }
            }
            if (all) {
                found = int(i);
                break;
            }
        }
    }
    if (found < 0)
        return false;
    d->fire(BeforeScroll);
    const int old = d->cur;
    // The handler may have changed the view; find the record again.
    Record *target = found < int(d->view.size()) ? d->view[size_t(found)] : nullptr;
    const int pos = target ? d->viewPosition(target) : -1;
    if (pos < 0)
        return false;
    d->cur = pos;
    d->bof = d->eof = false;
    d->arrive(old);
    d->fire(AfterScroll);
    return true;
}

TBookmark TClientDataSet::GetBookmark() const
{
    if (!d->active || d->cur < 0 || d->state == TDataSetState::dsInsert)
        return kInvalidBookmark;
    return d->view[size_t(d->cur)]->id;
}

void TClientDataSet::GotoBookmark(TBookmark bookmark)
{
    d->checkActive();
    d->checkBrowseMode();
    const auto it = d->byId.find(bookmark);
    const int pos = it == d->byId.end() ? -1 : d->viewPosition(it->second);
    if (pos < 0)
        throw EDatabaseError("Record not found: the bookmark is not in the view of dataset '" + m_name + "'");
    d->fire(BeforeScroll);
    const int old = d->cur;
    const int again = d->viewPosition(it->second); // BeforeScroll may have changed the view
    if (again < 0)
        throw EDatabaseError("Record not found: the bookmark is not in the view of dataset '" + m_name + "'");
    d->cur = again;
    d->bof = d->eof = false;
    d->arrive(old);
    d->fire(AfterScroll);
}

void TClientDataSet::FreeBookmark(TBookmark)
{
    // Bookmarks are record identities; there is nothing to release.
}

bool TClientDataSet::BookmarkValid(TBookmark bookmark) const
{
    const auto it = d->byId.find(bookmark);
    return d->active && it != d->byId.end() && d->viewPosition(it->second) >= 0;
}

// --- Editing ----------------------------------------------------------------------------------------------

void TClientDataSet::Edit()
{
    d->checkActive();
    if (d->editing())
        return;
    if (d->view.empty()) {
        Insert();
        return;
    }
    d->checkNotComputing("edit");
    Record *r = d->view[size_t(d->cur)];
    d->ensureCalc(r);
    d->buffer = r->values;
    d->editRecord = r;
    d->state = TDataSetState::dsEdit;
}

void TClientDataSet::Append()
{
    d->checkActive();
    d->checkBrowseMode();
    d->checkNotComputing("append to");
    d->fire(BeforeScroll);
    d->buffer.assign(d->fields.size(), Variant());
    d->insertAppend = true;
    d->insertAnchor = nullptr;
    d->state = TDataSetState::dsInsert;
    d->notify(TDataSource::Event::DataSetChanged);
    d->fire(AfterScroll);
}

void TClientDataSet::Insert()
{
    d->checkActive();
    d->checkBrowseMode();
    d->checkNotComputing("insert into");
    d->fire(BeforeScroll);
    d->buffer.assign(d->fields.size(), Variant());
    d->insertAppend = d->cur < 0;
    d->insertAnchor = d->cur >= 0 ? d->view[size_t(d->cur)] : nullptr;
    d->state = TDataSetState::dsInsert;
    d->notify(TDataSource::Event::DataSetChanged);
    d->fire(AfterScroll);
}

void TClientDataSet::Post()
{
    if (!d->active || !d->editing())
        return;
    d->checkNotComputing("post to");
    const bool indexed = !d->indexFields.empty();
    Record *record = nullptr;
    const int oldCur = d->cur;

    if (d->state == TDataSetState::dsEdit) {
        record = d->editRecord;
        bool keyChanged = false, filterChanged = false;
        for (int k : d->indexFields)
            if (!(d->buffer[size_t(k)] == record->values[size_t(k)]))
                keyChanged = true;
        if (d->filter)
            for (int k : d->filter->fieldIndices())
                if (!(d->buffer[size_t(k)] == record->values[size_t(k)]))
                    filterChanged = true;
        for (const auto &f : d->fields)
            if (!f->Calculated())
                record->values[size_t(f->Index())] = std::move(d->buffer[size_t(f->Index())]);
        d->buffer.clear();
        d->editRecord = nullptr;
        d->state = TDataSetState::dsBrowse;
        d->recordChanged(record, oldCur);
        if (keyChanged)
            d->sortedValid = false;
        if (keyChanged || filterChanged)
            d->rebuildView();
    } else {
        d->recordsChanged();
        auto rec = std::make_unique<Record>();
        rec->id = d->nextId++;
        rec->values = std::move(d->buffer);
        for (const auto &f : d->fields)
            if (f->Calculated())
                rec->values[size_t(f->Index())] = Variant();
        record = rec.get();
        Record *anchor = d->insertAppend ? nullptr : d->insertAnchor;
        const bool fastPath = !indexed && !d->filter;
        if (anchor) {
            const auto it = std::find_if(d->records.begin(), d->records.end(),
                                         [anchor](const auto &r) { return r.get() == anchor; });
            d->records.insert(it, std::move(rec));
        } else {
            d->records.push_back(std::move(rec));
        }
        d->byId.emplace(record->id, record);
        d->buffer.clear();
        d->insertAnchor = nullptr;
        d->state = TDataSetState::dsBrowse;
        if (fastPath && d->sortedValid) {
            if (anchor) {
                const auto it = std::find(d->sorted.begin(), d->sorted.end(), anchor);
                d->sorted.insert(it, record);
            } else {
                d->sorted.push_back(record);
            }
        } else {
            d->sortedValid = false;
        }
        if (fastPath) {
            const int at = anchor ? std::max(0, oldCur) : int(d->view.size());
            d->view.insert(d->view.begin() + at, record);
        } else {
            d->rebuildView();
        }
    }

    const int pos = d->viewPosition(record);
    if (pos >= 0) {
        d->cur = pos;
    } else {
        // The record left the view (it no longer passes the filter): stay at the same row.
        d->cur = d->view.empty() ? -1 : std::clamp(oldCur, 0, int(d->view.size()) - 1);
    }
    d->bof = d->eof = d->view.empty();
    if (pos >= 0)
        d->computeCalc(record);
    else if (d->cur >= 0)
        d->ensureCalc(d->view[size_t(d->cur)]);
    d->notify(TDataSource::Event::DataSetChanged);
    d->fire(AfterPost);
}

void TClientDataSet::Cancel()
{
    if (!d->active || !d->editing())
        return;
    const bool inserting = d->state == TDataSetState::dsInsert;
    if (inserting)
        d->fire(BeforeScroll);
    d->buffer.clear();
    d->editRecord = nullptr;
    d->insertAnchor = nullptr;
    d->state = TDataSetState::dsBrowse;
    d->notify(TDataSource::Event::DataSetChanged);
    if (inserting)
        d->fire(AfterScroll);
}

void TClientDataSet::Delete()
{
    d->checkActive();
    if (d->state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (d->view.empty())
        throw EDatabaseError("Cannot perform this operation on an empty dataset ('" + m_name + "')");
    d->checkNotComputing("delete from");
    d->fire(BeforeScroll);
    if (d->state == TDataSetState::dsEdit) {
        d->buffer.clear();
        d->editRecord = nullptr;
        d->state = TDataSetState::dsBrowse;
    }
    if (d->cur < 0 || d->view.empty())
        return;
    Record *r = d->view[size_t(d->cur)];
    d->recordsChanged();
    d->view.erase(d->view.begin() + d->cur);
    if (d->sortedValid) {
        const auto it = std::find(d->sorted.begin(), d->sorted.end(), r);
        if (it != d->sorted.end())
            d->sorted.erase(it);
    }
    d->byId.erase(r->id);
    const auto it = std::find_if(d->records.begin(), d->records.end(),
                                 [r](const auto &p) { return p.get() == r; });
    d->records.erase(it);
    const int old = d->cur;
    if (d->view.empty()) {
        d->cur = -1;
        d->bof = d->eof = true;
    } else {
        d->cur = std::min(d->cur, int(d->view.size()) - 1);
        d->bof = d->eof = false;
    }
    if (d->cur >= 0)
        d->ensureCalc(d->view[size_t(d->cur)]);
    (void)old;
    d->notify(TDataSource::Event::DataSetChanged);
    d->fire(AfterScroll);
}

void TClientDataSet::EmptyDataSet()
{
    d->checkActive();
    d->checkNotComputing("empty");
    d->clearContent();
    d->state = TDataSetState::dsBrowse;
    ++d->viewGen;
    d->notify(TDataSource::Event::DataSetChanged);
}

// --- Controls ----------------------------------------------------------------------------------------------

void TClientDataSet::DisableControls()
{
    ++d->disableCount;
}

void TClientDataSet::EnableControls()
{
    if (d->disableCount == 0)
        return;
    if (--d->disableCount > 0)
        return;
    if (d->pendingActiveChange) {
        d->pendingActiveChange = false;
        d->notify(TDataSource::Event::ActiveChanged);
    }
    d->notify(TDataSource::Event::DataSetChanged);
}

bool TClientDataSet::ComputingFields() const
{
    for (const auto &entry : d->stack)
        if (entry.calc)
            return true;
    return false;
}

bool TClientDataSet::ControlsDisabled() const
{
    return d->disableCount > 0;
}

void TClientDataSet::Refresh()
{
    d->checkActive();
    d->checkBrowseMode();
    ++d->viewGen;
    if (d->calcWholeView)
        d->computeWholeView();
    else if (d->cur >= 0)
        d->ensureCalc(d->view[size_t(d->cur)]);
    d->notify(TDataSource::Event::DataSetChanged);
}

void TClientDataSet::SetCalcWholeView(bool value)
{
    d->calcWholeView = value;
}

bool TClientDataSet::CalcWholeView() const
{
    return d->calcWholeView;
}

// --- Access for controls ------------------------------------------------------------------------------------

Variant TClientDataSet::ViewValue(int viewRow, const TField *field)
{
    if (!d->active || !field || field->DataSet() != this || viewRow < 0 || viewRow >= int(d->view.size()))
        return Variant();
    if (viewRow == d->cur && d->editing() && d->stack.empty())
        return d->buffer[size_t(field->Index())];
    Record *r = d->view[size_t(viewRow)];
    if (field->Calculated())
        d->ensureCalc(r);
    return r->values[size_t(field->Index())];
}

std::string TClientDataSet::ViewDisplayText(int viewRow, const TField *field)
{
    if (!field || field->DataSet() != this)
        return {};
    std::string text;
    WithViewRecord(viewRow, [&] { text = field->DisplayText(); });
    return text;
}

int TClientDataSet::CurrentViewRow() const
{
    return d->active ? d->cur : -1;
}

void TClientDataSet::WithViewRecord(int viewRow, const std::function<void()> &fn)
{
    if (!d->active || viewRow < 0 || viewRow >= int(d->view.size()))
        return;
    if (viewRow == d->cur && d->editing() && d->stack.empty()) {
        fn(); // the current row shows the edit buffer
        return;
    }
    Record *r = d->view[size_t(viewRow)];
    d->stack.push_back({r, false}); // calculated fields computed on their first read
    ScopeExit pop([this] { d->stack.pop_back(); });
    fn();
}

int64_t TClientDataSet::CalcCount() const
{
    return d->calcCount;
}

void TClientDataSet::attachDataSource(TDataSource *source)
{
    if (std::find(d->sources.begin(), d->sources.end(), source) == d->sources.end())
        d->sources.push_back(source);
}

void TClientDataSet::detachDataSource(TDataSource *source)
{
    d->sources.erase(std::remove(d->sources.begin(), d->sources.end(), source), d->sources.end());
}

} // namespace tk
