// The KPV40213 module's entries, called by the host's LoadBPL.

#include "platform/hostlib/moduleapi.h"
#include "platform/siblings/common/style.h"
#include "platform/siblings/kpv40213/decomposicao.h"

// Nothing to prepare or release: each IniProc builds its window and destroys it when it closes.
extern "C" HOST_MODULE_EXPORT void Initialize()
{
}

extern "C" HOST_MODULE_EXPORT void Finalize()
{
}

extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "KPV40213: Decomposição da Variação";
}

extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args)
{
    const auto window = kpv40213::CreateChartWindow(*args, siblings::CallerWindow());
    window->exec();
}
