#include "tools/driver/dump.h"

#include "tools/driver/command.h"
#include "tools/driver/jsonvalue.h"

#include "costanalysis/window/frmcustoserv.h"
#include "platform/hostlib/helpbrowser.h"
#include "platform/toolkit/widgets/buttonflat.h"
#include "platform/toolkit/widgets/controls.h"
#include "platform/toolkit/widgets/datasettablemodel.h"
#include "platform/toolkit/widgets/dbgrid.h"
#include "platform/toolkit/widgets/dbtext.h"
#include "platform/toolkit/widgets/errors.h"
#include "platform/toolkit/widgets/numberedit.h"
#include "platform/toolkit/widgets/pagecontrol.h"

#include <QJsonArray>

namespace driver {

namespace {

QJsonValue color(tk::TColor value)
{
    return qint64(value);
}

const char *alignmentName(tk::TAlignment alignment)
{
    switch (alignment) {
    case tk::TAlignment::taLeftJustify: return "left";
    case tk::TAlignment::taRightJustify: return "right";
    case tk::TAlignment::taCenter: return "center";
    }
    return "left";
}

// The widget's own Visible and Enabled settings.
bool ownVisible(const QWidget &w)
{
    return !w.isHidden();
}

bool ownEnabled(const QWidget &w)
{
    return !w.testAttribute(Qt::WA_ForceDisabled);
}

QJsonObject named(const QWidget &w)
{
    QJsonObject o;
    o.insert("name", w.objectName());
    return o;
}

// Where a control is inside its parent, and whether it looks enabled (its own setting and its
// containers': Qt greys a control inside a disabled container).
void insertGeometry(QJsonObject &o, const QWidget &w)
{
    o.insert("left", w.x());
    o.insert("top", w.y());
    o.insert("width", w.width());
    o.insert("height", w.height());
    o.insert("looksEnabled", w.isEnabled());
}

QJsonObject captioned(const QWidget &w, const std::string &caption, bool visible, bool enabled)
{
    QJsonObject o = named(w);
    o.insert("caption", toQString(caption));
    o.insert("visible", visible);
    o.insert("enabled", enabled);
    insertGeometry(o, w);
    return o;
}

} // namespace

QJsonObject dumpGrid(tk::TDBGrid &grid)
{
    QJsonObject o = named(grid);
    o.insert("visible", ownVisible(grid));
    o.insert("enabled", ownEnabled(grid));
    QJsonArray columns;
    for (int c = 0; c < grid.ColumnCount(); ++c) {
        QJsonObject col;
        col.insert("field", toQString(grid.Columns()[size_t(c)].FieldName));
        col.insert("title", toQString(grid.ColumnTitle(c)));
        col.insert("width", grid.ColumnWidth(c));
        col.insert("visible", grid.ColumnVisible(c));
        col.insert("titleAlign", alignmentName(grid.Columns()[size_t(c)].TitleAlignment));
        col.insert("tooltip", toQString(grid.TitleToolTip(c)));
        columns.append(col);
    }
    o.insert("columns", columns);
    o.insert("frozen", grid.FrozenColumns());
    o.insert("refreshes", grid.RefreshCount());
    const bool showing = grid.Showing();
    o.insert("row", showing ? grid.CurrentRow() + 1 : 0);
    o.insert("col", grid.SelectedIndex());
    QJsonArray rows;
    if (showing) {
        tk::DataSetReadScope reading;
        const int count = grid.DataSet()->RecordCount();
        for (int r = 0; r < count; ++r) {
            QJsonArray cells;
            for (int c = 0; c < grid.ColumnCount(); ++c) {
                const tk::PaintedCell p = grid.RecordCell(r, c);
                QJsonObject cell;
                cell.insert("text", toQString(p.text));
                cell.insert("font", color(p.fontColor));
                cell.insert("brush", color(p.brushColor));
                cell.insert("align", tk::cellAlignmentName(p.alignment));
                cell.insert("selected", grid.IsSelectedCell(r, c));
                cell.insert("fill", p.hasFill ? color(p.fill) : QJsonValue(QJsonValue::Null));
                cell.insert("bold", p.fontBold);
                // What the cell's tooltip says: its own hint, and its whole text when elided.
                cell.insert("tooltip", toQString(grid.CellToolTip(r, c)));
                cells.append(cell);
            }
            rows.append(cells);
        }
    }
    o.insert("rows", rows);
    return o;
}

QJsonObject dumpDataSet(tk::TClientDataSet &ds)
{
    QJsonObject o;
    o.insert("name", toQString(ds.Name()));
    o.insert("active", ds.Active());
    o.insert("filter", toQString(ds.Filter()));
    o.insert("filtered", ds.Filtered());
    QJsonArray fields;
    for (int f = 0; f < ds.FieldCount(); ++f)
        fields.append(toQString(ds.Field(f)->FieldName()));
    o.insert("fields", fields);
    QJsonArray rows;
    if (ds.Active()) {
        tk::DataSetReadScope reading;
        bool reported = false;
        const int count = ds.RecordCount();
        for (int r = 0; r < count; ++r) {
            QJsonArray values;
            for (int f = 0; f < ds.FieldCount(); ++f) {
                QJsonValue value(QJsonValue::Null);
                // A calculated field's handler may raise: the user would see the error once, and the
                // value stays empty.
                try {
                    value = variantToJson(ds.ViewValue(r, ds.Field(f)));
                } catch (const std::exception &e) {
                    if (!reported)
                        tk::ShowException(e);
                    reported = true;
                }
                values.append(value);
            }
            rows.append(values);
        }
    }
    o.insert("recno", ds.Active() ? ds.RecNo() : 0);
    o.insert("recordCount", ds.Active() ? ds.RecordCount() : 0);
    o.insert("rows", rows);
    return o;
}

QJsonObject dumpWidget(QWidget &w)
{
    if (auto *grid = qobject_cast<tk::TDBGrid *>(&w))
        return dumpGrid(*grid);
    if (auto *ned = qobject_cast<tk::TNumberEdit *>(&w)) {
        QJsonObject o = named(w);
        o.insert("value", ned->GetNumber());
        o.insert("text", toQString(ned->Text()));
        o.insert("color", color(ned->Color()));
        o.insert("fontColor", color(ned->FontColor()));
        o.insert("enabled", ownEnabled(w));
        o.insert("visible", ownVisible(w));
        o.insert("readOnly", ned->ReadOnly());
        insertGeometry(o, w);
        // The height the box needs to show its number whole.
        o.insert("neededHeight", ned->minimumSizeHint().height());
        return o;
    }
    if (auto *help = dynamic_cast<host::THelpBrowser *>(&w)) {
        QJsonObject o = named(w);
        o.insert("title", help->windowTitle());
        o.insert("pageTitle", help->PageTitle());
        o.insert("source", help->Source().toString());
        return o;
    }
    if (auto *button = qobject_cast<tk::TButtonFlat *>(&w)) {
        QJsonObject o = named(w);
        o.insert("down", button->Down());
        o.insert("enabled", ownEnabled(w));
        o.insert("visible", ownVisible(w));
        o.insert("hint", toQString(button->Hint()));
        o.insert("tooltip", button->toolTip());
        return o;
    }
    if (auto *pages = qobject_cast<tk::TPageControl *>(&w)) {
        QJsonObject o = named(w);
        tk::TTabSheet *active = pages->ActivePage();
        o.insert("active", active ? QJsonValue(active->objectName()) : QJsonValue(QJsonValue::Null));
        QJsonArray list;
        for (tk::TTabSheet *page : pages->Pages()) {
            QJsonObject p;
            p.insert("name", page->objectName());
            p.insert("caption", toQString(page->Caption()));
            p.insert("enabled", page->Enabled());
            p.insert("visible", page->TabVisible());
            list.append(p);
        }
        o.insert("pages", list);
        return o;
    }
    if (auto *sheet = qobject_cast<tk::TTabSheet *>(&w))
        return captioned(w, sheet->Caption(), sheet->TabVisible(), sheet->Enabled());
    if (auto *shape = qobject_cast<tk::TShape *>(&w)) {
        QJsonObject o = named(w);
        o.insert("color", color(shape->BrushColor()));
        o.insert("visible", ownVisible(w));
        return o;
    }
    if (auto *label = qobject_cast<tk::TLabel *>(&w))
        return captioned(w, label->Caption(), ownVisible(w), ownEnabled(w));
    if (auto *panel = qobject_cast<tk::TPanel *>(&w))
        return captioned(w, panel->Caption(), ownVisible(w), ownEnabled(w));
    if (auto *group = qobject_cast<tk::TGroupBox *>(&w))
        return captioned(w, group->Caption(), ownVisible(w), ownEnabled(w));
    if (auto *text = qobject_cast<tk::TDBText *>(&w))
        return captioned(w, text->Text(), ownVisible(w), ownEnabled(w));
    // Any other control (splitter, navigator, bevel): where it is and whether it shows.
    return captioned(w, std::string(), ownVisible(w), ownEnabled(w));
}

QWidget *findControl(kpv40206::TfrmCustoServ &window, const std::string &name)
{
    if (name.empty())
        return nullptr;
    return window.findChild<QWidget *>(toQString(name));
}

QJsonObject dumpComponent(kpv40206::TfrmCustoServ &window, const std::string &name)
{
    if (name == fromQString(window.objectName())) {
        QJsonObject o;
        o.insert("name", window.objectName());
        o.insert("caption", window.windowTitle());
        o.insert("width", window.width());
        o.insert("height", window.height());
        o.insert("maximized", window.isMaximized());
        return o;
    }
    if (QWidget *control = findControl(window, name))
        return dumpWidget(*control);
    if (tk::TClientDataSet *ds = window.DataSetByName(name))
        return dumpDataSet(*ds);
    throw CommandError("unknown component '" + name + "'");
}

} // namespace driver
