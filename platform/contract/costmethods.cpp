#include "platform/contract/costmethods.h"

namespace contract {

namespace {

using tk::FieldType;

tk::PacketField str(const char *name, int32_t size)
{
    return {name, FieldType::String, size, 0};
}
tk::PacketField fixed(const char *name, int32_t size)
{
    return {name, FieldType::FixedString, size, 0};
}
tk::PacketField flt(const char *name)
{
    return {name, FieldType::Float, 0, 0};
}
tk::PacketField dt(const char *name)
{
    return {name, FieldType::DateTime, 0, 0};
}

template<typename M>
MethodInfo info()
{
    static_assert(declaresBranches<M>(), "a method marks its branch arguments with branch(), or is branchFree");
    return MethodInfo{M::name, M::checked, signature<M>(), &M::packets()};
}

} // namespace

const std::vector<PacketLayout> &GetParams::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryParamFilial", 0, {str("IDCOMCUSPERC", 1)}},
        {"qryParamPlaneja", 1,
         {str("IDUTILFATCOR", 1), str("IDUTILFATCOC", 1), str("IDTIPCALCFAT", 1), flt("NRCORSAFRA"),
          flt("NRCORINICSAF"), flt("NRCORENTRSAF")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetTrabCusto::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryTrabCusto", 1,
         {dt("DTDATA"), flt("VRCUSTPRODMAT"), flt("VRCUSTOCONS"), flt("VRCUSTORAT"), flt("QTCOMESTICAR"),
          flt("QTCLIESTICAR"), flt("VRCUSTOACU"), flt("VRCUSTOCONSACU"), flt("VRCUSTMATACU"), flt("VRCUSTOMEDIO"),
          flt("QTCOMESACU")}},
        {"cdsPreCotDesatu", 2, {dt("DTDATA")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetCustoPadrao::packets()
{
    static const std::vector<PacketLayout> layouts{{"cdsCustoPadrao", -1, {flt("VRCUSTPADR")}}};
    return layouts;
}

const std::vector<PacketLayout> &GetComensPlan::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

const std::vector<PacketLayout> &GetCardapio::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryCardapio", -1,
         {str("NMPRATO", 40), str("CDFILIAL", 4), str("CDPRATO", 10), str("CDFILAUXPRAT", 4), str("CDSERVFILI", 5),
          dt("DTCARDAPIO"), str("CDDIETPAD", 4), flt("QTCOMESTICAR"), flt("QTCLIESTICAR"), flt("VRPECONSCARD"),
          flt("CONT"), flt("COMENSPRATO")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetProduto::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryProduto", -1,
         {str("NMPRODUTO", 50), str("SGUNIDPROD", 10), str("CDPRATO", 10), str("CDPRODUTO", 10), flt("QTPRODUTO"),
          flt("VRFATCOC"), flt("VRFATCOR"), str("SGUNIDADE", 10), str("IDINTESAFR", 12), str("CDDIETPAD", 4),
          flt("QTDERECE"), dt("DTCARDAPIO"), flt("CUSTOPRODANT"), flt("CustoProd"), flt("QTDEBRUTA"),
          str("CDFILAUXPRAT", 4), str("IDCUSTODESATU", 4000)}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetConsServ::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"cdsConsumo", 0, {fixed("TPCONS", 1), str("CDTPRCONSFIX", 2), str("NMTIPOPRAT", 15), flt("VRCUSTPADRTP")}},
        {"qryConsServ", 1,
         {fixed("IDCONSUMO", 1), str("NMPRODUTO", 50), str("SGUNIDADE", 10), flt("QTCONSSERV"), flt("CustoUnit"),
          str("CDPRODUTO", 10), str("IDCUSTODESATU", 4000)}},
        {"cdsComens", 2, {flt("QTCOMESTICAR")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetRealizado::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryRealizado", -1,
         {dt("DTCARDAPIO"), flt("QTCOMEFETCAR"), flt("QTCLIEFETCAR"), flt("QTRETIRADA"), flt("CUSTO"),
          flt("CUSTOACUM"), flt("QTCOMENSACU"), flt("VRCUSTOMEDIO")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetItemReti::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"qryItemReti", -1,
         {str("NMPRODUTO", 50), str("SGUNIDADE", 10), flt("CustoUnit"), flt("QTRETIRADA"), flt("QTCOMEFETCAR"),
          flt("QTCLIEFETCAR"), str("CDPRODUTO", 10), dt("DTCARDAPIO")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetProdCustZero::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"cdsProdCustZero", -1,
         {str("CDARVPROD", 20), str("CDPRODUTO", 10), str("NMPRODUTO", 50), dt("DTCARDAPIO"), flt("CUSTOPROD"),
          flt("QTDEBRUTA")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetProdCotDesatu::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"cdsProdCotDesatu", -1,
         {dt("DTCONSPLAN"), str("CDARVPROD", 20), str("CDPRODUTO", 10), str("NMPRODUTO", 50), flt("QTCONSPLAN"),
          flt("CUSTOPROD"), dt("DTCUSTOSUP"), dt("DTFINCUSTSUP")}},
    };
    return layouts;
}

const std::vector<PacketLayout> &GetOrigemCusto::packets()
{
    static const std::vector<PacketLayout> layouts{
        {"cdsOrigemCusto", -1,
         {str("CDFORNECED", 21), str("IDTPIJURFORN", 1), str("NRINSJURFORN", 20), str("NMRAZSOCFORN", 40),
          str("CDPRODUTO", 10), str("CDARVPROD", 20), str("NMPRODUTO", 50), dt("DTINIVALITM"), dt("DTFINVALITM"),
          str("NMMARCA", 20), str("IDORIGEM", 1)}},
    };
    return layouts;
}

const std::vector<PacketLayout> &DelConsplan::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

const std::vector<PacketLayout> &RenovaSessao::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

const std::vector<PacketLayout> &GetConfiancaCusto::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

const std::vector<PacketLayout> &GetConfiancaTrab::packets()
{
    return GetConfiancaCusto::packets();
}

const std::vector<PacketLayout> &GetDecomposicaoVariacao::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

const std::vector<PacketLayout> &GetHistoricoPreco::packets()
{
    static const std::vector<PacketLayout> layouts;
    return layouts;
}

tk::Variant checkedOk(tk::Variant payload)
{
    return tk::Variant::array({true, "", std::move(payload)});
}

tk::Variant checkedFail(const std::string &error)
{
    return tk::Variant::array({false, error, tk::Variant()});
}

const std::vector<MethodInfo> &methods()
{
    static const std::vector<MethodInfo> all{
        info<GetParams>(),       info<GetTrabCusto>(), info<GetCustoPadrao>(), info<GetComensPlan>(),
        info<GetCardapio>(),     info<GetProduto>(),   info<GetConsServ>(),    info<GetRealizado>(),
        info<GetItemReti>(),     info<GetProdCustZero>(), info<GetProdCotDesatu>(), info<GetOrigemCusto>(),
        info<DelConsplan>(),     info<RenovaSessao>(), info<GetConfiancaCusto>(), info<GetConfiancaTrab>(),
        info<GetDecomposicaoVariacao>(),
        info<GetHistoricoPreco>(),
    };
    return all;
}

const MethodInfo *findMethod(std::string_view name)
{
    for (const MethodInfo &method : methods()) {
        if (name == method.name)
            return &method;
    }
    return nullptr;
}

bool isChecked(std::string_view method)
{
    const MethodInfo *info = findMethod(method);
    return info && info->checked;
}

const PacketLayout *layoutOf(std::string_view dataset, const char **method)
{
    for (const MethodInfo &info : methods()) {
        for (const PacketLayout &layout : *info.packets) {
            if (dataset == layout.dataset) {
                if (method)
                    *method = info.name;
                return &layout;
            }
        }
    }
    return nullptr;
}

void checkArguments(const MethodInfo &method, const tk::VariantArray &args)
{
    if (args.size() != method.arguments.size())
        refuseCount(method.arguments.size(), args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        const ArgSpec &wanted = method.arguments[i];
        std::optional<Refusal> refusal;
        switch (wanted.kind) {
        case ArgKind::Code: refusal = toCode(args[i]).refusal; break;
        case ArgKind::Integer: refusal = toInteger(args[i]).refusal; break;
        case ArgKind::Date: refusal = toDate(args[i]).refusal; break;
        case ArgKind::Flag: refusal = toFlag(args[i]).refusal; break;
        }
        if (refusal)
            refuseArgument(i + 1, wanted.name, describe(wanted.kind, *refusal));
    }
}

std::vector<size_t> branchPositions(const MethodInfo &method)
{
    std::vector<size_t> positions;
    for (size_t i = 0; i < method.arguments.size(); ++i)
        if (method.arguments[i].branch)
            positions.push_back(i);
    return positions;
}

} // namespace contract
