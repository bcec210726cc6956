#pragma once

// The cost rules both sides of the wire apply: the server when it costs a month (platform/appserver/
// plan.cpp), the window when it computes its calculated fields (costanalysis/menu/produto.cpp,
// costanalysis/consumption/consumo.cpp). One definition, so the figures agree to the last bit.
// Every rounding is RoundDec (half away from zero on the decimal value).

namespace tk {

struct LineCost
{
    double quantity = 0; // QtdeTotal
    double cost = 0;     // CustoTotal
};

// An ingredient of a dish: QtdeTotal = RoundDec(QTDEBRUTA x COMENSPRATO, 5),
// CustoTotal = RoundDec(CustoProd x QtdeTotal, 5).
LineCost IngredientCost(double qtdeBruta, double custoProd, double comensPrato);

// A consumption item of a day: a per-diner item (IDCONSUMO 'P') for the day's estimated diners, any
// other once. QtdeTotal = RoundDec(QTCONSSERV x factor, 5), CustoTotal = RoundDec(CustoUnit x QtdeTotal, 5).
LineCost ConsumptionItemCost(double qtConsServ, double custoUnit, bool perDiner, double diners);

// A total of rounded line costs (a dish's ingredients on a day, a consumption type): RoundDec(sum, 5).
double CostTotal(double sum);

// The diners of a dish: the menu's estimated diners times the dish's share (VRPECONSCARD, a
// percentage), in whole diners.
double DishDiners(double qtComEstiCar, double vrPeConsCard);

} // namespace tk
