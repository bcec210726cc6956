#include "platform/siblings/kpv40207/grafcusto.h"

#include "platform/siblings/common/moduleargs.h"

namespace kpv40207 {

siblings::ChartDefinition GrafCustoDefinition()
{
    siblings::ChartDefinition definition;
    definition.module = "KPV40207";
    definition.windowTitle = QStringLiteral("Custo Per Capita");
    definition.chartTitle = QStringLiteral("Custo per capita planejado do mês");
    definition.valueAxisTitle = QStringLiteral("Custo por comensal (R$)");
    definition.series = {
        {"VrPadrao", QStringLiteral("Custo padrão"), QColor(200, 30, 30), true},
        {"VrCustGraf", QStringLiteral("Custo per capita planejado"), QColor(20, 90, 200)},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    // The branch and the service came later as added elements [1] and [2], for the title.
    const siblings::ModuleArgs array("KPV40207", args, 1, 3);
    tk::TClientDataSet &table = array.DataSet(0, "cdsGrafCust");
    siblings::ChartDefinition definition = GrafCustoDefinition();
    if (array.Count() == 3)
        definition.where = siblings::WhereText(array.Text(1, "CdFilial"), array.Text(2, "CdServFili"));
    if (!definition.where.isEmpty())
        definition.windowTitle += QStringLiteral(" - ") + definition.where;
    return siblings::CreateChartWindow(definition, table, parent);
}

} // namespace kpv40207
