#include "platform/toolkit/widgets/icons.h"

#include <QFile>
#include <QString>

namespace tk {

QIcon ThemeIcon(const char *name)
{
    const QString themeName = QString::fromLatin1(name);
    const QString bundled = QStringLiteral(":/icons/%1.svg").arg(themeName);
    return QIcon::fromTheme(themeName, QFile::exists(bundled) ? QIcon(bundled) : QIcon());
}

} // namespace tk
