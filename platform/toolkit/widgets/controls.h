#pragma once

// Plain controls of the toolkit: shape, panel, bevel, group box, label and splitter.

#include "platform/toolkit/widgets/colors.h"

#include "platform/toolkit/data/field.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QSplitter>
#include <QWidget>

#include <functional>
#include <string>

namespace tk {

enum class TPenStyle { psSolid, psClear };
enum class TShapeType { stRectangle, stEllipse };

// A filled shape; with psClear it has no outline (a colour swatch).
class TShape : public QWidget
{
    Q_OBJECT

public:
    explicit TShape(QWidget *parent = nullptr, const std::string &name = {});

    TColor BrushColor() const { return m_brushColor; }
    void SetBrushColor(TColor color);
    TColor PenColor() const { return m_penColor; }
    void SetPenColor(TColor color);
    TPenStyle PenStyle() const { return m_penStyle; }
    void SetPenStyle(TPenStyle style);
    TShapeType Shape() const { return m_shape; }
    void SetShape(TShapeType shape);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TColor m_brushColor = clWhite;
    TColor m_penColor = clBlack;
    TPenStyle m_penStyle = TPenStyle::psSolid;
    TShapeType m_shape = TShapeType::stRectangle;
};

enum class TBevelCut { bvNone, bvLowered, bvRaised };

// A panel: background colour, up to two bevels around a border, and a caption drawn in the
// middle (left or right with Alignment).
class TPanel : public QFrame
{
    Q_OBJECT

public:
    explicit TPanel(QWidget *parent = nullptr, const std::string &name = {});

    const std::string &Caption() const { return m_caption; }
    void SetCaption(const std::string &caption);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void SetBevelOuter(TBevelCut cut);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void SetBevelInner(TBevelCut cut);
    int BevelWidth() const { return m_bevelWidth; }
    void SetBevelWidth(int width);
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int width);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);
    bool Bold() const { return font().bold(); }
    void SetBold(bool value);
    // The area inside the bevels and the border, where children belong.
    QRect ClientRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void updateMargins();

    std::string m_caption;
    TAlignment m_alignment = TAlignment::taCenter;
    TBevelCut m_bevelOuter = TBevelCut::bvRaised;
    TBevelCut m_bevelInner = TBevelCut::bvNone;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    TColor m_color = clBtnFace;
    TColor m_fontColor = clWindowText;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

// A bevelled line or box.
class TBevel : public QWidget
{
    Q_OBJECT

public:
    explicit TBevel(QWidget *parent = nullptr, const std::string &name = {});

    TBevelShape Shape() const { return m_shape; }
    void SetShape(TBevelShape shape);
    TBevelStyle Style() const { return m_style; }
    void SetStyle(TBevelStyle style);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TBevelShape m_shape = TBevelShape::bsBox;
    TBevelStyle m_style = TBevelStyle::bsLowered;
};

class TGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit TGroupBox(QWidget *parent = nullptr, const std::string &name = {},
                       const std::string &caption = {});

    std::string Caption() const { return title().toStdString(); }
    void SetCaption(const std::string &caption) { setTitle(QString::fromStdString(caption)); }
};

class TLabel : public QLabel
{
    Q_OBJECT

public:
    explicit TLabel(QWidget *parent = nullptr, const std::string &name = {}, const std::string &caption = {});

    std::string Caption() const { return text().toStdString(); }
    void SetCaption(const std::string &caption) { setText(QString::fromStdString(caption)); }
    bool Bold() const { return font().bold(); }
    void SetBold(bool value);
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor color);

private:
    TColor m_fontColor = clWindowText;
};

// A splitter between stacked panels. OnMoved runs after the user moved the handle.
// AutoSnap false keeps a pane from being collapsed shut.
class TSplitter : public QSplitter
{
    Q_OBJECT

public:
    explicit TSplitter(Qt::Orientation orientation, QWidget *parent = nullptr, const std::string &name = {});

    std::function<void(TSplitter &sender)> OnMoved;

    bool AutoSnap() const { return childrenCollapsible(); }
    void SetAutoSnap(bool value) { setChildrenCollapsible(value); }
    int HandleSize() const { return handleWidth(); }
    void SetHandleSize(int pixels) { setHandleWidth(pixels); }
    // Moves the handle between pane index and index + 1 as a user drag would (OnMoved runs).
    void MoveHandle(int index, int position);
    // The pane's size (height for a vertical splitter) when the splitter is first laid out with
    // room for it; the other panes share the rest. Nothing pins it afterwards: the user drags the
    // handles from there, and a pane with stretch factor 0 keeps its size when the window grows.
    void SetStartSize(int pane, int pixels);
    bool Started() const { return m_started; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void applyStartSize();

    int m_startPane = -1;
    int m_startSize = 0;
    bool m_started = false;
};

} // namespace tk
