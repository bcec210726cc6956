#pragma once

// KPV40208 "Comparação do Per Capita": the planned and the realized cost per diner of each day of
// the month and the standard cost per diner, from the caller's cdsGrafPlanReal (DTCARDAPIO,
// VrPadrao, VRPERCPLAN, VRPERCREAL). Array: [cdsGrafPlanReal handle, CdFilial, CdServFili], optionally
// followed by the branch's processing date (date-time), which ends the realized line.

#include "platform/siblings/common/chartwindow.h"
#include "platform/toolkit/data/variant.h"

#include <memory>
#include <string>

namespace kpv40208 {

siblings::ChartDefinition GrafPlanRealDefinition(const std::string &cdFilial, const std::string &cdServFili);

// Checks the array, reads the table and builds the window without showing it.
std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent = nullptr);

} // namespace kpv40208
