#include "platform/toolkit/export/tableexport.h"

#include "platform/toolkit/data/formats.h"

#include <charconv>
#include <cmath>
#include <fstream>

namespace tk {

namespace {

// The first section of a float format with its literal text (quoted or plain) removed: the
// placeholders, grouping commas, the point and an exponent.
std::string NumericSkeleton(const std::string &format)
{
    std::string out;
    char quote = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c == ';')
            break;
        if (c == '#' || c == '0' || c == ',' || c == '.')
            out.push_back(c);
        else if ((c == 'E' || c == 'e') && i + 1 < format.size() && (format[i + 1] == '+' || format[i + 1] == '-')) {
            out.push_back(c);
            out.push_back(format[++i]);
        }
    }
    return out;
}

} // namespace

ExportKind KindOfField(const TField &field)
{
    switch (field.DataType()) {
    case FieldType::Integer:
    case FieldType::Float: return ExportKind::Number;
    case FieldType::DateTime: return ExportKind::Date;
    case FieldType::Boolean: return ExportKind::Boolean;
    case FieldType::String:
    case FieldType::FixedString: break;
    }
    return ExportKind::Text;
}

std::vector<ExportColumn> ColumnsOf(TClientDataSet &dataSet, const std::vector<DataSetColumn> &columns)
{
    std::vector<DataSetColumn> wanted = columns;
    if (wanted.empty()) {
        for (int f = 0; f < dataSet.FieldCount(); ++f) {
            if (dataSet.Field(f)->Visible())
                wanted.push_back({dataSet.Field(f)->FieldName(), {}, -1});
        }
    }
    std::vector<ExportColumn> out;
    out.reserve(wanted.size());
    for (const DataSetColumn &c : wanted) {
        const TField *field = dataSet.FindField(c.fieldName);
        if (!field)
            throw Exception(dataSet.Name() + ": field '" + c.fieldName + "' not found");
        ExportColumn column;
        column.fieldName = field->FieldName();
        column.caption = c.caption.empty() ? field->DisplayLabel() : c.caption;
        column.kind = KindOfField(*field);
        if (column.kind == ExportKind::Number)
            column.displayFormat = field->DisplayFormat();
        column.widthPixels = c.widthPixels > 0 ? c.widthPixels : field->DisplayWidth() * 7 + 4;
        column.rightAligned = field->Alignment() == TAlignment::taRightJustify;
        out.push_back(std::move(column));
    }
    return out;
}

ExportCell CellOf(TClientDataSet &dataSet, int viewRow, const TField &field, ExportKind kind)
{
    ExportCell cell;
    const Variant value = dataSet.ViewValue(viewRow, &field);
    cell.text = dataSet.ViewDisplayText(viewRow, &field);
    if (value.isNull())
        return cell;
    cell.null = false;
    switch (kind) {
    case ExportKind::Number:
    case ExportKind::Date:
    case ExportKind::DateTime: cell.number = value.asDouble(); break;
    case ExportKind::Boolean: cell.number = value.asBoolean() ? 1 : 0; break;
    case ExportKind::Text: break;
    }
    return cell;
}

void AppendRows(ExportSheet &sheet, TClientDataSet &dataSet, const std::vector<int> &viewRows)
{
    if (!dataSet.Active())
        return;
    if (viewRows.empty()) {
        AppendRows(sheet, dataSet, 0, dataSet.RecordCount());
        return;
    }
    std::vector<const TField *> fields;
    for (const ExportColumn &c : sheet.columns)
        fields.push_back(c.fieldName.empty() ? nullptr : dataSet.FindField(c.fieldName));
    for (int row : viewRows) {
        if (row < 0 || row >= dataSet.RecordCount())
            continue;
        std::vector<ExportCell> cells;
        cells.reserve(fields.size());
        for (size_t c = 0; c < fields.size(); ++c)
            cells.push_back(fields[c] ? CellOf(dataSet, row, *fields[c], sheet.columns[c].kind) : ExportCell{});
        sheet.rows.push_back(std::move(cells));
    }
}

void AppendRows(ExportSheet &sheet, TClientDataSet &dataSet, int firstRow, int count)
{
    if (!dataSet.Active())
        return;
    std::vector<int> rows;
    for (int r = firstRow; r < firstRow + count && r < dataSet.RecordCount(); ++r)
        rows.push_back(r);
    if (!rows.empty())
        AppendRows(sheet, dataSet, rows);
}

ExportSheet SheetOf(TClientDataSet &dataSet, const std::string &name, const std::vector<DataSetColumn> &columns)
{
    ExportSheet sheet;
    sheet.name = name;
    sheet.columns = ColumnsOf(dataSet, columns);
    AppendRows(sheet, dataSet);
    return sheet;
}

int FormatDecimals(const std::string &format)
{
    const std::string skeleton = NumericSkeleton(format);
    if (skeleton.empty())
        return -1;
    const size_t point = skeleton.find('.');
    if (point == std::string::npos)
        return 0;
    int decimals = 0;
    for (size_t i = point + 1; i < skeleton.size() && (skeleton[i] == '0' || skeleton[i] == '#'); ++i)
        ++decimals;
    return decimals;
}

std::string ExcelNumberFormat(const std::string &floatFormat)
{
    if (floatFormat.empty())
        return "General";
    std::string out;
    std::string literal;
    auto flush = [&] {
        if (literal.empty())
            return;
        out += '"';
        out += literal;
        out += '"';
        literal.clear();
    };
    char quote = 0;
    for (size_t i = 0; i < floatFormat.size(); ++i) {
        const char c = floatFormat[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c != '"')
                literal.push_back(c);
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        const bool exponent = (c == 'E' || c == 'e') && i + 1 < floatFormat.size()
                              && (floatFormat[i + 1] == '+' || floatFormat[i + 1] == '-');
        if (c == '#' || c == '0' || c == ',' || c == '.' || c == ';' || exponent) {
            flush();
            out.push_back(c);
            if (exponent)
                out.push_back(floatFormat[++i]);
        } else if (c != '"') {
            literal.push_back(c);
        }
    }
    flush();
    return out;
}

std::string FullNumberText(double value, char decimalSeparator)
{
    if (!std::isfinite(value))
        return FloatToStr(value);
    if (value == 0)
        return "0";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    std::string text(buf, size_t(res.ptr - buf));
    for (char &c : text) {
        if (c == '.')
            c = decimalSeparator;
    }
    return text;
}

std::string PlainNumberText(double value, const std::string &floatFormat, char decimalSeparator)
{
    std::string skeleton = NumericSkeleton(floatFormat);
    std::erase(skeleton, ',');
    if (skeleton.empty())
        return FullNumberText(value, decimalSeparator);
    TFormatSettings fs = FormatSettings();
    fs.decimalSeparator = decimalSeparator;
    fs.thousandSeparator = decimalSeparator == ',' ? '.' : ',';
    return FormatFloat(skeleton, value, fs);
}

// --- CSV ----------------------------------------------------------------------------------

std::string CsvField(const std::string &text, char separator)
{
    const bool quote = text.find_first_of(std::string{separator, '"', '\n', '\r'}) != std::string::npos
                       || (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

namespace {

std::string CsvCell(const ExportColumn &column, const ExportCell &cell, bool totals, const CsvOptions &options)
{
    // A null is empty: the text a handler shows for it is not a value. Totals rows may hold a
    // caption in any column.
    if (cell.null)
        return column.kind == ExportKind::Text || totals ? CsvField(cell.text, options.separator) : std::string();
    switch (column.kind) {
    case ExportKind::Number: return PlainNumberText(cell.number, column.displayFormat, options.decimalSeparator);
    case ExportKind::Date:
    case ExportKind::DateTime:
        return CsvField(std::floor(cell.number) == cell.number ? DateToStr(cell.number) : DateTimeToStr(cell.number),
                        options.separator);
    case ExportKind::Boolean: return cell.number != 0 ? "1" : "0";
    case ExportKind::Text: break;
    }
    return CsvField(cell.text, options.separator);
}

} // namespace

std::string CsvText(const ExportSheet &sheet, const CsvOptions &options)
{
    std::string out;
    const std::string separator(1, options.separator);
    if (options.captions) {
        for (size_t c = 0; c < sheet.columns.size(); ++c) {
            if (c > 0)
                out += separator;
            out += CsvField(sheet.columns[c].caption, options.separator);
        }
        out += "\r\n";
    }
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const auto &row = sheet.rows[r];
        const bool totals = sheet.totalsFrom >= 0 && r >= size_t(sheet.totalsFrom);
        for (size_t c = 0; c < sheet.columns.size(); ++c) {
            if (c > 0)
                out += separator;
            if (c < row.size())
                out += CsvCell(sheet.columns[c], row[c], totals, options);
        }
        out += "\r\n";
    }
    return out;
}

void WriteCsv(const ExportSheet &sheet, const std::string &path, const CsvOptions &options)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw Exception("não foi possível gravar o arquivo " + path);
    file << "\xEF\xBB\xBF" << CsvText(sheet, options);
    file.close();
    if (!file)
        throw Exception("não foi possível gravar o arquivo " + path);
}

std::string SheetName(const std::string &wanted, const std::vector<std::string> &taken)
{
    std::string base;
    for (char c : wanted) {
        if (std::string_view("[]:*?/\\").find(c) == std::string_view::npos)
            base.push_back(c);
    }
    if (base.empty())
        base = "Planilha";
    // 31 characters, not bytes: never cut a UTF-8 sequence.
    auto cut = [](std::string text, size_t chars) {
        size_t count = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && count++ == chars)
                return text.substr(0, i);
        }
        return text;
    };
    auto lower = [](std::string text) {
        for (char &c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    auto used = [&](const std::string &name) {
        for (const std::string &t : taken) {
            if (lower(t) == lower(name))
                return true;
        }
        return false;
    };
    std::string name = cut(base, 31);
    for (int n = 2; used(name); ++n) {
        const std::string suffix = " (" + std::to_string(n) + ")";
        name = cut(base, 31 - suffix.size()) + suffix;
    }
    return name;
}

} // namespace tk
