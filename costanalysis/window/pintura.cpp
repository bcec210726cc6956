// The cell painting shared by every owner-drawn grid of the window.

#include "costanalysis/window/frmcustoserv.h"

namespace kpv40206 {

void PintaCelula(tk::TDBGrid &grid, tk::TClientDataSet &ds, const QRect &rect, const tk::TColumn &column,
                 tk::TGridDrawState state, tk::TColor fontColor, std::initializer_list<const char *> leftColumns)
{
    tk::TCanvas &canvas = grid.Canvas();
    canvas.FillRect(rect);
    if (state & tk::gdSelected) {
        canvas.BrushColor = tk::clHighlight;
        canvas.FontColor = tk::clHighlightText;
    } else {
        canvas.BrushColor = tk::clInfoBk;
        canvas.FontColor = fontColor;
    }
    const tk::TField *field = ds.FindField(column.FieldName);
    const std::string text = field ? field->DisplayText() : std::string();
    bool left = false;
    for (const char *name : leftColumns)
        left = left || column.FieldName == name;
    if (left)
        canvas.TextRect(rect, rect.left() + 3, rect.top() + 3, text);
    else
        canvas.TextRect(rect, rect.right() - (canvas.TextWidth(text) + 2), rect.top() + 3, text);
}

} // namespace kpv40206
