// Data sources and data links: what the controls are told, DisableControls nesting, Enabled.

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datasource.h"

#include "tests/toolkit/fixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

using namespace tk;
using Events = std::vector<std::string>;

class RecordingLink : public TDataLink
{
public:
    Events events;
    void ActiveChanged() override { events.push_back(Active() ? "active" : "inactive"); }
    void DataSetChanged() override { events.push_back("changed"); }
    void DataSetScrolled(int distance) override { events.push_back("scrolled:" + std::to_string(distance)); }
    void RecordChanged(TField *field) override { events.push_back("record:" + (field ? field->FieldName() : "")); }
    Events take()
    {
        Events out;
        out.swap(events);
        return out;
    }
};

class DataSourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ds.AddField("A", FieldType::Integer);
        link.SetDataSource(&source);
        source.OnDataChange = [this](TDataSource &, TField *field) {
            dataChanges.push_back(field ? field->FieldName() : "-");
        };
        DataPacket p;
        p.addField("A", FieldType::Integer);
        for (int i = 1; i <= 5; ++i)
            p.addRow({int32_t(i)});
        ds.SetData(p);
    }

    TClientDataSet ds{"qryProduto"};
    TDataSource source{"dtsProduto", &ds};
    RecordingLink link;
    Events dataChanges;
};

TEST_F(DataSourceTest, ControlsFollowTheDataset)
{
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
    EXPECT_TRUE(link.Active());
    EXPECT_EQ(link.DataSet(), &ds);
    dataChanges.clear();

    ds.Next();
    ds.MoveBy(2);
    EXPECT_EQ(link.take(), (Events{"scrolled:1", "scrolled:2"}));
    EXPECT_EQ(dataChanges, (Events{"-", "-"}));

    ds.Edit();
    ds.FieldByName("A")->SetAsInteger(10);
    ds.Post();
    EXPECT_EQ(link.take(), (Events{"record:A", "changed"}));

    ds.SetFilter("A > 2");
    ds.SetFiltered(true);
    EXPECT_EQ(link.take(), (Events{"changed"}));

    ds.Close();
    EXPECT_EQ(link.take(), (Events{"inactive"}));
    EXPECT_FALSE(link.Active());
}

TEST_F(DataSourceTest, DisableControlsNestsAndRefreshesOnce)
{
    link.take();
    dataChanges.clear();
    int afterScrolls = 0;
    ds.AfterScroll = [&](TClientDataSet &) { ++afterScrolls; };
    ds.DisableControls();
    ds.DisableControls();
    EXPECT_TRUE(ds.ControlsDisabled());
    ds.Next();
    ds.SetFilter("A < 4");
    ds.SetFiltered(true);
    ds.Edit();
    ds.FieldByName("A")->SetAsInteger(0);
    ds.Post();
    ds.EnableControls();
    EXPECT_TRUE(link.take().empty());
    EXPECT_TRUE(dataChanges.empty());
    ds.EnableControls();
    EXPECT_EQ(link.take(), (Events{"changed"}));
    EXPECT_EQ(dataChanges, (Events{"-"}));
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(afterScrolls, 2) << "disabling controls does not stop dataset events";
    ds.EnableControls(); // unbalanced: ignored
    EXPECT_TRUE(link.take().empty());
}

TEST_F(DataSourceTest, OpenAndCloseWhileDisabledAreReportedOnEnable)
{
    link.take();
    ds.DisableControls();
    ds.Close();
    ds.CreateDataSet();
    EXPECT_TRUE(link.take().empty());
    ds.EnableControls();
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
}

TEST_F(DataSourceTest, DisabledSourceNotifiesNothing)
{
    link.take();
    dataChanges.clear();
    source.SetEnabled(false);
    EXPECT_EQ(link.take(), (Events{"inactive"}));
    EXPECT_FALSE(link.Active());
    ds.Next();
    ds.Refresh();
    ds.SetFilter("A = 1");
    ds.SetFiltered(true);
    EXPECT_TRUE(link.take().empty());
    EXPECT_TRUE(dataChanges.empty());
    source.SetEnabled(true);
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
    source.SetEnabled(true); // no change: nothing
    EXPECT_TRUE(link.take().empty());

    // The guard restores the source on every exit path.
    try {
        DisableSourceGuard guard(source);
        EXPECT_FALSE(source.Enabled());
        throw std::runtime_error("x");
    } catch (const std::runtime_error &) {
    }
    EXPECT_TRUE(source.Enabled());
    link.take();

    // Enabled again over a dataset nothing happened to: the links show it again, unchanged.
    source.SetEnabled(false);
    source.SetEnabled(true);
    EXPECT_EQ(link.take(), (Events{"inactive", "active"}));

    // Nested guards: only the outermost enables the source again, once.
    {
        DisableSourceGuard outer(source);
        {
            DisableSourceGuard inner(source);
            ds.Refresh();
        }
        EXPECT_FALSE(source.Enabled());
        EXPECT_EQ(link.take(), (Events{"inactive"}));
    }
    EXPECT_TRUE(source.Enabled());
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
    try {
        DisableControlsGuard guard(ds);
        throw std::runtime_error("x");
    } catch (const std::runtime_error &) {
    }
    EXPECT_FALSE(ds.ControlsDisabled());
}

// A calculated-fields handler that switches its own dataset's source off and on (as the ingredient
// costing does) leaves the links alone: nothing in the dataset can change meanwhile, and a grid that
// computes the rows it paints must not be told to repaint.
TEST_F(DataSourceTest, SwitchedOffAndOnWhileComputingFieldsTellsTheLinksNothing)
{
    ds.Close();
    ds.AddField("B", FieldType::Integer, 0, TFieldKind::fkCalculated);
    bool disabledInside = false;
    ds.OnCalcFields = [&](TClientDataSet &d) {
        DisableSourceGuard guard(source);
        disabledInside = !source.Enabled();
        d.FieldByName("B")->SetAsInteger(d.FieldByName("A")->AsInteger() * 2);
    };
    DataPacket p;
    p.addField("A", FieldType::Integer);
    for (int i = 1; i <= 3; ++i)
        p.addRow({int32_t(i)});
    ds.SetData(p);
    link.take();

    int sum = 0;
    for (int row = 0; row < ds.RecordCount(); ++row)
        ds.WithViewRecord(row, [&] { sum += ds.FieldByName("B")->AsInteger(); });
    EXPECT_EQ(sum, 12);
    EXPECT_TRUE(disabledInside);
    EXPECT_TRUE(source.Enabled());
    EXPECT_TRUE(link.take().empty());

    // Outside a computation the same switch is reported as always.
    {
        DisableSourceGuard guard(source);
    }
    EXPECT_EQ(link.take(), (Events{"inactive", "active"}));
}

TEST_F(DataSourceTest, SwitchingDataSetAndLifetimes)
{
    TClientDataSet other("other");
    other.AddField("B", FieldType::String, 5);
    other.CreateDataSet();
    link.take();
    source.SetDataSet(&other);
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
    ds.Next(); // the old dataset no longer reaches the link
    EXPECT_TRUE(link.take().empty());

    {
        auto temp = std::make_unique<TClientDataSet>("temp");
        temp->AddField("C", FieldType::Integer);
        temp->CreateDataSet();
        source.SetDataSet(temp.get());
    }
    EXPECT_EQ(source.DataSet(), nullptr); // the dataset's end detached the source
    EXPECT_FALSE(link.Active());

    auto shortLived = std::make_unique<TDataSource>("short", &ds);
    RecordingLink second;
    second.SetDataSource(shortLived.get());
    EXPECT_EQ(second.take(), (Events{"active"}));
    shortLived.reset();
    EXPECT_EQ(second.DataSource(), nullptr);
    ds.Next(); // nothing dangling
    {
        RecordingLink third;
        third.SetDataSource(&source);
    }
    link.take();
    source.SetDataSet(&ds);
    EXPECT_EQ(link.take(), (Events{"active", "changed"}));
}

TEST_F(DataSourceTest, ALinkMayDetachWhileNotified)
{
    class SelfDetaching : public TDataLink
    {
    public:
        int calls = 0;
        void DataSetScrolled(int) override
        {
            ++calls;
            SetDataSource(nullptr);
        }
    } detaching;
    detaching.SetDataSource(&source);
    link.take();
    ds.Next();
    ds.Next();
    EXPECT_EQ(detaching.calls, 1);
    EXPECT_EQ(link.take(), (Events{"scrolled:1", "scrolled:1"}));
}

} // namespace
