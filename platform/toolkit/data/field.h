#pragma once

// Fields of an in-memory dataset: definition (name, type, display attributes) and access to the
// value of the dataset's active record.

#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <functional>
#include <string>

namespace tk {

class TClientDataSet;

// Errors of datasets and fields ("Field 'X' not found", "Dataset not in edit or insert mode").
class EDatabaseError : public Exception
{
public:
    using Exception::Exception;
};

enum class TFieldKind { fkData, fkCalculated };

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TField
{
public:
    TField(TClientDataSet *dataSet, std::string name, FieldType type, int size, TFieldKind kind);
    TField(const TField &) = delete;
    TField &operator=(const TField &) = delete;

    TClientDataSet *DataSet() const { return m_dataSet; } // Not owned.
    const std::string &FieldName() const { return m_name; }
    FieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    TFieldKind FieldKind() const { return m_kind; }
    bool Calculated() const { return m_kind == TFieldKind::fkCalculated; }
    int Index() const { return m_index; } // position in the dataset's field list

    // Display attributes.
    const std::string &DisplayLabel() const { return m_displayLabel.empty() ? m_name : m_displayLabel; }
    void SetDisplayLabel(std::string value) { m_displayLabel = std::move(value); }
    const std::string &DisplayFormat() const { return m_displayFormat; }
    void SetDisplayFormat(std::string value) { m_displayFormat = std::move(value); }
    const std::string &EditFormat() const { return m_editFormat; }
    void SetEditFormat(std::string value) { m_editFormat = std::move(value); }
    const std::string &EditMask() const { return m_editMask; }
    void SetEditMask(std::string value) { m_editMask = std::move(value); }
    bool Visible() const { return m_visible; }
    void SetVisible(bool value) { m_visible = value; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value) { m_readOnly = value; }
    const std::string &Origin() const { return m_origin; }
    void SetOrigin(std::string value) { m_origin = std::move(value); }
    // Width in characters; 0 means the type's default (the size for strings, 10 for numbers).
    int DisplayWidth() const;
    void SetDisplayWidth(int value) { m_displayWidth = value; }
    // Numbers and dates right-justified, text left.
    TAlignment Alignment() const;

    // Value of the dataset's active record: the current record, the edit buffer while editing,
    // or the record being computed while OnCalcFields runs.
    Variant Value() const;
    bool IsNull() const;
    std::string AsString() const; // a null reads as ""
    double AsFloat() const;       // a null reads as 0
    int32_t AsInteger() const;
    TDateTime AsDateTime() const;
    bool AsBoolean() const;

    // Writes: data fields in edit or insert state, calculated fields while OnCalcFields runs.
    // EDatabaseError otherwise, or when the value cannot be converted to the field's type.
    void SetValue(const Variant &value);
    void SetAsString(const std::string &value);
    void SetAsFloat(double value);
    void SetAsInteger(int32_t value);
    void SetAsDateTime(TDateTime value);
    void SetAsBoolean(bool value);
    void Clear();

    // DisplayText: OnGetText (displayText = true) when assigned, else the display format
    // (float format for numbers, date format for date-times, edit mask for strings).
    // Text: OnGetText (displayText = false) when assigned, else the plain text form.
    std::string DisplayText() const;
    std::string Text() const;
    // Text of a value of this field as the field would show it (used by grids for other rows).
    std::string FormatValue(const Variant &value, bool displayText) const;

    using TFieldGetTextEvent = std::function<void(TField &sender, std::string &text, bool displayText)>;
    TFieldGetTextEvent OnGetText;

private:
    friend class TClientDataSet;
    const Variant &slot() const; // the active record's value, or a shared Null
    TClientDataSet *m_dataSet; // Not owned.
    std::string m_name;
    FieldType m_type;
    int m_size;
    TFieldKind m_kind;
    int m_index = -1;
    std::string m_displayLabel;
    std::string m_displayFormat;
    std::string m_editFormat;
    std::string m_editMask;
    std::string m_origin;
    int m_displayWidth = 0;
    bool m_visible = true;
    bool m_readOnly = false;
    bool m_autoCreated = false; // created from a packet or FieldDefs, not declared by the owner
};

// A field definition, as CreateDataSet takes it.
struct TFieldDef
{
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;
    TFieldKind kind = TFieldKind::fkData;
};

} // namespace tk
