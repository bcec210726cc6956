// The cost-methods contract: one set of conversion rules, every method's arguments through the wire
// and back, and each method's wire signature as stored replay files and older clients know it.

#include "platform/contract/costmethods.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using contract::ArgKind;
using tk::Variant;

const tk::TDateTime kDay = 46097.0;   // 16/03/2026
const tk::TDateTime kFirst = 46082.0; // 01/03/2026

// "name:kind, ..." of a method's arguments.
std::string signatureText(const std::vector<contract::ArgSpec> &arguments)
{
    std::string text;
    for (const contract::ArgSpec &arg : arguments)
        text += (text.empty() ? "" : ", ") + std::string(arg.name) + ":" + contract::argKindName(arg.kind);
    return text;
}

struct MethodCase
{
    const char *name;
    std::string signature;
    // Sends a sample call through toWire, reads it back with fromWire; true when equal.
    std::function<bool(tk::VariantArray &)> roundTrip;
};

template<typename M>
MethodCase methodCase(std::string signature, M sample)
{
    return {M::name, std::move(signature), [sample](tk::VariantArray &wire) {
                wire = contract::toWire(sample);
                return contract::fromWire<M>(wire) == sample;
            }};
}

std::vector<MethodCase> methodCases()
{
    using namespace contract;
    return {
        methodCase("CdFilial:code", GetParams{"0001"}),
        methodCase("CdFilial:code, CdServFili:code, first:date, last:date, CdTipoCusto:integer, operator:code, "
                   "IdRefeFixa:flag, DtRefeFixa:date, CdFiliCust:code, write:flag",
                   GetTrabCusto{"0001", "001", kFirst, kFirst + 30, 44, "maria", true, kDay, "0002", true}),
        methodCase("CdFilial:code, CdServFili:code, first:date", GetCustoPadrao{"0001", "001", kFirst}),
        methodCase("CdFilial:code, CdServFili:code, DtIniMes:date", GetComensPlan{"0001", "001", kFirst}),
        methodCase("CdFilial:code, CdServFili:code, first:date", GetCardapio{"0001", "001", kFirst}),
        methodCase("CdFilial:code, CdServFili:code, day:date, CdTipoCusto:integer, IdRefeFixa:flag, "
                   "price date:date, first:date, CdFiliCust:code",
                   GetProduto{"0001", "001", kDay, 44, true, kDay - 1, kFirst, "0002"}),
        methodCase("CdFilial:code, CdServFili:code, day:date, CdTipoCusto:integer, day type:code, "
                   "price date:date, CdFiliCust:code",
                   GetConsServ{"0001", "001", kDay, 44, "4", kDay, "0002"}),
        methodCase("CdFilial:code, CdServFili:code, first:date, CdTipoCustoReal:integer, IdRefeFixa:flag, "
                   "DtRefeFixa:date, CdFiliCust:code",
                   GetRealizado{{"0001", "001", kFirst, 1, false, kDay, "0002"}}),
        methodCase("CdFilial:code, CdServFili:code, first:date, CdTipoCustoReal:integer, IdRefeFixa:flag, "
                   "DtRefeFixa:date, CdFiliCust:code",
                   GetItemReti{{"0003", "002", kFirst, 2, true, kDay, ""}}),
        methodCase("CdFiliCust:code, CdTipoCusto:integer, DtRefeFixa:date, CdFilial:code, CdServFili:code, "
                   "first:date, last:date, IdRefeFixa:flag",
                   GetProdCustZero{"0002", 44, kDay, "0001", "001", kFirst, kFirst + 30, true}),
        methodCase("ChaveTrabCusto:code, CdFilial:code, CdFiliCust:code, CdServFili:code, CdTipoCusto:integer, "
                   "first:date, last:date, DtRefeFixa:date, IdRefeFixa:flag",
                   GetProdCotDesatu{"ABCDE12345", "0001", "0002", "001", 44, kFirst, kFirst + 30, kDay, false}),
        methodCase("branch:code, product:code, CdTipoCusto:integer, price date:date",
                   GetOrigemCusto{"0002", "100001", 44, kDay}),
        methodCase("ChaveTrabCusto:code, CdFilial:code", DelConsplan{"ABCDE12345", "0001"}),
        methodCase("", RenovaSessao{}),
        methodCase("CdFilial:code, CdServFili:code, first:date, last:date, CdTipoCusto:integer, IdRefeFixa:flag, "
                   "DtRefeFixa:date, CdFiliCust:code",
                   GetConfiancaCusto{"0001", "001", kFirst, kFirst + 30, 44, false, kDay, "0002"}),
        methodCase("ChaveTrabCusto:code, CdFilial:code", GetConfiancaTrab{"ABCDE12345", "0001"}),
        methodCase("CdFilial:code, CdServFili:code, first:date, last:date, CdTipoCusto:integer, IdRefeFixa:flag, "
                   "DtRefeFixa:date, CdFiliCust:code, CdTipoCustoReal:integer, DtProcesso:date",
                   GetDecomposicaoVariacao{"0001", "001", kFirst, kFirst + 30, 44, true, kDay, "", 1, kDay}),
        methodCase("branch:code, product:code, CdTipoCusto:integer, price date:date",
                   GetHistoricoPreco{"0002", "100001", 44, kDay}),
    };
}

// Every method of the registry has a case, and every case is in the registry: the argument order
// is the wire's, kept as older clients and stored replay files send it.
TEST(CostContract, EveryMethodRoundTripsAndKeepsItsWireSignature)
{
    const auto cases = methodCases();
    ASSERT_EQ(cases.size(), contract::methods().size());
    for (const MethodCase &c : cases) {
        SCOPED_TRACE(c.name);
        const contract::MethodInfo *info = contract::findMethod(c.name);
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(signatureText(info->arguments), c.signature);
        tk::VariantArray wire;
        EXPECT_TRUE(c.roundTrip(wire));
        ASSERT_EQ(wire.size(), info->arguments.size());
        EXPECT_NO_THROW(contract::checkArguments(*info, wire));
        // Every argument naming a branch, and only those, is marked for the check of an operator's branches.
        for (const contract::ArgSpec &arg : info->arguments) {
            const std::string name = arg.name;
            EXPECT_EQ(arg.branch, name == "CdFilial" || name == "CdFiliCust" || name == "branch") << name;
        }
        EXPECT_EQ(contract::branchPositions(*info).empty(), c.name == std::string("RenovaSessao"));
        // A date travels as a date-time, whatever else the readers accept.
        for (size_t i = 0; i < wire.size(); ++i) {
            EXPECT_TRUE(contract::accepts(info->arguments[i].kind, wire[i].type())) << i;
            if (info->arguments[i].kind == ArgKind::Date) {
                EXPECT_EQ(wire[i].type(), tk::VarType::DateTime) << i;
            }
        }
        // A value of a type its position does not accept is refused by name, one position at a time.
        for (size_t i = 0; i < wire.size(); ++i) {
            tk::VariantArray wrong = wire;
            wrong[i] = Variant::array({});
            const std::string expected = "argument " + std::to_string(i + 1) + " (" + info->arguments[i].name + ")";
            try {
                contract::checkArguments(*info, wrong);
                ADD_FAILURE() << "accepted an array at " << i;
            } catch (const contract::ArgumentError &e) {
                EXPECT_EQ(std::string(e.what()).rfind(expected + " must be ", 0), 0u) << e.what();
                EXPECT_EQ(e.userText(), "argumento " + std::to_string(i + 1) + " (" + info->arguments[i].name
                                            + ") inválido");
            }
        }
        tk::VariantArray other = wire;
        if (other.empty())
            other.push_back("a mais");
        else
            other.pop_back();
        EXPECT_THROW(contract::checkArguments(*info, other), contract::ArgumentError);
    }
    EXPECT_EQ(contract::findMethod("GetNada"), nullptr);
}

// The confidence and the variance split share their planned range: the variance call's first
// arguments read back as a confidence call of the same range.
TEST(CostContract, InsightMethodsShareThePlannedRange)
{
    const contract::PlannedMonth range{"0001", "001", kFirst, kFirst + 30, 44, true, kDay, "0002"};
    contract::GetDecomposicaoVariacao variance{range};
    variance.CdTipoCustoReal = 2;
    variance.DtProcesso = kDay;
    tk::VariantArray wire = contract::toWire(variance);
    ASSERT_EQ(wire.size(), 10u);
    EXPECT_EQ(wire[8].asInteger(), 2);
    wire.resize(8);
    EXPECT_EQ(contract::toWire(contract::GetConfiancaCusto{range}), wire);
    EXPECT_EQ(static_cast<const contract::PlannedMonth &>(contract::fromWire<contract::GetConfiancaCusto>(wire)), range);
}

TEST(CostContract, CheckedMethodsAndPacketLayouts)
{
    std::vector<std::string> checked;
    for (const contract::MethodInfo &m : contract::methods()) {
        if (m.checked)
            checked.push_back(m.name);
    }
    EXPECT_EQ(checked, (std::vector<std::string>{"GetComensPlan", "GetOrigemCusto"}));
    EXPECT_EQ(contract::checkedOk(2.5), Variant::array({true, "", 2.5}));
    EXPECT_EQ(contract::checkedFail("sem plano"), Variant::array({false, "sem plano", Variant()}));

    // Each dataset is filled by one packet of one method.
    std::vector<std::string> datasets;
    for (const contract::MethodInfo &m : contract::methods()) {
        for (const contract::PacketLayout &layout : *m.packets) {
            const char *method = nullptr;
            EXPECT_EQ(contract::layoutOf(layout.dataset, &method), &layout) << layout.dataset;
            EXPECT_STREQ(method, m.name);
            EXPECT_FALSE(layout.fields.empty()) << layout.dataset;
            datasets.push_back(layout.dataset);
        }
    }
    EXPECT_EQ(datasets.size(), 15u);
    const tk::DataPacket consumption = contract::newPacket<contract::GetConsServ>(1);
    EXPECT_EQ(consumption.fields.front(), (tk::PacketField{"IDCONSUMO", tk::FieldType::FixedString, 1, 0}));
    EXPECT_EQ(consumption.fieldIndex("IDCUSTODESATU"), 6);
    EXPECT_THROW(contract::newPacket<contract::GetConsServ>(-1), tk::Exception);
}

// The one set of conversion rules every argument reader applies.
TEST(CostContract, ConversionRules)
{
    struct Case
    {
        ArgKind kind;
        Variant value;
        const char *refusal; // "" when accepted
    };
    const Case cases[] = {
        {ArgKind::Code, "0001", ""},
        {ArgKind::Code, "", ""},
        {ArgKind::Code, 1, "must be a string, got integer"},
        {ArgKind::Code, Variant(), "must be a string, got null"},
        {ArgKind::Integer, 44, ""},
        {ArgKind::Integer, 44.0, ""},
        {ArgKind::Integer, -2147483647.0, ""},
        {ArgKind::Integer, 44.5, "must be an integer, got a fractional number"},
        {ArgKind::Integer, 3e9, "must be an integer, got a fractional number"},
        {ArgKind::Integer, "44", "must be an integer, got string"},
        {ArgKind::Integer, true, "must be an integer, got boolean"},
        {ArgKind::Date, Variant::fromDateTime(kDay), ""},
        {ArgKind::Date, kDay + 0.5, ""},
        {ArgKind::Date, 46097, ""},
        {ArgKind::Date, 2.0, ""},
        {ArgKind::Date, 1.5, "is not a valid date"},
        {ArgKind::Date, 2958466.0, "is not a valid date"},
        {ArgKind::Date, Variant::fromDateTime(-700000.0), "is not a valid date"},
        {ArgKind::Date, "16/03/2026", "must be a date, got string"},
        {ArgKind::Flag, true, ""},
        {ArgKind::Flag, -1, ""},
        {ArgKind::Flag, 0, ""},
        {ArgKind::Flag, 2, "must be a boolean, got the integer 2"},
        {ArgKind::Flag, 1.0, "must be a boolean, got double"},
        {ArgKind::Flag, "S", "must be a boolean, got string"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(contract::argKindName(c.kind)) + " " + c.value.toDisplayString());
        std::optional<contract::Refusal> refusal;
        switch (c.kind) {
        case ArgKind::Code: refusal = contract::toCode(c.value).refusal; break;
        case ArgKind::Integer: refusal = contract::toInteger(c.value).refusal; break;
        case ArgKind::Date: refusal = contract::toDate(c.value).refusal; break;
        case ArgKind::Flag: refusal = contract::toFlag(c.value).refusal; break;
        }
        EXPECT_EQ(refusal ? contract::describe(c.kind, *refusal) : std::string(), c.refusal);
        // What a kind accepts as a type is what its conversion lets through.
        if (!*c.refusal) {
            EXPECT_TRUE(contract::accepts(c.kind, c.value.type()));
        }
    }
    EXPECT_EQ(contract::toFlag(-1).value, true);
    EXPECT_EQ(contract::toInteger(44.0).value, 44);
    EXPECT_DOUBLE_EQ(contract::toDate(46097).value, kDay);
}

} // namespace
