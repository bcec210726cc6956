#pragma once

// Tables taken out of the program: a sheet is a list of columns (caption, kind, display format,
// width) and rows of typed cells, read from an in-memory dataset without moving its cursor. A
// sheet is written as CSV text, and one or more sheets as an XLSX workbook (libxlsxwriter). Plain
// C++ with no Qt: the grids' copy and export, the window's month export and the command-line
// exporter all build their tables here, so every file holds the same values the screen shows.

#include "platform/toolkit/data/dataset.h"

#include <string>
#include <vector>

namespace tk {

enum class ExportKind { Text, Number, Date, DateTime, Boolean };

struct ExportColumn
{
    std::string caption;
    std::string fieldName;     // empty for a column not taken from a field
    ExportKind kind = ExportKind::Text;
    std::string displayFormat; // the toolkit's float format of a number column; empty: plain
    int widthPixels = 64;
    bool rightAligned = false;
};

struct ExportCell
{
    bool null = true;   // an empty cell
    double number = 0;  // Number, Date, DateTime, Boolean (0 or 1)
    std::string text;   // what the screen shows (the field's display text)
};

struct ExportSheet
{
    std::string name;
    std::vector<ExportColumn> columns;
    std::vector<std::vector<ExportCell>> rows;
    // Rows from this index on are totals (written bold); -1: none.
    int totalsFrom = -1;
};

// A column of a sheet read from a dataset: a field, its caption and width as a grid shows them.
struct DataSetColumn
{
    std::string fieldName;
    std::string caption; // empty: the field's DisplayLabel
    int widthPixels = -1; // -1: from the field's DisplayWidth
};

// The kind of a field's cells: numbers for integer and float fields, dates for date-time fields
// (date-times when a value of the field carries a time), text otherwise.
ExportKind KindOfField(const TField &field);

// The columns of a sheet for a dataset: the given ones, or every visible field when none is given.
// tk::Exception naming the field when one does not exist.
std::vector<ExportColumn> ColumnsOf(TClientDataSet &dataSet, const std::vector<DataSetColumn> &columns);

// One cell of a field at a view row (calculated fields computed as the grids compute them).
ExportCell CellOf(TClientDataSet &dataSet, int viewRow, const TField &field, ExportKind kind);

// The rows of the dataset's view, in view order (or only the given view rows), as cells of the
// columns. The cursor does not move and no event fires.
void AppendRows(ExportSheet &sheet, TClientDataSet &dataSet, const std::vector<int> &viewRows = {});
void AppendRows(ExportSheet &sheet, TClientDataSet &dataSet, int firstRow, int count);

// A sheet of the dataset's whole view.
ExportSheet SheetOf(TClientDataSet &dataSet, const std::string &name, const std::vector<DataSetColumn> &columns = {});

// The number of decimals a float format shows (its '0' and '#' after the point); -1 when the format
// is empty (plain numbers).
int FormatDecimals(const std::string &format);

// The Excel number format of a toolkit float format: '#', '0', ',', '.', ';' and 'E+' as they are,
// every other character (and the toolkit's quoted text) as quoted literal text, so "#,##0.00 %"
// stays a percentage sign after the number instead of multiplying it by 100.
std::string ExcelNumberFormat(const std::string &floatFormat);

// Text of a number without thousands separators: with the decimals of the format (full precision,
// up to 15 significant digits, when the format is empty) and the given decimal separator.
std::string PlainNumberText(double value, const std::string &floatFormat, char decimalSeparator);
// Full precision (up to 15 significant digits), point or comma.
std::string FullNumberText(double value, char decimalSeparator);

// --- CSV --------------------------------------------------------------------------------------
struct CsvOptions
{
    char separator = ';';
    char decimalSeparator = ',';
    bool captions = true;
};

// A field quoted when it holds the separator, a quote, a line break or leading/trailing blanks.
std::string CsvField(const std::string &text, char separator);
// The sheet as CSV text (UTF-8, CRLF line ends): numbers with the column's decimals and no
// thousands separators, dates in the short date format, text as shown.
std::string CsvText(const ExportSheet &sheet, const CsvOptions &options = {});
// Writes CsvText (with a UTF-8 byte order mark, which spreadsheets need to read the accents) to a
// file. tk::Exception naming the file when it cannot be written.
void WriteCsv(const ExportSheet &sheet, const std::string &path, const CsvOptions &options = {});

// --- XLSX -------------------------------------------------------------------------------------
// Excel sheet names: at most 31 characters, none of []:*?/\ and unique in the workbook.
std::string SheetName(const std::string &wanted, const std::vector<std::string> &taken);

struct XlsxOptions
{
    std::string title;   // the workbook's document title
    std::string author;
};

// Writes the sheets as one workbook: captions bold and frozen, numbers as numbers in the Excel
// form of their display format, dates as dates, widths from the columns. tk::Exception naming
// the file when it cannot be written.
void WriteXlsx(const std::vector<ExportSheet> &sheets, const std::string &path, const XlsxOptions &options = {});

} // namespace tk
