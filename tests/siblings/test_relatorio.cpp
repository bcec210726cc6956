// KPV49700 off screen: the array is read strictly, the server call follows the selector, and the
// report becomes a valid PDF with one line per product, its header, the count and the page numbers.

#include "platform/contract/costmethods.h"
#include "platform/siblings/common/moduleargs.h"
#include "platform/siblings/kpv49700/relatorio.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/widgets/errors.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

QT_BEGIN_NAMESPACE
void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[' << list.join(QStringLiteral(" | ")).toStdString() << ']';
}
QT_END_NAMESPACE

namespace {

tk::Variant reportArgs(const std::string &selector, tk::TDateTime reference = tk::EncodeDate(2026, 3, 15))
{
    return tk::Variant::array({"0001", "001", 6, tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 10)),
                               tk::Variant::fromDateTime(reference), true, tk::Variant(selector)});
}

TEST(RelatorioArgs, SelectorChoosesTheListing)
{
    const kpv49700::ReportRequest zero = kpv49700::ParseArgs(reportArgs("0ABCDE12345"));
    EXPECT_EQ(zero.listagem, kpv49700::Listagem::CustoZero);
    EXPECT_EQ(zero.cdFilial, "0001");
    EXPECT_EQ(zero.cdServFili, "001");
    EXPECT_EQ(zero.cdTipoCusto, 6);
    EXPECT_TRUE(zero.idRefeFixa);
    EXPECT_DOUBLE_EQ(zero.dtRefeFixa, tk::EncodeDate(2026, 3, 10));
    // The zero-cost listing needs no work set: an empty key is fine.
    EXPECT_EQ(kpv49700::ParseArgs(reportArgs("0")).listagem, kpv49700::Listagem::CustoZero);

    const kpv49700::ReportRequest quotes = kpv49700::ParseArgs(reportArgs("1ABCDE12345"));
    EXPECT_EQ(quotes.listagem, kpv49700::Listagem::CotacaoDesatualizada);
    EXPECT_EQ(quotes.chaveTrabCusto, "ABCDE12345");
}

TEST(RelatorioArgs, MalformedArraysAreRefusedClearly)
{
    auto replaced = [](size_t index, tk::Variant value) {
        tk::VariantArray items = reportArgs("0KEY").items();
        items[index] = std::move(value);
        return tk::Variant(items);
    };
    tk::VariantArray six = reportArgs("0KEY").items();
    six.pop_back();
    auto withBranch = [](tk::Variant branch) {
        tk::VariantArray items = reportArgs("0KEY").items();
        items.push_back(std::move(branch));
        return items;
    };
    tk::VariantArray nine = withBranch("0002");
    nine.push_back("");
    struct Bad
    {
        const char *name;
        tk::Variant args;
        const char *message;
    };
    const Bad cases[] = {
        {"null", tk::Variant(),
         "KPV49700: parâmetros inválidos: esperado um vetor de 7 a 8 elementos, recebido nulo"},
        {"six elements", tk::Variant(six), "recebido um vetor de 6 elementos"},
        {"nine elements", tk::Variant(nine), "recebido um vetor de 9 elementos"},
        {"cost branch as number", tk::Variant(withBranch(tk::Variant(2))),
         "parâmetro 7 (CdFiliCust) deve ser um texto, recebido inteiro"},
        {"branch as number", replaced(0, 1), "parâmetro 0 (CdFilial) deve ser um texto, recebido inteiro"},
        {"cost type as text", replaced(2, "6"),
         "parâmetro 2 (CdTipoCusto) deve ser um inteiro, recebido texto"},
        {"cost type fractional", replaced(2, 6.5),
         "parâmetro 2 (CdTipoCusto) deve ser um inteiro, recebido um número"},
        {"fixed date as text", replaced(3, "10/03/2026"),
         "parâmetro 3 (DtRefeFixa) deve ser uma data, recebido texto"},
        {"reference out of range", replaced(4, tk::Variant::fromDateTime(-700000.0)),
         "parâmetro 4 (DtReferencia) não é uma data válida"},
        {"flag as 2", replaced(5, 2),
         "parâmetro 5 (IdRefeFixa) deve ser um valor lógico, recebido o inteiro 2"},
        {"flag as text", replaced(5, "S"),
         "parâmetro 5 (IdRefeFixa) deve ser um valor lógico, recebido texto"},
        {"no selector", replaced(6, ""), "parâmetro 6 (listagem) deve começar por \"0\""},
        {"unknown selector", replaced(6, "2KEY"), "parâmetro 6 (listagem) deve começar por \"0\""},
        {"quotes without key", replaced(6, "1"), "não traz a chave do conjunto de trabalho"},
    };
    for (const Bad &bad : cases) {
        SCOPED_TRACE(bad.name);
        try {
            kpv49700::ParseArgs(bad.args);
            ADD_FAILURE() << "accepted";
        } catch (const siblings::EModuleArgsError &e) {
            EXPECT_NE(std::string(e.what()).find(bad.message), std::string::npos) << e.what();
        }
    }
}

// The cost branch, an added eighth element, prices both listings as the window's pages do; a
// caller of seven elements keeps the analysis branch's own costs.
TEST(RelatorioArgs, CostBranchReachesTheServerCall)
{
    tk::VariantArray items = reportArgs("1ABCDE12345").items();
    items.push_back("0002");
    const kpv49700::ReportRequest quotes = kpv49700::ParseArgs(tk::Variant(items));
    EXPECT_EQ(quotes.cdFiliCust, "0002");
    EXPECT_EQ(kpv49700::ListingCall(quotes).args.at(2), tk::Variant("0002"));
    EXPECT_EQ(kpv49700::HeaderFor(quotes).cdFiliCust, "0002");
    items[6] = "0";
    const kpv49700::ReportRequest zero = kpv49700::ParseArgs(tk::Variant(items));
    EXPECT_EQ(kpv49700::ListingCall(zero).args.at(0), tk::Variant("0002"));
    EXPECT_EQ(kpv49700::ParseArgs(reportArgs("0")).cdFiliCust, "");
}

// The report's calls are the contract's: the server reads them back, and the fields the report needs
// are in the packet layout the server builds.
TEST(RelatorioArgs, ListingCallsAndFieldsAreTheContracts)
{
    const kpv49700::ReportRequest zero = kpv49700::ParseArgs(reportArgs("0ABCDE12345"));
    const kpv49700::ReportRequest quotes = kpv49700::ParseArgs(reportArgs("1ABCDE12345"));
    EXPECT_EQ(contract::fromWire<contract::GetProdCustZero>(kpv49700::ListingCall(zero).args).CdServFili, "001");
    EXPECT_EQ(contract::fromWire<contract::GetProdCotDesatu>(kpv49700::ListingCall(quotes).args).ChaveTrabCusto,
              "ABCDE12345");
    for (const auto &[listagem, layout] :
         {std::pair{kpv49700::Listagem::CustoZero, contract::GetProdCustZero::packets().front()},
          std::pair{kpv49700::Listagem::CotacaoDesatualizada, contract::GetProdCotDesatu::packets().front()}}) {
        const tk::DataPacket packet(layout.fields);
        for (const std::string &field : kpv49700::RequiredFields(listagem))
            EXPECT_GE(packet.fieldIndex(field), 0) << layout.dataset << " " << field;
    }
}

// The month sent to the server is the whole month of DtReferencia, leap years included.
TEST(RelatorioArgs, ServerCallCoversTheReferenceMonth)
{
    struct Case
    {
        tk::TDateTime reference;
        tk::TDateTime first;
        tk::TDateTime last;
    };
    const Case cases[] = {
        {tk::EncodeDate(2024, 2, 29), tk::EncodeDate(2024, 2, 1), tk::EncodeDate(2024, 2, 29)},
        {tk::EncodeDate(2026, 2, 1), tk::EncodeDate(2026, 2, 1), tk::EncodeDate(2026, 2, 28)},
        {tk::EncodeDateTime(2026, 12, 31, 18, 30, 0), tk::EncodeDate(2026, 12, 1),
         tk::EncodeDate(2026, 12, 31)},
    };
    for (const Case &c : cases) {
        const auto zero = kpv49700::ListingCall(kpv49700::ParseArgs(reportArgs("0K", c.reference)));
        EXPECT_EQ(zero.method, "GetProdCustZero");
        ASSERT_EQ(zero.args.size(), 8u);
        EXPECT_EQ(zero.args[0], tk::Variant("")) << "cost branch";
        EXPECT_DOUBLE_EQ(zero.args[5].asDateTime(), c.first);
        EXPECT_DOUBLE_EQ(zero.args[6].asDateTime(), c.last);
        EXPECT_EQ(zero.args[7], tk::Variant(true));

        const auto quotes
            = kpv49700::ListingCall(kpv49700::ParseArgs(reportArgs("1ABCDE12345", c.reference)));
        EXPECT_EQ(quotes.method, "GetProdCotDesatu");
        ASSERT_EQ(quotes.args.size(), 9u);
        EXPECT_EQ(quotes.args[0], tk::Variant("ABCDE12345"));
        EXPECT_DOUBLE_EQ(quotes.args[5].asDateTime(), c.first);
        EXPECT_DOUBLE_EQ(quotes.args[6].asDateTime(), c.last);
    }
}

tk::DataPacket zeroCostRows(int count)
{
    tk::DataPacket p;
    p.addField("CDARVPROD", tk::FieldType::String, 20);
    p.addField("CDPRODUTO", tk::FieldType::String, 10);
    p.addField("NMPRODUTO", tk::FieldType::String, 50);
    p.addField("DTCARDAPIO", tk::FieldType::DateTime);
    p.addField("CUSTOPROD", tk::FieldType::Float);
    p.addField("QTDEBRUTA", tk::FieldType::Float);
    for (int i = 1; i <= count; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "Produto Teste %03d", i);
        p.addRow({tk::Variant("101020003"), tk::Variant(std::to_string(i)), tk::Variant(std::string(name)),
                  tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1 + i % 31)), 0.0, 1234.56789 + i});
    }
    return p;
}

tk::DataPacket quoteRows()
{
    tk::DataPacket p;
    p.addField("DTCONSPLAN", tk::FieldType::DateTime);
    p.addField("CDARVPROD", tk::FieldType::String, 20);
    p.addField("CDPRODUTO", tk::FieldType::String, 10);
    p.addField("NMPRODUTO", tk::FieldType::String, 50);
    p.addField("QTCONSPLAN", tk::FieldType::Float);
    p.addField("CUSTOPROD", tk::FieldType::Float);
    p.addField("DTCUSTOSUP", tk::FieldType::DateTime);
    p.addField("DTFINCUSTSUP", tk::FieldType::DateTime);
    p.addRow({tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 21)), "203040005", "000045",
              "Tomate italiano", 12.5, 7.8912345, tk::Variant::fromDateTime(tk::EncodeDate(2026, 2, 1)),
              tk::Variant::fromDateTime(tk::EncodeDate(2026, 2, 28))});
    p.addRow({tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 22)), "203040006", "000046", "Cebola branca",
              3.25, 4.1, tk::Variant::fromDateTime(tk::EncodeDate(2026, 2, 1)), tk::Variant()});
    return p;
}

kpv49700::ReportHeader header(kpv49700::Listagem listagem)
{
    kpv49700::ReportHeader h;
    h.listagem = listagem;
    h.cdFilial = "0001";
    h.cdServFili = "001";
    h.cdTipoCusto = 6;
    h.dtReferencia = tk::EncodeDate(2026, 3, 15);
    h.idRefeFixa = false;
    h.operador = "Maria";
    h.emitidoEm = tk::EncodeDateTime(2026, 3, 16, 9, 5, 0);
    return h;
}

std::string readFile(const QString &path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool havePdfToText()
{
    static const bool have = std::system("pdftotext -v >/dev/null 2>&1") == 0;
    return have;
}

// The text of a PDF, one text line per line, in reading layout.
std::string pdfText(const QString &path)
{
    const std::string out = path.toStdString() + ".txt";
    const std::string command = "pdftotext -layout '" + path.toStdString() + "' '" + out + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return readFile(QString::fromStdString(out));
}

int occurrences(const std::string &text, const std::string &what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

void expectValidPdf(const std::string &bytes)
{
    ASSERT_GT(bytes.size(), 500u);
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    EXPECT_NE(bytes.rfind("%%EOF"), std::string::npos);
    EXPECT_GT(bytes.rfind("%%EOF"), bytes.size() - 16);
}

TEST(RelatorioPdf, ZeroCostReportHasOneLinePerProductOverSeveralPages)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("custozero.pdf"));
    const tk::DataPacket rows = zeroCostRows(70);
    const kpv49700::RenderResult result =
        kpv49700::WriteReportPdf(rows, header(kpv49700::Listagem::CustoZero), path);

    EXPECT_EQ(result.pages, 2);
    ASSERT_EQ(result.lines.size(), 70u);
    EXPECT_EQ(result.linesPerPage.at(0) + result.linesPerPage.at(1), 70);
    EXPECT_EQ(result.lines[0],
              (QStringList{"02/03/2026", "1.01.02.0003", "Produto Teste 001", "1.235,56789"}));
    expectValidPdf(readFile(path));

    if (!havePdfToText())
        return; // the drawn lines were checked above through the renderer's own result
    const std::string text = pdfText(path);
    for (int i = 1; i <= 70; ++i) {
        char name[40];
        std::snprintf(name, sizeof name, "Produto Teste %03d", i);
        EXPECT_EQ(occurrences(text, name), 1) << name;
    }
    EXPECT_EQ(occurrences(text, "Produtos com Custo Zero"), 2) << "title on every page";
    EXPECT_EQ(occurrences(text, "Total de produtos: 70"), 2);
    EXPECT_EQ(occurrences(text, "Página 1 de 2"), 1);
    EXPECT_EQ(occurrences(text, "Página 2 de 2"), 1);
    EXPECT_NE(text.find("Filial: 0001"), std::string::npos);
    EXPECT_NE(text.find("Serviço: 001"), std::string::npos);
    EXPECT_NE(text.find("Mês: março/2026"), std::string::npos);
    EXPECT_NE(text.find("Emitido em 16/03/2026 09:05 por Maria"), std::string::npos);
    // One text line per product: date, tree code, name and quantity on the same line.
    EXPECT_EQ(occurrences(text, "1.01.02.0003"), 70);
    std::istringstream lines(text);
    std::string line;
    int productLines = 0;
    while (std::getline(lines, line)) {
        if (line.find("Produto Teste") != std::string::npos) {
            ++productLines;
            EXPECT_NE(line.find("/03/2026"), std::string::npos) << line;
            EXPECT_NE(line.find(",56789"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(productLines, 70);
}

// A product used on many days is one product of many lines: the footer counts both, and the
// header names the cost branch the listing was priced at.
TEST(RelatorioPdf, FooterCountsProductsAndLinesApart)
{
    tk::DataPacket rows = zeroCostRows(0);
    for (int day = 1; day <= 55; ++day) {
        const bool salt = day % 2 == 0;
        rows.addRow({tk::Variant(salt ? "302010003" : "101020003"), tk::Variant(salt ? "SAL" : "ALHO"),
                     tk::Variant(salt ? "Sal" : "Alho"),
                     tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, 1) + (day - 1) / 2), 0.0, 0.5});
    }
    EXPECT_EQ(kpv49700::CountProducts(rows), 2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("linhas.pdf"));
    kpv49700::ReportHeader h = header(kpv49700::Listagem::CustoZero);
    h.cdFiliCust = "0002";
    const kpv49700::RenderResult result = kpv49700::WriteReportPdf(rows, h, path);
    EXPECT_EQ(result.products, 2);
    EXPECT_EQ(result.lines.size(), 55u);
    if (!havePdfToText())
        return;
    const std::string text = pdfText(path);
    EXPECT_EQ(occurrences(text, "Total de produtos: 2 "), result.pages) << text;
    EXPECT_EQ(occurrences(text, "Linhas: 55"), result.pages);
    EXPECT_EQ(occurrences(text, "Total de produtos: 55"), 0);
    EXPECT_NE(text.find("Filial de custo: 0002"), std::string::npos);
}

TEST(RelatorioPdf, QuoteReportShowsUnitCostAndQuotePeriod)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cotacao.pdf"));
    kpv49700::ReportHeader h = header(kpv49700::Listagem::CotacaoDesatualizada);
    h.idRefeFixa = true;
    h.dtRefeFixa = tk::EncodeDate(2026, 3, 10);
    const kpv49700::RenderResult result = kpv49700::WriteReportPdf(quoteRows(), h, path);
    EXPECT_EQ(result.pages, 1);
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[0], (QStringList{"21/03/2026", "2.03.04.0005", "Tomate italiano", "12,50000",
                                            "7,89123", "01/02/2026", "28/02/2026"}));
    EXPECT_EQ(result.lines[1].at(6), QString()) << "an open quote period has no end";
    expectValidPdf(readFile(path));

    if (!havePdfToText())
        return;
    const std::string text = pdfText(path);
    EXPECT_NE(text.find("Produtos com Cotação Desatualizada"), std::string::npos);
    EXPECT_NE(text.find("Preços fixados em 10/03/2026"), std::string::npos) << text;
    EXPECT_NE(text.find("Custo Unit."), std::string::npos);
    EXPECT_NE(text.find("Período De"), std::string::npos);
    std::istringstream lines(text);
    std::string line;
    int found = 0;
    while (std::getline(lines, line)) {
        if (line.find("Tomate italiano") != std::string::npos) {
            ++found;
            EXPECT_NE(line.find("7,89123"), std::string::npos) << line;
            EXPECT_NE(line.find("01/02/2026"), std::string::npos) << line;
            EXPECT_NE(line.find("28/02/2026"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(occurrences(text, "Total de produtos: 2"), 1);
}

TEST(RelatorioPdf, EmptyListingAndBadInput)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vazio.pdf"));
    const kpv49700::RenderResult result =
        kpv49700::WriteReportPdf(zeroCostRows(0), header(kpv49700::Listagem::CustoZero), path);
    EXPECT_EQ(result.pages, 1);
    EXPECT_TRUE(result.lines.empty());
    expectValidPdf(readFile(path));
    if (havePdfToText()) {
        const std::string text = pdfText(path);
        EXPECT_NE(text.find("Nenhum produto encontrado."), std::string::npos);
        EXPECT_NE(text.find("Total de produtos: 0"), std::string::npos);
        EXPECT_NE(text.find("Página 1 de 1"), std::string::npos);
    }

    try {
        kpv49700::WriteReportPdf(zeroCostRows(1), header(kpv49700::Listagem::CustoZero),
                                 dir.filePath(QStringLiteral("nao/existe/relatorio.pdf")));
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const tk::Exception &e) {
        EXPECT_NE(std::string(e.what()).find("KPV49700: não foi possível gravar o PDF em"), std::string::npos)
            << e.what();
    }
    // A zero-cost packet is not a quote listing.
    try {
        kpv49700::WriteReportPdf(zeroCostRows(1), header(kpv49700::Listagem::CotacaoDesatualizada), path);
        ADD_FAILURE() << "accepted a packet without the listing's fields";
    } catch (const tk::Exception &e) {
        EXPECT_NE(std::string(e.what()).find("a listagem não tem o campo DTCONSPLAN"), std::string::npos)
            << e.what();
    }
}

TEST(RelatorioPreview, PreviewDrawsTheReportAndExportsPdf)
{
    QTemporaryDir dir;
    const auto w = kpv49700::CreateReportWindow(zeroCostRows(5), header(kpv49700::Listagem::CustoZero));
    EXPECT_EQ(w->windowTitle().toStdString(), "Relatório de Produtos - Produtos com Custo Zero");
    EXPECT_EQ(w->DefaultFileName().toStdString(), "ProdutosCustoZero_0001_001_2026-03.pdf");
    ASSERT_NE(w->actExportarPdf, nullptr);
    ASSERT_NE(w->findChild<QToolBar *>(), nullptr);
    EXPECT_TRUE(w->findChild<QToolBar *>()->actions().contains(w->actExportarPdf));

    // The preview draws through the same renderer.
    w->show();
    for (int i = 0; i < 20 && w->LastRender().pages == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(w->LastRender().pages, 1);
    EXPECT_EQ(w->LastRender().lines.size(), 5u);

    const QString path = dir.filePath(QStringLiteral("exportado.pdf"));
    w->ChooseExportPath = [&] { return path; };
    w->actExportarPdf->trigger();
    expectValidPdf(readFile(path));

    // A failed export is shown, not thrown through the tool bar; a cancelled one writes nothing.
    tk::ExceptionRecorder errors;
    w->ChooseExportPath = [&] { return dir.filePath(QStringLiteral("nao/existe.pdf")); };
    w->actExportarPdf->trigger();
    ASSERT_EQ(errors.Messages().size(), 1u);
    EXPECT_NE(errors.Messages()[0].find("não foi possível gravar o PDF"), std::string::npos);
    w->ChooseExportPath = [] { return QString(); };
    w->actExportarPdf->trigger();
    EXPECT_EQ(errors.Messages().size(), 1u);
    w->close();
}

} // namespace
