#include "platform/toolkit/data/field.h"

#include "platform/toolkit/data/dataset_p.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <cmath>

namespace tk {

namespace {

const Variant &nullVariant()
{
    static const Variant null;
    return null;
}

} // namespace

TField::TField(TClientDataSet *dataSet, std::string name, FieldType type, int size, TFieldKind kind)
    : m_dataSet(dataSet), m_name(std::move(name)), m_type(type), m_size(size), m_kind(kind)
{
}

int TField::DisplayWidth() const
{
    if (m_displayWidth > 0)
        return m_displayWidth;
    switch (m_type) {
    case FieldType::String:
    case FieldType::FixedString:
        return m_size > 0 ? m_size : 20;
    case FieldType::Boolean:
        return 5;
    default:
        return 10;
    }
}

TAlignment TField::Alignment() const
{
    switch (m_type) {
    case FieldType::Integer:
    case FieldType::Float:
    case FieldType::DateTime:
        return TAlignment::taRightJustify;
    default:
        return TAlignment::taLeftJustify;
    }
}

// The value slot of the active record; a shared Null when there is none.
const Variant &TField::slot() const
{
    const TField &field = *this;
    TClientDataSet *ds = m_dataSet;
    if (!ds)
        return nullVariant();
    std::vector<Variant> *values = ds->d->activeValues(field.Calculated());
    if (!values || field.Index() < 0 || size_t(field.Index()) >= values->size())
        return nullVariant();
    return (*values)[size_t(field.Index())];
}

Variant TField::Value() const
{
    return slot();
}

bool TField::IsNull() const
{
    return slot().isNull();
}

std::string TField::AsString() const
{
    const Variant &v = slot();
    if (v.isNull())
        return {};
    if (const auto *s = std::get_if<std::string>(&v.storage()))
        return *s;
    return v.asString();
}

double TField::AsFloat() const
{
    const Variant &v = slot();
    if (const auto *d = std::get_if<double>(&v.storage()))
        return *d;
    if (v.isNull())
        return 0;
    try {
        return v.asDouble();
    } catch (const Exception &) {
        throw EDatabaseError("'" + v.toDisplayString() + "' is not a valid floating point value for field '"
                             + m_name + "'");
    }
}

int32_t TField::AsInteger() const
{
    const Variant &v = slot();
    if (const auto *i = std::get_if<int32_t>(&v.storage()))
        return *i;
    if (v.isNull())
        return 0;
    try {
        return v.asInteger();
    } catch (const Exception &) {
        throw EDatabaseError("'" + v.toDisplayString() + "' is not a valid integer value for field '" + m_name + "'");
    }
}

TDateTime TField::AsDateTime() const
{
    const Variant &v = slot();
    if (v.isNull())
        return 0;
    try {
        return v.asDateTime();
    } catch (const Exception &) {
        throw EDatabaseError("'" + v.toDisplayString() + "' is not a valid date for field '" + m_name + "'");
    }
}

bool TField::AsBoolean() const
{
    const Variant &v = slot();
    if (v.isNull())
        return false;
    try {
        return v.asBoolean();
    } catch (const Exception &) {
        throw EDatabaseError("'" + v.toDisplayString() + "' is not a valid boolean value for field '" + m_name + "'");
    }
}

void TField::SetValue(const Variant &value)
{
    if (!m_dataSet)
        throw EDatabaseError("Field '" + m_name + "' has no dataset");
    m_dataSet->d->setFieldValue(*this, value);
}

void TField::SetAsString(const std::string &value)
{
    // An empty text clears a non-text field, as typing nothing into it would.
    if (value.empty() && m_type != FieldType::String && m_type != FieldType::FixedString)
        SetValue(Variant());
    else
        SetValue(Variant(value));
}

void TField::SetAsFloat(double value)
{
    SetValue(Variant(value));
}

void TField::SetAsInteger(int32_t value)
{
    SetValue(Variant(value));
}

void TField::SetAsDateTime(TDateTime value)
{
    SetValue(Variant::fromDateTime(value));
}

void TField::SetAsBoolean(bool value)
{
    SetValue(Variant(value));
}

void TField::Clear()
{
    SetValue(Variant());
}

std::string TField::FormatValue(const Variant &value, bool displayText) const
{
    if (value.isNull())
        return {};
    const Variant::Storage &st = value.storage();
    switch (m_type) {
    case FieldType::String:
    case FieldType::FixedString: {
        const std::string text = std::holds_alternative<std::string>(st) ? std::get<std::string>(st)
                                                                          : value.toDisplayString();
        return displayText && !m_editMask.empty() ? FormatMaskText(m_editMask, text) : text;
    }
    case FieldType::Integer:
    case FieldType::Float: {
        double d = 0;
        if (const auto *p = std::get_if<double>(&st))
            d = *p;
        else if (const auto *i = std::get_if<int32_t>(&st))
            d = *i;
        else
            d = value.asDouble();
        const std::string &format = displayText ? m_displayFormat : m_editFormat;
        if (!format.empty())
            return FormatFloat(format, d);
        if (m_type == FieldType::Integer && std::holds_alternative<int32_t>(st))
            return std::to_string(std::get<int32_t>(st));
        return FloatToStr(d);
    }
    case FieldType::DateTime: {
        const TDateTime t = value.asDateTime();
        if (displayText && !m_displayFormat.empty())
            return FormatDateTime(m_displayFormat, t);
        return DateTimeToStr(t);
    }
    case FieldType::Boolean:
        return value.asBoolean() ? "True" : "False";
    }
    return value.toDisplayString();
}

std::string TField::DisplayText() const
{
    if (OnGetText) {
        // The handler starts from an empty text and usually reads sender.AsString().
        std::string text;
        const TFieldGetTextEvent handler = OnGetText;
        handler(const_cast<TField &>(*this), text, true);
        return text;
    }
    return FormatValue(slot(), true);
}

std::string TField::Text() const
{
    if (OnGetText) {
        std::string text;
        const TFieldGetTextEvent handler = OnGetText;
        handler(const_cast<TField &>(*this), text, false);
        return text;
    }
    return FormatValue(slot(), false);
}

} // namespace tk
