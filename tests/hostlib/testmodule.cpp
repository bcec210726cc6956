// A small module for the module-loading tests. It reports what the host asked of it through the
// host's MensErro, which the tests record with Hooks::onMensErro.

#include "platform/hostlib/errors.h"
#include "platform/hostlib/moduleapi.h"
#include "platform/hostlib/modules.h"
#include "platform/hostlib/routines.h"
#include "platform/toolkit/data/dataset.h"

#include <string>

namespace {

std::string describe(const tk::Variant &args)
{
    std::string text;
    for (size_t i = 1; i < args.size(); ++i) {
        if (i > 1)
            text += ",";
        text += args[i].toDisplayString();
    }
    return text;
}

} // namespace

extern "C" HOST_MODULE_EXPORT void Initialize()
{
    host::MensErro("kpvtst01: Initialize");
}

extern "C" HOST_MODULE_EXPORT void Finalize()
{
    host::MensErro("kpvtst01: Finalize");
}

extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "kpvtst01: TestModule";
}

// args: Null, or [command, ...]:
//   "echo", values...        reports "IniProc: v1,v2,..."
//   "raise"                  raises tk::Exception
//   "raise-server"           raises host::EServerError
//   "nested", code, values   starts another module from inside this one
//   "dataset", handle        reports the record count of the caller's dataset
extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args)
{
    if (args->isNull()) {
        host::MensErro("IniProc: Null");
        return;
    }
    const std::string command = (*args)[0].asString();
    if (command == "echo") {
        host::MensErro("IniProc: " + describe(*args));
    } else if (command == "raise") {
        throw tk::Exception("falha no módulo de teste");
    } else if (command == "raise-server") {
        throw host::EServerError("Erro no servidor: teste");
    } else if (command == "nested") {
        host::MensErro("IniProc: nested " + (*args)[1].asString());
        host::LoadBPL((*args)[1].asString(), tk::Variant::array({"echo", "de dentro"}));
    } else if (command == "dataset") {
        tk::TClientDataSet *dataSet = host::DataSetFromHandle((*args)[1]);
        host::MensErro("IniProc: " + dataSet->Name() + " " + std::to_string(dataSet->RecordCount()));
    } else {
        throw tk::Exception("comando desconhecido: " + command);
    }
}
