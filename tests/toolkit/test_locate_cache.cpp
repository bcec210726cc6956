// Repeated Locate calls read their keys from hashes kept with the records (a new view keeps them, an
// edit updates them, a reload makes them anew); every kind of change must reach the next search, and
// the record found must be the first match in the view as it is.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using tk::FieldType;
using tk::TClientDataSet;
using tk::Variant;

namespace {

void Fill(TClientDataSet &ds)
{
    ds.AddField("CDPRATO", FieldType::String, 10);
    ds.AddField("CDFILAUXPRAT", FieldType::String, 4);
    ds.AddField("QT", FieldType::Float);
    ds.CreateDataSet();
    for (int i = 0; i < 50; ++i) {
        ds.Append();
        ds.FieldByName("CDPRATO")->SetAsString("P" + std::to_string(i));
        ds.FieldByName("CDFILAUXPRAT")->SetAsString(i % 2 ? "0001" : "0002");
        ds.FieldByName("QT")->SetAsFloat(i);
        ds.Post();
    }
}

// Searches often enough for the key copies to be built, then checks the result.
bool LocateRepeatedly(TClientDataSet &ds, const Variant &keys)
{
    bool found = false;
    for (int i = 0; i < 8; ++i)
        found = ds.Locate("CDPRATO;CDFILAUXPRAT;QT", keys);
    return found;
}

TEST(LocateCache, EveryChangeReachesTheNextSearch)
{
    struct Case
    {
        const char *name;
        std::function<void(TClientDataSet &)> change;
        Variant keys;
        bool found;
    };
    const Case cases[] = {
        {"edit of a key field",
         [](TClientDataSet &ds) {
             ds.Locate("CDPRATO", Variant("P49"));
             ds.Edit();
             ds.FieldByName("QT")->SetAsFloat(490);
             ds.Post();
         },
         Variant::array({"P49", "0001", 490.0}), true},
        {"the old value after the edit",
         [](TClientDataSet &ds) {
             ds.Locate("CDPRATO", Variant("P49"));
             ds.Edit();
             ds.FieldByName("QT")->SetAsFloat(490);
             ds.Post();
         },
         Variant::array({"P49", "0001", 49.0}), false},
        {"edit of a key field that orders the view",
         [](TClientDataSet &ds) {
             ds.SetIndexFieldNames("QT");
             LocateRepeatedly(ds, Variant::array({"P49", "0001", 49.0}));
             ds.Edit();
             ds.FieldByName("QT")->SetAsFloat(-1);
             ds.Post();
         },
         Variant::array({"P49", "0001", -1.0}), true},
        {"edits of several records, one of them twice",
         [](TClientDataSet &ds) {
             for (const char *code : {"P3", "P7", "P3"}) {
                 ds.Locate("CDPRATO", Variant(code));
                 ds.Edit();
                 ds.FieldByName("CDFILAUXPRAT")->SetAsString(std::string(code) == "P3" ? "0009" : "0008");
                 ds.Post();
             }
             ds.First();
         },
         Variant::array({"P3", "0009", 3.0}), true},
        {"an edit cancelled",
         [](TClientDataSet &ds) {
             ds.Locate("CDPRATO", Variant("P49"));
             ds.Edit();
             ds.FieldByName("QT")->SetAsFloat(490);
             ds.Cancel();
         },
         Variant::array({"P49", "0001", 49.0}), true},
        {"delete",
         [](TClientDataSet &ds) {
             ds.Locate("CDPRATO", Variant("P49"));
             ds.Delete();
         },
         Variant::array({"P49", "0001", 49.0}), false},
        {"append",
         [](TClientDataSet &ds) {
             ds.Append();
             ds.FieldByName("CDPRATO")->SetAsString("NOVO");
             ds.FieldByName("CDFILAUXPRAT")->SetAsString("0003");
             ds.FieldByName("QT")->SetAsFloat(7);
             ds.Post();
         },
         Variant::array({"NOVO", "0003", 7.0}), true},
        {"filter that hides the record",
         [](TClientDataSet &ds) {
             ds.SetFilter("CDFILAUXPRAT = '0002'");
             ds.SetFiltered(true);
         },
         Variant::array({"P49", "0001", 49.0}), false},
        {"filter switched off again",
         [](TClientDataSet &ds) {
             ds.SetFilter("CDFILAUXPRAT = '0002'");
             ds.SetFiltered(true);
             LocateRepeatedly(ds, Variant::array({"P48", "0002", 48.0}));
             ds.SetFiltered(false);
         },
         Variant::array({"P49", "0001", 49.0}), true},
        {"emptied",
         [](TClientDataSet &ds) { ds.EmptyDataSet(); },
         Variant::array({"P1", "0001", 1.0}), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TClientDataSet ds("cds");
        Fill(ds);
        ASSERT_TRUE(LocateRepeatedly(ds, Variant::array({"P49", "0001", 49.0})));
        c.change(ds);
        EXPECT_EQ(LocateRepeatedly(ds, c.keys), c.found);
        if (c.found) {
            EXPECT_EQ(ds.FieldByName("CDPRATO")->AsString(), c.keys[0].asString());
        }
    }
}

TEST(LocateCache, ReloadedPacketIsSearchedAnew)
{
    TClientDataSet ds("cds");
    Fill(ds);
    ASSERT_TRUE(LocateRepeatedly(ds, Variant::array({"P10", "0002", 10.0})));
    tk::DataPacket p;
    p.addField("CDPRATO", FieldType::String, 10).addField("CDFILAUXPRAT", FieldType::String, 4)
        .addField("QT", FieldType::Float);
    p.addRow({"X", "0009", 1.0});
    ds.SetData(p);
    EXPECT_FALSE(LocateRepeatedly(ds, Variant::array({"P10", "0002", 10.0})));
    EXPECT_TRUE(LocateRepeatedly(ds, Variant::array({"X", "0009", 1.0})));
}

// The record a walk of the view finds first, as "CODE/QT"; "" when none matches.
std::string FirstByWalking(TClientDataSet &ds, const std::string &code, const std::string &branch)
{
    for (ds.First(); !ds.Eof(); ds.Next())
        if (ds.FieldByName("CDPRATO")->AsString() == code
            && (branch.empty() || ds.FieldByName("CDFILAUXPRAT")->AsString() == branch))
            return code + "/" + ds.FieldByName("QT")->AsString();
    return {};
}

std::string Located(TClientDataSet &ds, const std::string &code, const std::string &branch)
{
    const bool found = branch.empty() ? ds.Locate("CDPRATO", Variant(code))
                                      : ds.Locate("CDPRATO;CDFILAUXPRAT", Variant::array({code, branch}));
    return found ? code + "/" + ds.FieldByName("QT")->AsString() : std::string();
}

// 120 records: code "A" on 3 of them, "B" on 30 (more than the hashes' candidates), "C" on one.
void FillDuplicates(TClientDataSet &ds)
{
    ds.AddField("CDPRATO", FieldType::String, 10);
    ds.AddField("CDFILAUXPRAT", FieldType::String, 4);
    ds.AddField("QT", FieldType::Float);
    ds.CreateDataSet();
    for (int i = 0; i < 120; ++i) {
        ds.Append();
        const char *code = i % 40 == 7 ? "A" : i % 4 == 1 ? "B" : i == 100 ? "C" : "Z";
        ds.FieldByName("CDPRATO")->SetAsString(code);
        ds.FieldByName("CDFILAUXPRAT")->SetAsString(i % 3 ? "0001" : "0002");
        ds.FieldByName("QT")->SetAsFloat(i);
        ds.Post();
    }
}

TEST(LocateCache, FindsTheFirstMatchOfEveryNewView)
{
    struct View
    {
        const char *name;
        const char *index; // IndexFieldNames
        const char *filter;
    };
    const View views[] = {
        {"load order", "", ""},
        {"descending quantity", "QT DESC", ""},
        {"by branch", "CDFILAUXPRAT", ""},
        {"filtered", "", "QT >= 50"},
        {"filtered and ordered", "QT DESC", "QT < 90"},
        {"filter that hides every match", "", "CDPRATO = 'Z'"},
    };
    struct Key
    {
        const char *code;
        const char *branch;
    };
    const Key keys[] = {{"A", ""}, {"A", "0002"}, {"B", ""}, {"B", "0002"}, {"C", ""}, {"C", "0002"}, {"X", ""}};
    TClientDataSet ds("cds");
    FillDuplicates(ds);
    for (int i = 0; i < 8; ++i) { // enough searches for the hashes of both key sets
        ds.Locate("CDPRATO", Variant("A"));
        ds.Locate("CDPRATO;CDFILAUXPRAT", Variant::array({"A", "0002"}));
    }
    ds.AddIndex("byQtDesc", "QT", true);
    for (const View &v : views) {
        SCOPED_TRACE(v.name);
        if (std::string(v.index) == "QT DESC") {
            ds.SetIndexName("byQtDesc");
        } else {
            ds.SetIndexFieldNames(v.index);
        }
        ds.SetFilter(v.filter);
        ds.SetFiltered(*v.filter != 0);
        for (const Key &k : keys) {
            SCOPED_TRACE(std::string(k.code) + " " + k.branch);
            const std::string expected = FirstByWalking(ds, k.code, k.branch);
            ds.Last(); // Locate searches from the first record whatever the cursor
            EXPECT_EQ(Located(ds, k.code, k.branch), expected) << "first search";
            EXPECT_EQ(Located(ds, k.code, k.branch), expected) << "repeated";
        }
    }
}

TEST(LocateCache, NumbersMatchWhateverTheirStorage)
{
    TClientDataSet ds("cds");
    ds.AddField("N", FieldType::Float);
    ds.AddField("I", FieldType::Integer);
    ds.AddField("D", FieldType::DateTime);
    ds.AddField("B", FieldType::Boolean);
    ds.CreateDataSet();
    const double when = tk::EncodeDate(2026, 3, 16);
    for (int i = 0; i < 10; ++i) {
        ds.Append();
        ds.FieldByName("N")->SetAsFloat(i == 4 ? -0.0 : i + 0.5);
        ds.FieldByName("I")->SetAsInteger(i);
        ds.FieldByName("D")->SetAsDateTime(when + i);
        if (i != 6)
            ds.FieldByName("B")->SetAsBoolean(i % 2 == 0);
        ds.Post();
    }
    struct Case
    {
        const char *fields;
        Variant keys;
        int expectedI; // -1: not found
    };
    const Case cases[] = {
        {"N", Variant(0.0), 4},                                    // -0 stored, 0 searched
        {"N", Variant(2.5), 2},
        {"I", Variant(3.0), 3},                                    // a double key on an integer field
        {"I", Variant(3.5), -1},
        {"I;N", Variant::array({Variant(int32_t(7)), Variant(7.5)}), 7},
        {"D", Variant::fromDateTime(when + 5), 5},
        {"D", Variant(when + 5), 5},                               // a number on a date-time field
        {"B", Variant(false), 1},
        {"B", Variant(), 6},                                       // Null
        {"I;B", Variant::array({Variant(int32_t(8)), Variant(true)}), 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fields);
        for (int round = 0; round < 8; ++round) { // the record scans, then the hashes
            ds.Last();
            const bool found = ds.Locate(c.fields, c.keys);
            ASSERT_EQ(found, c.expectedI >= 0) << "search " << round;
            if (found)
                EXPECT_EQ(ds.FieldByName("I")->AsInteger(), c.expectedI) << "search " << round;
        }
    }
}

TEST(LocateCache, ReloadHashesTheFieldsSearchedBefore)
{
    // Record 20 is "R20" in the first load, "NEW" in every reload.
    auto packet = [](const char *qtName, FieldType qtType, bool codeFirst, bool reload = true) {
        tk::DataPacket p;
        if (codeFirst)
            p.addField("CDPRATO", FieldType::String, 10).addField(qtName, qtType);
        else
            p.addField(qtName, qtType).addField("CDPRATO", FieldType::String, 10);
        for (int i = 0; i < 30; ++i) {
            const Variant qt = qtType == FieldType::Integer ? Variant(int32_t(i)) : Variant(double(i));
            const Variant code = Variant(i == 20 && reload ? std::string("NEW") : "R" + std::to_string(i));
            p.addRow(codeFirst ? std::vector<Variant>{code, qt} : std::vector<Variant>{qt, code});
        }
        return p;
    };
    struct Case
    {
        const char *name;
        std::function<void(TClientDataSet &)> reload;
    };
    const Case cases[] = {
        {"packet handed over", [&](TClientDataSet &ds) { ds.SetData(Variant(packet("QT", FieldType::Float, true))); }},
        {"packet shared", [&](TClientDataSet &ds) {
             const tk::DataPacket p = packet("QT", FieldType::Float, true);
             ds.SetData(p);
         }},
        {"columns in another order", [&](TClientDataSet &ds) { ds.SetData(packet("QT", FieldType::Float, false)); }},
        {"key field of another type", [&](TClientDataSet &ds) { ds.SetData(packet("QT", FieldType::Integer, true)); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TClientDataSet ds("cds");
        ds.SetData(packet("QT", FieldType::Float, true, false));
        for (int i = 0; i < 8; ++i)
            ASSERT_TRUE(ds.Locate("CDPRATO;QT", Variant::array({"R20", 20.0})));
        c.reload(ds);
        ds.Last();
        EXPECT_FALSE(ds.Locate("CDPRATO;QT", Variant::array({"R20", 20.0})));
        EXPECT_TRUE(ds.Locate("CDPRATO;QT", Variant::array({"NEW", 20.0})));
        EXPECT_EQ(ds.RecNo(), 21);
        EXPECT_TRUE(ds.Locate("CDPRATO", Variant("R29")));
        EXPECT_EQ(ds.FieldByName("QT")->AsInteger(), 29);
    }
    // A reload without a field searched before: the other key fields still work.
    TClientDataSet ds("cds");
    ds.SetData(packet("QT", FieldType::Float, true, false));
    for (int i = 0; i < 8; ++i)
        ds.Locate("CDPRATO;QT", Variant::array({"R20", 20.0}));
    ds.SetData(packet("QTD", FieldType::Float, true));
    EXPECT_THROW(ds.Locate("CDPRATO;QT", Variant::array({"R20", 20.0})), tk::EDatabaseError);
    EXPECT_TRUE(ds.Locate("CDPRATO", Variant("NEW")));
    EXPECT_EQ(ds.FieldByName("QTD")->AsInteger(), 20);
}

} // namespace
