#pragma once

// Icons of the actions by their freedesktop names ("document-print", "office-chart-bar", ...):
// the desktop's icon theme when it has the icon, else the drawing bundled with the toolkit
// (":/icons/NAME.svg"), so that a machine without a theme shows the same pictures.

#include <QIcon>

namespace tk {

QIcon ThemeIcon(const char *name);

} // namespace tk
