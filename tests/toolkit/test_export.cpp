// The table export: number formats, plain numbers, CSV text, sheet names, and a workbook read back
// by openpyxl (Debian's /usr/bin/python3).

#include "platform/toolkit/export/tableexport.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

TEST(ExportFormats, ExcelNumberFormatKeepsPlaceholdersAndQuotesLiterals)
{
    const struct
    {
        const char *toolkit, *excel;
    } cases[] = {
        {"#,##0.00000", "#,##0.00000"},
        {"#,###,##0.00000", "#,###,##0.00000"},
        {"#,##0.00 %", "#,##0.00\" %\""},
        {"#,##0.###", "#,##0.###"},
        {"0", "0"},
        {"", "General"},
        {"'R$ '#,##0.00", "\"R$ \"#,##0.00"},
        {"#,##0.00;(#,##0.00)", "#,##0.00;\"(\"#,##0.00\")\""},
        {"0.00E+00", "0.00E+00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(tk::ExcelNumberFormat(c.toolkit), c.excel) << c.toolkit;
}

TEST(ExportFormats, DecimalsAndPlainNumbers)
{
    EXPECT_EQ(tk::FormatDecimals("#,##0.00000"), 5);
    EXPECT_EQ(tk::FormatDecimals("#,##0.00 %"), 2);
    EXPECT_EQ(tk::FormatDecimals("#,##0"), 0);
    EXPECT_EQ(tk::FormatDecimals("'x.y' 0.0"), 1);
    EXPECT_EQ(tk::FormatDecimals(""), -1);

    EXPECT_EQ(tk::PlainNumberText(1234567.123456, "#,##0.00000", ','), "1234567,12346");
    EXPECT_EQ(tk::PlainNumberText(1234567.123456, "#,##0.00000", '.'), "1234567.12346");
    EXPECT_EQ(tk::PlainNumberText(-12.5, "#,##0.00 %", ','), "-12,50");
    EXPECT_EQ(tk::PlainNumberText(3, "#,##0.###", ','), "3");
    EXPECT_EQ(tk::PlainNumberText(0.1 + 0.2, "", '.'), "0.30000000000000004");
    EXPECT_EQ(tk::FullNumberText(1234.56789, ','), "1234,56789");
    EXPECT_EQ(tk::FullNumberText(0, ','), "0");
}

TEST(ExportCsv, QuotesOnlyWhatNeedsIt)
{
    EXPECT_EQ(tk::CsvField("arroz", ';'), "arroz");
    EXPECT_EQ(tk::CsvField("arroz; feijão", ';'), "\"arroz; feijão\"");
    EXPECT_EQ(tk::CsvField("arroz, feijão", ';'), "arroz, feijão");
    EXPECT_EQ(tk::CsvField("arroz, feijão", ','), "\"arroz, feijão\"");
    EXPECT_EQ(tk::CsvField("diz \"oi\"", ';'), "\"diz \"\"oi\"\"\"");
    EXPECT_EQ(tk::CsvField(" x", ';'), "\" x\"");
}

TEST(ExportCsv, SheetNamesFitExcel)
{
    EXPECT_EQ(tk::SheetName("Dias [mar/2026]", {}), "Dias mar2026");
    EXPECT_EQ(tk::SheetName("", {}), "Planilha");
    EXPECT_EQ(tk::SheetName("Realizado", {"realizado"}), "Realizado (2)");
    // 31 characters, not bytes: accents count once and are never cut in half.
    const std::string longName = "Cotação Desatualizada de produtos do mês";
    const std::string cut = tk::SheetName(longName, {});
    EXPECT_EQ(cut, "Cotação Desatualizada de produt");
}

// A dataset as the window's lists are: a number with a display format, a date with a day text, a
// text and a calculated field.
struct Sample
{
    tk::TClientDataSet ds{"cdsSample"};
    Sample()
    {
        ds.AddField("DTDATA", tk::FieldType::DateTime)->SetDisplayLabel("Data");
        ds.AddField("NMPRATO", tk::FieldType::String, 40)->SetDisplayLabel("Prato");
        tk::TField *custo = ds.AddField("VRCUSTO", tk::FieldType::Float);
        custo->SetDisplayFormat("#,##0.00000");
        custo->SetDisplayLabel("Custo");
        tk::TField *dobro = ds.AddField("Dobro", tk::FieldType::Float, 0, tk::TFieldKind::fkCalculated);
        dobro->SetDisplayFormat("#,##0.00 %");
        ds.AddField("OCULTO", tk::FieldType::Integer)->SetVisible(false);
        ds.FieldByName("DTDATA")->OnGetText = [](tk::TField &f, std::string &text, bool) {
            text = tk::DateToStr(f.AsDateTime()) + " - seg";
        };
        ds.OnCalcFields = [](tk::TClientDataSet &d) {
            d.FieldByName("Dobro")->SetAsFloat(d.FieldByName("VRCUSTO")->AsFloat() * 2);
        };
        ds.CreateDataSet();
        add(tk::EncodeDate(2026, 3, 16), "Arroz; branco", 1234.123456789);
        add(tk::EncodeDate(2026, 3, 17), "Feijão \"preto\"", -0.5);
        ds.Append();
        ds.Post(); // a row of nulls
        ds.First();
    }
    void add(tk::TDateTime day, const std::string &name, double cost)
    {
        ds.Append();
        ds.FieldByName("DTDATA")->SetAsDateTime(day);
        ds.FieldByName("NMPRATO")->SetAsString(name);
        ds.FieldByName("VRCUSTO")->SetAsFloat(cost);
        ds.FieldByName("OCULTO")->SetAsInteger(7);
        ds.Post();
    }
};

TEST(ExportDataSet, VisibleFieldsWithValuesAndTexts)
{
    Sample s;
    s.ds.SetRecNo(2);
    const tk::ExportSheet sheet = tk::SheetOf(s.ds, "Amostra");
    ASSERT_EQ(sheet.columns.size(), 4u); // OCULTO stays out
    EXPECT_EQ(sheet.columns[0].caption, "Data");
    EXPECT_EQ(sheet.columns[0].kind, tk::ExportKind::Date);
    EXPECT_EQ(sheet.columns[2].kind, tk::ExportKind::Number);
    EXPECT_TRUE(sheet.columns[2].rightAligned);
    EXPECT_EQ(sheet.columns[3].caption, "Dobro");
    ASSERT_EQ(sheet.rows.size(), 3u);
    EXPECT_EQ(sheet.rows[0][0].text, "16/03/2026 - seg");
    EXPECT_DOUBLE_EQ(sheet.rows[0][3].number, 2468.246913578);
    EXPECT_TRUE(sheet.rows[2][2].null);
    // Reading the rows does not move the cursor.
    EXPECT_EQ(s.ds.RecNo(), 2);

    EXPECT_EQ(tk::CsvText(sheet),
              "Data;Prato;Custo;Dobro\r\n"
              "16/03/2026;\"Arroz; branco\";1234,12346;2468,25\r\n"
              "17/03/2026;\"Feijão \"\"preto\"\"\";-0,50000;-1,00\r\n"
              ";;;0,00\r\n");
    tk::CsvOptions point;
    point.separator = ',';
    point.decimalSeparator = '.';
    EXPECT_EQ(tk::CsvText(sheet, point).substr(0, 67), "Data,Prato,Custo,Dobro\r\n16/03/2026,Arroz; branco,1234.12346,2468.25");

    const tk::ExportSheet some = [&] {
        tk::ExportSheet only;
        only.columns = tk::ColumnsOf(s.ds, {{"VRCUSTO", "Valor", 90}});
        tk::AppendRows(only, s.ds, std::vector<int>{1});
        return only;
    }();
    ASSERT_EQ(some.rows.size(), 1u);
    EXPECT_EQ(some.columns[0].caption, "Valor");
    EXPECT_EQ(some.columns[0].widthPixels, 90);
    EXPECT_DOUBLE_EQ(some.rows[0][0].number, -0.5);
    EXPECT_THROW(tk::ColumnsOf(s.ds, {{"NAOEXISTE", "", -1}}), tk::Exception);
}

QJsonObject readBack(const std::string &path)
{
    const std::string script = std::string(std::getenv("COSTANALYSIS_SOURCE_DIR")) + "/tests/e2e/readback.py";
    const std::string command = "/usr/bin/python3 '" + script + "' '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    char buf[4096];
    size_t n = 0;
    while (pipe && (n = fread(buf, 1, sizeof buf, pipe.get())) > 0)
        out.append(buf, n);
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}

TEST(ExportXlsx, WorkbookReadBackByOpenpyxl)
{
    Sample s;
    tk::ExportSheet sheet = tk::SheetOf(s.ds, "Amostra: março", {{"DTDATA", "", 110}, {"NMPRATO", "", -1},
                                                                   {"VRCUSTO", "", -1}, {"Dobro", "", -1}});
    sheet.rows.push_back({tk::ExportCell{true, 0, "Total"}, {}, tk::ExportCell{false, 1233.623456789, ""}, {}});
    sheet.totalsFrom = 3;
    tk::ExportSheet second;
    second.name = "Amostra: março"; // the same name again
    second.columns = {tk::ExportColumn{"Texto", "", tk::ExportKind::Text, "", 64, false}};
    second.rows = {{tk::ExportCell{false, 0, "só texto"}}};

    const std::string path = (std::filesystem::temp_directory_path() / "toolkit_export_test.xlsx").string();
    tk::WriteXlsx({sheet, second}, path, {"Amostra", "teste"});
    const QJsonObject book = readBack(path);
    std::filesystem::remove(path);
    ASSERT_TRUE(book.contains("sheets")) << "openpyxl could not read the workbook";
    EXPECT_EQ(book["title"].toString(), "Amostra");
    const QJsonArray sheets = book["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 2);
    const QJsonObject first = sheets[0].toObject();
    EXPECT_EQ(first["name"].toString(), "Amostra março");
    EXPECT_EQ(sheets[1].toObject()["name"].toString(), "Amostra março (2)");
    EXPECT_EQ(first["frozen"].toString(), "A2");
    EXPECT_NEAR(first["widths"].toObject()["A"].toDouble(), 110 / 7.0, 0.75);

    const QJsonArray rows = first["rows"].toArray();
    ASSERT_EQ(rows.size(), 5);
    const QJsonArray captions = rows[0].toArray();
    EXPECT_EQ(captions[0].toObject()["v"].toString(), "Data");
    EXPECT_TRUE(captions[2].toObject()["bold"].toBool());

    const QJsonArray r1 = rows[1].toArray();
    EXPECT_EQ(r1[0].toObject()["t"].toString(), "d");
    EXPECT_EQ(r1[0].toObject()["v"].toString(), "2026-03-16 00:00:00");
    EXPECT_EQ(r1[1].toObject()["v"].toString(), "Arroz; branco");
    EXPECT_EQ(r1[2].toObject()["t"].toString(), "n");
    EXPECT_DOUBLE_EQ(r1[2].toObject()["v"].toDouble(), 1234.123456789); // the value, not the text
    EXPECT_EQ(r1[2].toObject()["f"].toString(), "#,##0.00000");
    EXPECT_EQ(r1[3].toObject()["f"].toString(), "#,##0.00\" %\"");
    EXPECT_FALSE(r1[2].toObject()["bold"].toBool());
    EXPECT_EQ(rows[3].toArray()[2].toObject()["t"].toString(), "e"); // a null stays empty

    const QJsonArray total = rows[4].toArray();
    EXPECT_EQ(total[0].toObject()["v"].toString(), "Total");
    EXPECT_TRUE(total[2].toObject()["bold"].toBool());
    EXPECT_DOUBLE_EQ(total[2].toObject()["v"].toDouble(), 1233.623456789);
}

TEST(ExportXlsx, UnwritablePathIsAClearError)
{
    Sample s;
    try {
        tk::WriteXlsx({tk::SheetOf(s.ds, "x")}, "/nonexistent-folder/x.xlsx");
        FAIL() << "no error";
    } catch (const tk::Exception &e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/x.xlsx"), std::string::npos) << e.what();
    }
    EXPECT_THROW(tk::WriteCsv(tk::SheetOf(s.ds, "x"), "/nonexistent-folder/x.csv"), tk::Exception);
}

} // namespace
