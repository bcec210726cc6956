#pragma once

// KPV40207 "Custo Per Capita": the planned total cost per diner of each day of the month against
// the standard cost per diner, from the caller's cdsGrafCust (DTCARDAPIO, VrPadrao, VrCustGraf).
// Array: [cdsGrafCust handle], optionally followed by CdFilial and CdServFili (text) for the title.

#include "platform/siblings/common/chartwindow.h"
#include "platform/toolkit/data/variant.h"

#include <memory>

namespace kpv40207 {

siblings::ChartDefinition GrafCustoDefinition();

// Checks the array, reads the table and builds the window without showing it.
std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent = nullptr);

} // namespace kpv40207
