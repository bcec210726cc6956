#pragma once

// What the suite remembers for its user between runs: window geometry, the column widths a user
// dragged in each grid, and any value the suite keeps (last parameters, server list). Everything
// lives in one INI file, the user's suite.ini; the suite names it at start. Without a file (tests,
// tools) nothing is read or written.

#include <QString>
#include <QVariant>

class QWidget;

namespace host {

void SetUserSettingsFile(const QString &path); // empty: remember nothing
const QString &UserSettingsFile();

// A value under "Group/Key"; an invalid QVariant when absent or without a file.
QVariant ReadUserValue(const QString &key);
void WriteUserValue(const QString &key, const QVariant &value);

// The window's size and position under [Janelas] name.
void RestoreWindowGeometry(QWidget &window, const QString &name);
void SaveWindowGeometry(const QWidget &window, const QString &name);

// Column widths of every data grid inside a window, by grid and field name, under [Colunas]. Only
// widths that differ from the ones the window gave its grids (the design widths, noted by
// RestoreGridColumns before it applies what was saved) are kept, so that a later change of a
// design width still reaches users who never dragged that column.
void RestoreGridColumns(QWidget &window, const QString &name);
void SaveGridColumns(QWidget &window, const QString &name);

} // namespace host
