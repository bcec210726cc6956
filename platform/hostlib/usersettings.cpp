#include "platform/hostlib/usersettings.h"

#include "platform/toolkit/widgets/dbgrid.h"

#include <QSettings>
#include <QWidget>

namespace host {

namespace {

QString &fileStore()
{
    static QString path;
    return path;
}

// The design widths of a grid's columns, kept on the grid itself from RestoreGridColumns on.
constexpr const char *kDesignWidths = "hostDesignWidths";

QString columnKey(const QString &window, const tk::TDBGrid &grid, const tk::TColumn &column)
{
    return QStringLiteral("Colunas/%1.%2.%3")
        .arg(window, grid.objectName(), QString::fromStdString(column.FieldName));
}

} // namespace

void SetUserSettingsFile(const QString &path)
{
    fileStore() = path;
}

const QString &UserSettingsFile()
{
    return fileStore();
}

QVariant ReadUserValue(const QString &key)
{
    if (fileStore().isEmpty())
        return {};
    return QSettings(fileStore(), QSettings::IniFormat).value(key);
}

void WriteUserValue(const QString &key, const QVariant &value)
{
    if (fileStore().isEmpty())
        return;
    QSettings ini(fileStore(), QSettings::IniFormat);
    if (value.isValid())
        ini.setValue(key, value);
    else
        ini.remove(key);
}

void RestoreWindowGeometry(QWidget &window, const QString &name)
{
    const QVariant saved = ReadUserValue(QStringLiteral("Janelas/%1").arg(name));
    if (saved.isValid())
        window.restoreGeometry(saved.toByteArray());
}

void SaveWindowGeometry(const QWidget &window, const QString &name)
{
    WriteUserValue(QStringLiteral("Janelas/%1").arg(name), window.saveGeometry());
}

void RestoreGridColumns(QWidget &window, const QString &name)
{
    for (tk::TDBGrid *grid : window.findChildren<tk::TDBGrid *>()) {
        QVariantMap design;
        for (const tk::TColumn &column : grid->Columns())
            design.insert(QString::fromStdString(column.FieldName), column.Width);
        grid->setProperty(kDesignWidths, design);
        if (fileStore().isEmpty())
            continue;
        for (int i = 0; i < grid->ColumnCount(); ++i) {
            const QVariant saved = ReadUserValue(columnKey(name, *grid, grid->Column(i)));
            bool ok = false;
            const int width = saved.toInt(&ok);
            if (ok && width > 0)
                grid->SetColumnWidth(i, width);
        }
    }
}

void SaveGridColumns(QWidget &window, const QString &name)
{
    if (fileStore().isEmpty())
        return;
    QSettings ini(fileStore(), QSettings::IniFormat);
    for (tk::TDBGrid *grid : window.findChildren<tk::TDBGrid *>()) {
        const QVariant noted = grid->property(kDesignWidths);
        if (!noted.isValid())
            continue; // a grid made after the window opened has no design widths to compare with
        const QVariantMap design = noted.toMap();
        for (const tk::TColumn &column : grid->Columns()) {
            const QString field = QString::fromStdString(column.FieldName);
            const QString key = columnKey(name, *grid, column);
            if (design.contains(field) && design.value(field).toInt() != column.Width && column.Width > 0)
                ini.setValue(key, column.Width);
            else
                ini.remove(key);
        }
    }
}

} // namespace host
