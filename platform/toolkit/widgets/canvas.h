#pragma once

// The small drawing surface that owner-draw handlers paint on.
//
// Handlers set BrushColor / FontColor / FontBold and issue FillRect and TextOut / TextRect, as
// they would on a grid's canvas. QPainterCanvas paints for real; RecordingCanvas keeps every
// operation so that tests and the driver can read back exactly what a user would see in a cell.

#include "platform/toolkit/widgets/colors.h"

#include <QFont>
#include <QPalette>
#include <QRect>

#include <string>
#include <vector>

class QPainter;

namespace tk {

class TCanvas
{
public:
    virtual ~TCanvas();

    TColor BrushColor = clWindow;
    TColor FontColor = clWindowText;
    bool FontBold = false;

    // Called by a grid before it paints a cell, with the cell's rectangle.
    virtual void BeginCell(const QRect &cell) {}
    // Fills the rectangle with BrushColor.
    virtual void FillRect(const QRect &rect) = 0;
    // Text with its top-left corner at (x, y), opaque: the text's own box is filled with the
    // brush first.
    virtual void TextOut(int x, int y, const std::string &text) = 0;
    // Fills clip with the brush, then draws the text at (x, y) clipped to clip. A text that would
    // run out of the clip is elided visibly ("…", see FitText) instead of being cut by it: a
    // number cut on its left would read as another number.
    virtual void TextRect(const QRect &clip, int x, int y, const std::string &text) = 0;
    virtual int TextWidth(const std::string &text) = 0;
    virtual int TextHeight(const std::string &text) = 0;
};

// Paints on a QPainter. System colours resolve against the given palette (normally the
// widget's). The painter is not owned and must outlive the canvas.
class QPainterCanvas : public TCanvas
{
public:
    QPainterCanvas(QPainter &painter, const QFont &font, const QPalette &palette);

    void FillRect(const QRect &rect) override;
    void TextOut(int x, int y, const std::string &text) override;
    void TextRect(const QRect &clip, int x, int y, const std::string &text) override;
    int TextWidth(const std::string &text) override;
    int TextHeight(const std::string &text) override;

private:
    QFont currentFont() const;
    void drawText(int x, int y, const QString &text);

    QPainter &m_painter; // Not owned.
    QFont m_font;
    QPalette m_palette;
};

// Where and what TextRect draws for a text of `width` pixels placed at x in clip: unchanged when it
// fits; otherwise elided at its end to the room left, keeping the side it was placed against (a
// right-aligned number keeps its right edge, a left-aligned text its left one).
struct FittedText
{
    int x = 0;
    std::string text;
    bool elided = false;
};
FittedText FitText(const QRect &clip, int x, const std::string &text, int width, const QFont &font);

// One drawing operation as a RecordingCanvas keeps it.
struct CanvasOp
{
    enum class Kind { Fill, Text };
    Kind kind = Kind::Fill;
    QRect rect;         // Fill: the rectangle; Text: the clip (TextRect) or the text's box (TextOut)
    int x = 0;          // Text: position as given
    int y = 0;
    int width = 0;      // Text: measured width (of the text drawn)
    std::string text;   // Text: as drawn (elided when it did not fit)
    bool elided = false;
    std::string fullText; // Text: the text asked for, when it was elided
    TColor brushColor = 0;
    TColor fontColor = 0;
    bool fontBold = false;
};

enum class CellAlignment { None, Left, Right, Center };
const char *cellAlignmentName(CellAlignment alignment); // "none", "left", "right", "center"

// What one cell ends up showing, read from the recorded operations.
struct PaintedCell
{
    QRect cell;
    bool hasText = false;
    std::string text;             // the last text drawn, as drawn
    bool elided = false;          // that text did not fit and was elided
    std::string fullText;         // the whole text asked for (text itself when it fit)
    TColor fontColor = 0;         // font colour of that text
    TColor brushColor = 0;        // brush behind that text; without text, the last fill
    bool fontBold = false;
    CellAlignment alignment = CellAlignment::None;
    int textLeft = 0;             // text position relative to the cell's top-left corner
    int textTop = 0;
    bool hasFill = false;         // a fill issued after the text (a swatch covering the cell)
    TColor fill = 0;
    bool fillCoversCell = false;  // that fill covers the whole cell
};

// Records every operation. TextWidth measures with the font it was given (normally the grid's),
// so recorded positions match a real paint.
class RecordingCanvas : public TCanvas
{
public:
    explicit RecordingCanvas(const QFont &font = QFont());

    void BeginCell(const QRect &cell) override;
    void FillRect(const QRect &rect) override;
    void TextOut(int x, int y, const std::string &text) override;
    void TextRect(const QRect &clip, int x, int y, const std::string &text) override;
    int TextWidth(const std::string &text) override;
    int TextHeight(const std::string &text) override;

    const std::vector<CanvasOp> &Ops() const { return m_ops; }
    const QRect &Cell() const { return m_cell; }
    void Clear();
    // The cell's final state (relative to the rectangle of the last BeginCell).
    PaintedCell Result() const;

private:
    QFont currentFont() const;

    QFont m_font;
    QRect m_cell;
    std::vector<CanvasOp> m_ops;
};

// Alignment of a text of the given width drawn at x inside cell: the side with the smaller gap
// is the one the text was placed against; a text overflowing one side is aligned to the other.
CellAlignment inferAlignment(const QRect &cell, int x, int width);

} // namespace tk
