// The number edit (value, text, colour, state) and the plain controls.

#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/numberedit.h"

#include "platform/toolkit/data/formats.h"

#include <QApplication>
#include <QImage>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tk {
namespace {

class LocaleGuard
{
public:
    explicit LocaleGuard(const std::string &name) : m_saved(FormatSettings()) { SetLocale(name); }
    ~LocaleGuard() { FormatSettings() = m_saved; }

private:
    TFormatSettings m_saved;
};

TEST(NumberEdit, ValueAndText)
{
    LocaleGuard locale("pt_BR");
    struct Case
    {
        double value;
        int decimals;
        bool thousands;
        const char *text;
        double number;
    };
    const Case cases[] = {
        {1234.5678, 2, true, "1.234,57", 1234.57},
        {1234567.123456, 5, true, "1.234.567,12346", 1234567.12346},
        {1234.5678, 2, false, "1234,57", 1234.57},
        {0.370368, 5, true, "0,37037", 0.37037},
        {2.675, 2, true, "2,68", 2.68},       // half away from zero on the decimal value
        {0.125, 2, true, "0,13", 0.13},
        {-0.125, 2, true, "-0,13", -0.13},
        {-1234.5, 0, true, "-1.235", -1235.0},
        {0.0, 5, true, "0,00000", 0.0},
        {12.5, 2, true, "12,50", 12.5},
    };
    TNumberEdit edit(nullptr, "nedCustoPadrao");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        edit.SetDecimals(c.decimals);
        edit.SetThousandSeparator(c.thousands);
        edit.SetNumber(c.value);
        EXPECT_EQ(edit.Text(), c.text);
        EXPECT_DOUBLE_EQ(edit.GetNumber(), c.number);
        EXPECT_DOUBLE_EQ(edit.RawNumber(), c.value);
    }
    edit.SetDecimals(5);
    EXPECT_EQ(edit.DisplayFormat(), "#,##0.00000");
    edit.SetThousandSeparator(false);
    edit.SetDecimals(2);
    EXPECT_EQ(edit.DisplayFormat(), "0.00");
}

TEST(NumberEdit, FollowsTheLocale)
{
    LocaleGuard locale("en_US");
    TNumberEdit edit;
    edit.SetDecimals(5);
    edit.SetNumber(1234.5);
    EXPECT_EQ(edit.Text(), "1,234.50000");
}

TEST(NumberEdit, ColourStateAndTyping)
{
    LocaleGuard locale("pt_BR");
    QWidget group;
    auto *edit = new TNumberEdit(&group, "nedCustoCardReal");
    edit->SetDecimals(5);
    EXPECT_EQ(edit->objectName(), "nedCustoCardReal");
    edit->SetColor(clBtnFace);
    EXPECT_EQ(edit->Color(), clBtnFace);
    EXPECT_EQ(edit->palette().color(QPalette::Active, QPalette::Base), toQColor(clBtnFace));

    edit->SetReadOnly(true);
    EXPECT_TRUE(edit->ReadOnly());
    edit->setEnabled(false);
    EXPECT_FALSE(edit->Enabled());
    edit->setEnabled(true);
    group.setEnabled(false); // a disabled container disables its boxes
    EXPECT_FALSE(edit->Enabled());
    group.setEnabled(true);

    // A user may type into a box that is not read-only; thousands separators are accepted,
    // unreadable text falls back to the number held.
    edit->SetReadOnly(false);
    edit->setText("1.234,567891");
    emit edit->editingFinished();
    EXPECT_DOUBLE_EQ(edit->GetNumber(), 1234.56789);
    EXPECT_EQ(edit->Text(), "1.234,56789");
    edit->setText("abc");
    emit edit->editingFinished();
    EXPECT_DOUBLE_EQ(edit->GetNumber(), 1234.56789);
    EXPECT_EQ(edit->Text(), "1.234,56789");
    // Read-only boxes ignore edits.
    edit->SetReadOnly(true);
    edit->setText("5");
    emit edit->editingFinished();
    EXPECT_DOUBLE_EQ(edit->GetNumber(), 1234.56789);
}

QImage grab(QWidget &widget)
{
    return widget.grab().toImage();
}

TEST(Controls, ShapeIsASwatchWithoutOutline)
{
    TShape shape(nullptr, "shpSafraCard");
    shape.resize(44, 20);
    shape.SetPenStyle(TPenStyle::psClear);
    shape.SetBrushColor(0x0000FF00u);
    EXPECT_EQ(shape.BrushColor(), 0x0000FF00u);
    const QImage image = grab(shape);
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(image.pixel(43, 19)), QColor(0, 255, 0));
    EXPECT_EQ(QColor(image.pixel(22, 10)), QColor(0, 255, 0));

    shape.SetPenStyle(TPenStyle::psSolid);
    shape.SetPenColor(clBlack);
    const QImage outlined = grab(shape);
    EXPECT_EQ(QColor(outlined.pixel(0, 0)), QColor(0, 0, 0));
    EXPECT_EQ(QColor(outlined.pixel(22, 10)), QColor(0, 255, 0));
}

TEST(Controls, PanelPaintsItsColourAndBevels)
{
    TPanel panel(nullptr, "panSafra");
    panel.resize(60, 30);
    panel.SetColor(clRed);
    panel.SetBevelOuter(TBevelCut::bvNone);
    EXPECT_EQ(QColor(grab(panel).pixel(0, 0)), QColor(255, 0, 0));
    EXPECT_EQ(panel.ClientRect(), QRect(0, 0, 60, 30));

    panel.SetBevelOuter(TBevelCut::bvLowered);
    panel.SetBevelInner(TBevelCut::bvRaised);
    panel.SetBorderWidth(2);
    EXPECT_EQ(panel.ClientRect(), QRect(4, 4, 52, 22));
    const QImage image = grab(panel);
    EXPECT_EQ(QColor(image.pixel(0, 0)).rgb(), toQColor(clBtnShadow, panel.palette()).rgb());
    EXPECT_EQ(QColor(image.pixel(59, 29)).rgb(), toQColor(clBtnHighlight, panel.palette()).rgb());
    EXPECT_EQ(QColor(image.pixel(30, 15)), QColor(255, 0, 0));

    panel.SetCaption("Filial: 01");
    panel.SetBold(true);
    EXPECT_EQ(panel.Caption(), "Filial: 01");
    EXPECT_TRUE(panel.Bold());
}

TEST(Controls, SplitterReportsUserMoves)
{
    ExceptionRecorder recorder;
    TSplitter splitter(Qt::Vertical, nullptr, "Splitter2");
    auto *top = new TPanel(&splitter, "Panel5");
    auto *bottom = new TPanel(&splitter, "Panel7");
    splitter.addWidget(top);
    splitter.addWidget(bottom);
    splitter.SetAutoSnap(false);
    splitter.SetHandleSize(6);
    splitter.resize(200, 300);
    splitter.show();
    int moves = 0;
    splitter.OnMoved = [&](TSplitter &) { ++moves; };
    splitter.MoveHandle(0, 120);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(top->height(), 120);
    EXPECT_FALSE(splitter.AutoSnap());
    EXPECT_EQ(splitter.HandleSize(), 6);

    splitter.OnMoved = [](TSplitter &) { throw std::runtime_error("Splitter2Moved"); };
    splitter.MoveHandle(0, 100);
    EXPECT_EQ(recorder.Messages(), std::vector<std::string>{"Splitter2Moved"});
}

TEST(Controls, LabelsAndGroupBoxes)
{
    TLabel label(nullptr, "lblSafra", "Safra (%)");
    label.SetBold(true);
    label.SetFontColor(clRed);
    EXPECT_EQ(label.Caption(), "Safra (%)");
    EXPECT_TRUE(label.Bold());
    EXPECT_EQ(label.palette().color(QPalette::Active, QPalette::WindowText), QColor(255, 0, 0));
    TGroupBox box(nullptr, "grbCustoAcum", "Acumulado até");
    box.SetCaption("Acumulado até 05/03/2024");
    EXPECT_EQ(box.Caption(), "Acumulado até 05/03/2024");
}

} // namespace
} // namespace tk
