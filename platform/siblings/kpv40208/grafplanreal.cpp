#include "platform/siblings/kpv40208/grafplanreal.h"

#include "platform/siblings/common/moduleargs.h"

namespace kpv40208 {

siblings::ChartDefinition GrafPlanRealDefinition(const std::string &cdFilial, const std::string &cdServFili)
{
    siblings::ChartDefinition definition;
    definition.module = "KPV40208";
    definition.where = siblings::WhereText(cdFilial, cdServFili);
    definition.windowTitle = QStringLiteral("Comparação do Per Capita - ") + definition.where;
    definition.chartTitle = QStringLiteral("Per capita planejado x realizado");
    definition.valueAxisTitle = QStringLiteral("Custo por comensal (R$)");
    definition.series = {
        {"VrPadrao", QStringLiteral("Custo padrão"), QColor(200, 30, 30), true},
        {"VRPERCPLAN", QStringLiteral("Per capita planejado"), QColor(20, 90, 200)},
        {"VRPERCREAL", QStringLiteral("Per capita realizado"), QColor(20, 140, 60), false, true},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    // The processing date came later, as an added element [3].
    const siblings::ModuleArgs array("KPV40208", args, 3, 4);
    tk::TClientDataSet &table = array.DataSet(0, "cdsGrafPlanReal");
    const std::string cdFilial = array.Text(1, "CdFilial");
    const std::string cdServFili = array.Text(2, "CdServFili");
    siblings::ChartDefinition definition = GrafPlanRealDefinition(cdFilial, cdServFili);
    if (array.Count() == 4)
        definition.processingDate = array.Date(3, "DtProcesso");
    return siblings::CreateChartWindow(definition, table, parent);
}

} // namespace kpv40208
