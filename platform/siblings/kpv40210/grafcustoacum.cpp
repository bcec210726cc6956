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
        {"VRTOTRACUM", QStringLiteral("Custo realizado acumulado"), QColor(20, 140, 60), false, true},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    // Added later: the branch and the service [1], [2] for the title, the processing date [3].
    const siblings::ModuleArgs array("KPV40210", args, 1, 4);
    tk::TClientDataSet &table = array.DataSet(0, "cdsCustoAcum");
    siblings::ChartDefinition definition = GrafCustoAcumDefinition();
    if (array.Count() >= 3)
        definition.where = siblings::WhereText(array.Text(1, "CdFilial"), array.Text(2, "CdServFili"));
    if (array.Count() == 4)
        definition.processingDate = array.Date(3, "DtProcesso");
    if (!definition.where.isEmpty())
        definition.windowTitle += QStringLiteral(" - ") + definition.where;
    return siblings::CreateChartWindow(definition, table, parent);
}

} // namespace kpv40210
