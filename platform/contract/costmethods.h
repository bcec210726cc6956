#pragma once

// The methods of the cost-analysis remote data module (rdmCustoServ) as both sides of the wire see
// them. For each method: its name; its arguments as a struct whose `arguments()` lists, in wire
// order, each member with its wire name and kind (the one conversion both ways is toWire/fromWire);
// whether it answers a checked result ([success, error text, payload]); and the field layouts of the
// packets it returns. The client builds the struct, the server reads it back; the packets the server
// builds start from these layouts and the window's datasets declare the same data fields.

#include "platform/contract/conversion.h"
#include "platform/toolkit/data/datapacket.h"

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace contract {

// One argument: its wire name (as the error texts name it), its kind and its member.
// A branch argument (made by branch()) is a code naming a branch of the kitchen: a server where
// operators sign in refuses a call whose branch arguments name a branch the operator may not see.
template<typename M, typename T>
struct Arg
{
    const char *name;
    ArgKind kind;
    T M::*member;
    bool branch = false;
};

template<typename M>
constexpr Arg<M, std::string> code(const char *name, std::string M::*member)
{
    return {name, ArgKind::Code, member};
}
template<typename M>
constexpr Arg<M, std::string> branch(const char *name, std::string M::*member)
{
    return {name, ArgKind::Code, member, true};
}
template<typename M>
constexpr Arg<M, int32_t> integer(const char *name, int32_t M::*member)
{
    return {name, ArgKind::Integer, member};
}
template<typename M>
constexpr Arg<M, tk::TDateTime> date(const char *name, tk::TDateTime M::*member)
{
    return {name, ArgKind::Date, member};
}
template<typename M>
constexpr Arg<M, bool> flag(const char *name, bool M::*member)
{
    return {name, ArgKind::Flag, member};
}

// A packet a method returns: the client's dataset it fills, where it sits in the answer (-1: the
// answer itself, or the payload of a checked answer; else the index in the answer's array) and its
// fields in order.
struct PacketLayout
{
    const char *dataset;
    int index;
    std::vector<tk::PacketField> fields;
};

struct ArgSpec
{
    const char *name;
    ArgKind kind;
    bool branch = false; // names a branch (see Arg)
};

// What the registry knows of a method, for code that has only its name (the replay, a dispatcher).
struct MethodInfo
{
    const char *name;
    bool checked;
    std::vector<ArgSpec> arguments;
    const std::vector<PacketLayout> *packets;
};

// ---------------------------------------------------------------------------------------------------
// The methods

// -> [qryParamFilial, qryParamPlaneja]
struct GetParams
{
    static constexpr const char *name = "GetParams";
    static constexpr bool checked = false;
    std::string CdFilial;

    static constexpr auto arguments() { return std::tuple{branch("CdFilial", &GetParams::CdFilial)}; }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetParams &) const = default;
};

// -> [ChaveTrabCusto or an error text, qryTrabCusto, cdsPreCotDesatu]
struct GetTrabCusto
{
    static constexpr const char *name = "GetTrabCusto";
    static constexpr bool checked = false;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    int32_t CdTipoCusto = 0;
    std::string operador;
    bool IdRefeFixa = false;
    tk::TDateTime DtRefeFixa = 0;
    std::string CdFiliCust;
    bool write = false;

    static constexpr auto arguments()
    {
        using M = GetTrabCusto;
        return std::tuple{branch("CdFilial", &M::CdFilial),     code("CdServFili", &M::CdServFili),
                          date("first", &M::first),           date("last", &M::last),
                          integer("CdTipoCusto", &M::CdTipoCusto), code("operator", &M::operador),
                          flag("IdRefeFixa", &M::IdRefeFixa), date("DtRefeFixa", &M::DtRefeFixa),
                          branch("CdFiliCust", &M::CdFiliCust), flag("write", &M::write)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetTrabCusto &) const = default;
};

// -> cdsCustoPadrao
struct GetCustoPadrao
{
    static constexpr const char *name = "GetCustoPadrao";
    static constexpr bool checked = false;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0;

    static constexpr auto arguments()
    {
        using M = GetCustoPadrao;
        return std::tuple{branch("CdFilial", &M::CdFilial), code("CdServFili", &M::CdServFili),
                          date("first", &M::first)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetCustoPadrao &) const = default;
};

// -> checked: the month's planned diners (a Double)
struct GetComensPlan
{
    static constexpr const char *name = "GetComensPlan";
    static constexpr bool checked = true;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime DtIniMes = 0;

    static constexpr auto arguments()
    {
        using M = GetComensPlan;
        return std::tuple{branch("CdFilial", &M::CdFilial), code("CdServFili", &M::CdServFili),
                          date("DtIniMes", &M::DtIniMes)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetComensPlan &) const = default;
};

// -> qryCardapio
struct GetCardapio
{
    static constexpr const char *name = "GetCardapio";
    static constexpr bool checked = false;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0; // any day of the month

    static constexpr auto arguments()
    {
        using M = GetCardapio;
        return std::tuple{branch("CdFilial", &M::CdFilial), code("CdServFili", &M::CdServFili),
                          date("first", &M::first)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetCardapio &) const = default;
};

// -> qryProduto
struct GetProduto
{
    static constexpr const char *name = "GetProduto";
    static constexpr bool checked = false;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime day = 0;
    int32_t CdTipoCusto = 0;
    bool IdRefeFixa = false;
    tk::TDateTime priceDate = 0;
    tk::TDateTime first = 0;
    std::string CdFiliCust;

    static constexpr auto arguments()
    {
        using M = GetProduto;
        return std::tuple{branch("CdFilial", &M::CdFilial),     code("CdServFili", &M::CdServFili),
                          date("day", &M::day),               integer("CdTipoCusto", &M::CdTipoCusto),
                          flag("IdRefeFixa", &M::IdRefeFixa), date("price date", &M::priceDate),
                          date("first", &M::first),           branch("CdFiliCust", &M::CdFiliCust)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetProduto &) const = default;
};

// -> [cdsConsumo, qryConsServ, cdsComens]
struct GetConsServ
{
    static constexpr const char *name = "GetConsServ";
    static constexpr bool checked = false;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime day = 0;
    int32_t CdTipoCusto = 0;
    std::string dayType; // "1" to "8"
    tk::TDateTime priceDate = 0;
    std::string CdFiliCust;

    static constexpr auto arguments()
    {
        using M = GetConsServ;
        return std::tuple{branch("CdFilial", &M::CdFilial),   code("CdServFili", &M::CdServFili),
                          date("day", &M::day),             integer("CdTipoCusto", &M::CdTipoCusto),
                          code("day type", &M::dayType),    date("price date", &M::priceDate),
                          branch("CdFiliCust", &M::CdFiliCust)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetConsServ &) const = default;
};

// The realized side of a month: GetRealizado -> qryRealizado, GetItemReti -> qryItemReti.
struct RealizedMonth
{
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0; // any day of the month
    int32_t CdTipoCustoReal = 0;
    bool IdRefeFixa = false;
    tk::TDateTime DtRefeFixa = 0;
    std::string CdFiliCust;

    static constexpr auto arguments()
    {
        using M = RealizedMonth;
        return std::tuple{branch("CdFilial", &M::CdFilial),     code("CdServFili", &M::CdServFili),
                          date("first", &M::first),           integer("CdTipoCustoReal", &M::CdTipoCustoReal),
                          flag("IdRefeFixa", &M::IdRefeFixa), date("DtRefeFixa", &M::DtRefeFixa),
                          branch("CdFiliCust", &M::CdFiliCust)};
    }
    bool operator==(const RealizedMonth &) const = default;
};

struct GetRealizado : RealizedMonth
{
    static constexpr const char *name = "GetRealizado";
    static constexpr bool checked = false;
    static const std::vector<PacketLayout> &packets();
};

struct GetItemReti : RealizedMonth
{
    static constexpr const char *name = "GetItemReti";
    static constexpr bool checked = false;
    static const std::vector<PacketLayout> &packets();
};

// -> cdsProdCustZero
struct GetProdCustZero
{
    static constexpr const char *name = "GetProdCustZero";
    static constexpr bool checked = false;
    std::string CdFiliCust;
    int32_t CdTipoCusto = 0;
    tk::TDateTime DtRefeFixa = 0;
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    bool IdRefeFixa = false;

    static constexpr auto arguments()
    {
        using M = GetProdCustZero;
        return std::tuple{branch("CdFiliCust", &M::CdFiliCust), integer("CdTipoCusto", &M::CdTipoCusto),
                          date("DtRefeFixa", &M::DtRefeFixa), branch("CdFilial", &M::CdFilial),
                          code("CdServFili", &M::CdServFili), date("first", &M::first),
                          date("last", &M::last),             flag("IdRefeFixa", &M::IdRefeFixa)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetProdCustZero &) const = default;
};

// -> cdsProdCotDesatu
struct GetProdCotDesatu
{
    static constexpr const char *name = "GetProdCotDesatu";
    static constexpr bool checked = false;
    std::string ChaveTrabCusto;
    std::string CdFilial;
    std::string CdFiliCust;
    std::string CdServFili;
    int32_t CdTipoCusto = 0;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    tk::TDateTime DtRefeFixa = 0;
    bool IdRefeFixa = false;

    static constexpr auto arguments()
    {
        using M = GetProdCotDesatu;
        return std::tuple{code("ChaveTrabCusto", &M::ChaveTrabCusto), branch("CdFilial", &M::CdFilial),
                          branch("CdFiliCust", &M::CdFiliCust),         code("CdServFili", &M::CdServFili),
                          integer("CdTipoCusto", &M::CdTipoCusto),    date("first", &M::first),
                          date("last", &M::last),                     date("DtRefeFixa", &M::DtRefeFixa),
                          flag("IdRefeFixa", &M::IdRefeFixa)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetProdCotDesatu &) const = default;
};

// -> checked cdsOrigemCusto
struct GetOrigemCusto
{
    static constexpr const char *name = "GetOrigemCusto";
    static constexpr bool checked = true;
    std::string branch;
    std::string product;
    int32_t CdTipoCusto = 0;
    tk::TDateTime priceDate = 0;

    static constexpr auto arguments()
    {
        using M = GetOrigemCusto;
        return std::tuple{contract::branch("branch", &M::branch), code("product", &M::product),
                          integer("CdTipoCusto", &M::CdTipoCusto), date("price date", &M::priceDate)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetOrigemCusto &) const = default;
};

// -> "" on success, else an error text
struct DelConsplan
{
    static constexpr const char *name = "DelConsplan";
    static constexpr bool checked = false;
    std::string ChaveTrabCusto;
    std::string CdFilial;

    static constexpr auto arguments()
    {
        using M = DelConsplan;
        return std::tuple{code("ChaveTrabCusto", &M::ChaveTrabCusto), branch("CdFilial", &M::CdFilial)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const DelConsplan &) const = default;
};

// -> Integer: the server's work-set lease in seconds. Renews the calling session's work sets, as any call
// does; an idle window sends it so that its work set outlives a pause of its user.
struct RenovaSessao
{
    static constexpr const char *name = "RenovaSessao";
    static constexpr bool checked = false;
    static constexpr bool branchFree = true; // renews the session's own work sets, of any branch

    static constexpr auto arguments() { return std::tuple<>{}; }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const RenovaSessao &) const = default;
};

// The figures beside the specified ones. Their packets are built beside the methods
// (platform/appserver/insightmethods.cpp) and read by name by the window's own lists.

// The planned range the confidence and the variance split rest on, priced as the daily table prices
// it: the same arguments in the same wire order for both.
struct PlannedMonth
{
    std::string CdFilial;
    std::string CdServFili;
    tk::TDateTime first = 0;
    tk::TDateTime last = 0;
    int CdTipoCusto = 0;
    bool IdRefeFixa = false;
    tk::TDateTime DtRefeFixa = 0;
    std::string CdFiliCust;

    static constexpr auto arguments()
    {
        using M = PlannedMonth;
        return std::tuple{branch("CdFilial", &M::CdFilial),         code("CdServFili", &M::CdServFili),
                          date("first", &M::first),               date("last", &M::last),
                          integer("CdTipoCusto", &M::CdTipoCusto), flag("IdRefeFixa", &M::IdRefeFixa),
                          date("DtRefeFixa", &M::DtRefeFixa),     branch("CdFiliCust", &M::CdFiliCust)};
    }
    bool operator==(const PlannedMonth &) const = default;
};

// -> per day the raw material resting on outdated quotes and on products without cost
struct GetConfiancaCusto : PlannedMonth
{
    static constexpr const char *name = "GetConfiancaCusto";
    static constexpr bool checked = false;
    static const std::vector<PacketLayout> &packets();
};

// -> the same packets as GetConfiancaCusto, as GetTrabCusto computed them for its work set: the window
// that holds a work set reads its confidence from there instead of pricing the month again
struct GetConfiancaTrab
{
    static constexpr const char *name = "GetConfiancaTrab";
    static constexpr bool checked = false;
    std::string ChaveTrabCusto;
    std::string CdFilial;

    static constexpr auto arguments()
    {
        using M = GetConfiancaTrab;
        return std::tuple{code("ChaveTrabCusto", &M::ChaveTrabCusto), branch("CdFilial", &M::CdFilial)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetConfiancaTrab &) const = default;
};

// -> realized minus planned per day before the processing date, split by cause
struct GetDecomposicaoVariacao : PlannedMonth
{
    static constexpr const char *name = "GetDecomposicaoVariacao";
    static constexpr bool checked = false;
    int CdTipoCustoReal = 0;
    tk::TDateTime DtProcesso = 0;

    static constexpr auto arguments()
    {
        using M = GetDecomposicaoVariacao;
        return std::tuple_cat(PlannedMonth::arguments(),
                              std::tuple{integer("CdTipoCustoReal", &M::CdTipoCustoReal),
                                         date("DtProcesso", &M::DtProcesso)});
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetDecomposicaoVariacao &) const = default;
};

// -> a product's quotes or cost rows of the 12 months up to the price date, and their summary
struct GetHistoricoPreco
{
    static constexpr const char *name = "GetHistoricoPreco";
    static constexpr bool checked = false;
    std::string branch;
    std::string product;
    int CdTipoCusto = 0;
    tk::TDateTime priceDate = 0;

    static constexpr auto arguments()
    {
        using M = GetHistoricoPreco;
        return std::tuple{contract::branch("branch", &M::branch), code("product", &M::product),
                          integer("CdTipoCusto", &M::CdTipoCusto), date("price date", &M::priceDate)};
    }
    static const std::vector<PacketLayout> &packets();
    bool operator==(const GetHistoricoPreco &) const = default;
};

// ---------------------------------------------------------------------------------------------------
// The one conversion

namespace detail {
inline tk::Variant wireValue(ArgKind, const std::string &value)
{
    return tk::Variant(value);
}
inline tk::Variant wireValue(ArgKind, int32_t value)
{
    return tk::Variant(value);
}
inline tk::Variant wireValue(ArgKind, bool value)
{
    return tk::Variant(value);
}
inline tk::Variant wireValue(ArgKind, double value)
{
    return tk::Variant::fromDateTime(value);
}

template<typename T>
Converted<T> fromValue(ArgKind kind, const tk::Variant &value);
template<>
inline Converted<std::string> fromValue(ArgKind, const tk::Variant &value)
{
    return toCode(value);
}
template<>
inline Converted<int32_t> fromValue(ArgKind, const tk::Variant &value)
{
    return toInteger(value);
}
template<>
inline Converted<double> fromValue(ArgKind, const tk::Variant &value)
{
    return toDate(value);
}
template<>
inline Converted<bool> fromValue(ArgKind, const tk::Variant &value)
{
    return toFlag(value);
}
} // namespace detail

template<typename M>
constexpr size_t argumentCount()
{
    return std::tuple_size_v<decltype(M::arguments())>;
}

// The wire form of a call's arguments, in the method's order.
template<typename M>
tk::VariantArray toWire(const M &call)
{
    tk::VariantArray out;
    out.reserve(argumentCount<M>());
    std::apply([&](const auto &...arg) { (out.push_back(detail::wireValue(arg.kind, call.*(arg.member))), ...); },
               M::arguments());
    return out;
}

// The call's arguments read back; ArgumentError naming the first argument, in order, that does not fit.
template<typename M>
M fromWire(const tk::VariantArray &args)
{
    constexpr size_t count = argumentCount<M>();
    if (args.size() != count)
        refuseCount(count, args.size());
    M call{};
    size_t position = 0;
    std::apply(
        [&](const auto &...arg) {
            auto read = [&](const auto &a) {
                const tk::Variant &value = args[position++];
                auto converted = detail::fromValue<std::remove_cvref_t<decltype(call.*(a.member))>>(a.kind, value);
                if (converted.refusal)
                    refuseArgument(position, a.name, describe(a.kind, *converted.refusal));
                call.*(a.member) = std::move(converted.value);
            };
            (read(arg), ...);
            (void)read; // a method without arguments reads none
        },
        M::arguments());
    return call;
}

template<typename M>
std::vector<ArgSpec> signature()
{
    return std::apply([](const auto &...arg) { return std::vector<ArgSpec>{ArgSpec{arg.name, arg.kind, arg.branch}...}; },
                      M::arguments());
}

// Whether a method names a branch among its arguments. Every method must, or say that it serves no
// branch's data (static constexpr bool branchFree = true), so that no method escapes the check of an
// operator's branches by forgetting to mark them (the registry refuses to compile otherwise).
template<typename M>
constexpr bool namesABranch()
{
    return std::apply([](const auto &...arg) { return (false || ... || arg.branch); }, M::arguments());
}
template<typename M>
constexpr bool declaresBranches()
{
    if constexpr (requires { M::branchFree; })
        return M::branchFree && !namesABranch<M>();
    else
        return namesABranch<M>();
}

// The 0-based positions of a method's branch arguments.
std::vector<size_t> branchPositions(const MethodInfo &method);

// A method's packet at `index` (as PacketLayout::index), empty and ready for rows.
template<typename M>
tk::DataPacket newPacket(int index = -1)
{
    for (const PacketLayout &layout : M::packets()) {
        if (layout.index == index)
            return tk::DataPacket(layout.fields);
    }
    throw tk::Exception(std::string(M::name) + " has no packet at " + std::to_string(index));
}

// The checked-result shape: [success, error text, payload].
tk::Variant checkedOk(tk::Variant payload);
tk::Variant checkedFail(const std::string &error);

// ---------------------------------------------------------------------------------------------------
// The registry

const std::vector<MethodInfo> &methods();
const MethodInfo *findMethod(std::string_view name); // nullptr for a name not in the contract
bool isChecked(std::string_view method);
// The layout of the packet that fills `dataset` ("qryProduto"), or nullptr.
const PacketLayout *layoutOf(std::string_view dataset, const char **method = nullptr);

// Refuses (ArgumentError) arguments of the wrong count, or whose values do not fit each position's
// kind, by the same rules as fromWire; for code that has only the method's name.
void checkArguments(const MethodInfo &method, const tk::VariantArray &args);

} // namespace contract
