#pragma once

// The `dump` shapes: the state of one component of the window as a JSON object.
//
//   grid          {"name", "visible", "enabled", "columns": [{"field", "title", "width", "visible",
//                  "titleAlign"}], "row", "col", "rows": [[{"text", "font", "brush", "align",
//                  "selected", "fill", "bold"}]]}
//   dataset       {"name", "active", "filter", "filtered", "recno", "recordCount", "fields", "rows"}
//   numeric edit  {"name", "value", "text", "color", "fontColor", "enabled", "visible"}
//   label, panel, group box, tab sheet, data text
//                 {"name", "caption", "visible", "enabled", "left", "width", "height"}
//   button        {"name", "down", "enabled", "visible", "hint"}
//   page control  {"name", "active", "pages": [{"name", "caption", "enabled", "visible"}]}
//   shape         {"name", "color", "visible"}
//   the window    {"name", "caption", "width", "height", "maximized"}
//
// "visible" and "enabled" are the component's own settings (what its Visible and Enabled
// properties hold), not whether its parents let it show: a grid on a page in the back is still
// visible, and a box inside a disabled group box keeps its own enabled state.

#include <QJsonObject>

#include <string>
#include <vector>

class QWidget;

namespace tk {
class TClientDataSet;
class TDBGrid;
} // namespace tk

namespace kpv40206 {
class TfrmCustoServ;
}

namespace driver {

// The component named `name`: a control of the window, the window itself, or one of its datasets.
// CommandError for an unknown name.
QJsonObject dumpComponent(kpv40206::TfrmCustoServ &window, const std::string &name);

QJsonObject dumpGrid(tk::TDBGrid &grid);
QJsonObject dumpDataSet(tk::TClientDataSet &dataSet);
QJsonObject dumpWidget(QWidget &widget);

// A widget of the window by its name (the window itself excluded), nullptr when none.
QWidget *findControl(kpv40206::TfrmCustoServ &window, const std::string &name);

} // namespace driver
