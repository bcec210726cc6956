#pragma once

// The analysis context: written once by the module entry before the window exists, read by every
// handler of the window.

#include "platform/toolkit/data/variant.h"

#include <cstdint>
#include <string>

namespace kpv40206 {

struct TContextoCusto
{
    std::string CdFilial;
    std::string CdServFili;
    int32_t CdTipoCusto = 0;
    int32_t CdTipoCustoReal = 0;
    tk::TDateTime DtReferencia = 0;
    tk::TDateTime DtRefeFixa = 0;
    bool IdRefeFixa = false;
    std::string CdFiliCust;
    tk::TDateTime DtProcesso = 0;
    tk::TDateTime DtIniMes = 0;
    tk::TDateTime DtFimMes = 0;

    // DtRefeFixa when pricing at the fixed date, else the given day.
    tk::TDateTime PriceDate(tk::TDateTime day) const { return IdRefeFixa ? DtRefeFixa : day; }
};

extern TContextoCusto ContextoCusto;

class TfrmCustoServ;
extern TfrmCustoServ *frmCustoServ; // Owned by the application object while the window is open.

// Fills the context, creates the window and runs it modally; returns when it has closed.
void CriaCustoServ(const std::string &CdFilial, const std::string &CdServFili, int32_t CdTipoCusto,
                   int32_t CdTipoCustoReal, tk::TDateTime DtReferencia, tk::TDateTime DtRefeFixa,
                   bool IdRefeFixa, const std::string &CdFiliCust);

// Fills only the context (the first steps of CriaCustoServ); the driver and tests use it to build
// the window without a modal loop.
void PreencheContexto(const std::string &CdFilial, const std::string &CdServFili, int32_t CdTipoCusto,
                      int32_t CdTipoCustoReal, tk::TDateTime DtReferencia, tk::TDateTime DtRefeFixa,
                      bool IdRefeFixa, const std::string &CdFiliCust);

// Reads the entry's eight-element array with the standard variant conversions. Returns false for a
// Null argument; raises tk::EVariantError for anything else that is not an array of eight
// convertible elements.
struct EntryParams
{
    std::string CdFilial, CdServFili;
    int32_t CdTipoCusto = 0, CdTipoCustoReal = 0;
    tk::TDateTime DtReferencia = 0, DtRefeFixa = 0;
    bool IdRefeFixa = false;
    std::string CdFiliCust;
};
bool ReadEntryParams(const tk::Variant &args, EntryParams &out);

} // namespace kpv40206
