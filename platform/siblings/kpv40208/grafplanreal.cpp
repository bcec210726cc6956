#include "platform/siblings/kpv40208/grafplanreal.h"

#include "platform/siblings/common/moduleargs.h"

namespace kpv40208 {

siblings::ChartDefinition GrafPlanRealDefinition(const std::string &cdFilial, const std::string &cdServFili)
{
    const QString where = QStringLiteral("Filial %1 - Serviço %2")
                              .arg(QString::fromStdString(cdFilial), QString::fromStdString(cdServFili));
    siblings::ChartDefinition definition;
    definition.module = "KPV40208";
    definition.windowTitle = QStringLiteral("Comparação do Per Capita - ") + where;
    definition.chartTitle = QStringLiteral("Per capita planejado x realizado - ") + where;
    definition.valueAxisTitle = QStringLiteral("Custo por comensal (R$)");
    definition.series = {
        {"VrPadrao", QStringLiteral("Custo padrão"), QColor(200, 30, 30), true},
        {"VRPERCPLAN", QStringLiteral("Per capita planejado"), QColor(20, 90, 200)},
        {"VRPERCREAL", QStringLiteral("Per capita realizado"), QColor(20, 140, 60)},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    const siblings::ModuleArgs array("KPV40208", args, 3);
    tk::TClientDataSet &table = array.DataSet(0, "cdsGrafPlanReal");
    const std::string cdFilial = array.Text(1, "CdFilial");
    const std::string cdServFili = array.Text(2, "CdServFili");
    return siblings::CreateChartWindow(GrafPlanRealDefinition(cdFilial, cdServFili), table, parent);
}

} // namespace kpv40208
