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
// GetDecomposicaoVariacao(CdFilial, CdServFili, first, last, CdTipoCusto, IdRefeFixa, DtRefeFixa,
//                         CdFiliCust, CdTipoCustoReal, DtProcesso)
//   -> [0] cdsVariacao: per day before DtProcesso, realized minus planned total cost split into the
//          diners effect (Nr - Np) x planned raw material per diner, the price effect
//          sum (realized - planned unit price) x realized quantity, the quantity effect
//          sum (realized quantity - planned quantity / Np x Nr) x planned unit price, the products
//          withdrawn that no planned dish of the day uses ("fora do cardápio"), the planned
//          consumption and indirect costs (which nothing realized answers), and the rounding
//          residual: the lines add up to the difference;
//      [1] cdsVariacaoMes: the same lines summed over those days (one row).
// Diners are all diners (QTCOMESTICAR, QTCOMEFETCAR), the basis of the dishes' quantities; a day
// without planned diners has no diners effect and compares quantities unscaled. The realized side is
// GetItemReti's, the planned side the daily table's plan walk.
//
// GetHistoricoPreco(branch, product, CdTipoCusto, price date)
//   -> [0] cdsHistPreco: the product's quotes (quote-based bases) or cost rows in force at some time in
//          the 12 months up to the price date, by supplier then start: supplier code and name,
//          validity, price, brand, IDVIGENTE "S" on the one the price date uses (IDDESATU "S" when
//          that one is outdated);
//      [1] cdsHistPrecoResumo (one row): minimum, maximum and last price of those rows (the last
//          is the latest started, as of the price date), the first day of the 12 months and the
//          price date, from which on a quote that has ended counts as outdated. No rows: nulls.
//
// Shares are of the day's raw material with the estimates added, in percent rounded to 2 places;
// a day on which that sum is 0 (no menu, no diners, nothing priced) has no shares and no
// confidence (null): it rests on nothing.

#include "platform/appserver/plan.h"

#include <map>
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

struct DayVariance
{
    tk::TDateTime day = 0;
    double planned = 0;  // VRCUSTOTOTAL: raw material + (consumption + indirect costs)
    double realized = 0; // CUSTO of the realized day
    double difference = 0;
    double diners = 0, price = 0, quantity = 0, offMenu = 0, indirect = 0, residual = 0;
    double plannedDiners = 0, realizedDiners = 0;
};

// One realized product of a day, as GetItemReti gives it.
struct RealizedProduct
{
    double quantity = 0;
    double unitCost = 0;
};
struct RealizedDayItems
{
    double diners = 0;
    std::map<std::string, RealizedProduct> products; // by CDPRODUTO
};

// The split of every planned day before processingDate; every figure RoundDec(., 5).
std::vector<DayVariance> varianceSplit(const std::vector<PlannedDay> &plan,
                                       const std::map<int, RealizedDayItems> &realized, tk::TDateTime processingDate);

// Adds the methods above to the service (see register.cpp).
void addInsightMethods(CostService &service);

} // namespace appsrv
