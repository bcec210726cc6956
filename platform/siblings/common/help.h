#pragma once

// Help for the sibling windows: each module carries its page in the siblings' help resource
// (":/help/kpvhelp/1234<number>.html", the number of the module code "KPV40207" -> 12340207), and
// F1 anywhere in the window opens it in the host's help browser, as the cost analysis window does.

#include <string>

class QWidget;

namespace siblings {

// The help context of a module code: "KPV40207" -> 12340207; 0 for a code without its number.
int HelpContextOf(const std::string &module);

// F1 in window opens the module's page (or says there is none, naming the module).
void InstallHelpKey(QWidget &window, const std::string &module);

} // namespace siblings
