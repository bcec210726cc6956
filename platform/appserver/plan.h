#pragma once

// The planned side of the kitchen for one service and a range of days: menus, recipes, consumption
// items and indirect costs, read once and costed in C++ with the cost rules the window applies too
// (platform/toolkit/data/costrules.h), so that every figure is rounded exactly as the client rounds
// the packets it receives.
//
// Per ingredient of a menu line: tk::IngredientCost; a dish costs the sum of its ingredients and the
// day's raw material (VRCUSTPRODMAT) is tk::CostTotal of the sum of its dishes. Consumption items:
// tk::ConsumptionItemCost (per-capita items times the day's estimated diners, fixed items once), a type
// total tk::CostTotal(sum), and VRCUSTOCONS = tk::CostTotal(sum of the type totals).

#include "platform/appserver/pricing.h"
#include "platform/database/sqldb.h"

#include <functional>
#include <map>
#include <unordered_map>
#include <string>
#include <string_view>
#include <vector>

namespace appsrv {

// Who is analysed and how it is priced.
struct PricingContext
{
    std::string filial;
    std::string servico;
    std::string costBranch; // CdFiliCust, or CdFilial when that is empty
    int tipoCusto = 0;
    bool refeFixa = false;
    tk::TDateTime dtRefeFixa = 0;

    tk::TDateTime priceDate(tk::TDateTime day) const { return refeFixa ? dtRefeFixa : day; }
};

std::string effectiveCostBranch(const std::string &cdFiliCust, const std::string &cdFilial);

struct MenuDay
{
    double qtComEstiCar = 0; // all diets
    double qtCliEstiCar = 0;
    bool hasMenu = false;    // a menu of any diet exists on the day
};

struct MenuLine
{
    int dish = -1; // index in KitchenData::dishes
    tk::TDateTime day = 0;
    std::string cdDietPad;
    std::string cdFilAuxPrat;
    std::string cdPrato;
    std::string nmPrato;
    double vrPeConsCard = 0;
    double qtComEstiCar = 0; // of the line's diet menu
    double qtCliEstiCar = 0;
    double comensPrato = 0;
};

// A product of the recipes or consumption items. The name, unit and season calendar are read for the
// recipe products only (a consumption item carries its own name and unit).
struct ProductInfo
{
    std::string cdProduto;
    std::string nmProduto;
    std::string sgUnidade;
    std::string idInteSafr;
};

struct RecipeLine
{
    int product = -1; // index in KitchenData::products
    std::string sgUnidProd;
    double qtProduto = 0;
    double qtdeRece = 0;
    double vrFatCor = 0;
    double vrFatCoc = 0;
    double qtdeBruta = 0; // RoundDec(QTDERECE x VRFATCOR, 6): the value the packet carries
};

// A dish of the menus with its recipe, by product name, then code.
struct Dish
{
    std::string cdFilAuxPrat;
    std::string cdPrato;
    std::string nmPrato;
    std::vector<RecipeLine> recipe;
};

struct ConsumptionItem
{
    int product = -1; // index in KitchenData::products
    std::string idTipoDia;
    std::string idConsumo; // 'P' per diner, 'F' fixed
    std::string cdProduto;
    std::string nmProduto;
    std::string sgUnidade;
    double qtConsServ = 0;
};

struct ConsumptionType
{
    std::string tpCons;
    std::string cdTprConsFix;
    std::string nmTipoPrat;
    double vrCustPadrTp = 0;
};

struct IndirectCost
{
    std::string cdRateio;
    tk::TDateTime from = 0;
    std::string idTipoRat; // 'P' per diner, 'F' per menu day
    double vrRateio = 0;
};

// Diners of a dish: the menu's estimated diners times the dish's share, in whole diners.
double comensPrato(double qtComEstiCar, double vrPeConsCard);

// The day type of the consumption items: "8" on a holiday of the branch, else "1" (Sunday) .. "7".
std::string dayType(tk::TDateTime day, bool holiday);

class KitchenData
{
public:
    // What load reads besides the menus of the range (days, diets, dish lines): the recipes of the
    // dishes, and the consumption items, indirect costs and holidays of the service.
    enum Parts : unsigned { Menus = 0, Recipes = 1, Consumption = 2, Everything = Recipes | Consumption };

    // Reads what the planned costs of [first, last] need, by parts.
    static KitchenData load(db::Connection &connection, const std::string &filial, const std::string &servico,
                            tk::TDateTime first, tk::TDateTime last, unsigned parts = Everything);

    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    std::map<int, MenuDay> days;                    // by day serial (only days with a menu)
    std::vector<MenuLine> lines;                    // by day, diet, order
    std::vector<Dish> dishes;                       // every dish of the lines (recipes read with Recipes)
    std::vector<ConsumptionType> consumptionTypes;
    std::vector<ConsumptionItem> consumptionItems;
    std::vector<IndirectCost> indirectCosts;        // sorted by code, then start
    std::vector<int> holidays;                      // day serials
    std::vector<ProductInfo> products;              // every product of the recipes and consumption items

    int productIndex(std::string_view cdProduto);
    const ProductInfo &product(int index) const { return products[static_cast<size_t>(index)]; }

    bool isHoliday(tk::TDateTime day) const;
    const MenuDay *menuDay(tk::TDateTime day) const;
    const std::vector<RecipeLine> &recipe(const MenuLine &line) const;
    static std::string dishKey(std::string_view cdFilAuxPrat, std::string_view cdPrato);

private:
    // Looks up text keys without building a string.
    struct TextHash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> m_productIds; // CDPRODUTO -> index
};

// One priced product of one day, summed over menus and consumption items.
struct PlannedProduct
{
    double qtMenu = 0;        // gross quantity of the menus (sum of QtdeTotal)
    double qtConsumption = 0; // quantity of the consumption items (sum of QtdeTotal)
    double costMenu = 0;      // raw-material cost of the menus (sum of the lines' CustoTotal)
    bool inMenu = false;      // used by a dish of the day's menus
    Price price;
};

struct PlannedDay
{
    tk::TDateTime day = 0;
    double vrCustProdMat = 0;
    double vrCustoCons = 0;
    double vrCustoRat = 0;
    double qtComEstiCar = 0;
    double qtCliEstiCar = 0;
    bool outdated = false;                          // a price used on the day is an outdated quote
    std::map<std::string, PlannedProduct> products; // by CDPRODUTO
};

// Consumption of one day as the consumption page shows it.
struct ConsumptionLine
{
    const ConsumptionItem *item = nullptr; // Not owned.
    Price price;
    double qtdeTotal = 0;
    double custoTotal = 0;
};

struct ConsumptionDay
{
    std::vector<const ConsumptionType *> types; // types with items on the day, in table order
    std::vector<ConsumptionLine> lines;
    std::map<std::string, double> typeTotals;   // RoundDec(sum, 5) by TPCONS
    double total = 0;                           // RoundDec(sum of type totals, 5)
};

// The consumption of a day (day type from the holidays unless given), priced at priceDate.
ConsumptionDay costConsumption(const KitchenData &data, const PriceBook &book, tk::TDateTime day,
                               const std::string &idTipoDia, double diners, tk::TDateTime priceDate);

// The prices a plan of the days from first to last looks up: the fixed reference date, or each day.
PriceBook loadPlanPrices(db::Connection &connection, const PricingContext &context, tk::TDateTime first,
                         tk::TDateTime last, const KitchenData &data);

// Every day of [data.first, data.last], with zeros for days without a menu.
std::vector<PlannedDay> planMonth(const KitchenData &data, const PricingContext &context, const PriceBook &book);

} // namespace appsrv
