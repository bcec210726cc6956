// Calculated fields: the nested dish costing pattern, the whole-view option, lazy computation,
// the active record during OnCalcFields and nesting on the same dataset.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include "tests/toolkit/fixtures.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace tk;
using tktest::Strings;

// A master of dishes whose OnCalcFields points the ingredient dataset at the dish, walks it and
// sums an ingredient calculated field that reads the dish being computed, then restores the
// ingredient filter: the way the menu page costs its dishes.
class DishCosting : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetLocale("pt_BR");
        // Dishes.
        cardapio.AddField("CDPRATO", FieldType::String, 10);
        cardapio.AddField("DTCARDAPIO", FieldType::DateTime);
        cardapio.AddField("COMENSPRATO", FieldType::Float);
        custoPrato = cardapio.AddField("CustoPrato", FieldType::Float, 0, TFieldKind::fkCalculated);
        custoPerc = cardapio.AddField("CustoPerc", FieldType::Float, 0, TFieldKind::fkCalculated);
        cardapio.SetCalcWholeView(true);
        cardapio.OnCalcFields = [this](TClientDataSet &ds) { costDish(ds); };

        // Ingredients.
        produto.AddField("CDPRATO", FieldType::String, 10);
        produto.AddField("QTDEBRUTA", FieldType::Float);
        produto.AddField("CustoProd", FieldType::Float);
        produto.AddField("QtdeTotal", FieldType::Float, 0, TFieldKind::fkCalculated);
        produto.AddField("CustoTotal", FieldType::Float, 0, TFieldKind::fkCalculated);
        produto.OnCalcFields = [this](TClientDataSet &ds) { costIngredient(ds); };

        DataPacket ing;
        ing.addField("CDPRATO", FieldType::String, 10).addField("QTDEBRUTA", FieldType::Float)
            .addField("CustoProd", FieldType::Float);
        ing.addRow({"P1", 0.123456, 2.0});
        ing.addRow({"P2", 0.2, 3.0});
        ing.addRow({"P1", 0.5, 1.2});
        ing.addRow({"P3", 0.1, 5.0});
        produto.SetData(ing);
        produto.SetFilter(FilterEq("CDPRATO", "P1")); // the ingredient grid shows dish P1
        produto.SetFiltered(true);

        DataPacket dishes;
        dishes.addField("CDPRATO", FieldType::String, 10).addField("DTCARDAPIO", FieldType::DateTime)
            .addField("COMENSPRATO", FieldType::Float);
        dishes.addRow({"P1", Variant::fromDateTime(EncodeDate(2024, 3, 5)), 3.0});
        dishes.addRow({"P2", Variant::fromDateTime(EncodeDate(2024, 3, 5)), 10.0});
        dishes.addRow({"P3", Variant::fromDateTime(EncodeDate(2024, 3, 6)), 0.0});
        dishes.addRow({"P4", Variant::fromDateTime(EncodeDate(2024, 3, 6)), 2.0});
        cardapio.SetData(dishes); // unfiltered: every dish computed once, no figures
        computed.clear();
        daySum = 0;
    }

    void costIngredient(TClientDataSet &ds)
    {
        DisableSourceGuard off(dtsProduto);
        const double comens = cardapio.FieldByName("COMENSPRATO")->AsFloat(); // the dish being computed
        ds.FieldByName("QtdeTotal")->SetAsFloat(RoundDec(ds.FieldByName("QTDEBRUTA")->AsFloat() * comens, 5));
        ds.FieldByName("CustoTotal")->SetAsFloat(
            RoundDec(ds.FieldByName("CustoProd")->AsFloat() * ds.FieldByName("QtdeTotal")->AsFloat(), 5));
        ingredientFor.push_back(cardapio.FieldByName("CDPRATO")->AsString());
    }

    void costDish(TClientDataSet &ds)
    {
        EXPECT_EQ(ds.State(), TDataSetState::dsCalcFields);
        EXPECT_TRUE(custoPrato->IsNull()) << "calculated fields start empty";
        const std::string code = ds.FieldByName("CDPRATO")->AsString();
        computed.push_back(code + "@" + std::to_string(ds.RecNo()));
        const std::string saved = produto.IsEmpty() ? "" : produto.FieldByName("CDPRATO")->AsString();
        dtsProduto.SetEnabled(false);
        if (ds.Filtered()) {
            produto.DisableControls();
            produto.SetFiltered(false);
            produto.SetFilter(FilterEq("CDPRATO", code));
            produto.SetFiltered(true);
            produto.First();
            while (!produto.Eof()) {
                // Reading CustoPrato inside its own computation gives what was assigned so far.
                custoPrato->SetAsFloat(custoPrato->AsFloat() + produto.FieldByName("CustoTotal")->AsFloat());
                produto.Next();
            }
            produto.EnableControls();
            const double comens = ds.FieldByName("COMENSPRATO")->AsFloat();
            custoPerc->SetAsFloat(comens > 0 ? RoundDec(custoPrato->AsFloat() / comens, 5) : 0);
            daySum += custoPrato->AsFloat();
        }
        produto.SetFiltered(false);
        produto.SetFilter(FilterEq("CDPRATO", saved));
        produto.SetFiltered(true);
        dtsProduto.SetEnabled(true);
    }

    // As the day handling does: a new text while filtered, then the filter on (already on).
    void showDay(int day)
    {
        cardapio.SetFilter(FilterEqDate("DTCARDAPIO", EncodeDate(2024, 3, day)));
        cardapio.SetFiltered(true);
    }

    double value(TField *field, int row) { return cardapio.ViewValue(row, field).asDouble(); }

    TClientDataSet cardapio{"qryCardapio"};
    TClientDataSet produto{"qryProduto"};
    TDataSource dtsProduto{"dtsProduto", &produto};
    TField *custoPrato = nullptr;
    TField *custoPerc = nullptr;
    Strings computed;
    Strings ingredientFor;
    double daySum = 0;
};

TEST_F(DishCosting, EveryDishOfTheDayIsCostedExactlyOncePerFilterChange)
{
    const int64_t before = cardapio.CalcCount();
    cardapio.SetFilter(FilterEqDate("DTCARDAPIO", EncodeDate(2024, 3, 5)));
    cardapio.SetFiltered(true);
    // Synchronously, in view order, before control returns; the cursor is on the first row.
    EXPECT_EQ(computed, (Strings{"P1@1", "P2@1"}));
    EXPECT_EQ(cardapio.CalcCount() - before, 2);
    EXPECT_DOUBLE_EQ(daySum, 0.74074 + 1.8 + 6.0);

    // The figures: rounding at each step (0.123456 x 3 = 0.37037, x 2 = 0.74074).
    EXPECT_DOUBLE_EQ(value(custoPrato, 0), 2.54074);
    EXPECT_DOUBLE_EQ(value(custoPerc, 0), 0.84691);
    EXPECT_DOUBLE_EQ(value(custoPrato, 1), 6.0); // computed with P2's 10 diners, not the current P1's
    EXPECT_DOUBLE_EQ(value(custoPerc, 1), 0.6);
    // Reading, scrolling and painting compute nothing more.
    cardapio.Next();
    cardapio.First();
    EXPECT_EQ(cardapio.ViewDisplayText(1, custoPrato), "6");
    EXPECT_EQ(cardapio.CalcCount() - before, 2);

    // The ingredient view is back on the dish it showed, with its controls enabled.
    EXPECT_EQ(produto.Filter(), "CDPRATO = 'P1'");
    EXPECT_EQ(produto.RecordCount(), 2);
    EXPECT_EQ(produto.FieldByName("CDPRATO")->AsString(), "P1");
    EXPECT_FALSE(produto.ControlsDisabled());
    EXPECT_TRUE(dtsProduto.Enabled());

    // The next day: again exactly once each.
    computed.clear();
    daySum = 0;
    showDay(6);
    EXPECT_EQ(computed, (Strings{"P3@1", "P4@1"}));
    EXPECT_EQ(cardapio.CalcCount() - before, 4);
    EXPECT_DOUBLE_EQ(value(custoPrato, 0), 0); // no diners: every ingredient total is 0
    EXPECT_DOUBLE_EQ(value(custoPerc, 0), 0);
    EXPECT_TRUE(cardapio.ViewValue(1, custoPrato).isNull()); // no ingredients: stays empty
    EXPECT_DOUBLE_EQ(value(custoPerc, 1), 0);

    // Refresh computes the view again, once each.
    computed.clear();
    cardapio.Refresh();
    EXPECT_EQ(computed, (Strings{"P3@1", "P4@1"}));
}

TEST_F(DishCosting, IngredientsReadTheDishBeingComputed)
{
    showDay(5);
    std::map<std::string, int> perDish;
    for (const std::string &dish : ingredientFor)
        ++perDish[dish];
    // Each dish walked its own ingredients; P1's view was also recomputed for the restore.
    EXPECT_GE(perDish["P2"], 1);
    EXPECT_GE(perDish["P1"], 2);

    // Outside any dish computation the ingredients read the current dish.
    ingredientFor.clear();
    cardapio.Next(); // P2 is current
    produto.Refresh();
    ASSERT_FALSE(ingredientFor.empty());
    EXPECT_EQ(ingredientFor.back(), "P2");
}

TEST_F(DishCosting, UnfilteredLoadComputesOnlyTheFlags)
{
    // SetUp loaded the dishes unfiltered: each computed once, no figures.
    EXPECT_EQ(cardapio.CalcCount(), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_TRUE(cardapio.ViewValue(row, custoPrato).isNull());
}

TEST(CalcFields, LazyComputationOnFirstNeed)
{
    TClientDataSet ds("cds");
    ds.AddField("V", FieldType::Integer);
    TField *twice = ds.AddField("Twice", FieldType::Integer, 0, TFieldKind::fkCalculated);
    Strings log;
    ds.OnCalcFields = [&](TClientDataSet &d) {
        log.push_back(d.FieldByName("V")->AsString());
        twice->SetAsInteger(d.FieldByName("V")->AsInteger() * 2);
    };
    DataPacket p;
    p.addField("V", FieldType::Integer);
    for (int i = 1; i <= 5; ++i)
        p.addRow({int32_t(i)});
    ds.SetData(p);
    EXPECT_EQ(log, Strings{"1"}); // only the current record
    ds.Next();
    ds.Prior();
    EXPECT_EQ(log, (Strings{"1", "2"}));
    EXPECT_EQ(ds.ViewValue(3, twice), Variant(int32_t(8)));
    EXPECT_EQ(ds.ViewValue(3, twice), Variant(int32_t(8)));
    EXPECT_EQ(log, (Strings{"1", "2", "4"}));
    // Post computes the posted record again.
    ds.Edit();
    ds.FieldByName("V")->SetAsInteger(10);
    ds.Post();
    EXPECT_EQ(twice->AsInteger(), 20);
    EXPECT_EQ(log, (Strings{"1", "2", "4", "10"}));
    // A filter change invalidates: records are computed again as they are reached.
    log.clear();
    ds.SetFilter("V > 2");
    ds.SetFiltered(true);
    EXPECT_EQ(log, Strings{"10"});
    ds.Last();
    EXPECT_EQ(log, (Strings{"10", "5"}));
    EXPECT_EQ(ds.CalcCount(), 6);
}

TEST(CalcFields, WholeViewComputesOncePerViewChange)
{
    TClientDataSet ds("cds");
    ds.AddField("DAY", FieldType::Integer);
    ds.AddField("Calc", FieldType::Float, 0, TFieldKind::fkCalculated);
    std::map<int, int> countsByDay;
    ds.OnCalcFields = [&](TClientDataSet &d) { ++countsByDay[d.FieldByName("DAY")->AsInteger()]; };
    ds.SetCalcWholeView(true);
    DataPacket p;
    p.addField("DAY", FieldType::Integer);
    for (int i = 0; i < 30; ++i)
        p.addRow({int32_t(i % 3)});
    ds.SetData(p);
    EXPECT_EQ(ds.CalcCount(), 30);
    for (int day = 0; day < 3; ++day) {
        const int64_t start = ds.CalcCount();
        const bool wasFiltered = ds.Filtered();
        ds.SetFiltered(false);
        EXPECT_EQ(ds.CalcCount() - start, wasFiltered ? 30 : 0) << "unfiltered again: all thirty";
        countsByDay.clear();
        const int64_t afterOff = ds.CalcCount();
        ds.SetFilter("DAY = " + std::to_string(day));
        ds.SetFiltered(true);
        EXPECT_EQ(countsByDay, (std::map<int, int>{{day, 10}})) << "the day's ten records, once each";
        EXPECT_EQ(ds.CalcCount() - afterOff, 10);
        for (ds.First(); !ds.Eof(); ds.Next()) {
        }
        ds.Locate("DAY", Variant(int32_t(day)));
        EXPECT_EQ(ds.CalcCount() - afterOff, 10) << "walking computes nothing more";
    }
    // An index change is a view change too.
    const int64_t before = ds.CalcCount();
    ds.SetIndexFieldNames("DAY");
    EXPECT_EQ(ds.CalcCount() - before, 10);
}

TEST(CalcFields, NestedComputationOfTheSameDatasetKeepsEachRecord)
{
    TClientDataSet ds("cds");
    ds.AddField("V", FieldType::Integer);
    TField *twice = ds.AddField("Twice", FieldType::Integer, 0, TFieldKind::fkCalculated);
    TField *seen = ds.AddField("Seen", FieldType::Integer, 0, TFieldKind::fkCalculated);
    ds.OnCalcFields = [&](TClientDataSet &d) {
        twice->SetAsInteger(d.FieldByName("V")->AsInteger() * 2);
        if (d.FieldByName("V")->AsInteger() == 1) {
            // Navigating its own dataset computes other records in between.
            d.Last();
            d.Prior();
            d.First();
        }
        EXPECT_EQ(d.State(), TDataSetState::dsCalcFields);
        seen->SetAsInteger(d.FieldByName("V")->AsInteger());
        twice->SetAsInteger(twice->AsInteger() + 0); // still this record's value
    };
    DataPacket p;
    p.addField("V", FieldType::Integer);
    for (int i = 1; i <= 4; ++i)
        p.addRow({int32_t(i)});
    ds.SetData(p);
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(ds.ViewValue(row, twice), Variant(int32_t(2 * (row + 1)))) << row;
        EXPECT_EQ(ds.ViewValue(row, seen), Variant(int32_t(row + 1))) << row;
    }
    EXPECT_EQ(ds.CalcCount(), 4);
}

TEST(CalcFields, HandlerRulesAndFailures)
{
    TClientDataSet ds("cds");
    TField *v = ds.AddField("V", FieldType::Integer);
    TField *calc = ds.AddField("Calc", FieldType::Integer, 0, TFieldKind::fkCalculated);
    TField *echo = ds.AddField("Echo", FieldType::Integer, 0, TFieldKind::fkCalculated);
    std::string mode;
    ds.OnCalcFields = [&](TClientDataSet &d) {
        EXPECT_TRUE(calc->IsNull());
        calc->SetAsInteger(5);
        echo->SetAsInteger(calc->AsInteger() + v->AsInteger());
        if (mode == "throw" && v->AsInteger() == 2)
            throw Exception("boom");
        if (mode == "data")
            v->SetAsInteger(1);
        if (mode == "delete")
            d.Delete();
    };
    DataPacket p;
    p.addField("V", FieldType::Integer);
    for (int i = 1; i <= 3; ++i)
        p.addRow({int32_t(i)});
    ds.SetData(p);
    EXPECT_EQ(echo->AsInteger(), 6);
    EXPECT_THROW(calc->SetAsInteger(1), EDatabaseError); // only inside OnCalcFields

    mode = "throw";
    EXPECT_THROW(ds.Next(), Exception);
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse); // the active-record stack was unwound
    EXPECT_EQ(v->AsInteger(), 2);
    mode = "data";
    EXPECT_THROW(ds.Next(), EDatabaseError);
    mode = "delete";
    EXPECT_THROW(ds.Refresh(), EDatabaseError);
    EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
    mode.clear();
    ds.Refresh();
    EXPECT_EQ(ds.RecordCount(), 3);
}

TEST(CalcFields, WithViewRecordShowsAnotherRowWithoutMoving)
{
    TClientDataSet ds("cds");
    TField *v = ds.AddField("V", FieldType::Integer);
    TField *calc = ds.AddField("Calc", FieldType::Integer, 0, TFieldKind::fkCalculated);
    ds.OnCalcFields = [&](TClientDataSet &) { calc->SetAsInteger(v->AsInteger() * 10); };
    tktest::EventLog log;
    log.attach(ds);
    DataPacket p;
    p.addField("V", FieldType::Integer);
    for (int i = 1; i <= 3; ++i)
        p.addRow({int32_t(i)});
    ds.SetData(p);
    log.take();
    int seenV = 0, seenCalc = 0;
    ds.WithViewRecord(2, [&] {
        seenV = v->AsInteger();
        seenCalc = calc->AsInteger();
    });
    EXPECT_EQ(seenV, 3);
    EXPECT_EQ(seenCalc, 30);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(v->AsInteger(), 1);
    EXPECT_TRUE(log.take().empty());
    bool called = false;
    ds.WithViewRecord(7, [&] { called = true; });
    EXPECT_FALSE(called);
    EXPECT_TRUE(ds.ViewValue(7, v).isNull());
}

} // namespace
