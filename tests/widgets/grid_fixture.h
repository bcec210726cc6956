#pragma once

// A small menu of dishes in a real TClientDataSet, shown by a grid, for the data-aware widget tests.

#include "platform/toolkit/widgets/dbgrid.h"

#include "platform/toolkit/data/datasource.h"
#include "platform/toolkit/data/datetime.h"

#include <QApplication>

#include <memory>
#include <string>
#include <vector>

namespace tk::test {

struct Dish
{
    const char *name;
    double cost;
    const char *outdated; // "S" or "N"
    int safra;            // colour number of the seasonal band
};

inline const std::vector<Dish> &dishes()
{
    static const std::vector<Dish> rows{
        {"Arroz branco", 0.41235, "N", 0x0000FF00},
        {"Feijão carioca", 1234.5, "S", 0x000000FF},
        {"Frango grelhado", 3.10001, "N", 0x00FF0000},
        {"Salada verde", 0.0, "N", 0x0000FFFF},
        {"Pudim", 12.0, "S", 0x00808080},
    };
    return rows;
}

inline DataPacket dishPacket()
{
    DataPacket packet;
    packet.addField("DTCARDAPIO", FieldType::DateTime);
    packet.addField("NMPRATO", FieldType::String, 40);
    packet.addField("CUSTO", FieldType::Float);
    packet.addField("IDCUSTODESATU", FieldType::String, 1);
    packet.addField("SAFRA", FieldType::Integer);
    int day = 1;
    for (const Dish &d : dishes()) {
        packet.addRow({Variant::fromDateTime(EncodeDate(2024, 3, day++)), Variant(d.name), Variant(d.cost),
                       Variant(d.outdated), Variant(int32_t(d.safra))});
    }
    return packet;
}

// The dataset, its data source and a grid with four columns, in a shown window.
struct GridFixture
{
    TClientDataSet ds{"qryCardapio"};
    TDataSource source{"dtsCardapio", &ds};
    QWidget window;
    TDBGrid *grid = new TDBGrid(&window, "dbgCardapio");
    std::vector<int> afterScrollRows; // RecNo at every AfterScroll

    explicit GridFixture(bool show = true)
    {
        ds.SetData(dishPacket());
        ds.FieldByName("CUSTO")->SetDisplayFormat("#,##0.00000");
        ds.FieldByName("NMPRATO")->SetDisplayLabel("Nome do Prato");
        ds.AfterScroll = [this](TClientDataSet &d) { afterScrollRows.push_back(d.RecNo()); };
        grid->AddColumn("NMPRATO", "", 150);
        grid->AddColumn("CUSTO", "Custo do Prato", 90, TAlignment::taRightJustify);
        grid->AddColumn("DTCARDAPIO", "Data", 110);
        grid->AddColumn("SAFRA", "Safra", 30);
        grid->SetOptions(grid->Options() | dgAlwaysShowSelection);
        grid->SetDataSource(&source);
        window.resize(500, 300);
        grid->setGeometry(0, 0, 500, 300);
        if (show)
            window.show();
    }
};

} // namespace tk::test
