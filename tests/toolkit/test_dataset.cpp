// TClientDataSet: event order, navigation, Locate, bookmarks, indexes, editing, packets, fields.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include "tests/toolkit/fixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace tk;
using tktest::EventLog;
using tktest::Strings;

DataPacket dishes()
{
    DataPacket p;
    p.addField("CDPRATO", FieldType::String, 10)
        .addField("NMPRATO", FieldType::String, 40)
        .addField("QT", FieldType::Integer)
        .addField("VR", FieldType::Float)
        .addField("DTCARDAPIO", FieldType::DateTime);
    auto day = [](int d) { return Variant::fromDateTime(EncodeDate(2024, 3, d)); };
    p.addRow({"003", "Feijão", int32_t(2), 1.5, day(5)});
    p.addRow({"001", "Arroz", int32_t(1), 0.75, day(5)});
    p.addRow({"002", "Salada", int32_t(2), 2.25, day(6)});
    p.addRow({"004", "Bife", int32_t(3), Variant(), day(6)});
    p.addRow({"005", "arroz", int32_t(1), 0.5, day(7)});
    return p;
}

class DataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLocale("pt_BR");
        log.attach(ds);
        ds.SetData(dishes());
        log.take();
    }
    std::string current() { return ds.FieldByName("CDPRATO")->AsString(); }

    TClientDataSet ds{"qryCardapio"};
    EventLog log;
};

using Events = std::vector<std::string>;

TEST(DataSetOpen, EventOrderOnOpen)
{
    TClientDataSet ds("cds");
    EventLog log;
    log.attach(ds);
    ds.SetData(dishes());
    EXPECT_EQ(log.take(), (Events{"AO:1", "AS:1"}));
    EXPECT_TRUE(ds.Active());
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());

    ds.Close();
    EXPECT_EQ(log.take(), (Events{"BC"}));
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.RecordCount(), 0);

    TClientDataSet empty("cdsEmpty");
    log.attach(empty);
    empty.FieldDefs().push_back({"A", FieldType::Integer, 0, TFieldKind::fkData});
    empty.CreateDataSet();
    EXPECT_EQ(log.take(), (Events{"AO:0", "AS:0"}));
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(empty.Eof() && empty.Bof());
    empty.Open(); // already open: nothing
    EXPECT_TRUE(log.take().empty());
}

TEST_F(DataSetTest, NavigationEventsAndEofBof)
{
    ds.Next();
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:2"}));
    ds.Last();
    EXPECT_EQ(log.take(), (Events{"BS:2", "AS:5"}));
    EXPECT_TRUE(ds.Eof());
    ds.Prior();
    EXPECT_EQ(log.take(), (Events{"BS:5", "AS:4"}));
    EXPECT_FALSE(ds.Eof());
    ds.Next();
    ds.Next(); // past the last: only sets Eof, still fires AfterScroll
    EXPECT_EQ(log.take(), (Events{"BS:4", "AS:5", "BS:5", "AS:5"}));
    EXPECT_TRUE(ds.Eof());
    ds.Next(); // already at Eof: BeforeScroll only
    EXPECT_EQ(log.take(), (Events{"BS:5"}));
    ds.First();
    EXPECT_EQ(log.take(), (Events{"BS:5", "AS:1"}));
    EXPECT_TRUE(ds.Bof());
    ds.Prior();
    EXPECT_EQ(log.take(), (Events{"BS:1"}));
    EXPECT_EQ(ds.MoveBy(3), 3);
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_EQ(ds.MoveBy(10), 1);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.MoveBy(-10), -4);
    EXPECT_TRUE(ds.Bof());
    log.take();
    ds.SetRecNo(3);
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:3"}));
    ds.SetRecNo(3); // same record: nothing
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(current(), "002");
}

TEST_F(DataSetTest, TheUsualWalkVisitsEveryRecordOnce)
{
    Strings seen;
    for (ds.First(); !ds.Eof(); ds.Next())
        seen.push_back(current());
    EXPECT_EQ(seen, (Strings{"003", "001", "002", "004", "005"}));
}

TEST_F(DataSetTest, FilterChangeMovesToTheFirstRecord)
{
    ds.Last();
    log.take();
    ds.SetFilter("DTCARDAPIO = '06/03/2024'"); // not filtered yet: nothing happens
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.SetFiltered(true);
    EXPECT_EQ(log.take(), (Events{"BS:5", "AS:1"}));
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(current(), "002");
    ds.Next();
    log.take();
    ds.SetFilter("DTCARDAPIO = '05/03/2024'"); // while filtered: applies at once
    EXPECT_EQ(log.take(), (Events{"BS:2", "AS:1"}));
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"003", "001"}));
    ds.SetFilter("DTCARDAPIO = '05/03/2024'"); // same text: nothing
    ds.SetFiltered(true);                      // already on: nothing
    EXPECT_TRUE(log.take().empty());
    ds.SetFiltered(false);
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:1"}));
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.SetFilter("DTCARDAPIO = '01/01/2000'");
    ds.SetFiltered(true);
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:0"}));
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Eof() && ds.Bof());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.FieldByName("CDPRATO")->IsNull());
}

TEST_F(DataSetTest, LocateFindsTheFirstMatchOfTheView)
{
    EXPECT_TRUE(ds.Locate("CDPRATO", Variant("002")));
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:3"}));
    // Not found: no events, cursor unchanged.
    EXPECT_FALSE(ds.Locate("CDPRATO", Variant("999")));
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(ds.RecNo(), 3);
    // Exact and case-sensitive.
    EXPECT_FALSE(ds.Locate("NMPRATO", Variant("arr")));
    EXPECT_TRUE(ds.Locate("NMPRATO", Variant("arroz")));
    EXPECT_EQ(current(), "005");
    // Several keys take an array; one key also takes a one-element array.
    EXPECT_TRUE(ds.Locate("QT;DTCARDAPIO", Variant::array({int32_t(2), Variant::fromDateTime(EncodeDate(2024, 3, 6))})));
    EXPECT_EQ(current(), "002");
    EXPECT_TRUE(ds.Locate("CDPRATO", Variant::array({"004"})));
    EXPECT_EQ(current(), "004");
    // Typed comparisons: an integer field against a double, a date-time field against a double.
    EXPECT_TRUE(ds.Locate("QT", Variant(3.0)));
    EXPECT_EQ(current(), "004");
    EXPECT_FALSE(ds.Locate("QT", Variant(2.5)));
    EXPECT_TRUE(ds.Locate("DTCARDAPIO", Variant(EncodeDate(2024, 3, 7))));
    EXPECT_EQ(current(), "005");
    EXPECT_FALSE(ds.Locate("VR", Variant(int32_t(2))));
    EXPECT_TRUE(ds.Locate("VR", Variant(2.25)));
    EXPECT_EQ(current(), "002");
    EXPECT_TRUE(ds.Locate("QT", Variant("1"))); // text against a number: read as a number
    EXPECT_EQ(current(), "001");
    EXPECT_FALSE(ds.Locate("QT", Variant("x")));
    // A null value finds a null field.
    EXPECT_TRUE(ds.Locate("VR", Variant()));
    EXPECT_EQ(current(), "004");
    EXPECT_TRUE(ds.Locate("cdprato;vr", Variant::array({"004", Variant()})));
    // Only the view is searched.
    ds.SetFilter("QT = 2");
    ds.SetFiltered(true);
    EXPECT_FALSE(ds.Locate("CDPRATO", Variant("001")));
    EXPECT_TRUE(ds.Locate("CDPRATO", Variant("002")));
    EXPECT_EQ(ds.RecNo(), 2);
    // Misuse.
    EXPECT_THROW(ds.Locate("NOPE", Variant("1")), EDatabaseError);
    EXPECT_THROW(ds.Locate("CDPRATO;QT", Variant("1")), EDatabaseError);
    EXPECT_THROW(ds.Locate("CDPRATO;QT", Variant::array({"1"})), EDatabaseError);
}

TEST_F(DataSetTest, BookmarksSurviveFiltersAndIndexes)
{
    ds.SetRecNo(3);
    const TBookmark mark = ds.GetBookmark();
    EXPECT_TRUE(ds.BookmarkValid(mark));
    ds.First();
    log.take();
    ds.GotoBookmark(mark);
    EXPECT_EQ(log.take(), (Events{"BS:1", "AS:3"}));
    EXPECT_EQ(current(), "002");

    ds.SetFilter("DTCARDAPIO = '05/03/2024'");
    ds.SetFiltered(true);
    log.take();
    EXPECT_FALSE(ds.BookmarkValid(mark));
    EXPECT_THROW(ds.GotoBookmark(mark), EDatabaseError);
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(ds.RecNo(), 1);

    ds.SetFiltered(false);
    ds.SetIndexFieldNames("NMPRATO");
    ds.GotoBookmark(mark);
    EXPECT_EQ(current(), "002");
    EXPECT_EQ(ds.RecNo(), 4); // Arroz, Bife, Feijão, Salada, arroz (byte order)
    ds.FreeBookmark(mark);
    EXPECT_THROW(ds.GotoBookmark(123456), EDatabaseError);
    EXPECT_EQ(TClientDataSet().GetBookmark(), kInvalidBookmark);
}

TEST_F(DataSetTest, IndexesOrderTheViewStably)
{
    ds.AddIndex("OrdenaQt", "QT");
    ds.AddIndex("OrdenaQtDesc", "QT;CDPRATO", true);
    ds.Last();
    log.take();
    ds.SetIndexName("OrdenaQt");
    EXPECT_EQ(log.take(), (Events{"BS:5", "AS:1"}));
    EXPECT_EQ(ds.IndexName(), "OrdenaQt");
    // Ties keep load order: 001 before 005, 003 before 002.
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"001", "005", "003", "002", "004"}));
    ds.SetIndexName("OrdenaQtDesc");
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"004", "003", "002", "005", "001"}));
    ds.SetIndexFieldNames("DTCARDAPIO;NMPRATO");
    EXPECT_EQ(ds.IndexName(), "");
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"001", "003", "004", "002", "005"}));
    // A null sorts first.
    ds.SetIndexFieldNames("VR");
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"004", "005", "001", "003", "002"}));
    // Index and filter together: the filtered records in index order.
    ds.SetFilter("QT <= 2");
    ds.SetFiltered(true);
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"005", "001", "003", "002"}));
    ds.SetIndexName("");
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"003", "001", "002", "005"}));
    EXPECT_THROW(ds.SetIndexName("Nope"), EDatabaseError);
    EXPECT_THROW(ds.SetIndexFieldNames("NOPE"), EDatabaseError);
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"003", "001", "002", "005"}));
}

TEST_F(DataSetTest, IndexDeclaredBeforeOpeningAppliesOnLoad)
{
    TClientDataSet q("qryTrabCusto");
    q.AddIndex("OrdenaData", "DTCARDAPIO");
    q.SetIndexName("OrdenaData");
    q.SetData(dishes());
    EXPECT_EQ(tktest::column(q, "CDPRATO"), (Strings{"003", "001", "002", "004", "005"}));
    q.IndexDefs()[0].descending = true;
    q.SetIndexName("");
    q.SetIndexName("OrdenaData");
    EXPECT_EQ(tktest::column(q, "CDPRATO"), (Strings{"005", "002", "004", "003", "001"}));
}

TEST_F(DataSetTest, EditAndPostFireNoScrollEvents)
{
    ds.SetRecNo(2);
    log.take();
    ds.Edit();
    EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
    ds.FieldByName("NMPRATO")->SetAsString("Arroz integral");
    EXPECT_EQ(ds.FieldByName("NMPRATO")->AsString(), "Arroz integral");
    ds.Post();
    EXPECT_EQ(log.take(), (Events{"AP"}));
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ds.FieldByName("NMPRATO")->AsString(), "Arroz integral");

    ds.Edit();
    ds.FieldByName("NMPRATO")->SetAsString("discarded");
    ds.Cancel();
    EXPECT_TRUE(log.take().empty());
    EXPECT_EQ(ds.FieldByName("NMPRATO")->AsString(), "Arroz integral");

    // Navigating while editing posts first.
    ds.Edit();
    ds.FieldByName("QT")->SetAsInteger(9);
    ds.Next();
    EXPECT_EQ(log.take(), (Events{"AP", "BS:2", "AS:3"}));
    ds.Prior();
    EXPECT_EQ(ds.FieldByName("QT")->AsInteger(), 9);
}

TEST_F(DataSetTest, WritesNeedEditModeAndValidValues)
{
    EXPECT_THROW(ds.FieldByName("NMPRATO")->SetAsString("x"), EDatabaseError);
    ds.Edit();
    EXPECT_THROW(ds.FieldByName("QT")->SetAsString("abc"), EDatabaseError);
    ds.FieldByName("QT")->SetAsString("12");
    EXPECT_EQ(ds.FieldByName("QT")->AsInteger(), 12);
    ds.FieldByName("VR")->SetAsString("3,25");
    EXPECT_DOUBLE_EQ(ds.FieldByName("VR")->AsFloat(), 3.25);
    ds.FieldByName("DTCARDAPIO")->SetAsString("08/03/2024");
    EXPECT_EQ(ds.FieldByName("DTCARDAPIO")->AsDateTime(), EncodeDate(2024, 3, 8));
    ds.FieldByName("VR")->SetAsString("");
    EXPECT_TRUE(ds.FieldByName("VR")->IsNull());
    // Text longer than the field's size is cut at a character boundary.
    ds.FieldByName("CDPRATO")->SetAsString("ççççççççççççç");
    EXPECT_EQ(ds.FieldByName("CDPRATO")->AsString(), "çççççççççç");
    ds.Cancel();
    EXPECT_THROW(ds.FieldByName("NOPE"), EDatabaseError);
    EXPECT_EQ(ds.FindField("nmprato"), ds.FieldByName("NMPRATO"));
    EXPECT_EQ(ds.FindField("NOPE"), nullptr);
}

TEST_F(DataSetTest, AppendInsertDeleteAndEmpty)
{
    ds.SetRecNo(2);
    log.take();
    ds.Append();
    EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
    ds.FieldByName("CDPRATO")->SetAsString("006");
    ds.Post();
    EXPECT_EQ(log.take(), (Events{"BS:2", "AS:2", "AP"}));
    EXPECT_EQ(ds.RecNo(), 6);
    EXPECT_EQ(current(), "006");

    ds.SetRecNo(2);
    ds.Insert();
    ds.FieldByName("CDPRATO")->SetAsString("000");
    ds.Post();
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"003", "000", "001", "002", "004", "005", "006"}));

    ds.Append();
    ds.Cancel(); // cancelling an insert returns to the record: scroll events
    log.take();
    ds.SetRecNo(3);
    log.take();
    ds.Delete();
    EXPECT_EQ(log.take(), (Events{"BS:3", "AS:3"}));
    EXPECT_EQ(current(), "002");
    ds.Last();
    ds.Delete();
    EXPECT_EQ(current(), "005");
    EXPECT_EQ(ds.RecordCount(), 5);

    // Data() keeps load order and data fields only.
    const DataPacket p = ds.Data();
    ASSERT_EQ(p.rowCount(), 5u);
    EXPECT_EQ(p.rows[1][0], Variant("000"));

    log.take();
    ds.EmptyDataSet();
    EXPECT_TRUE(log.take().empty());
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_THROW(ds.Delete(), EDatabaseError);
    // Edit on an empty dataset inserts.
    ds.Edit();
    EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
    ds.FieldByName("CDPRATO")->SetAsString("100");
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(DataSetTest, IndexedEditsMoveTheRecordToItsPlace)
{
    ds.SetIndexFieldNames("CDPRATO");
    ASSERT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"001", "002", "003", "004", "005"}));
    ds.First();
    ds.Edit();
    ds.FieldByName("CDPRATO")->SetAsString("0035");
    ds.Post();
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"002", "003", "0035", "004", "005"}));
    EXPECT_EQ(current(), "0035");
    EXPECT_EQ(ds.RecNo(), 3);

    ds.Append();
    ds.FieldByName("CDPRATO")->SetAsString("0000");
    ds.Post();
    EXPECT_EQ(current(), "0000");
    EXPECT_EQ(ds.RecNo(), 1);

    // A posted record that leaves the filter leaves the view.
    ds.SetFilter("QT = 2");
    ds.SetFiltered(true);
    ASSERT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"002", "003"}));
    ds.Edit();
    ds.FieldByName("QT")->SetAsInteger(7);
    ds.Post();
    EXPECT_EQ(tktest::column(ds, "CDPRATO"), (Strings{"003"}));
    EXPECT_EQ(current(), "003");
}

TEST(DataSetPackets, PersistentFieldsMapByNameAndCoerce)
{
    TClientDataSet ds("cdsTotalMes");
    TField *total = ds.AddField("vrtotmatprim", FieldType::Float);
    TField *qt = ds.AddField("QT", FieldType::Float);
    TField *calc = ds.AddField("Dobro", FieldType::Float, 0, TFieldKind::fkCalculated);
    ds.OnCalcFields = [&](TClientDataSet &) { calc->SetAsFloat(qt->AsFloat() * 2); };

    DataPacket p;
    p.addField("QT", FieldType::Integer).addField("VRTOTMATPRIM", FieldType::Float).addField("EXTRA", FieldType::String, 5);
    p.addRow({int32_t(3), 1.25, "x"});
    ds.SetData(p);
    EXPECT_EQ(ds.FieldCount(), 3);       // the packet's extra field is ignored
    EXPECT_EQ(qt->Value().type(), VarType::Double); // integer coerced to the field's float
    EXPECT_DOUBLE_EQ(total->AsFloat(), 1.25);
    EXPECT_DOUBLE_EQ(calc->AsFloat(), 6);

    DataPacket missing;
    missing.addField("QT", FieldType::Integer);
    EXPECT_THROW(ds.SetData(missing), EDatabaseError);
    EXPECT_EQ(ds.RecordCount(), 1); // the failed load changed nothing
    EXPECT_THROW(ds.SetData(Variant("not a packet")), EVariantError);
}

// A packet handed over is taken (its rows moved out); one that other variants still share is read
// and stays whole. Either way the dataset holds the same values, coerced to the field types.
TEST(DataSetPackets, HandedOverPacketsAreTakenSharedOnesRead)
{
    auto makeVariant = [] {
        DataPacket p;
        p.addField("QT", FieldType::Integer).addField("NOME", FieldType::String, 60);
        p.addRow({int32_t(3), "um texto longo o bastante para ficar fora do objeto"});
        p.addRow({Variant(), ""});
        return Variant(std::move(p));
    };
    struct Case
    {
        const char *name;
        bool shared;
        bool reversed; // fields declared in another order than the packet's columns
    };
    for (const Case &c : {Case{"handed over", false, false}, Case{"shared", true, false},
                          Case{"handed over, fields in another order", false, true}}) {
        SCOPED_TRACE(c.name);
        const bool shared = c.shared;
        TClientDataSet ds("cds");
        TField *nome = c.reversed ? ds.AddField("NOME", FieldType::String, 60) : nullptr;
        TField *qt = ds.AddField("QT", FieldType::Float);
        if (!c.reversed)
            nome = ds.AddField("NOME", FieldType::String, 60);
        ds.AddField("Calc", FieldType::Float, 0, TFieldKind::fkCalculated);
        Variant packet = makeVariant();
        const Variant other = shared ? packet : Variant();
        ds.SetData(std::move(packet));
        ASSERT_EQ(ds.RecordCount(), 2);
        EXPECT_EQ(qt->Value().type(), VarType::Double);
        EXPECT_DOUBLE_EQ(qt->AsFloat(), 3);
        EXPECT_EQ(nome->AsString(), "um texto longo o bastante para ficar fora do objeto");
        ds.Next();
        EXPECT_TRUE(qt->IsNull());
        EXPECT_EQ(nome->AsString(), "");
        if (shared) {
            ASSERT_EQ(other.packet().rows.size(), 2u);
            EXPECT_EQ(other.packet().rows[0][1], Variant("um texto longo o bastante para ficar fora do objeto"));
        }
    }
}

TEST(DataSetPackets, FieldsFromThePacketSurviveReloads)
{
    TClientDataSet ds("qryProduto");
    TField *calc = ds.AddField("CustoTotal", FieldType::Float, 0, TFieldKind::fkCalculated);
    DataPacket p;
    p.addField("CDPRODUTO", FieldType::String, 10).addField("CustoProd", FieldType::Float, 0, pfHidden);
    p.addRow({"P1", 2.0});
    ds.SetData(p);
    ASSERT_EQ(ds.FieldCount(), 3);
    TField *code = ds.FieldByName("CDPRODUTO");
    EXPECT_EQ(code->Index(), 0);
    EXPECT_EQ(calc->Index(), 2);
    EXPECT_FALSE(ds.FieldByName("CustoProd")->Visible());

    p.rows.clear();
    p.addRow({"P2", 3.0});
    ds.SetData(p);
    EXPECT_EQ(ds.FieldByName("CDPRODUTO"), code); // same field object
    EXPECT_EQ(code->AsString(), "P2");

    // Round trip through the codec and back into another dataset.
    const DataPacket out = ds.Data();
    EXPECT_EQ(out.fields.size(), 2u);
    EXPECT_EQ(out.fields[1].attributes & pfHidden, pfHidden);
    TClientDataSet copy("copy");
    copy.SetData(DataPacket::decode(out.encode()));
    EXPECT_EQ(copy.Data(), out);
}

TEST(DataSetPackets, LargeRoundTripKeepsEveryValue)
{
    DataPacket p;
    p.addField("ID", FieldType::Integer).addField("NAME", FieldType::String, 30).addField("VR", FieldType::Float)
        .addField("DT", FieldType::DateTime).addField("OK", FieldType::Boolean);
    for (int i = 0; i < 2000; ++i)
        p.addRow({int32_t(i), "nome " + std::to_string(i) + " ção", i * 0.125,
                  i % 7 ? Variant::fromDateTime(45000 + i) : Variant(), i % 2 == 0});
    TClientDataSet ds("big");
    ds.SetData(p);
    EXPECT_EQ(ds.Data(), p);
    ds.Last();
    EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 1999);
}

TEST(DataSetFields, NullReadsAndTexts)
{
    SetLocale("pt_BR");
    TClientDataSet ds("cds");
    TField *s = ds.AddField("S", FieldType::String, 20);
    TField *f = ds.AddField("F", FieldType::Float);
    TField *i = ds.AddField("I", FieldType::Integer);
    TField *d = ds.AddField("D", FieldType::DateTime);
    TField *b = ds.AddField("B", FieldType::Boolean);
    ds.CreateDataSet();
    ds.Append();
    ds.Post();
    EXPECT_EQ(s->AsString(), "");
    EXPECT_EQ(f->AsFloat(), 0);
    EXPECT_EQ(i->AsInteger(), 0);
    EXPECT_EQ(d->AsDateTime(), 0);
    EXPECT_FALSE(b->AsBoolean());
    EXPECT_TRUE(f->IsNull());
    EXPECT_EQ(f->DisplayText(), "");

    ds.Edit();
    s->SetAsString("0102003");
    f->SetAsFloat(1234.5);
    i->SetAsInteger(42);
    d->SetAsDateTime(EncodeDateTime(2024, 3, 5, 8, 30, 0));
    b->SetAsBoolean(true);
    ds.Post();
    EXPECT_EQ(f->AsString(), "1234,5");
    EXPECT_EQ(d->AsString(), "05/03/2024 08:30:00");
    EXPECT_EQ(b->AsString(), "True");
    EXPECT_EQ(i->AsString(), "42");
    EXPECT_EQ(f->DisplayText(), "1234,5");
    f->SetDisplayFormat("#,##0.00000");
    EXPECT_EQ(f->DisplayText(), "1.234,50000");
    EXPECT_EQ(f->Text(), "1234,5");
    f->SetEditFormat("0.00");
    EXPECT_EQ(f->Text(), "1234,50");
    i->SetDisplayFormat("#,##0");
    EXPECT_EQ(i->DisplayText(), "42");
    EXPECT_EQ(d->DisplayText(), "05/03/2024 08:30:00");
    d->SetDisplayFormat("ddddd");
    EXPECT_EQ(d->DisplayText(), "05/03/2024");
    s->SetEditMask("99.99.999;0;_");
    EXPECT_EQ(s->DisplayText(), "01.02.003");
    EXPECT_EQ(s->Text(), "0102003");
    EXPECT_EQ(f->FormatValue(Variant(0.5), true), "0,50000");
    EXPECT_EQ(f->FormatValue(Variant(), true), "");

    // OnGetText starts from an empty text and serves both texts.
    d->OnGetText = [](TField &sender, std::string &text, bool displayText) {
        EXPECT_TRUE(text.empty());
        text = (displayText ? "show " : "edit ") + sender.AsString();
    };
    EXPECT_EQ(d->DisplayText(), "show 05/03/2024 08:30:00");
    EXPECT_EQ(d->Text(), "edit 05/03/2024 08:30:00");
}

TEST(DataSetFields, AttributesAndDefaults)
{
    TClientDataSet ds("cds");
    TField *s = ds.AddField("NMPRATO", FieldType::String, 40);
    TField *f = ds.AddField("VR", FieldType::Float);
    EXPECT_EQ(s->DisplayWidth(), 40);
    EXPECT_EQ(f->DisplayWidth(), 10);
    EXPECT_EQ(f->Alignment(), TAlignment::taRightJustify);
    EXPECT_EQ(s->Alignment(), TAlignment::taLeftJustify);
    EXPECT_EQ(s->DisplayLabel(), "NMPRATO");
    s->SetDisplayLabel("Nome do Prato");
    EXPECT_EQ(s->DisplayLabel(), "Nome do Prato");
    EXPECT_THROW(ds.AddField("nmprato", FieldType::String), EDatabaseError);
    ds.CreateDataSet();
    EXPECT_THROW(ds.AddField("X", FieldType::String), EDatabaseError); // data fields only before opening
    TField *c = ds.AddField("Calc", FieldType::Float, 0, TFieldKind::fkCalculated);
    EXPECT_TRUE(c->Calculated());
}

TEST(DataSetFields, DayTextThroughOnGetText)
{
    SetLocale("pt_BR");
    TClientDataSet ds("qryTrabCusto");
    TField *dt = ds.AddField("DTDATA", FieldType::DateTime);
    ds.CreateDataSet();
    ds.Append();
    dt->SetAsDateTime(EncodeDate(2024, 3, 9));
    ds.Post();
    dt->OnGetText = [](TField &sender, std::string &text, bool) {
        text = sender.AsString() + " - " + Utf8Left(FormatDateTime("dddd", sender.AsDateTime()), 3);
    };
    EXPECT_EQ(dt->DisplayText(), "09/03/2024 - sáb");
    EXPECT_EQ(ds.ViewDisplayText(0, dt), "09/03/2024 - sáb");
}

TEST_F(DataSetTest, HandlersMayDetachThemselves)
{
    int calls = 0;
    ds.AfterScroll = [&](TClientDataSet &d) {
        ++calls;
        d.AfterScroll = nullptr;
    };
    ds.Next();
    ds.Next();
    EXPECT_EQ(calls, 1);
    log.take();
    {
        DetachEventGuard<TClientDataSet::TDataSetNotifyEvent> guard(ds.BeforeScroll);
        ds.Next();
        EXPECT_TRUE(log.take().empty());
    }
    ds.Next();
    EXPECT_EQ(log.take(), (Events{"BS:4"}));
}

} // namespace
