#include "platform/siblings/common/moduleargs.h"

#include "platform/hostlib/modules.h"
#include "platform/toolkit/data/dataset.h"

#include <cmath>

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

std::string ModuleArgs::Text(size_t index, const char *name) const
{
    const tk::Variant &v = m_args[index];
    if (v.type() != tk::VarType::String)
        Fail(index, name, "deve ser um texto, recebido " + TipoVariant(v.type()));
    return v.asString();
}

int32_t ModuleArgs::Integer(size_t index, const char *name) const
{
    const tk::Variant &v = m_args[index];
    if (v.type() == tk::VarType::Integer)
        return v.asInteger();
    if (v.type() == tk::VarType::Double) {
        const double d = v.asDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) <= 2147483647.0)
            return static_cast<int32_t>(d);
        Fail(index, name, "deve ser um inteiro, recebido um número fracionário");
    }
    Fail(index, name, "deve ser um inteiro, recebido " + TipoVariant(v.type()));
}

tk::TDateTime ModuleArgs::Date(size_t index, const char *name) const
{
    const tk::Variant &v = m_args[index];
    if (v.type() != tk::VarType::DateTime && v.type() != tk::VarType::Double)
        Fail(index, name, "deve ser uma data, recebido " + TipoVariant(v.type()));
    const double value = v.asDouble();
    // 1 January 1900 to 31 December 9999: the dates the suite can store.
    if (!std::isfinite(value) || value < 2.0 || value >= 2958466.0)
        Fail(index, name, "não é uma data válida");
    return value;
}

bool ModuleArgs::Boolean(size_t index, const char *name) const
{
    const tk::Variant &v = m_args[index];
    if (v.type() == tk::VarType::Boolean)
        return v.asBoolean();
    if (v.type() == tk::VarType::Integer) {
        const int32_t i = v.asInteger();
        if (i == -1 || i == 0 || i == 1)
            return i != 0;
        Fail(index, name, "deve ser um valor lógico, recebido o inteiro " + std::to_string(i));
    }
    Fail(index, name, "deve ser um valor lógico, recebido " + TipoVariant(v.type()));
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
