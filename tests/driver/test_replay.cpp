// Replay matching, the replay server over a real socket, and the recording of answers.

#include "tools/driver/jsonvalue.h"
#include "tools/driver/replay.h"

#include "platform/protocol/netconnection.h"
#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

using driver::ReplayBook;
using driver::ReplayEntry;
using tk::Variant;
using tk::VariantArray;

std::string errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const std::exception &e) {
        return e.what();
    }
    return "no error";
}

const char *kBook = R"({"calls": [
    {"method": "GetCustoPadrao", "args": ["0001", "001", "2026-03-01"],
     "result": {"fields": [{"name": "VRCUSTPADR", "type": "float"}], "rows": [[12.5]]}},
    {"method": "GetCustoPadrao", "args": [null, "002"], "result": "second service"},
    {"method": "GetCustoPadrao", "result": "any other"},
    {"method": "GetCustoPadrao", "args": ["0001", "001"], "result": "never: an earlier entry wins"},
    {"method": "GetComensPlan", "args": ["0001"], "result": 480},
    {"method": "GetComensPlan", "args": ["0009"], "checkedError": "filial sem planejamento"},
    {"method": "GetOrigemCusto", "error": "Falha no cálculo da origem"},
    {"method": "DelConsplan", "args": ["ABCDE12345", "0001"], "result": ""},
    {"method": "GetTrabCusto", "args": ["0001", "001", "2026-03-01", "2026-03-31", 44, null, false],
     "result": ["ABCDE12345", null, null]}
]})";

VariantArray custoPadraoArgs(const char *filial, const char *servico, int day)
{
    return {filial, servico, Variant::fromDateTime(tk::EncodeDate(2026, 3, day))};
}

TEST(ReplayBook, FirstMatchingEntryAnswers)
{
    const ReplayBook book = ReplayBook::fromText(kBook);
    ASSERT_EQ(book.entries().size(), 9u);

    struct Case
    {
        const char *name;
        std::string method;
        VariantArray args;
        size_t entry; // index of the entry expected to answer
    };
    const Case cases[] = {
        {"all arguments given and equal; a date matches its ISO text", "GetCustoPadrao",
         custoPadraoArgs("0001", "001", 1), 0},
        {"null matches any branch", "GetCustoPadrao", custoPadraoArgs("0042", "002", 9), 1},
        {"entry without arguments matches the rest", "GetCustoPadrao", custoPadraoArgs("0001", "001", 2), 2},
        {"fewer actual arguments than given still reach the catch-all", "GetCustoPadrao", {"0001"}, 2},
        {"arguments past the given ones are not looked at",
         "GetTrabCusto",
         {"0001", "001", Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
          Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), int32_t(44), "maria", false,
          Variant::fromDateTime(tk::EncodeDate(2026, 3, 16)), "", true},
         8},
    };
    for (const Case &c : cases) {
        const ReplayEntry *entry = book.find(c.method, c.args);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry - book.entries().data(), std::ptrdiff_t(c.entry)) << c.name;
    }
    // A given argument that differs rules an entry out, even a flag or a number.
    EXPECT_EQ(book.find("GetTrabCusto",
                        {"0001", "001", Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                         Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), int32_t(45), "x", false}),
              nullptr);
    EXPECT_EQ(book.find("GetTrabCusto",
                        {"0001", "001", Variant::fromDateTime(tk::EncodeDate(2026, 3, 1)),
                         Variant::fromDateTime(tk::EncodeDate(2026, 3, 31)), int32_t(44), "x", true}),
              nullptr);
    EXPECT_EQ(book.find("GetParams", {"0001"}), nullptr);
}

TEST(ReplayBook, AnswersResultsErrorsAndCheckedShapes)
{
    const ReplayBook book = ReplayBook::fromText(kBook);

    const Variant packet = book.answer("GetCustoPadrao", custoPadraoArgs("0001", "001", 1));
    ASSERT_TRUE(packet.isPacket());
    EXPECT_EQ(packet.packet().rows.at(0).at(0), Variant(12.5));

    // Checked methods: the entry holds the payload, the answer is the checked shape.
    EXPECT_EQ(book.answer("GetComensPlan", {"0001", "001"}), Variant::array({true, "", int32_t(480)}));
    EXPECT_EQ(book.answer("GetComensPlan", {"0009", "001"}),
              Variant::array({false, "filial sem planejamento"}));
    // Error entries and missing ones raise the text the server answers with.
    EXPECT_EQ(errorOf([&] {
                  book.answer("GetOrigemCusto", {"0002", "0101"});
              }),
              "Falha no cálculo da origem");
    EXPECT_EQ(errorOf([&] { book.answer("GetParams", {"0001"}); }), "no recorded answer for GetParams");
    EXPECT_EQ(errorOf([&] {
                  book.answer("DelConsplan", {"OTHERKEY00", "0001"});
              }),
              "no recorded answer for DelConsplan");
    EXPECT_EQ(book.answer("DelConsplan", {"ABCDE12345", "0001"}), Variant(""));
}

TEST(ReplayBook, RefusesMalformedFiles)
{
    struct Case
    {
        const char *name;
        const char *text;
        const char *message;
    };
    const Case cases[] = {
        {"not JSON", "{calls: []}", "bad JSON"},
        {"not an object", "[]", "a JSON object"},
        {"no calls", "{}", "\"calls\" array"},
        {"entry not an object", R"({"calls": [1]})", "calls[0]: not an object"},
        {"no method", R"({"calls": [{"result": 1}]})", "calls[0]: needs a \"method\""},
        {"neither result nor error", R"({"calls": [{"method": "GetParams"}]})", "exactly one of"},
        {"both result and error", R"({"calls": [{"method": "GetParams", "result": 1, "error": "x"}]})",
         "exactly one of"},
        {"args not an array", R"({"calls": [{"method": "GetParams", "args": "0001", "result": 1}]})",
         "\"args\" must be an array"},
        {"error not a text", R"({"calls": [{"method": "GetParams", "error": 3}]})", "must be a text"},
        {"checked error on an unchecked method",
         R"({"calls": [{"method": "GetParams", "checkedError": "x"}]})", "only for checked methods"},
        {"bad packet", R"({"calls": [{"method": "GetParams", "result": {"fields": []}}]})",
         "calls[0] (GetParams): result"},
    };
    for (const Case &c : cases) {
        const std::string error = errorOf([&] { ReplayBook::fromText(c.text); });
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_NE(errorOf([] { ReplayBook::fromFile("/nonexistent/replay.json"); }).find("cannot read"),
              std::string::npos);
}

TEST(ReplayServer, AnswersOverTheWire)
{
    driver::ReplayServer server(ReplayBook::fromText(kBook));
    const uint16_t port = server.start();
    ASSERT_GT(port, 0);

    tk::TNetConnection connection("netCustoServ");
    connection.Host = "127.0.0.1";
    connection.Port = port;
    connection.TimeoutMs = 10000;

    const Variant packet = connection.Call("GetCustoPadrao", custoPadraoArgs("0001", "001", 1));
    ASSERT_TRUE(packet.isPacket());
    EXPECT_EQ(packet.packet().fields.at(0).name, "VRCUSTPADR");
    EXPECT_EQ(connection.Call("GetComensPlan", {"0001"}), Variant::array({true, "", int32_t(480)}));

    const std::string missing = errorOf([&] { connection.Call("GetRealizado", {"0001"}); });
    EXPECT_NE(missing.find("no recorded answer for GetRealizado"), std::string::npos) << missing;
    const std::string failed = errorOf([&] { connection.Call("GetOrigemCusto", {"0002"}); });
    EXPECT_NE(failed.find("Falha no cálculo da origem"), std::string::npos) << failed;
    // A server-side error leaves the connection usable.
    EXPECT_EQ(connection.Call("DelConsplan", {"ABCDE12345", "0001"}), Variant(""));
    server.stop();
}

TEST(Recorder, KeepsAnswersInReplayFormat)
{
    driver::Recorder recorder;
    tk::DataPacket packet;
    packet.addField("VRCUSTPADR", tk::FieldType::Float);
    packet.addRow({9.87654});
    const VariantArray padraoArgs = custoPadraoArgs("0001", "001", 1);
    const Variant packetResult(packet);
    recorder.record("GetCustoPadrao", padraoArgs, &packetResult, nullptr);

    const Variant checked = Variant::array({true, "", int32_t(480)});
    recorder.record("GetComensPlan", {"0001", "001"}, &checked, nullptr);
    const Variant checkedFailure = Variant::array({false, "sem planejamento"});
    recorder.record("GetComensPlan", {"0009", "001"}, &checkedFailure, nullptr);

    const std::string serverError = "work set not found";
    recorder.record("GetProdCotDesatu", {"XYZ"}, nullptr, &serverError);
    // No answer arrived: nothing to replay.
    const std::string transport =
        "Falha de comunicação com o servidor 127.0.0.1:1 ao chamar GetParams: refused";
    recorder.record("GetParams", {"0001"}, nullptr, &transport);

    ASSERT_EQ(recorder.size(), 4u);
    const QJsonArray calls = recorder.document().value("calls").toArray();
    EXPECT_EQ(driver::jsonText(calls.at(1)),
              R"({"args":["0001","001"],"method":"GetComensPlan","result":480})");
    EXPECT_EQ(driver::jsonText(calls.at(2)),
              R"({"args":["0009","001"],"checkedError":"sem planejamento","method":"GetComensPlan"})");
    EXPECT_EQ(driver::jsonText(calls.at(3)),
              R"({"args":["XYZ"],"error":"work set not found","method":"GetProdCotDesatu"})");

    // What was recorded replays to the same answers.
    const ReplayBook book = ReplayBook::fromJson(recorder.document());
    EXPECT_EQ(book.answer("GetCustoPadrao", padraoArgs), packetResult);
    EXPECT_EQ(book.answer("GetComensPlan", {"0001", "001"}), checked);
    EXPECT_EQ(book.answer("GetComensPlan", {"0009", "001"}), checkedFailure);
    EXPECT_EQ(errorOf([&] { book.answer("GetProdCotDesatu", {"XYZ"}); }), serverError);
    EXPECT_EQ(errorOf([&] { book.answer("GetParams", {"0001"}); }), "no recorded answer for GetParams");
}

TEST(Recorder, WritesAFileTheReplayReads)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("record.json").toStdString();
    driver::Recorder recorder;
    const Variant result = Variant::array({"ABCDE12345", Variant(), Variant()});
    recorder.record("GetTrabCusto", {"0001"}, &result, nullptr);
    std::string error;
    ASSERT_TRUE(recorder.write(path, &error)) << error;
    EXPECT_EQ(ReplayBook::fromFile(path).answer("GetTrabCusto", {"0001"}), result);

    EXPECT_FALSE(recorder.write(dir.filePath("missing/dir/record.json").toStdString(), &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
