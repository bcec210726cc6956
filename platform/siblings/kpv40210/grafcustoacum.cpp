#include "platform/siblings/kpv40210/grafcustoacum.h"

#include "platform/siblings/common/moduleargs.h"

namespace kpv40210 {

siblings::ChartDefinition GrafCustoAcumDefinition()
{
    siblings::ChartDefinition definition;
    definition.module = "KPV40210";
    definition.windowTitle = QStringLiteral("Variação do Custo Acumulado");
    definition.chartTitle = QStringLiteral("Custo acumulado no mês");
    definition.valueAxisTitle = QStringLiteral("Custo acumulado (R$)");
    definition.series = {
        {"VrTotPadrao", QStringLiteral("Custo padrão acumulado"), QColor(200, 30, 30), true},
        {"VRTOTTACUM", QStringLiteral("Custo planejado acumulado"), QColor(20, 90, 200)},
        {"VRTOTRACUM", QStringLiteral("Custo realizado acumulado"), QColor(20, 140, 60)},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    const siblings::ModuleArgs array("KPV40210", args, 1);
    return siblings::CreateChartWindow(GrafCustoAcumDefinition(), array.DataSet(0, "cdsCustoAcum"), parent);
}

} // namespace kpv40210
