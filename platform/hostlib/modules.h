#pragma once

// Module loading: LoadBPL starts a module of the suite (a shared library named after its code)
// with an array of values.

#include "platform/toolkit/data/variant.h"

#include <string>
#include <vector>

namespace tk {
class TClientDataSet;
}

namespace host {

// Starts the module `code` with args.
// - code must be letters and digits only; anything else raises EHostError("Código de módulo
//   inválido: ...") before any file is touched.
// - Hooks::onLoadBPL records the call; Hooks::launcher, when installed, replaces the launch.
// - Otherwise lib<code in lower case>.so is loaded from ModulesDir() once, its entries Initialize,
//   Finalize, GetPackageInfoTable and IniProc are resolved, Initialize runs once, then IniProc(args).
// A missing library or entry raises EHostError naming the file or the entry, with the loader's
// text. Exceptions raised by IniProc reach the caller unchanged.
void LoadBPL(const std::string &code, const tk::Variant &args);

// Runs Finalize of every loaded module (last loaded first) and unloads it. The suite calls it at
// exit. An exception from a Finalize is reported on standard error and the others still run.
void UnloadModules();

// Codes (upper case) of the loaded modules, in load order.
std::vector<std::string> LoadedModules();
// Text of the module's GetPackageInfoTable; EHostError when the module is not loaded.
std::string PackageInfo(const std::string &code);
// Full path of the library for a code (no validation of the code's characters).
std::string ModuleLibraryPath(const std::string &code);

// A dataset handle for a sibling module: the address of a dataset of this process, carried as a
// Double (exact: user-space addresses are far below 2^53). The dataset must outlive the call.
tk::Variant DataSetHandle(tk::TClientDataSet *dataSet);
// The dataset behind a handle. EHostError for Null, zero, a negative or a fractional value.
tk::TClientDataSet *DataSetFromHandle(const tk::Variant &handle);

} // namespace host
