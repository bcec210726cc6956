// The KPV49700 module's entries, called by the host's LoadBPL.

#include "platform/hostlib/busyindicator.h"
#include "platform/hostlib/moduleapi.h"
#include "platform/siblings/common/style.h"
#include "platform/siblings/kpv49700/relatorio.h"

// Nothing to prepare or release: each IniProc fetches its listing and builds its window.
extern "C" HOST_MODULE_EXPORT void Initialize()
{
}

extern "C" HOST_MODULE_EXPORT void Finalize()
{
}

extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "KPV49700: Relatório de Produtos";
}

extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args)
{
    const kpv49700::ReportRequest request = kpv49700::ParseArgs(*args);
    tk::DataPacket rows;
    {
        const host::ShowAviGuard busy(nullptr, 6, "Buscando produtos do relatório...");
        rows = kpv49700::FetchListing(*args);
    }
    const auto window
        = kpv49700::CreateReportWindow(rows, kpv49700::HeaderFor(request), siblings::CallerWindow());
    window->exec();
}
