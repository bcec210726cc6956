#include "platform/siblings/kpv40213/decomposicao.h"

#include "platform/siblings/common/moduleargs.h"

namespace kpv40213 {

siblings::ChartDefinition DecomposicaoDefinition(const std::string &cdFilial, const std::string &cdServFili)
{
    siblings::ChartDefinition definition;
    definition.module = "KPV40213";
    definition.where = siblings::WhereText(cdFilial, cdServFili);
    definition.windowTitle = QStringLiteral("Decomposição da Variação - ") + definition.where;
    definition.chartTitle = QStringLiteral("Realizado menos planejado, por causa");
    definition.valueAxisTitle = QStringLiteral("Diferença (R$)");
    definition.dayField = "DTDATA";
    definition.stackedBars = true;
    definition.series = {
        {"VREFEITOCOMENS", QStringLiteral("Efeito comensais"), QColor(20, 90, 200)},
        {"VREFEITOPRECO", QStringLiteral("Efeito preço"), QColor(200, 30, 30)},
        {"VREFEITOQTDE", QStringLiteral("Efeito quantidade"), QColor(20, 140, 60)},
        {"VRFORACARD", QStringLiteral("Fora do cardápio"), QColor(230, 140, 20)},
        {"VRCONSINDIR", QStringLiteral("Consumo e custos indiretos"), QColor(120, 120, 120)},
        {"VRRESIDUO", QStringLiteral("Resíduo de arredondamento"), QColor(150, 60, 170)},
    };
    return definition;
}

std::unique_ptr<siblings::TfrmGrafico> CreateChartWindow(const tk::Variant &args, QWidget *parent)
{
    const siblings::ModuleArgs array("KPV40213", args, 3, 4);
    tk::TClientDataSet &table = array.DataSet(0, "cdsVariacao");
    siblings::ChartDefinition definition = DecomposicaoDefinition(array.Text(1, "CdFilial"), array.Text(2, "CdServFili"));
    if (array.Count() == 4)
        definition.processingDate = array.Date(3, "DtProcesso");
    return siblings::CreateChartWindow(definition, table, parent);
}

} // namespace kpv40213
