#include "platform/siblings/common/help.h"

#include "platform/hostlib/helpbrowser.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include <cctype>

namespace siblings {

namespace {
const char *const kHelpFile = "Kpvhelp.hlp";
}

int HelpContextOf(const std::string &module)
{
    const size_t digits = module.find_first_of("0123456789");
    if (digits == std::string::npos || module.size() - digits != 5)
        return 0;
    for (size_t i = digits; i < module.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(module[i])))
            return 0;
    return 12300000 + std::stoi(module.substr(digits));
}

void InstallHelpKey(QWidget &window, const std::string &module)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), &window);
    key->setObjectName(QStringLiteral("sctAjuda"));
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, &window, [&window, module] {
        host::ShowHelpContext(&window, kHelpFile, HelpContextOf(module), module);
    });
}

} // namespace siblings
