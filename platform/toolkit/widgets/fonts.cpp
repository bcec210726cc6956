#include "platform/toolkit/widgets/fonts.h"

#include <QFont>
#include <QFontInfo>
#include <QStringList>

namespace tk {

void InstallFontSubstitutes()
{
    static const bool installed = [] {
        const QStringList installed{QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans")};
        for (const char *family : {"MS Sans Serif", "Microsoft Sans Serif", "Tahoma"})
            QFont::insertSubstitutions(QString::fromLatin1(family), installed);
        return true;
    }();
    (void)installed;
}

QString ResolvedFontFamily(const QString &family)
{
    InstallFontSubstitutes();
    return QFontInfo(QFont(family)).family();
}

} // namespace tk
