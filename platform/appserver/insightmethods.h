#pragma once

// What each planned figure rests on, computed from the same plan walk and price book as the daily
// table (plan.h, pricing.h), and served as methods beside those of rdmCustoServ:
//
// GetConfiancaCusto(CdFilial, CdServFili, first, last, CdTipoCusto, IdRefeFixa, DtRefeFixa, CdFiliCust)
//   -> [0] cdsConfianca: per day the raw material, the part of it priced from an outdated quote, the
//          estimated cost of the ingredients without cost (at their last known price), how many
//          ingredients are behind each, the two shares and the confidence (100 minus both shares);
//      [1] cdsConfiancaProd: the ingredients behind those shares, heaviest first within a day;
//      [2] cdsConfiancaMes: the same figures for the whole range (one row).
// Shares are of the day's raw material with the estimates added, in percent rounded to 2 places;
// a day on which that sum is 0 (no menu, no diners, nothing priced) has no shares and no
// confidence (null): it rests on nothing.

#include "platform/appserver/plan.h"

#include <string>
#include <vector>

namespace appsrv {

class CostService;

struct BadIngredient
{
    std::string cdProduto;
    std::string nmProduto;
    bool estimated = false; // without cost, counted at its last known price; else an outdated quote
    double cost = 0;        // RoundDec(cost of the day's menu lines, 5)
};

struct DayConfidence
{
    tk::TDateTime day = 0;
    bool hasIngredients = false;
    double material = 0;      // VRCUSTPRODMAT
    double outdatedCost = 0;  // RoundDec(sum, 5)
    double estimatedCost = 0; // RoundDec(sum, 5)
    int outdatedCount = 0;
    int noCostCount = 0;
    std::vector<BadIngredient> ingredients; // heaviest first, then by name

    double base() const { return material + estimatedCost; }
};

// The confidence of each planned day, from the products the plan walk priced.
std::vector<DayConfidence> costConfidence(const std::vector<PlannedDay> &days, const KitchenData &data,
                                          const PriceBook &book, const PricingContext &context);

// RoundDec(100 x part / base, 2); 0 when base is not positive.
double sharePercent(double part, double base);
// 100 minus the two shares, rounded to 2 places; 0 when base is not positive.
double confidencePercent(double outdated, double estimated, double base);

// Adds the methods above to the service (see register.cpp).
void addInsightMethods(CostService &service);

} // namespace appsrv
