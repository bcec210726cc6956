#pragma once

// KPV40213 "Decomposição da Variação": realized minus planned cost of each day before the processing
// date, as stacked bars of its lines (diners, price and quantity effects, products outside the menu,
// consumption and indirect costs, rounding residual), from the caller's cdsVariacao (DTDATA and the
// line fields of GetDecomposicaoVariacao). Array: [cdsVariacao handle, CdFilial, CdServFili], optionally
// followed by the branch's processing date.

#include "platform/siblings/common/chartwindow.h"
#include "platform/toolkit/data/variant.h"

#include <memory>
#include <string>

namespace kpv40213 {

siblings::ChartDefinition DecomposicaoDefinition(const std::string &cdFilial, const std::string &cdServFili);

// Checks the array, reads the table and builds the window without showing it.
std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent = nullptr);

} // namespace kpv40213
