// The XLSX side of the table export, over libxlsxwriter.

#include "platform/toolkit/export/tableexport.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

namespace tk {

namespace {

constexpr const char *kDateFormat = "dd/mm/yyyy";
constexpr const char *kDateTimeFormat = "dd/mm/yyyy hh:mm:ss";
// Excel refuses longer cell texts.
constexpr size_t kMaxCellText = 32767;

struct WorkbookCloser
{
    void operator()(lxw_workbook *wb) const
    {
        if (wb)
            workbook_close(wb);
    }
};

// One format object per (number format, bold) pair: libxlsxwriter keeps every format it is given
// in the file, so they are shared.
class Formats
{
public:
    explicit Formats(lxw_workbook *wb) : m_wb(wb) {}

    lxw_format *get(const std::string &numberFormat, bool bold, bool right = false)
    {
        const std::string key = numberFormat + (bold ? "\x01" : "\x02") + (right ? "r" : "l");
        auto found = m_formats.find(key);
        if (found != m_formats.end())
            return found->second;
        lxw_format *format = workbook_add_format(m_wb);
        if (!numberFormat.empty())
            format_set_num_format(format, numberFormat.c_str());
        if (bold)
            format_set_bold(format);
        if (right)
            format_set_align(format, LXW_ALIGN_RIGHT);
        m_formats.emplace(key, format);
        return format;
    }

private:
    lxw_workbook *m_wb;
    std::map<std::string, lxw_format *> m_formats;
};

void check(lxw_error error, const std::string &path)
{
    if (error != LXW_NO_ERROR)
        throw Exception("não foi possível gravar a planilha " + path + ": " + lxw_strerror(error));
}

std::string cellText(const std::string &text)
{
    if (text.size() <= kMaxCellText)
        return text;
    size_t end = kMaxCellText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

void writeSheet(lxw_workbook *wb, Formats &formats, const ExportSheet &sheet, const std::string &name,
                const std::string &path)
{
    lxw_worksheet *ws = workbook_add_worksheet(wb, name.c_str());
    if (!ws)
        throw Exception("não foi possível criar a folha '" + name + "' da planilha " + path);
    std::vector<std::string> numberFormats;
    for (size_t c = 0; c < sheet.columns.size(); ++c) {
        const ExportColumn &column = sheet.columns[c];
        // Excel measures widths in characters of its default font, about 7 pixels each.
        const double width = std::max(2.0, column.widthPixels / 7.0);
        check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), width, nullptr), path);
        numberFormats.push_back(column.kind == ExportKind::Number ? ExcelNumberFormat(column.displayFormat)
                                                                  : std::string());
    }
    worksheet_freeze_panes(ws, 1, 0);
    for (size_t c = 0; c < sheet.columns.size(); ++c) {
        const ExportColumn &column = sheet.columns[c];
        check(worksheet_write_string(ws, 0, lxw_col_t(c), cellText(column.caption).c_str(),
                                     formats.get({}, true, column.rightAligned)),
              path);
    }
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const lxw_row_t row = lxw_row_t(r + 1);
        const bool bold = sheet.totalsFrom >= 0 && r >= size_t(sheet.totalsFrom);
        const auto &cells = sheet.rows[r];
        for (size_t c = 0; c < sheet.columns.size() && c < cells.size(); ++c) {
            const ExportColumn &column = sheet.columns[c];
            const ExportCell &cell = cells[c];
            const lxw_col_t col = lxw_col_t(c);
            // A totals row may hold a caption in a column of another kind.
            const bool asText = column.kind == ExportKind::Text || (bold && cell.null && !cell.text.empty());
            if (asText) {
                if (!cell.text.empty())
                    check(worksheet_write_string(ws, row, col, cellText(cell.text).c_str(), formats.get({}, bold)),
                          path);
                continue;
            }
            if (cell.null)
                continue;
            if (!std::isfinite(cell.number)) {
                check(worksheet_write_string(ws, row, col, cell.text.c_str(), formats.get({}, bold)), path);
                continue;
            }
            switch (column.kind) {
            case ExportKind::Number:
                check(worksheet_write_number(ws, row, col, cell.number, formats.get(numberFormats[c], bold)), path);
                break;
            case ExportKind::Date:
            case ExportKind::DateTime: {
                const bool withTime = column.kind == ExportKind::DateTime || std::floor(cell.number) != cell.number;
                check(worksheet_write_number(ws, row, col, cell.number,
                                             formats.get(withTime ? kDateTimeFormat : kDateFormat, bold)),
                      path);
                break;
            }
            case ExportKind::Boolean:
                check(worksheet_write_boolean(ws, row, col, cell.number != 0, formats.get({}, bold)), path);
                break;
            case ExportKind::Text: break;
            }
        }
    }
}

} // namespace

void WriteXlsx(const std::vector<ExportSheet> &sheets, const std::string &path, const XlsxOptions &options)
{
    if (sheets.empty())
        throw Exception("uma planilha precisa de ao menos uma folha: " + path);
    std::unique_ptr<lxw_workbook, WorkbookCloser> wb(workbook_new(path.c_str()));
    if (!wb)
        throw Exception("não foi possível criar a planilha " + path);
    lxw_doc_properties properties{};
    properties.title = const_cast<char *>(options.title.c_str());
    properties.author = const_cast<char *>(options.author.c_str());
    check(workbook_set_properties(wb.get(), &properties), path);

    Formats formats(wb.get());
    std::vector<std::string> names;
    for (const ExportSheet &sheet : sheets) {
        names.push_back(SheetName(sheet.name, names));
        writeSheet(wb.get(), formats, sheet, names.back(), path);
    }
    // Closing writes the file; its error is the one that tells whether the file exists.
    const lxw_error error = workbook_close(wb.release());
    check(error, path);
}

} // namespace tk
