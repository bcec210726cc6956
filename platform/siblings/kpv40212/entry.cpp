// The KPV40212 module's entries, called by the host's LoadBPL.

#include "platform/hostlib/moduleapi.h"
#include "platform/siblings/common/style.h"
#include "platform/siblings/kpv40212/frmorigemcusto.h"

// Nothing to prepare or release: each IniProc builds its window and destroys it when it closes.
extern "C" HOST_MODULE_EXPORT void Initialize()
{
}

extern "C" HOST_MODULE_EXPORT void Finalize()
{
}

extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "KPV40212: Origem do Custo";
}

extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args)
{
    const auto window = kpv40212::CreateOriginWindow(*args, siblings::CallerWindow());
    window->exec();
}
