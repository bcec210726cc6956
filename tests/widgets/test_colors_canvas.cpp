// Colour numbers, their Qt mapping, and what the two canvases do with drawing operations.

#include "platform/toolkit/widgets/canvas.h"
#include "platform/toolkit/widgets/colors.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace tk {
namespace {

TEST(Colors, SystemColoursFollowThePalette)
{
    const QPalette pal = QApplication::palette();
    struct Case
    {
        TColor color;
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
    };
    const Case cases[] = {
        {clWindowText, QPalette::Active, QPalette::WindowText},
        {clHighlight, QPalette::Active, QPalette::Highlight},
        {clHighlightText, QPalette::Active, QPalette::HighlightedText},
        {clBtnFace, QPalette::Active, QPalette::Button},
        {clInfoBk, QPalette::Active, QPalette::ToolTipBase},
        {clWindow, QPalette::Active, QPalette::Base},
        {clGrayText, QPalette::Disabled, QPalette::Text},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ColorToString(c.color));
        EXPECT_EQ(toQColor(c.color), pal.color(c.group, c.role));
    }

    // A palette of its own changes what a system colour is.
    QPalette custom = pal;
    custom.setColor(QPalette::Active, QPalette::ToolTipBase, QColor(1, 2, 3));
    EXPECT_EQ(toQColor(clInfoBk, custom), QColor(1, 2, 3));
    EXPECT_EQ(ColorToRGB(clInfoBk), fromQColor(pal.color(QPalette::Active, QPalette::ToolTipBase)));
}

TEST(Colors, FixedColoursAreRedInTheLowByte)
{
    struct Case
    {
        TColor color;
        QColor expected;
    };
    const Case cases[] = {
        {clRed, QColor(255, 0, 0)},   {clBlack, QColor(0, 0, 0)},       {clWhite, QColor(255, 255, 255)},
        {clBlue, QColor(0, 0, 255)},  {clGreen, QColor(0, 128, 0)},
        {0x00336699u, QColor(0x99, 0x66, 0x33)},
        {clLime, QColor(0, 255, 0)},  {RGBColor(10, 20, 30), QColor(10, 20, 30)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(ColorToString(c.color));
        EXPECT_EQ(toQColor(c.color), c.expected);
        EXPECT_EQ(fromQColor(c.expected), c.color & 0xFFFFFFu);
        EXPECT_FALSE(IsSystemColor(c.color));
    }
    EXPECT_TRUE(IsSystemColor(clInfoBk));
    EXPECT_EQ(SystemColorIndex(clInfoBk), 24);
    EXPECT_EQ(SystemColorIndex(clHighlightText), 14);
}

TEST(Colors, NamesAndNumbers)
{
    struct Case
    {
        const char *text;
        bool ok;
        TColor color;
    };
    const Case cases[] = {
        {"clRed", true, clRed},
        {"clinfobk", true, clInfoBk},
        {"$000000FF", true, clRed},
        {"$80000018", true, clInfoBk},
        {"255", true, clRed},
        {"-2147483624", true, clInfoBk}, // a system colour stored as a signed integer
        {"", false, 0},
        {"$", false, 0},
        {"clNoSuchColour", false, 0},
        {"12abc", false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        TColor color = 0;
        EXPECT_EQ(IdentToColor(c.text, color), c.ok);
        if (c.ok) {
            EXPECT_EQ(color, c.color);
        }
    }
    EXPECT_EQ(ColorToString(clRed), "clRed");
    EXPECT_EQ(ColorToString(clHighlight), "clHighlight");
    EXPECT_EQ(ColorToString(0x00123456u), "$00123456");
}

TEST(Alignment, InferredFromWhereTheTextSits)
{
    const QRect cell(100, 20, 80, 17);
    struct Case
    {
        const char *name;
        int x;
        int width;
        CellAlignment expected;
    };
    const Case cases[] = {
        {"left, 3 px in", 103, 30, CellAlignment::Left},
        {"right, ending 2 px before the edge", 180 - 32, 30, CellAlignment::Right},
        {"left text wider than the cell", 103, 120, CellAlignment::Left},
        {"right text wider than the cell", 180 - 122, 120, CellAlignment::Right},
        {"centred", 125, 30, CellAlignment::Center},
        {"empty text drawn right", 178, 0, CellAlignment::Right},
        {"empty text drawn left", 103, 0, CellAlignment::Left},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(inferAlignment(cell, c.x, c.width), c.expected);
    }
}

TEST(RecordingCanvas, ReportsTheCellAsPainted)
{
    QFont font = QApplication::font();
    RecordingCanvas canvas(font);
    const QRect cell(10, 10, 100, 18);

    // Default-like drawing: fill, then opaque text right-aligned; the last state wins.
    canvas.BeginCell(cell);
    canvas.BrushColor = clInfoBk;
    canvas.FontColor = clWindowText;
    canvas.FillRect(cell);
    const std::string text = "1.234,50000";
    const int width = canvas.TextWidth(text);
    canvas.TextRect(cell, cell.left() + cell.width() - (width + 2), cell.top() + 3, text);
    canvas.FontColor = clRed; // changed after the text: not what the cell shows
    PaintedCell painted = canvas.Result();
    EXPECT_TRUE(painted.hasText);
    EXPECT_EQ(painted.text, text);
    EXPECT_EQ(painted.fontColor, clWindowText);
    EXPECT_EQ(painted.brushColor, clInfoBk);
    EXPECT_EQ(painted.alignment, CellAlignment::Right);
    EXPECT_EQ(painted.textTop, 3);
    EXPECT_EQ(painted.textLeft, 100 - (width + 2));
    EXPECT_FALSE(painted.hasFill);
    EXPECT_EQ(width, QFontMetrics(font).horizontalAdvance(QString::fromStdString(text)));

    // A swatch: the fill after the text covers it.
    canvas.BrushColor = 0x0000C000u;
    canvas.FillRect(cell);
    painted = canvas.Result();
    EXPECT_TRUE(painted.hasFill);
    EXPECT_EQ(painted.fill, 0x0000C000u);
    EXPECT_TRUE(painted.fillCoversCell);
    EXPECT_EQ(painted.brushColor, clInfoBk);

    // A new cell starts empty; a fill alone gives the cell's colour.
    canvas.BeginCell(QRect(0, 0, 30, 18));
    EXPECT_TRUE(canvas.Ops().empty());
    canvas.BrushColor = clHighlight;
    canvas.FillRect(QRect(0, 0, 30, 18));
    painted = canvas.Result();
    EXPECT_FALSE(painted.hasText);
    EXPECT_FALSE(painted.hasFill);
    EXPECT_EQ(painted.brushColor, clHighlight);

    // Bold text is measured bold.
    canvas.FontBold = true;
    QFont bold = font;
    bold.setBold(true);
    EXPECT_EQ(canvas.TextWidth("Comensais"), QFontMetrics(bold).horizontalAdvance("Comensais"));
}

TEST(QPainterCanvas, PaintsFillsAndClippedOpaqueText)
{
    QImage image(120, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        QPainterCanvas canvas(painter, QApplication::font(), QApplication::palette());
        canvas.BrushColor = clRed;
        canvas.FillRect(QRect(0, 0, 10, 10));

        // Text far wider than its clip: the clip is filled with the brush, nothing leaks out.
        canvas.BrushColor = clBlue;
        canvas.FontColor = clLime;
        canvas.TextRect(QRect(20, 0, 30, 30), 22, 3, "WWWWWWWWWWWWWWWWWWWWWWWW");
    }
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(21, 1)), QColor(0, 0, 255)); // brush behind the text
    EXPECT_EQ(QColor(image.pixel(60, 10)), QColor(255, 255, 255)); // right of the clip: untouched

    bool sawTextColour = false;
    for (int x = 20; x < 50 && !sawTextColour; ++x) {
        for (int y = 0; y < 30 && !sawTextColour; ++y)
            sawTextColour = QColor(image.pixel(x, y)).green() > 200 && QColor(image.pixel(x, y)).blue() < 100;
    }
    EXPECT_TRUE(sawTextColour);
}

} // namespace
} // namespace tk
