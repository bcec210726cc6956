#include "platform/toolkit/widgets/controls.h"

#include "platform/toolkit/widgets/errors.h"

#include <QPainter>
#include <qdrawutil.h>

namespace tk {

namespace {

void setName(QWidget *widget, const std::string &name)
{
    if (!name.empty())
        widget->setObjectName(QString::fromStdString(name));
}

// Draws one bevel ring of the given width inside rect and returns the rectangle inside it.
QRect drawBevel(QPainter &painter, const QRect &rect, TBevelCut cut, int width, const QPalette &pal)
{
    if (cut == TBevelCut::bvNone || width <= 0)
        return rect;
    const QColor topLeft = toQColor(cut == TBevelCut::bvRaised ? clBtnHighlight : clBtnShadow, pal);
    const QColor bottomRight = toQColor(cut == TBevelCut::bvRaised ? clBtnShadow : clBtnHighlight, pal);
    QRect r = rect;
    for (int i = 0; i < width && r.width() > 1 && r.height() > 1; ++i) {
        painter.setPen(topLeft);
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        r.adjust(1, 1, -1, -1);
    }
    return r;
}

} // namespace

// --- TShape --------------------------------------------------------------------------------

TShape::TShape(QWidget *parent, const std::string &name) : QWidget(parent)
{
    setName(this, name);
}

void TShape::SetBrushColor(TColor color)
{
    m_brushColor = color;
    update();
}

void TShape::SetPenColor(TColor color)
{
    m_penColor = color;
    update();
}

void TShape::SetPenStyle(TPenStyle style)
{
    m_penStyle = style;
    update();
}

void TShape::SetShape(TShapeType shape)
{
    m_shape = shape;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setBrush(toQColor(m_brushColor, palette()));
    if (m_penStyle == TPenStyle::psClear)
        painter.setPen(Qt::NoPen);
    else
        painter.setPen(toQColor(m_penColor, palette()));
    const QRect r = m_penStyle == TPenStyle::psClear ? rect() : rect().adjusted(0, 0, -1, -1);
    if (m_shape == TShapeType::stEllipse)
        painter.drawEllipse(r);
    else
        painter.drawRect(r);
}

// --- TPanel --------------------------------------------------------------------------------

TPanel::TPanel(QWidget *parent, const std::string &name) : QFrame(parent)
{
    setName(this, name);
    setFrameShape(QFrame::NoFrame);
    updateMargins();
}

void TPanel::SetCaption(const std::string &caption)
{
    m_caption = caption;
    update();
}

void TPanel::SetAlignment(TAlignment alignment)
{
    m_alignment = alignment;
    update();
}

void TPanel::SetBevelOuter(TBevelCut cut)
{
    m_bevelOuter = cut;
    updateMargins();
}

void TPanel::SetBevelInner(TBevelCut cut)
{
    m_bevelInner = cut;
    updateMargins();
}

void TPanel::SetBevelWidth(int width)
{
    m_bevelWidth = std::max(0, width);
    updateMargins();
}

void TPanel::SetBorderWidth(int width)
{
    m_borderWidth = std::max(0, width);
    updateMargins();
}

void TPanel::SetColor(TColor color)
{
    m_color = color;
    update();
}

void TPanel::SetFontColor(TColor color)
{
    m_fontColor = color;
    update();
}

void TPanel::SetBold(bool value)
{
    QFont f = font();
    f.setBold(value);
    setFont(f);
}

void TPanel::updateMargins()
{
    const int m = (m_bevelOuter != TBevelCut::bvNone ? m_bevelWidth : 0) + m_borderWidth
                  + (m_bevelInner != TBevelCut::bvNone ? m_bevelWidth : 0);
    setContentsMargins(m, m, m, m);
    update();
}

QRect TPanel::ClientRect() const
{
    return contentsRect();
}

void TPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(m_color, palette()));
    QRect r = drawBevel(painter, rect(), m_bevelOuter, m_bevelWidth, palette());
    r.adjust(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth);
    r = drawBevel(painter, r, m_bevelInner, m_bevelWidth, palette());
    if (m_caption.empty())
        return;
    Qt::Alignment align = Qt::AlignVCenter;
    switch (m_alignment) {
    case TAlignment::taLeftJustify: align |= Qt::AlignLeft; break;
    case TAlignment::taRightJustify: align |= Qt::AlignRight; break;
    case TAlignment::taCenter: align |= Qt::AlignHCenter; break;
    }
    painter.setPen(toQColor(isEnabled() ? m_fontColor : clGrayText, palette()));
    painter.drawText(r, int(align), QString::fromStdString(m_caption));
}

// --- TBevel --------------------------------------------------------------------------------

TBevel::TBevel(QWidget *parent, const std::string &name) : QWidget(parent)
{
    setName(this, name);
}

void TBevel::SetShape(TBevelShape shape)
{
    m_shape = shape;
    update();
}

void TBevel::SetStyle(TBevelStyle style)
{
    m_style = style;
    update();
}

void TBevel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor dark = toQColor(clBtnShadow, palette());
    const QColor light = toQColor(clBtnHighlight, palette());
    const QColor first = m_style == TBevelStyle::bsLowered ? dark : light;
    const QColor second = m_style == TBevelStyle::bsLowered ? light : dark;
    const QRect r = rect();
    auto line = [&](QPoint a, QPoint b, QPoint offset) {
        painter.setPen(first);
        painter.drawLine(a, b);
        painter.setPen(second);
        painter.drawLine(a + offset, b + offset);
    };
    switch (m_shape) {
    case TBevelShape::bsBox:
    case TBevelShape::bsFrame:
        qDrawShadeRect(&painter, r, palette(), m_style == TBevelStyle::bsLowered, 1);
        break;
    case TBevelShape::bsTopLine: line(r.topLeft(), r.topRight(), QPoint(0, 1)); break;
    case TBevelShape::bsBottomLine:
        line(r.bottomLeft() - QPoint(0, 1), r.bottomRight() - QPoint(0, 1), QPoint(0, 1));
        break;
    case TBevelShape::bsLeftLine: line(r.topLeft(), r.bottomLeft(), QPoint(1, 0)); break;
    case TBevelShape::bsRightLine:
        line(r.topRight() - QPoint(1, 0), r.bottomRight() - QPoint(1, 0), QPoint(1, 0));
        break;
    case TBevelShape::bsSpacer: break;
    }
}

// --- TGroupBox, TLabel ---------------------------------------------------------------------

TGroupBox::TGroupBox(QWidget *parent, const std::string &name, const std::string &caption)
    : QGroupBox(QString::fromStdString(caption), parent)
{
    setName(this, name);
}

TLabel::TLabel(QWidget *parent, const std::string &name, const std::string &caption)
    : QLabel(QString::fromStdString(caption), parent)
{
    setName(this, name);
}

void TLabel::SetBold(bool value)
{
    QFont f = font();
    f.setBold(value);
    setFont(f);
}

void TLabel::SetFontColor(TColor color)
{
    m_fontColor = color;
    QPalette pal = palette();
    pal.setColor(QPalette::Active, QPalette::WindowText, toQColor(color));
    pal.setColor(QPalette::Inactive, QPalette::WindowText, toQColor(color));
    setPalette(pal);
}

// --- TSplitter -----------------------------------------------------------------------------

TSplitter::TSplitter(Qt::Orientation orientation, QWidget *parent, const std::string &name)
    : QSplitter(orientation, parent)
{
    setName(this, name);
    connect(this, &QSplitter::splitterMoved, this, [this](int, int) {
        if (OnMoved)
            CallSafely([this] { OnMoved(*this); });
    });
}

void TSplitter::MoveHandle(int index, int position)
{
    applyStartSize();
    m_started = true;
    moveSplitter(position, index + 1);
}

void TSplitter::SetStartSize(int pane, int pixels)
{
    m_startPane = pane;
    m_startSize = pixels;
    m_started = false;
    applyStartSize();
}

void TSplitter::resizeEvent(QResizeEvent *event)
{
    QSplitter::resizeEvent(event);
    applyStartSize();
}

// A splitter on a page that is not in front is laid out while hidden: the start size waits for
// the page to show.
void TSplitter::showEvent(QShowEvent *event)
{
    QSplitter::showEvent(event);
    applyStartSize();
}

void TSplitter::applyStartSize()
{
    if (m_started || m_startPane < 0 || m_startPane >= count() || !isVisible())
        return;
    QList<int> panes = sizes();
    int total = 0;
    int others = 0;
    for (int i = 0; i < panes.size(); ++i) {
        total += panes[i];
        if (i != m_startPane && panes[i] > 0)
            ++others;
    }
    // Not laid out yet: wait for the first real size.
    if (total <= m_startSize)
        return;
    m_started = true;
    const int rest = total - m_startSize;
    for (int i = 0; i < panes.size(); ++i) {
        if (i == m_startPane)
            panes[i] = m_startSize;
        else if (panes[i] > 0)
            panes[i] = others > 0 ? rest / others : 0;
    }
    setSizes(panes);
}

} // namespace tk
