// The base window TfrmPadrParam with a derived window that records its handlers: components,
// closing by every road with FormClose exactly once, a close refused or failing, activation,
// resize errors and the modal run.

#include "platform/hostlib/basewindow.h"
#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/usersettings.h"
#include "platform/toolkit/widgets/dbgrid.h"
#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace host;

namespace {

class frmTeste : public TfrmPadrParam
{
public:
    explicit frmTeste(QWidget *owner = nullptr) : TfrmPadrParam(owner, "frmTeste") { SetCodTela("KPV40206"); }

    std::vector<std::string> log;
    CloseAction closeAction = CloseAction::caHide;
    bool failClose = false;
    bool failActivate = false;
    bool failResize = false;
    bool failCreate = false;

protected:
    void FormCreate() override
    {
        TfrmPadrParam::FormCreate();
        // The base creation ran first: it set the title from the screen code.
        log.push_back("create:" + windowTitle().toStdString());
        if (failCreate)
            throw std::runtime_error("falha ao criar");
    }
    void FormActivate() override
    {
        log.push_back("activate");
        if (failActivate)
            throw std::runtime_error("falha ao ativar");
    }
    void FormResize() override
    {
        log.push_back("resize");
        if (failResize)
            throw std::runtime_error("falha ao redimensionar");
    }
    void FormClose(CloseAction &action) override
    {
        log.push_back("close");
        if (failClose)
            throw std::runtime_error("falha ao fechar");
        action = closeAction;
        TfrmPadrParam::FormClose(action);
    }
};

int count(const std::vector<std::string> &log, const std::string &entry)
{
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
}

TEST(BaseWindow, ComponentsOfTheBaseForm)
{
    frmTeste form;
    EXPECT_EQ(form.objectName(), "frmTeste");
    EXPECT_EQ(form.lblCodTela->Caption(), "KPV40206");
    EXPECT_EQ(form.lblCodTela->x(), 190);
    EXPECT_EQ(form.panMenu->objectName(), "panMenu");
    EXPECT_EQ(form.panMenu->geometry().left(), 810);
    EXPECT_EQ(form.panMenu->height(), 257);
    EXPECT_EQ(form.Bevel3->parentWidget(), form.panMenu);
    EXPECT_EQ(form.Bevel3->width(), 2);
    EXPECT_EQ(form.panBotoes->parentWidget(), form.panMenu);
    EXPECT_EQ(form.panBotoes->y(), 10);
    EXPECT_EQ(form.panBotoes->height(), 116);
    EXPECT_EQ(form.sbtSair->parentWidget(), form.panBotoes);
    EXPECT_EQ(form.sbtSair->y(), 7);
    EXPECT_EQ(form.sbtSair->Hint(), "Sair");
    EXPECT_EQ(form.panHelp->y(), 132);
    EXPECT_EQ(form.sbtHelp->parentWidget(), form.panHelp);
    EXPECT_EQ(form.sbtHelp->y(), 4);
    EXPECT_EQ(form.sbtHelp->Hint(), "Ajuda");
    EXPECT_EQ(form.pgcPadrao->objectName(), "pgcPadrao");
    EXPECT_EQ(form.pgcPadrao->size(), QSize(810, 257));
    EXPECT_EQ(form.pgcPadrao->focusPolicy(), Qt::NoFocus) << "not a tab stop";
    EXPECT_EQ(form.msgPadrao.Name(), "msgPadrao");
    EXPECT_FALSE(form.FormCreated());
}

TEST(BaseWindow, RightColumnStaysAtTheRightEdge)
{
    frmTeste form;
    form.CreateForm();
    form.resize(1000, 600);
    form.show();
    EXPECT_EQ(form.panMenu->x(), 1000 - form.panMenu->width());
    EXPECT_EQ(form.pgcPadrao->width(), form.panMenu->x());
    EXPECT_GE(count(form.log, "resize"), 1);
}

TEST(BaseWindow, EveryRoadClosesWithFormCloseOnce)
{
    struct Road { const char *name; std::function<void(frmTeste &)> close; };
    const Road roads[] = {
        {"sbtSair", [](frmTeste &f) { f.sbtSair->Click(); }},
        {"close()", [](frmTeste &f) { f.close(); }},
        {"Esc", [](frmTeste &f) { QTest::keyClick(&f, Qt::Key_Escape); }},
        {"reject()", [](frmTeste &f) { f.reject(); }},
        {"accept()", [](frmTeste &f) { f.accept(); }},
    };
    for (const Road &road : roads) {
        frmTeste form;
        form.CreateForm();
        form.show();
        ASSERT_TRUE(form.isVisible());
        road.close(form);
        EXPECT_FALSE(form.isVisible()) << road.name;
        EXPECT_EQ(count(form.log, "close"), 1) << road.name;
        EXPECT_EQ(form.CloseCount(), 1) << road.name;
        EXPECT_EQ(form.log.back(), "close") << road.name;
        // Closing an already closed window runs nothing more.
        form.close();
        EXPECT_EQ(count(form.log, "close"), 1) << road.name;
    }
}

TEST(BaseWindow, CaNoneKeepsTheWindowOpen)
{
    frmTeste form;
    form.CreateForm();
    form.show();
    form.closeAction = CloseAction::caNone;
    form.sbtSair->Click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.CloseCount(), 0);
    form.closeAction = CloseAction::caHide;
    form.sbtSair->Click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(count(form.log, "close"), 2);
    EXPECT_EQ(form.CloseCount(), 1);
}

TEST(BaseWindow, AFailingCloseIsShownAndKeepsTheWindowOpen)
{
    tk::ExceptionRecorder errors;
    frmTeste form;
    form.CreateForm();
    form.show();
    form.failClose = true;
    form.close();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(errors.Messages(), std::vector<std::string>{"falha ao fechar"});
    form.failClose = false;
    form.close();
    EXPECT_FALSE(form.isVisible());
}

TEST(BaseWindow, ResizeErrorsAreShownAndTheWindowStaysOpen)
{
    tk::ExceptionRecorder errors;
    frmTeste form;
    form.CreateForm();
    form.show();
    form.failResize = true;
    form.resize(900, 500);
    EXPECT_TRUE(form.isVisible());
    ASSERT_FALSE(errors.Messages().empty());
    EXPECT_EQ(errors.Messages().back(), "falha ao redimensionar");
}

TEST(BaseWindow, ActivationRunsFormActivateAndItsErrorsAreShown)
{
    tk::ExceptionRecorder errors;
    frmTeste form;
    form.failActivate = true;
    form.CreateForm();
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 5000));
    EXPECT_GE(count(form.log, "activate"), 1);
    EXPECT_TRUE(form.isVisible());
    ASSERT_FALSE(errors.Messages().empty());
    EXPECT_EQ(errors.Messages().front(), "falha ao ativar");
}

TEST(BaseWindow, ShowModalCreatesOnceAndRunsTheModalLoop)
{
    frmTeste form;
    // Bounded: a stuck dialog is closed by the second timer and the test fails on the log.
    QTimer::singleShot(50, &form, [&] { form.sbtSair->Click(); });
    QTimer::singleShot(5000, &form, [&] { form.done(QDialog::Rejected); });
    form.ShowModal();
    EXPECT_FALSE(form.isVisible());
    ASSERT_FALSE(form.log.empty());
    EXPECT_EQ(form.log.front(), "create:KPV40206");
    EXPECT_EQ(form.log.back(), "close");
    EXPECT_EQ(count(form.log, "create:KPV40206"), 1);

    // A second modal run does not create again, and closes once more.
    QTimer::singleShot(50, &form, [&] { form.reject(); });
    form.ShowModal();
    EXPECT_EQ(count(form.log, "create:KPV40206"), 1);
    EXPECT_EQ(count(form.log, "close"), 2);
}

TEST(BaseWindow, AFailingCreationLeavesShowModalAndNeverOpens)
{
    frmTeste form;
    form.failCreate = true;
    EXPECT_THROW(form.ShowModal(), std::runtime_error);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(count(form.log, "close"), 0);
}

TEST(BaseWindow, ACloseArrivingWhileACallWaitsIsPutOff)
{
    frmTeste form;
    form.CreateForm();
    form.show();
    // The window system asks to close while a remote call processes paint events.
    QCoreApplication::postEvent(&form, new QCloseEvent);
    ProcessPaintEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(count(form.log, "close"), 0);
    // Back in the event loop, the close goes ahead.
    QElapsedTimer clock;
    clock.start();
    while (form.isVisible() && clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(count(form.log, "close"), 1);
}

TEST(BaseWindow, ClosingHidesABusyIndicatorLeftOverTheWindow)
{
    frmTeste form;
    form.CreateForm();
    form.show();
    ActiveShowAvi(&form, 6, "Calculando custos do cardápio...");
    form.close();
    EXPECT_FALSE(ShowAviActive());
}

// F1 is the help button's key; a reference that no module carries a page for says so.
TEST(BaseWindow, HelpWithoutAPageNamesTheReference)
{
    frmTeste form;
    form.HelpFile = "Semajuda.hlp";
    form.HelpContext = 777;
    form.show();
    QApplication::setActiveWindow(&form);
    EXPECT_EQ(form.sbtHelp->toolTip(), "Ajuda (F1)");
    QTest::keyClick(&form, Qt::Key_F1);
    auto *box = form.findChild<QMessageBox *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Não há ajuda para a tela KPV40206 (Semajuda.hlp, contexto 777).");
    box->close();
}

// A window with a grid, as a module makes it: the design widths are set in FormCreate.
class frmComGrade : public frmTeste
{
public:
    tk::TDBGrid *dbgProduto = nullptr;

protected:
    void FormCreate() override
    {
        frmTeste::FormCreate();
        dbgProduto = new tk::TDBGrid(pgcPadrao, "dbgProduto");
        dbgProduto->AddColumn("CDPRODUTO", "Produto", 80);
        dbgProduto->AddColumn("NMPRODUTO", "Nome", 200);
    }
};

TEST(BaseWindow, GeometryAndDraggedColumnWidthsSurviveARestart)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("suite.ini");
    SetUserSettingsFile(file);
    {
        frmComGrade form;
        form.show();
        EXPECT_EQ(form.dbgProduto->ColumnWidth(0), 80);
        form.resize(990, 610);
        form.dbgProduto->horizontalHeader()->resizeSection(0, 133); // what a drag of the divider does
        form.close();
    }
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("Colunas/KPV40206.dbgProduto.CDPRODUTO").toInt(), 133);
    EXPECT_FALSE(QSettings(file, QSettings::IniFormat).contains("Colunas/KPV40206.dbgProduto.NMPRODUTO"))
        << "an undragged column keeps following its design width";
    {
        frmComGrade again;
        again.show();
        EXPECT_EQ(again.size(), QSize(990, 610));
        EXPECT_EQ(again.dbgProduto->ColumnWidth(0), 133);
        EXPECT_EQ(again.dbgProduto->ColumnWidth(1), 200);
        again.dbgProduto->horizontalHeader()->resizeSection(0, 80); // dragged back to the design width
        again.close();
    }
    EXPECT_FALSE(QSettings(file, QSettings::IniFormat).contains("Colunas/KPV40206.dbgProduto.CDPRODUTO"));
    SetUserSettingsFile({});
    frmComGrade forgetful;
    forgetful.show();
    EXPECT_EQ(forgetful.size(), QSize(875, 257)) << "without a settings file nothing is remembered";
}

} // namespace
