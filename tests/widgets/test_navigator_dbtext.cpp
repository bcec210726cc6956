// The record navigator and the data text label over a real dataset.

#include "grid_fixture.h"

#include "platform/toolkit/widgets/dbnavigator.h"
#include "platform/toolkit/widgets/dbtext.h"
#include "platform/toolkit/widgets/errors.h"

#include <QTest>

#include <gtest/gtest.h>

namespace tk {
namespace {

using test::GridFixture;

TEST(DBNavigator, ButtonsFollowTheCursor)
{
    GridFixture f;
    TDBNavigator nav(&f.window, "dbnPadrao");
    nav.SetDataSource(&f.source);
    nav.SetHints({"Primeiro prato do dia", "Prato anterior", "Próximo prato", "Último prato do dia"});
    std::vector<TNavigateBtn> clicked;
    nav.OnClick = [&](TDBNavigator &, TNavigateBtn b) { clicked.push_back(b); };

    struct Step
    {
        const char *name;
        TNavigateBtn button;
        int recNo;
        bool first, prior, next, last; // enabled states after the click
    };
    const Step steps[] = {
        {"next", TNavigateBtn::nbNext, 2, true, true, true, true},
        {"last", TNavigateBtn::nbLast, 5, true, true, false, false},
        {"prior", TNavigateBtn::nbPrior, 4, true, true, true, true},
        {"first", TNavigateBtn::nbFirst, 1, false, false, true, true},
        {"prior at the start: disabled, nothing happens", TNavigateBtn::nbPrior, 1, false, false, true, true},
    };
    EXPECT_FALSE(nav.ButtonEnabled(TNavigateBtn::nbFirst));
    EXPECT_TRUE(nav.ButtonEnabled(TNavigateBtn::nbNext));
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        nav.BtnClick(s.button);
        EXPECT_EQ(f.ds.RecNo(), s.recNo);
        EXPECT_EQ(f.grid->CurrentRow(), s.recNo - 1);
        EXPECT_EQ(nav.ButtonEnabled(TNavigateBtn::nbFirst), s.first);
        EXPECT_EQ(nav.ButtonEnabled(TNavigateBtn::nbPrior), s.prior);
        EXPECT_EQ(nav.ButtonEnabled(TNavigateBtn::nbNext), s.next);
        EXPECT_EQ(nav.ButtonEnabled(TNavigateBtn::nbLast), s.last);
    }
    EXPECT_EQ(clicked.size(), 4u);

    // Moves made elsewhere update the buttons too; a real click works like BtnClick.
    f.ds.Last();
    EXPECT_FALSE(nav.ButtonEnabled(TNavigateBtn::nbNext));
    nav.show();
    QTest::mouseClick(nav.Button(TNavigateBtn::nbFirst), Qt::LeftButton);
    EXPECT_EQ(f.ds.RecNo(), 1);

    // Hints are kept, shown only with ShowHint.
    EXPECT_EQ(nav.Hint(TNavigateBtn::nbLast), "Último prato do dia");
    EXPECT_TRUE(nav.Button(TNavigateBtn::nbNext)->toolTip().isEmpty());
    nav.SetShowHint(true);
    EXPECT_EQ(nav.Button(TNavigateBtn::nbNext)->toolTip(), "Próximo prato");

    // Closed dataset: nothing to navigate.
    f.ds.Close();
    for (TNavigateBtn b :
         {TNavigateBtn::nbFirst, TNavigateBtn::nbPrior, TNavigateBtn::nbNext, TNavigateBtn::nbLast})
        EXPECT_FALSE(nav.ButtonEnabled(b));
}

TEST(DBNavigator, MoveErrorsAreShown)
{
    ExceptionRecorder recorder;
    GridFixture f;
    TDBNavigator nav(&f.window, "dbnCusto");
    nav.SetDataSource(&f.source);
    f.ds.AfterScroll = [](TClientDataSet &) { throw std::runtime_error("falha no dia"); };
    nav.BtnClick(TNavigateBtn::nbNext);
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"falha no dia"});
    EXPECT_EQ(f.grid->CurrentRow(), f.ds.RecNo() - 1);
}

TEST(DBText, ShowsTheCurrentRecord)
{
    GridFixture f;
    TDBText text(&f.window, "dbtNome");
    text.SetDataSource(&f.source);
    text.SetDataField("NMPRATO");
    text.SetBold(true);
    EXPECT_TRUE(text.Bold());
    EXPECT_EQ(text.Text(), "Arroz branco");
    f.ds.Next();
    EXPECT_EQ(text.Text(), "Feijão carioca");
    f.grid->SelectRow(4);
    EXPECT_EQ(text.Text(), "Pudim");

    TDBText date(&f.window, "dbtData");
    date.SetDataSource(&f.source);
    date.SetDataField("DTCARDAPIO");
    EXPECT_EQ(date.Text(), "05/03/2024");
    {
        DisableControlsGuard guard(f.ds);
        f.ds.First();
        EXPECT_EQ(date.Text(), "05/03/2024"); // frozen
    }
    EXPECT_EQ(date.Text(), "01/03/2024");
    f.ds.Close();
    EXPECT_EQ(date.Text(), "");
}

} // namespace
} // namespace tk
