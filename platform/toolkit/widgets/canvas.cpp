#include "platform/toolkit/widgets/canvas.h"

#include <QFontMetrics>
#include <QHash>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <cstdlib>

namespace tk {

TCanvas::~TCanvas() = default;

// --- QPainterCanvas ------------------------------------------------------------------------

QPainterCanvas::QPainterCanvas(QPainter &painter, const QFont &font, const QPalette &palette)
    : m_painter(painter), m_font(font), m_palette(palette)
{
}

QFont QPainterCanvas::currentFont() const
{
    QFont font = m_font;
    font.setBold(FontBold);
    return font;
}

void QPainterCanvas::FillRect(const QRect &rect)
{
    m_painter.fillRect(rect, toQColor(BrushColor, m_palette));
}

namespace {

// Laid-out texts by font and text. Grids draw the same cell texts at every repaint; shaping a text
// costs far more than drawing it, so each is laid out once (user-interface thread only).
class TextCache
{
public:
    struct Entry
    {
        QStaticText layout;
        int advance = 0;
    };

    const Entry &get(const QFont &font, const QString &text)
    {
        QString key = font.key();
        key += QChar(0x1f);
        key += text;
        auto found = m_entries.constFind(key);
        if (found != m_entries.constEnd())
            return found.value();
        if (m_entries.size() >= kMaxEntries)
            m_entries.clear();
        Entry entry;
        entry.layout.setText(text);
        entry.layout.setTextFormat(Qt::PlainText);
        entry.layout.setPerformanceHint(QStaticText::AggressiveCaching);
        entry.layout.prepare(QTransform(), font);
        entry.advance = QFontMetrics(font).horizontalAdvance(text);
        return m_entries.insert(key, std::move(entry)).value();
    }

private:
    static constexpr qsizetype kMaxEntries = 8192;
    QHash<QString, Entry> m_entries;
};

TextCache &Texts()
{
    static TextCache cache;
    return cache;
}

} // namespace

void QPainterCanvas::drawText(int x, int y, const QString &text)
{
    const QFont font = currentFont();
    m_painter.setFont(font);
    m_painter.setPen(toQColor(FontColor, m_palette));
    // (x, y) is the top of the text box, where a laid-out text is placed.
    m_painter.drawStaticText(QPoint(x, y), Texts().get(font, text).layout);
}

void QPainterCanvas::TextOut(int x, int y, const std::string &text)
{
    const QString qtext = QString::fromStdString(text);
    const QFont font = currentFont();
    m_painter.fillRect(QRect(x, y, Texts().get(font, qtext).advance, QFontMetrics(font).height()),
                       toQColor(BrushColor, m_palette));
    drawText(x, y, qtext);
}

FittedText FitText(const QRect &clip, int x, const std::string &text, int width, const QFont &font)
{
    FittedText fitted{x, text, false};
    const int left = clip.left();
    const int right = clip.left() + clip.width(); // one past the clip
    const bool overLeft = x < left;
    const bool overRight = x + width > right;
    if (!overLeft && !overRight)
        return fitted;
    // The side the text was placed against stays where it was; the other end gives way.
    int room = 0;
    if (overLeft && !overRight)
        room = x + width - (left + 1);
    else if (overRight && !overLeft)
        room = right - 1 - x;
    else
        room = clip.width() - 4;
    const QFontMetrics metrics(font);
    const QString elided = metrics.elidedText(QString::fromStdString(text), Qt::ElideRight, std::max(0, room));
    fitted.text = elided.toStdString();
    fitted.elided = true;
    const int elidedWidth = metrics.horizontalAdvance(elided);
    if (overLeft && !overRight)
        fitted.x = x + width - elidedWidth;
    else if (overLeft)
        fitted.x = left + 2;
    return fitted;
}

void QPainterCanvas::TextRect(const QRect &clip, int x, int y, const std::string &text)
{
    m_painter.fillRect(clip, toQColor(BrushColor, m_palette));
    const FittedText fitted = FitText(clip, x, text, TextWidth(text), currentFont());
    m_painter.save();
    m_painter.setClipRect(clip, Qt::IntersectClip);
    drawText(fitted.x, y, QString::fromStdString(fitted.text));
    m_painter.restore();
}

int QPainterCanvas::TextWidth(const std::string &text)
{
    return Texts().get(currentFont(), QString::fromStdString(text)).advance;
}

int QPainterCanvas::TextHeight(const std::string &text)
{
    return QFontMetrics(currentFont()).height();
}

// --- RecordingCanvas -----------------------------------------------------------------------

const char *cellAlignmentName(CellAlignment alignment)
{
    switch (alignment) {
    case CellAlignment::Left: return "left";
    case CellAlignment::Right: return "right";
    case CellAlignment::Center: return "center";
    case CellAlignment::None: break;
    }
    return "none";
}

CellAlignment inferAlignment(const QRect &cell, int x, int width)
{
    const int leftGap = x - cell.left();
    const int rightGap = (cell.left() + cell.width()) - (x + width);
    if (leftGap < 0 && rightGap >= 0)
        return CellAlignment::Right;
    if (rightGap < 0 && leftGap >= 0)
        return CellAlignment::Left;
    if (std::abs(leftGap - rightGap) <= 1 && leftGap > 3)
        return CellAlignment::Center;
    return leftGap <= rightGap ? CellAlignment::Left : CellAlignment::Right;
}

RecordingCanvas::RecordingCanvas(const QFont &font) : m_font(font) {}

QFont RecordingCanvas::currentFont() const
{
    QFont font = m_font;
    font.setBold(FontBold);
    return font;
}

void RecordingCanvas::BeginCell(const QRect &cell)
{
    m_cell = cell;
    m_ops.clear();
}

void RecordingCanvas::Clear()
{
    m_ops.clear();
}

void RecordingCanvas::FillRect(const QRect &rect)
{
    CanvasOp op;
    op.kind = CanvasOp::Kind::Fill;
    op.rect = rect;
    op.brushColor = BrushColor;
    op.fontColor = FontColor;
    op.fontBold = FontBold;
    m_ops.push_back(std::move(op));
}

void RecordingCanvas::TextOut(int x, int y, const std::string &text)
{
    CanvasOp op;
    op.kind = CanvasOp::Kind::Text;
    op.x = x;
    op.y = y;
    op.width = TextWidth(text);
    op.rect = QRect(x, y, op.width, TextHeight(text));
    op.text = text;
    op.brushColor = BrushColor;
    op.fontColor = FontColor;
    op.fontBold = FontBold;
    m_ops.push_back(std::move(op));
}

void RecordingCanvas::TextRect(const QRect &clip, int x, int y, const std::string &text)
{
    const FittedText fitted = FitText(clip, x, text, TextWidth(text), currentFont());
    CanvasOp op;
    op.kind = CanvasOp::Kind::Text;
    op.rect = clip;
    op.x = fitted.x;
    op.y = y;
    op.width = TextWidth(fitted.text);
    op.text = fitted.text;
    op.elided = fitted.elided;
    if (fitted.elided)
        op.fullText = text;
    op.brushColor = BrushColor;
    op.fontColor = FontColor;
    op.fontBold = FontBold;
    m_ops.push_back(std::move(op));
}

int RecordingCanvas::TextWidth(const std::string &text)
{
    return Texts().get(currentFont(), QString::fromStdString(text)).advance;
}

int RecordingCanvas::TextHeight(const std::string &text)
{
    return QFontMetrics(currentFont()).height();
}

PaintedCell RecordingCanvas::Result() const
{
    PaintedCell result;
    result.cell = m_cell;
    int lastText = -1;
    for (int i = int(m_ops.size()) - 1; i >= 0; --i) {
        if (m_ops[size_t(i)].kind == CanvasOp::Kind::Text) {
            lastText = i;
            break;
        }
    }
    if (lastText >= 0) {
        const CanvasOp &op = m_ops[size_t(lastText)];
        result.hasText = true;
        result.text = op.text;
        result.fontColor = op.fontColor;
        result.brushColor = op.brushColor;
        result.fontBold = op.fontBold;
        result.alignment = inferAlignment(m_cell, op.x, op.width);
        result.textLeft = op.x - m_cell.left();
        result.textTop = op.y - m_cell.top();
        result.elided = op.elided;
        result.fullText = op.elided ? op.fullText : op.text;
    }
    // Without text, the cell shows the last fill's colour; after the text, a fill is a swatch.
    for (size_t i = 0; i < m_ops.size(); ++i) {
        const CanvasOp &op = m_ops[i];
        if (op.kind != CanvasOp::Kind::Fill)
            continue;
        if (int(i) > lastText && lastText >= 0) {
            result.hasFill = true;
            result.fill = op.brushColor;
            result.fillCoversCell = op.rect.contains(m_cell);
        } else if (lastText < 0) {
            result.brushColor = op.brushColor;
            result.fontColor = op.fontColor;
        }
    }
    return result;
}

} // namespace tk
