// Flat buttons (push, sticky toggle groups) and the page control.

#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/icons.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace tk {
namespace {

// A window with the two toggles of group 9 (all may be up) and a push button, counting clicks.
struct ButtonWindow
{
    QWidget window;
    TButtonFlat *custos = new TButtonFlat(&window, "sbtCustos");
    TButtonFlat *custUnitAnt = new TButtonFlat(&window, "sbtCustUnitAnt");
    TButtonFlat *imprimir = new TButtonFlat(&window, "sbtCustZero");
    std::map<std::string, int> clicks;

    ButtonWindow()
    {
        for (TButtonFlat *b : {custos, custUnitAnt}) {
            b->SetGroupIndex(9);
            b->SetAllowAllUp(true);
        }
        for (TButtonFlat *b : {custos, custUnitAnt, imprimir})
            b->OnClick = [this](TButtonFlat &sender) { ++clicks[sender.objectName().toStdString()]; };
    }
};

TEST(ButtonFlat, ToggleGroupRule)
{
    struct Step
    {
        const char *click;
        bool custosDown;
        bool custUnitAntDown;
        int custosClicks;
        int custUnitAntClicks;
    };
    // Each step: a click, then the down states and the click counts so far.
    const Step steps[] = {
        {"sbtCustos", true, false, 1, 0},      // A goes down and runs its handler
        {"sbtCustUnitAnt", false, true, 1, 1}, // B releases A without A's handler
        {"sbtCustUnitAnt", false, false, 1, 2}, // all up allowed: B raised, its handler runs
        {"sbtCustUnitAnt", false, true, 1, 3},
        {"sbtCustos", true, false, 2, 3},
        {"sbtCustZero", true, false, 2, 3},     // a push button does not touch the group
    };
    ButtonWindow w;
    for (const Step &s : steps) {
        SCOPED_TRACE(s.click);
        w.window.findChild<TButtonFlat *>(s.click)->Click();
        EXPECT_EQ(w.custos->Down(), s.custosDown);
        EXPECT_EQ(w.custUnitAnt->Down(), s.custUnitAntDown);
        EXPECT_EQ(w.clicks["sbtCustos"], s.custosClicks);
        EXPECT_EQ(w.clicks["sbtCustUnitAnt"], s.custUnitAntClicks);
    }
    EXPECT_EQ(w.clicks["sbtCustZero"], 1);
    EXPECT_FALSE(w.imprimir->Down());
}

TEST(ButtonFlat, WithoutAllowAllUpTheDownButtonStaysDown)
{
    QWidget window;
    TButtonFlat a(&window, "a"), b(&window, "b");
    a.SetGroupIndex(3);
    b.SetGroupIndex(3);
    int clicks = 0;
    a.OnClick = [&](TButtonFlat &) { ++clicks; };
    a.Click();
    a.Click();
    EXPECT_TRUE(a.Down());
    EXPECT_EQ(clicks, 2);
    a.SetDown(false); // refused as well
    EXPECT_TRUE(a.Down());
    b.SetDown(true);
    EXPECT_FALSE(a.Down());
    EXPECT_EQ(clicks, 2);
}

TEST(ButtonFlat, GroupsAreSeparateByIndexAndWindow)
{
    QWidget first, second;
    TButtonFlat a(&first, "a"), b(&first, "b"), c(&second, "c"), d(&first, "d");
    for (TButtonFlat *x : {&a, &b, &c})
        x->SetGroupIndex(1);
    d.SetGroupIndex(2);
    a.Click();
    c.Click();
    d.Click();
    EXPECT_TRUE(a.Down());
    EXPECT_TRUE(c.Down()); // another window: another group
    EXPECT_TRUE(d.Down()); // another index: another group
    b.Click();
    EXPECT_FALSE(a.Down());
    EXPECT_TRUE(b.Down());
    EXPECT_TRUE(c.Down());
    EXPECT_TRUE(d.Down());
    // A push button cannot be down.
    TButtonFlat push(&first, "push");
    push.SetDown(true);
    EXPECT_FALSE(push.Down());
}

TEST(ButtonFlat, MouseClickDisabledStateGlyphsAndHints)
{
    ButtonWindow w;
    w.window.resize(200, 100);
    w.custos->setGeometry(0, 0, 24, 24);
    w.window.show();
    QTest::mouseClick(w.custos, Qt::LeftButton);
    EXPECT_TRUE(w.custos->Down());
    EXPECT_TRUE(w.custos->isChecked());
    EXPECT_EQ(w.clicks["sbtCustos"], 1);

    QPixmap enabledPix(16, 16), disabledPix(16, 16);
    enabledPix.fill(Qt::red);
    disabledPix.fill(Qt::gray);
    w.imprimir->SetGlyph(QIcon(enabledPix));
    w.imprimir->SetDisabledGlyph(QIcon(disabledPix));
    w.imprimir->setEnabled(false);
    EXPECT_EQ(w.imprimir->CurrentGlyph().cacheKey(), w.imprimir->DisabledGlyph().cacheKey());
    w.imprimir->Click();
    EXPECT_EQ(w.clicks["sbtCustZero"], 0);
    w.imprimir->setEnabled(true);
    EXPECT_EQ(w.imprimir->CurrentGlyph().cacheKey(), w.imprimir->Glyph().cacheKey());

    w.imprimir->SetHint("Imprimir");
    EXPECT_EQ(w.imprimir->toolTip(), "Imprimir");
    w.imprimir->SetShowHint(false);
    EXPECT_TRUE(w.imprimir->toolTip().isEmpty());
    EXPECT_EQ(w.imprimir->Hint(), "Imprimir");
}

TEST(ButtonFlat, HandlerErrorIsShownAndTheStateStays)
{
    ExceptionRecorder recorder;
    ButtonWindow w;
    w.custos->OnClick = [](TButtonFlat &) { throw std::runtime_error("falhou"); };
    w.custos->Click();
    EXPECT_TRUE(w.custos->Down());
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"falhou"});
    w.custUnitAnt->Click(); // the window is still usable
    EXPECT_TRUE(w.custUnitAnt->Down());
    EXPECT_FALSE(w.custos->Down());
}

// The main page control of the window: five pages, the last one disabled.
struct Pages
{
    TPageControl pgc{nullptr, "pgcPadrao"};
    TTabSheet *planejado = new TTabSheet(&pgc, "tshPlanejado", "Planejado");
    TTabSheet *realizado = new TTabSheet(&pgc, "tshRealizado", "Realizado");
    TTabSheet *planReal = new TTabSheet(&pgc, "tshPlanReal", "Acompanhamento");
    TTabSheet *custZero = new TTabSheet(&pgc, "tshProdCustZero", "Produtos Custo Zero");
    TTabSheet *cotDesatu = new TTabSheet(&pgc, "tshCotDesatu", "Cotação Desatualizada");
    std::vector<std::string> changes;

    Pages()
    {
        pgc.OnChange = [this](TPageControl &sender) { changes.push_back(sender.ActivePage()->Name()); };
        cotDesatu->SetEnabled(false);
    }
};

// Each side button's key clicks it from anywhere in its window and shows in its tooltip; a
// disabled or hidden button leaves its key to the focused widget.
TEST(ButtonFlat, ShortcutKeysClickFromTheWindowAndShowInTheTooltip)
{
    ButtonWindow w;
    auto *editor = new QLineEdit(&w.window);
    w.custos->SetHint("Visualizar Acompanhamento de Custos");
    w.custos->SetShortcutKey(QKeySequence(Qt::CTRL | Qt::Key_R));
    w.imprimir->SetHint("Imprimir");
    w.imprimir->SetShortcutKey(QKeySequence(Qt::CTRL | Qt::Key_P));
    w.custUnitAnt->SetHint("Sair");
    w.custUnitAnt->SetShortcutKey(QKeySequence(Qt::Key_Escape), false);
    EXPECT_EQ(w.imprimir->toolTip(), "Imprimir (Ctrl+P)");
    EXPECT_EQ(w.custUnitAnt->toolTip(), "Sair (Esc)");
    EXPECT_EQ(w.imprimir->Hint(), "Imprimir") << "the hint itself is unchanged";
    w.window.show();
    QApplication::setActiveWindow(&w.window);
    editor->setFocus();

    struct Step { QKeyCombination key; bool enabled; bool visible; const char *button; int clicks; bool down; };
    const Step steps[] = {
        {Qt::CTRL | Qt::Key_P, true, true, "sbtCustZero", 1, false},
        {Qt::CTRL | Qt::Key_R, true, true, "sbtCustos", 1, true}, // the group rule, as a click
        {Qt::CTRL | Qt::Key_R, true, true, "sbtCustos", 2, false},
        {Qt::CTRL | Qt::Key_P, false, true, "sbtCustZero", 1, false},
        {Qt::CTRL | Qt::Key_P, true, false, "sbtCustZero", 1, false},
        {Qt::Key_Escape, true, true, "sbtCustUnitAnt", 0, false}, // shown, not taken
    };
    int typed = 0;
    for (const Step &s : steps) {
        TButtonFlat *button = w.window.findChild<TButtonFlat *>(s.button);
        button->setEnabled(s.enabled);
        button->setVisible(s.visible);
        const QString before = editor->text();
        QTest::keyClick(editor, s.key.key(), s.key.keyboardModifiers());
        EXPECT_EQ(w.clicks[s.button], s.clicks) << s.button;
        EXPECT_EQ(button->Down(), s.down) << s.button;
        button->setEnabled(true);
        button->setVisible(true);
        typed += editor->text() != before;
    }
    EXPECT_EQ(typed, 0);
    EXPECT_EQ(w.custos->focusPolicy(), Qt::TabFocus) << "reached with Tab, not taken by a click";
}

// Without a desktop theme every action icon is the toolkit's own drawing; with a theme, the theme's.
TEST(ButtonFlat, ActionIconsFromTheThemeOrTheBundledDrawings)
{
    const QString theme = QIcon::themeName();
    QIcon::setThemeName(QString());
    for (const char *name : {"application-exit", "help-contents", "document-print", "office-chart-bar",
                             "office-chart-line", "office-chart-area", "view-list-details", "view-history"}) {
        const QIcon icon = ThemeIcon(name);
        const QImage drawn = icon.pixmap(16, 16).toImage();
        ASSERT_FALSE(drawn.isNull()) << name;
        const QImage bundled = QIcon(QStringLiteral(":/icons/%1.svg").arg(name)).pixmap(16, 16).toImage();
        EXPECT_EQ(drawn, bundled) << name;
        int painted = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                painted += qAlpha(drawn.pixel(x, y)) > 0;
        EXPECT_GT(painted, 40) << name << ": an empty picture";
    }
    EXPECT_TRUE(ThemeIcon("no-such-icon-anywhere").isNull());
    QIcon::setThemeName(theme);
}

TEST(PageControl, OnChangeRunsForUserSelectionOnly)
{
    Pages p;
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado);
    EXPECT_EQ(p.pgc.PageCount(), 5);
    EXPECT_EQ(p.pgc.FindPage("tshPlanReal"), p.planReal);
    EXPECT_EQ(p.planReal->PageIndex(), 2);
    EXPECT_EQ(p.cotDesatu->Caption(), "Cotação Desatualizada");

    p.pgc.SetActivePage(p.realizado);
    EXPECT_EQ(p.pgc.ActivePage(), p.realizado);
    EXPECT_TRUE(p.changes.empty());

    EXPECT_TRUE(p.pgc.SelectPageByUser(p.planReal));
    EXPECT_TRUE(p.pgc.SelectPageByUser(p.planReal)); // same page: no change, no event
    EXPECT_TRUE(p.pgc.SelectPageByUser(p.planejado));
    EXPECT_EQ(p.changes, (std::vector<std::string>{"tshPlanReal", "tshPlanejado"}));
}

TEST(PageControl, DisabledPageRefusesTheUser)
{
    Pages p;
    p.pgc.resize(700, 300);
    p.pgc.show();
    EXPECT_FALSE(p.cotDesatu->Enabled());
    EXPECT_FALSE(p.cotDesatu->isEnabled());
    EXPECT_FALSE(p.pgc.SelectPageByUser(p.cotDesatu));
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado);

    // A real click on the disabled tab does nothing; on an enabled one it selects and notifies.
    QTabBar *bar = p.pgc.tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(p.cotDesatu->PageIndex()).center());
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado);
    EXPECT_TRUE(p.changes.empty());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(p.custZero->PageIndex()).center());
    EXPECT_EQ(p.pgc.ActivePage(), p.custZero);
    EXPECT_EQ(p.changes, std::vector<std::string>{"tshProdCustZero"});

    // The program may still show a disabled page; enabling lets the user in again.
    p.pgc.SetActivePage(p.cotDesatu);
    EXPECT_EQ(p.pgc.ActivePage(), p.cotDesatu);
    p.pgc.SetActivePage(p.planejado);
    p.cotDesatu->SetEnabled(true);
    EXPECT_TRUE(p.pgc.SelectPageByUser(p.cotDesatu));
    EXPECT_EQ(p.changes.back(), "tshCotDesatu");
}

TEST(PageControl, HiddenPagesAndHandlerErrors)
{
    ExceptionRecorder recorder;
    Pages p;
    p.realizado->SetTabVisible(false);
    EXPECT_FALSE(p.pgc.SelectPageByUser(p.realizado));
    p.pgc.SetActivePage(p.realizado);
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado);

    p.pgc.OnChange = [](TPageControl &) { throw std::runtime_error("erro na troca"); };
    EXPECT_TRUE(p.pgc.SelectPageByUser(p.planReal));
    EXPECT_EQ(p.pgc.ActivePage(), p.planReal);
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"erro na troca"});

    // Hiding the active page moves to another one without running OnChange.
    recorder.Clear();
    p.planReal->SetTabVisible(false);
    EXPECT_NE(p.pgc.ActivePage(), p.planReal);
    EXPECT_TRUE(recorder.Messages().empty());
}

// Takes every key, as a grid does with Ctrl+PgDown: the page keys must not depend on the focused
// widget passing them on.
class KeyEater : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() != Qt::Key_Control && event->key() != Qt::Key_Shift)
            ++keys;
        event->accept();
    }
};

TEST(PageControl, CtrlTabAndCtrlPageKeysSwitchTheInnermostFocusedPageControl)
{
    Pages p;
    // A sub-page control on the first page, with an editor in its first page.
    TPageControl *sub = new TPageControl(p.planejado, "pgcPlanejado");
    TTabSheet *cardapio = new TTabSheet(sub, "tshCardapio", "Cardápio");
    new TTabSheet(sub, "tshInsumos", "Insumos");
    TTabSheet *hidden = new TTabSheet(sub, "tshOculta", "Oculta");
    new TTabSheet(sub, "tshGraficos", "Gráficos");
    hidden->SetTabVisible(false);
    KeyEater *editor = new KeyEater(cardapio);
    std::vector<std::string> subChanges;
    sub->OnChange = [&subChanges](TPageControl &sender) { subChanges.push_back(sender.ActivePage()->Name()); };
    p.pgc.resize(700, 400);
    p.pgc.show();
    QApplication::setActiveWindow(&p.pgc);
    editor->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), editor);

    struct Step { Qt::Key key; Qt::KeyboardModifiers mods; const char *subPage; };
    const Step steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, "tshInsumos"},
        {Qt::Key_PageDown, Qt::ControlModifier, "tshGraficos"}, // the hidden page is skipped
        {Qt::Key_Tab, Qt::ControlModifier, "tshCardapio"},      // wraps round
        {Qt::Key_PageUp, Qt::ControlModifier, "tshGraficos"},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, "tshInsumos"},
    };
    for (const Step &s : steps) {
        QTest::keyClick(QApplication::focusWidget(), s.key, s.mods);
        EXPECT_EQ(sub->ActivePage()->Name(), s.subPage) << s.key;
    }
    EXPECT_EQ(subChanges, (std::vector<std::string>{"tshInsumos", "tshGraficos", "tshCardapio", "tshGraficos",
                                                    "tshInsumos"}));
    EXPECT_EQ(editor->keys, 0) << "the page keys never reach the focused widget";
    sub->SetActivePage(cardapio);
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_PageDown);
    EXPECT_EQ(editor->keys, 1) << "a plain PgDown is the widget's own";
    EXPECT_EQ(sub->ActivePage(), cardapio);
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado) << "the outer control keeps its page";
    EXPECT_TRUE(p.changes.empty());

    // Focus on the outer tab bar: the outer control switches, past its disabled last page.
    p.pgc.tabBar()->setFocus();
    QTest::keyClick(p.pgc.tabBar(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(p.pgc.ActivePage(), p.custZero);
    QTest::keyClick(p.pgc.tabBar(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(p.pgc.ActivePage(), p.planejado);
    EXPECT_EQ(p.changes, (std::vector<std::string>{"tshProdCustZero", "tshPlanejado"}));
}

} // namespace
} // namespace tk
