#pragma once

// KPV40210 "Variação do Custo Acumulado": the standard, planned and realized cost accumulated day
// by day over the month, from the caller's cdsCustoAcum (DTCARDAPIO, VrTotPadrao, VRTOTTACUM,
// VRTOTRACUM). Array: [cdsCustoAcum handle], optionally followed by CdFilial and CdServFili (text)
// for the title and the branch's processing date (date-time), which ends the realized line.

#include "platform/siblings/common/chartwindow.h"
#include "platform/toolkit/data/variant.h"

#include <memory>

namespace kpv40210 {

siblings::ChartDefinition GrafCustoAcumDefinition();

// Checks the array, reads the table and builds the window without showing it.
std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent = nullptr);

} // namespace kpv40210
