// The module's entries: the host calls IniProc with the analysis's eight parameters; the package
// entries register and release the module.

#include "costanalysis/module/contextocusto.h"
#include "costanalysis/window/frmcustoserv.h"

#include "platform/hostlib/host.h"

#include <QApplication>

namespace kpv40206 {

void CriaCustoServ(const std::string &CdFilial, const std::string &CdServFili, int32_t CdTipoCusto,
                   int32_t CdTipoCustoReal, tk::TDateTime DtReferencia, tk::TDateTime DtRefeFixa, bool IdRefeFixa,
                   const std::string &CdFiliCust)
{
    PreencheContexto(CdFilial, CdServFili, CdTipoCusto, CdTipoCustoReal, DtReferencia, DtRefeFixa, IdRefeFixa,
                     CdFiliCust);
    // The window belongs to the application object, as the suite's other windows do; the base
    // window's close handling decides whether it is freed when it closes.
    auto *window = new TfrmCustoServ(host::MainWindow());
    frmCustoServ = window;
    QObject::connect(window, &QObject::destroyed, [window] {
        if (frmCustoServ == window)
            frmCustoServ = nullptr;
    });
    window->ShowModal();
}

} // namespace kpv40206

extern "C" HOST_MODULE_EXPORT void Initialize() {}

extern "C" HOST_MODULE_EXPORT void Finalize()
{
    // The unit finalization releases the context's strings.
    kpv40206::ContextoCusto.CdFilial.clear();
    kpv40206::ContextoCusto.CdFilial.shrink_to_fit();
    kpv40206::ContextoCusto.CdServFili.clear();
    kpv40206::ContextoCusto.CdServFili.shrink_to_fit();
    kpv40206::ContextoCusto.CdFiliCust.clear();
    kpv40206::ContextoCusto.CdFiliCust.shrink_to_fit();
}

extern "C" HOST_MODULE_EXPORT const char *GetPackageInfoTable()
{
    return "Kpv40206;Cli_kpv40206;Frm_kpv40206";
}

extern "C" HOST_MODULE_EXPORT void IniProc(const tk::Variant *args)
{
    kpv40206::EntryParams p;
    if (!args || !kpv40206::ReadEntryParams(*args, p))
        return;
    kpv40206::CriaCustoServ(p.CdFilial, p.CdServFili, p.CdTipoCusto, p.CdTipoCustoReal, p.DtReferencia,
                            p.DtRefeFixa, p.IdRefeFixa, p.CdFiliCust);
}
