#pragma once

// The fonts the windows were drawn with on their original desktop, mapped to installed fonts of
// close metrics. A window that asks for "MS Sans Serif" would otherwise get the platform's fallback
// (DejaVu Sans here), which is about a fifth wider, and the column widths fixed for the original
// font would cut its titles and cells. At 8 points "MS Sans Serif" sets "Comensais Estimados" in
// about 100 pixels; Liberation Sans Narrow takes 90, Liberation Sans 109 and DejaVu Sans 120, so
// the narrow face is the one whose texts fit the widths the windows were given.
//
//   "MS Sans Serif", "Microsoft Sans Serif", "Tahoma"
//       ->  "Liberation Sans Narrow" (Arial Narrow's metrics), else "Liberation Sans"
//
// The Liberation fonts come with the Debian package fonts-liberation (scripts/install-deps.sh).

#include <QString>

namespace tk {

// Installs the substitutions once; later calls do nothing. The toolkit's widgets call it before
// they ask for a font, so a window needs no call of its own.
void InstallFontSubstitutes();

// The installed family a requested family is drawn with after the substitutions.
QString ResolvedFontFamily(const QString &family);

} // namespace tk
