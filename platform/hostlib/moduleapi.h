#pragma once

// The entries a module library exports for LoadBPL. A module defines all four with C linkage:
//
//   extern "C" HOST_MODULE_EXPORT void Initialize();
//   extern "C" HOST_MODULE_EXPORT void Finalize();
//   extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable();
//   extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args);
//
// The host and every module link the same toolkit and host libraries, so a tk::Variant, a dataset
// address or an exception crosses the boundary safely. IniProc receives a pointer to the caller's
// array (never nullptr; a Null variant when the caller gave none) and may raise.

#include "platform/toolkit/data/variant.h"

#define HOST_MODULE_EXPORT __attribute__((visibility("default")))

namespace host {

using ModuleInitializeFn = void (*)();
using ModuleFinalizeFn = void (*)();
using ModulePackageInfoFn = const char *(*)();
using ModuleIniProcFn = void (*)(const tk::Variant *args);

} // namespace host
