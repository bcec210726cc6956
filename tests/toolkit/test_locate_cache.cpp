// Repeated Locate calls read their keys from copies kept between changes of the view (an edit
// updates them); every kind of change must reach the next search.

#include "platform/toolkit/data/dataset.h"

#include <gtest/gtest.h>

#include <functional>

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

} // namespace
