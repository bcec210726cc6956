#include "platform/toolkit/data/costrules.h"

#include "platform/toolkit/data/formats.h"

namespace tk {

LineCost IngredientCost(double qtdeBruta, double custoProd, double comensPrato)
{
    LineCost line;
    line.quantity = RoundDec(qtdeBruta * comensPrato, 5);
    line.cost = RoundDec(custoProd * line.quantity, 5);
    return line;
}

LineCost ConsumptionItemCost(double qtConsServ, double custoUnit, bool perDiner, double diners)
{
    LineCost line;
    line.quantity = RoundDec(qtConsServ * (perDiner ? diners : 1.0), 5);
    line.cost = RoundDec(custoUnit * line.quantity, 5);
    return line;
}

double CostTotal(double sum)
{
    return RoundDec(sum, 5);
}

double DishDiners(double qtComEstiCar, double vrPeConsCard)
{
    return RoundDec(qtComEstiCar * vrPeConsCard / 100.0, 0);
}

} // namespace tk
