#include "platform/appserver/insightmethods.h"

#include "platform/appserver/costmethods.h"
#include "platform/appserver/rounding.h"
#include "platform/appserver/workset.h"
#include "platform/contract/costmethods.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <unordered_map>

namespace appsrv {

namespace {

using tk::FieldType;

constexpr double kMaxRangeDays = 62; // as the daily table: a month, with room for odd calendars

tk::PacketField str(const char *name, int32_t size)
{
    return {name, FieldType::String, size, 0};
}
tk::PacketField flt(const char *name)
{
    return {name, FieldType::Float, 0, 0};
}
tk::PacketField dt(const char *name)
{
    return {name, FieldType::DateTime, 0, 0};
}

tk::Variant date(tk::TDateTime value)
{
    return tk::Variant::fromDateTime(value);
}

// The pricing context of a planned range, read from the arguments shared by the insight methods:
// CdFilial, CdServFili, first, last, CdTipoCusto, IdRefeFixa, DtRefeFixa, CdFiliCust.
struct PlanArgs
{
    PricingContext context;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
};

PlanArgs readPlanArgs(const contract::PlannedMonth &args)
{
    PlanArgs a;
    a.context.filial = args.CdFilial;
    a.context.servico = args.CdServFili;
    a.first = std::floor(args.first);
    a.last = std::floor(args.last);
    a.context.tipoCusto = args.CdTipoCusto;
    a.context.refeFixa = args.IdRefeFixa;
    a.context.dtRefeFixa = args.DtRefeFixa;
    a.context.costBranch = effectiveCostBranch(args.CdFiliCust, a.context.filial);
    if (a.last < a.first)
        contract::refuseArgument(4, "last", "is before the first day");
    if (a.last - a.first > kMaxRangeDays)
        contract::refuseArgument(4, "last", "is more than 62 days after the first day");
    return a;
}

// The same day a year earlier (28 February for 29 February).
tk::TDateTime yearBefore(tk::TDateTime day)
{
    int y = 0, m = 0, d = 0;
    tk::DecodeDate(day, y, m, d);
    return tk::EncodeDate(y - 1, m, std::min(d, tk::DaysInMonth(y - 1, m)));
}

tk::Variant percentOrNull(bool known, double value)
{
    return known ? tk::Variant(value) : tk::Variant();
}

} // namespace

double sharePercent(double part, double base)
{
    return base > 0 ? roundDec(100.0 * part / base, 2) : 0.0;
}

double confidencePercent(double outdated, double estimated, double base)
{
    return base > 0 ? roundDec(100.0 - 100.0 * (outdated + estimated) / base, 2) : 0.0;
}

std::vector<DayConfidence> costConfidence(const std::vector<PlannedDay> &days, const KitchenData &data,
                                          const PriceBook &book, const PricingContext &context)
{
    std::unordered_map<std::string, const ProductInfo *> names;
    for (const ProductInfo &product : data.products)
        names.emplace(product.cdProduto, &product);

    std::vector<DayConfidence> result;
    result.reserve(days.size());
    for (const PlannedDay &day : days) {
        DayConfidence c;
        c.day = day.day;
        c.material = day.vrCustProdMat;
        double outdated = 0, estimated = 0;
        for (const auto &[code, planned] : day.products) {
            if (!planned.inMenu)
                continue;
            c.hasIngredients = true;
            BadIngredient bad;
            if (planned.price.cost == 0) {
                // A product without cost: the menus' quantity at the last price it had.
                bad.estimated = true;
                bad.cost = roundDec(book.lastKnownCost(code, context.priceDate(day.day)) * planned.qtMenu, 5);
                estimated += bad.cost;
                ++c.noCostCount;
            } else if (planned.price.outdated) {
                bad.cost = roundDec(planned.costMenu, 5);
                outdated += bad.cost;
                ++c.outdatedCount;
            } else {
                continue;
            }
            bad.cdProduto = code;
            const auto info = names.find(code);
            bad.nmProduto = info != names.end() ? info->second->nmProduto : code;
            c.ingredients.push_back(std::move(bad));
        }
        c.outdatedCost = roundDec(outdated, 5);
        c.estimatedCost = roundDec(estimated, 5);
        std::sort(c.ingredients.begin(), c.ingredients.end(), [](const BadIngredient &a, const BadIngredient &b) {
            if (a.cost != b.cost)
                return a.cost > b.cost;
            return a.nmProduto != b.nmProduto ? a.nmProduto < b.nmProduto : a.cdProduto < b.cdProduto;
        });
        result.push_back(std::move(c));
    }
    return result;
}

std::vector<DayVariance> varianceSplit(const std::vector<PlannedDay> &plan,
                                       const std::map<int, RealizedDayItems> &realized, tk::TDateTime processingDate)
{
    static const RealizedDayItems nothing;
    std::vector<DayVariance> result;
    for (const PlannedDay &day : plan) {
        if (!(day.day < processingDate))
            break; // the comparison's realized rows end at the processing date
        const auto found = realized.find(static_cast<int>(std::floor(day.day)));
        const RealizedDayItems &real = found == realized.end() ? nothing : found->second;
        DayVariance v;
        v.day = day.day;
        v.plannedDiners = day.qtComEstiCar;
        v.realizedDiners = real.diners;
        v.planned = day.vrCustProdMat + (day.vrCustoCons + day.vrCustoRat);
        double realizedCost = 0;
        for (const auto &[code, item] : real.products)
            realizedCost += item.quantity * item.unitCost;
        v.realized = roundDec(realizedCost, 5);

        const double np = v.plannedDiners, nr = v.realizedDiners;
        double price = 0, quantity = 0, offMenu = 0;
        if (np > 0)
            v.diners = roundDec((nr - np) * (day.vrCustProdMat / np), 5);
        for (const auto &[code, planned] : day.products) {
            if (!planned.inMenu)
                continue;
            const auto withdrawn = real.products.find(code);
            const double qr = withdrawn == real.products.end() ? 0.0 : withdrawn->second.quantity;
            const double cr = withdrawn == real.products.end() ? 0.0 : withdrawn->second.unitCost;
            const double cp = planned.price.cost;
            price += (cr - cp) * qr;
            quantity += (qr - (np > 0 ? planned.qtMenu / np * nr : planned.qtMenu)) * cp;
        }
        for (const auto &[code, item] : real.products) {
            const auto planned = day.products.find(code);
            if (planned == day.products.end() || !planned->second.inMenu)
                offMenu += item.quantity * item.unitCost;
        }
        v.price = roundDec(price, 5);
        v.quantity = roundDec(quantity, 5);
        v.offMenu = roundDec(offMenu, 5);
        v.indirect = roundDec(-(day.vrCustoCons + day.vrCustoRat), 5);
        v.difference = roundDec(v.realized - v.planned, 5);
        v.residual = roundDec(v.difference - (v.diners + v.price + v.quantity + v.offMenu + v.indirect), 5);
        result.push_back(v);
    }
    return result;
}

namespace {

// [days, their products, the month] of GetConfiancaCusto and GetConfiancaTrab.
tk::Variant confidencePackets(const std::vector<DayConfidence> &days)
{
    tk::DataPacket daily(std::vector<tk::PacketField>{
        dt("DTDATA"), flt("VRCUSTPRODMAT"), flt("VRCUSTDESATU"), flt("VRCUSTESTIM"), flt("QTPRODDESATU"),
        flt("QTPRODSEMCUSTO"), flt("PCDESATU"), flt("PCSEMCUSTO"), flt("PCCONFIANCA")});
    tk::DataPacket ingredients(std::vector<tk::PacketField>{dt("DTDATA"), str("CDPRODUTO", 10),
                                                            str("NMPRODUTO", 50), str("IDMOTIVO", 1),
                                                            flt("VRCUSTO"), flt("PCCUSTO")});
    double material = 0, outdated = 0, estimated = 0;
    std::set<std::string> outdatedProducts, noCostProducts;
    for (const DayConfidence &c : days) {
        const double base = c.base();
        daily.addRow({date(c.day), c.material, c.outdatedCost, c.estimatedCost, static_cast<double>(c.outdatedCount),
                      static_cast<double>(c.noCostCount), percentOrNull(base > 0, sharePercent(c.outdatedCost, base)),
                      percentOrNull(base > 0, sharePercent(c.estimatedCost, base)),
                      percentOrNull(base > 0, confidencePercent(c.outdatedCost, c.estimatedCost, base))});
        for (const BadIngredient &i : c.ingredients) {
            ingredients.addRow({date(c.day), i.cdProduto, i.nmProduto, i.estimated ? "E" : "D", i.cost,
                                sharePercent(i.cost, base)});
            (i.estimated ? noCostProducts : outdatedProducts).insert(i.cdProduto);
        }
        material += c.material;
        outdated += c.outdatedCost;
        estimated += c.estimatedCost;
    }
    material = roundDec(material, 5);
    outdated = roundDec(outdated, 5);
    estimated = roundDec(estimated, 5);
    tk::DataPacket month(std::vector<tk::PacketField>{flt("VRCUSTPRODMAT"), flt("VRCUSTDESATU"), flt("VRCUSTESTIM"),
                                                      flt("QTPRODDESATU"), flt("QTPRODSEMCUSTO"), flt("PCDESATU"),
                                                      flt("PCSEMCUSTO"), flt("PCCONFIANCA")});
    const double base = material + estimated;
    month.addRow({material, outdated, estimated, static_cast<double>(outdatedProducts.size()),
                  static_cast<double>(noCostProducts.size()), percentOrNull(base > 0, sharePercent(outdated, base)),
                  percentOrNull(base > 0, sharePercent(estimated, base)),
                  percentOrNull(base > 0, confidencePercent(outdated, estimated, base))});
    return tk::Variant::array(
        {tk::Variant(std::move(daily)), tk::Variant(std::move(ingredients)), tk::Variant(std::move(month))});
}

tk::Variant getConfiancaCusto(CostService &service, const tk::VariantArray &argv)
{
    const PlanArgs a = readPlanArgs(contract::fromWire<contract::GetConfiancaCusto>(argv));
    std::vector<DayConfidence> days;
    service.readTransaction([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, a.context.filial, a.context.servico, a.first, a.last,
                                                   KitchenData::Everything);
        const PriceBook book = loadPlanPrices(c, a.context, a.first, a.last, data);
        days = costConfidence(planMonth(data, a.context, book), data, book, a.context);
    });
    return confidencePackets(days);
}

// The confidence GetTrabCusto stored with the caller's work set: no second pricing of the month.
tk::Variant getConfiancaTrab(CostService &service, const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetConfiancaTrab>(argv);
    std::vector<DayConfidence> days;
    service.readTransaction([&](db::Connection &c) {
        requireWorkSet(c, args.ChaveTrabCusto, args.CdFilial, wire::RpcServer::callSession());
        days = readWorkSetConfidence(c, args.ChaveTrabCusto);
    });
    return confidencePackets(days);
}

tk::Variant getDecomposicaoVariacao(CostService &service, const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetDecomposicaoVariacao>(argv);
    const PlanArgs a = readPlanArgs(args);
    const int tipoCustoReal = args.CdTipoCustoReal;
    const tk::TDateTime processing = args.DtProcesso;

    std::vector<PlannedDay> plan;
    service.readTransaction([&](db::Connection &c) {
        const KitchenData data = KitchenData::load(c, a.context.filial, a.context.servico, a.first, a.last,
                                                   KitchenData::Everything);
        plan = planMonth(data, a.context, loadPlanPrices(c, a.context, a.first, a.last, data));
    });
    // The realized side exactly as the realized page reads it: GetItemReti, month by month.
    std::map<int, RealizedDayItems> realized;
    for (tk::TDateTime month = tk::StartOfTheMonth(a.first); month <= a.last;
         month = tk::EndOfTheMonth(month) + 1) {
        const tk::Variant items = service.call("GetItemReti", {a.context.filial, a.context.servico, date(month),
                                                               tipoCustoReal, a.context.refeFixa,
                                                               date(a.context.dtRefeFixa), argv[7]});
        const tk::DataPacket &packet = items.packet();
        const int day = packet.fieldIndex("DTCARDAPIO"), code = packet.fieldIndex("CDPRODUTO"),
                  unit = packet.fieldIndex("CustoUnit"), qty = packet.fieldIndex("QTRETIRADA"),
                  diners = packet.fieldIndex("QTCOMEFETCAR");
        for (const auto &row : packet.rows) {
            RealizedDayItems &d = realized[static_cast<int>(std::floor(row[static_cast<size_t>(day)].asDateTime()))];
            d.diners = row[static_cast<size_t>(diners)].isNull() ? 0.0 : row[static_cast<size_t>(diners)].asDouble();
            RealizedProduct &p = d.products[row[static_cast<size_t>(code)].asString()];
            p.quantity += row[static_cast<size_t>(qty)].asDouble();
            p.unitCost = row[static_cast<size_t>(unit)].asDouble();
        }
    }

    auto fields = [](bool withDay) {
        std::vector<tk::PacketField> f;
        if (withDay)
            f.push_back(dt("DTDATA"));
        for (const char *name : {"QTCOMENSPLAN", "QTCOMENSREAL", "VRCUSTOPLAN", "VRCUSTOREAL", "VRDIFERENCA",
                                 "VREFEITOCOMENS", "VREFEITOPRECO", "VREFEITOQTDE", "VRFORACARD", "VRCONSINDIR",
                                 "VRRESIDUO"})
            f.push_back(flt(name));
        return f;
    };
    tk::DataPacket daily(fields(true));
    tk::DataPacket month(fields(false));
    DayVariance sum;
    for (const DayVariance &v : varianceSplit(plan, realized, processing)) {
        daily.addRow({date(v.day), v.plannedDiners, v.realizedDiners, v.planned, v.realized, v.difference, v.diners,
                      v.price, v.quantity, v.offMenu, v.indirect, v.residual});
        sum.plannedDiners += v.plannedDiners;
        sum.realizedDiners += v.realizedDiners;
        sum.planned += v.planned;
        sum.realized += v.realized;
        sum.difference += v.difference;
        sum.diners += v.diners;
        sum.price += v.price;
        sum.quantity += v.quantity;
        sum.offMenu += v.offMenu;
        sum.indirect += v.indirect;
        sum.residual += v.residual;
    }
    month.addRow({sum.plannedDiners, sum.realizedDiners, roundDec(sum.planned, 5), roundDec(sum.realized, 5),
                  roundDec(sum.difference, 5), roundDec(sum.diners, 5), roundDec(sum.price, 5),
                  roundDec(sum.quantity, 5), roundDec(sum.offMenu, 5), roundDec(sum.indirect, 5),
                  roundDec(sum.residual, 5)});
    return tk::Variant::array({tk::Variant(std::move(daily)), tk::Variant(std::move(month))});
}

tk::Variant getHistoricoPreco(CostService &service, const tk::VariantArray &argv)
{
    const auto args = contract::fromWire<contract::GetHistoricoPreco>(argv);
    const std::string &branch = args.branch;
    const std::string &product = args.product;
    const int tipoCusto = args.CdTipoCusto;
    const tk::TDateTime priceDate = std::floor(args.priceDate);
    const tk::TDateTime from = yearBefore(priceDate) + 1;

    tk::DataPacket rows(std::vector<tk::PacketField>{str("CDFORNECED", 21), str("NMRAZSOCFORN", 40),
                                                     dt("DTINIVALITM"), dt("DTFINVALITM"), flt("VRPRECO"),
                                                     str("NMMARCA", 20), str("IDVIGENTE", 1), str("IDDESATU", 1)});
    tk::DataPacket summary(std::vector<tk::PacketField>{flt("VRMINIMO"), flt("VRMAXIMO"), flt("VRULTIMO"),
                                                        dt("DTULTIMO"), dt("DTINICIO"), dt("DTLIMITE")});
    service.readTransaction([&](db::Connection &c) {
        const PriceBook book = PriceBook::load(c, branch, tipoCusto, product);
        const Price inForce = book.lookup(product, priceDate);
        std::vector<const PriceEntry *> shown;
        for (const PriceEntry &e : book.entries(product)) {
            // In force at some time of the 12 months (a cost row until the next one starts), known by
            // the price date.
            const bool endsBefore = !e.openEnded && e.to < from;
            if (e.from <= priceDate && !endsBefore)
                shown.push_back(&e);
        }
        std::stable_sort(shown.begin(), shown.end(), [](const PriceEntry *a, const PriceEntry *b) {
            return a->supplier != b->supplier ? a->supplier < b->supplier : a->from < b->from;
        });
        std::map<std::string, std::string> names;
        for (const PriceEntry *e : shown) {
            if (e->supplier.empty() || names.count(e->supplier))
                continue;
            const tk::DataPacket s = c.query("SELECT NMRAZSOCFORN FROM FORNECEDOR WHERE CDFORNECED = :F",
                                             {{"F", e->supplier}});
            names[e->supplier] = s.rows.empty() || s.rows[0][0].isNull() ? std::string() : s.rows[0][0].asString();
        }
        double low = 0, high = 0;
        const PriceEntry *last = nullptr;
        for (const PriceEntry *e : shown) {
            const bool current = inForce.entry == e;
            rows.addRow({e->supplier.empty() ? tk::Variant() : tk::Variant(e->supplier),
                         e->supplier.empty() ? tk::Variant() : tk::Variant(names[e->supplier]), date(e->from),
                         e->openEnded ? tk::Variant() : date(e->to), e->value,
                         e->brand.empty() ? tk::Variant() : tk::Variant(e->brand), current ? "S" : "N",
                         current && inForce.outdated ? "S" : "N"});
            low = e == shown.front() ? e->value : std::min(low, e->value);
            high = e == shown.front() ? e->value : std::max(high, e->value);
            if (!last || e->from > last->from || (e->from == last->from && current))
                last = e;
        }
        if (shown.empty()) {
            summary.addRow({tk::Variant(), tk::Variant(), tk::Variant(), tk::Variant(), date(from), date(priceDate)});
        } else {
            summary.addRow({low, high, last->value, date(last->from), date(from), date(priceDate)});
        }
    });
    return tk::Variant::array({tk::Variant(std::move(rows)), tk::Variant(std::move(summary))});
}

} // namespace

void addInsightMethods(CostService &service)
{
    service.addMethod("GetHistoricoPreco", [&service](const tk::VariantArray &args) {
        return getHistoricoPreco(service, args);
    });
    service.addMethod("GetDecomposicaoVariacao", [&service](const tk::VariantArray &args) {
        return getDecomposicaoVariacao(service, args);
    });
    service.addMethod("GetConfiancaCusto", [&service](const tk::VariantArray &args) {
        return getConfiancaCusto(service, args);
    });
    service.addMethod("GetConfiancaTrab", [&service](const tk::VariantArray &args) {
        return getConfiancaTrab(service, args);
    });
}

} // namespace appsrv
