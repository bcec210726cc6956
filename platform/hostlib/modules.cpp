#include "platform/hostlib/modules.h"

#include "platform/hostlib/errors.h"
#include "platform/hostlib/hooks.h"
#include "platform/hostlib/moduleapi.h"
#include "platform/hostlib/settings.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <set>
#include <iostream>
#include <memory>
#include <vector>

namespace host {

namespace {

struct LoadedModule
{
    std::string code;  // upper case
    std::string path;
    void *handle = nullptr;
    ModuleInitializeFn initialize = nullptr;
    ModuleFinalizeFn finalize = nullptr;
    ModulePackageInfoFn packageInfo = nullptr;
    ModuleIniProcFn iniProc = nullptr;
};

// In load order. Entries are heap objects so that a module loading another module while its
// IniProc runs never invalidates the caller's entry.
std::vector<std::unique_ptr<LoadedModule>> &modules()
{
    static std::vector<std::unique_ptr<LoadedModule>> loaded;
    return loaded;
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool validCode(const std::string &code)
{
    return !code.empty() && code.size() <= 32
           && std::all_of(code.begin(), code.end(), [](unsigned char c) {
                  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
              });
}

LoadedModule *findModule(const std::string &upperCode)
{
    for (const auto &module : modules())
        if (module->code == upperCode)
            return module.get();
    return nullptr;
}

std::string loaderError()
{
    const char *text = dlerror();
    return text ? std::string(text) : std::string("sem detalhes do carregador");
}

template <typename Fn>
Fn resolve(void *handle, const char *entry, const std::string &path)
{
    dlerror();
    void *symbol = dlsym(handle, entry);
    if (!symbol) {
        const std::string detail = loaderError();
        throw EHostError("Módulo " + path + " sem a entrada " + entry + ": " + detail);
    }
    return reinterpret_cast<Fn>(symbol);
}

LoadedModule &loadModule(const std::string &code)
{
    const std::string key = upper(code);
    if (LoadedModule *module = findModule(key))
        return *module;

    auto module = std::make_unique<LoadedModule>();
    module->code = key;
    module->path = ModuleLibraryPath(code);
    if (!std::filesystem::exists(module->path))
        throw EHostError("Módulo " + key + " não encontrado: " + module->path);

    dlerror();
    void *handle = dlopen(module->path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        throw EHostError("Não foi possível carregar o módulo " + module->path + ": " + loaderError());
    // Closes the library again on any failure before the module is registered.
    std::unique_ptr<void, int (*)(void *)> guard(handle, dlclose);

    module->initialize = resolve<ModuleInitializeFn>(handle, "Initialize", module->path);
    module->finalize = resolve<ModuleFinalizeFn>(handle, "Finalize", module->path);
    module->packageInfo = resolve<ModulePackageInfoFn>(handle, "GetPackageInfoTable", module->path);
    module->iniProc = resolve<ModuleIniProcFn>(handle, "IniProc", module->path);

    module->initialize();
    module->handle = guard.release();
    modules().push_back(std::move(module));
    return *modules().back();
}

} // namespace

std::string ModuleLibraryPath(const std::string &code)
{
    return (std::filesystem::path(ModulesDir()) / ("lib" + lower(code) + ".so")).string();
}

void LoadBPL(const std::string &code, const tk::Variant &args)
{
    if (!validCode(code))
        throw EHostError("Código de módulo inválido: '" + code + "'");
    const Hooks &hooks = GetHooks();
    if (hooks.onLoadBPL)
        hooks.onLoadBPL(code, args);
    if (hooks.launcher) {
        // A copy: the launcher may replace the hooks while it runs.
        const auto launcher = hooks.launcher;
        launcher(code, args);
        return;
    }
    LoadedModule &module = loadModule(code);
    const tk::Variant argsCopy = args; // the caller's array may live in a dataset the module changes
    module.iniProc(&argsCopy);
}

void UnloadModules()
{
    auto &loaded = modules();
    while (!loaded.empty()) {
        std::unique_ptr<LoadedModule> module = std::move(loaded.back());
        loaded.pop_back();
        try {
            module->finalize();
        } catch (const std::exception &e) {
            std::cerr << "Finalize de " << module->code << ": " << e.what() << std::endl;
        } catch (...) {
            std::cerr << "Finalize de " << module->code << ": erro desconhecido" << std::endl;
        }
        dlclose(module->handle);
    }
}

std::vector<std::string> LoadedModules()
{
    std::vector<std::string> codes;
    for (const auto &module : modules())
        codes.push_back(module->code);
    return codes;
}

std::string PackageInfo(const std::string &code)
{
    const LoadedModule *module = findModule(upper(code));
    if (!module)
        throw EHostError("Módulo não carregado: " + code);
    const char *text = module->packageInfo();
    return text ? std::string(text) : std::string();
}

namespace {
// Datasets handed to modules: a handle is only ever resolved to one of these, so a stray number
// reaching a module is an error instead of a wild pointer. User-interface thread only.
std::set<const tk::TClientDataSet *> &HandedOutDataSets()
{
    static std::set<const tk::TClientDataSet *> datasets;
    return datasets;
}
} // namespace

tk::Variant DataSetHandle(tk::TClientDataSet *dataSet)
{
    if (!dataSet)
        throw EHostError("Handle de dataset inválido: nenhum dataset");
    HandedOutDataSets().insert(dataSet);
    return tk::Variant(static_cast<double>(reinterpret_cast<uintptr_t>(dataSet)));
}

tk::TClientDataSet *DataSetFromHandle(const tk::Variant &handle)
{
    if (!handle.isNumeric())
        throw EHostError("Handle de dataset inválido: " + handle.toDisplayString());
    const double value = handle.asDouble();
    if (!(value > 0) || value != std::floor(value) || value >= 9007199254740992.0)
        throw EHostError("Handle de dataset inválido: " + handle.toDisplayString());
    auto *dataSet = reinterpret_cast<tk::TClientDataSet *>(static_cast<uintptr_t>(value));
    if (!HandedOutDataSets().count(dataSet))
        throw EHostError("Handle de dataset desconhecido: " + handle.toDisplayString());
    return dataSet;
}

} // namespace host
