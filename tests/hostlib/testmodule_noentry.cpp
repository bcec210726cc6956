// A module library without IniProc: loading it must fail with an error naming the entry.

#include "platform/hostlib/moduleapi.h"

extern "C" HOST_MODULE_EXPORT void Initialize() {}
extern "C" HOST_MODULE_EXPORT void Finalize() {}
extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "kpvtst02";
}
