#include "platform/siblings/common/moduleargs.h"

#include "platform/hostlib/modules.h"
#include "platform/toolkit/data/dataset.h"


namespace siblings {

std::string TipoVariant(tk::VarType type)
{
    switch (type) {
    case tk::VarType::Null: return "nulo";
    case tk::VarType::Boolean: return "lógico";
    case tk::VarType::Integer: return "inteiro";
    case tk::VarType::Double: return "número";
    case tk::VarType::DateTime: return "data";
    case tk::VarType::String: return "texto";
    case tk::VarType::Array: return "vetor";
    case tk::VarType::Packet: return "pacote de dados";
    }
    return "desconhecido";
}

namespace {

std::string elementos(size_t count)
{
    return std::to_string(count) + (count == 1 ? " elemento" : " elementos");
}

} // namespace

ModuleArgs::ModuleArgs(std::string module, const tk::Variant &args, size_t count)
    : ModuleArgs(std::move(module), args, count, count)
{
}

ModuleArgs::ModuleArgs(std::string module, const tk::Variant &args, size_t minCount, size_t maxCount)
    : m_module(std::move(module)), m_args(args)
{
    const std::string expected = minCount == maxCount
                                     ? elementos(minCount)
                                     : std::to_string(minCount) + " a " + elementos(maxCount);
    if (!args.isArray()) {
        throw EModuleArgsError(m_module + ": parâmetros inválidos: esperado um vetor de " + expected
                               + ", recebido " + TipoVariant(args.type()));
    }
    if (args.size() < minCount || args.size() > maxCount) {
        throw EModuleArgsError(m_module + ": parâmetros inválidos: esperado um vetor de " + expected
                               + ", recebido um vetor de " + elementos(args.size()));
    }
}

size_t ModuleArgs::Count() const
{
    return m_args.size();
}

void ModuleArgs::Fail(size_t index, const char *name, const std::string &what) const
{
    throw EModuleArgsError(m_module + ": parâmetro " + std::to_string(index) + " (" + name + ") " + what);
}

// The contract's conversion rules, worded for the module's caller.
template<typename T>
T ModuleArgs::Accept(size_t index, const char *name, contract::ArgKind kind, contract::Converted<T> converted) const
{
    using Reason = contract::Refusal::Reason;
    if (!converted.refusal)
        return std::move(converted.value);
    static const char *const expected[] = {"um texto", "um inteiro", "uma data", "um valor lógico"};
    const contract::Refusal &refusal = *converted.refusal;
    switch (refusal.reason) {
    case Reason::NotWhole: Fail(index, name, "deve ser um inteiro, recebido um número fracionário");
    case Reason::NotAFlag:
        Fail(index, name, "deve ser um valor lógico, recebido o inteiro " + std::to_string(refusal.integer));
    case Reason::NotACalendarDay: Fail(index, name, "não é uma data válida");
    case Reason::WrongType: break;
    }
    Fail(index, name,
         std::string("deve ser ") + expected[static_cast<int>(kind)] + ", recebido " + TipoVariant(refusal.got));
}

std::string ModuleArgs::Text(size_t index, const char *name) const
{
    return Accept(index, name, contract::ArgKind::Code, contract::toCode(m_args[index]));
}

int32_t ModuleArgs::Integer(size_t index, const char *name) const
{
    return Accept(index, name, contract::ArgKind::Integer, contract::toInteger(m_args[index]));
}

tk::TDateTime ModuleArgs::Date(size_t index, const char *name) const
{
    return Accept(index, name, contract::ArgKind::Date, contract::toDate(m_args[index]));
}

bool ModuleArgs::Boolean(size_t index, const char *name) const
{
    return Accept(index, name, contract::ArgKind::Flag, contract::toFlag(m_args[index]));
}

const tk::DataPacket &ModuleArgs::Packet(size_t index, const char *name) const
{
    const tk::Variant &v = m_args[index];
    if (!v.isPacket())
        Fail(index, name, "deve ser um pacote de dados, recebido " + TipoVariant(v.type()));
    return v.packet();
}

tk::TClientDataSet &ModuleArgs::DataSet(size_t index, const char *name) const
{
    tk::TClientDataSet *dataSet = nullptr;
    try {
        dataSet = host::DataSetFromHandle(m_args[index]);
    } catch (const std::exception &e) {
        Fail(index, name, e.what());
    }
    if (!dataSet->Active())
        Fail(index, name, "não está aberto");
    return *dataSet;
}

} // namespace siblings
