#pragma once

// The texts printed at the top of every page about a branch's month (the report module's listings,
// the window's grids): branch, service and month, the cost type with its prices, and who printed
// it when. Drawn by tk::DrawPrintHeader (printframe.h).

#include "platform/toolkit/data/variant.h"
#include "platform/toolkit/widgets/printframe.h"

#include <QString>
#include <QStringList>

#include <string>

namespace host {

struct PrintContext
{
    std::string cdFilial;
    std::string cdServFili;
    tk::TDateTime dtReferencia = 0;
    int32_t cdTipoCusto = 0;
    bool idRefeFixa = false;
    tk::TDateTime dtRefeFixa = 0;
    std::string cdFiliCust; // empty: not printed
    std::string operador;
    tk::TDateTime emitidoEm = 0;
};

// "Filial: 0001     Serviço: 001     Mês: março/2026", then "Tipo de custo: 44     Preços da data
// de cada dia" (or "Preços fixados em dd/mm/yyyy", and the cost branch when there is one), then
// "Emitido em dd/mm/yyyy hh:nn por OPERADOR".
QStringList PrintInfoLines(const PrintContext &context);

// The frame of a printout: the title and the lines above; footerLeft as given.
tk::PrintFrame CostPrintFrame(const QString &title, const PrintContext &context, const QString &footerLeft = {});

// The local date and time now as a toolkit date-time.
tk::TDateTime NowDateTime();

} // namespace host
