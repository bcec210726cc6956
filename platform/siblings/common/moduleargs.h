#pragma once

// Reading the array a sibling module receives from LoadBPL. Every accessor checks the element's
// type and raises EModuleArgsError with a Portuguese text that names the module, the position and
// what was expected, so a caller that builds a wrong array learns exactly what is wrong.

#include "platform/contract/conversion.h"
#include "platform/toolkit/data/datapacket.h"
#include "platform/toolkit/data/variant.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tk {
class TClientDataSet;
}

namespace siblings {

class EModuleArgsError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

// Portuguese word for a variant type ("texto", "inteiro", "nulo", ...).
std::string TipoVariant(tk::VarType type);

class ModuleArgs
{
public:
    // Raises unless args is an array of exactly `count` elements.
    ModuleArgs(std::string module, const tk::Variant &args, size_t count);
    // An array whose last elements were added after its first callers: from minCount to maxCount
    // elements; the module reads an added element only when Count() says it is there.
    ModuleArgs(std::string module, const tk::Variant &args, size_t minCount, size_t maxCount);
    size_t Count() const;

    // Read by the contract's conversion rules (platform/contract/conversion.h), as the server reads
    // its arguments.
    std::string Text(size_t index, const char *name) const;
    int32_t Integer(size_t index, const char *name) const;
    tk::TDateTime Date(size_t index, const char *name) const;
    bool Boolean(size_t index, const char *name) const;
    const tk::DataPacket &Packet(size_t index, const char *name) const;
    // The caller's dataset behind a handle (host::DataSetFromHandle); it must be open.
    tk::TClientDataSet &DataSet(size_t index, const char *name) const;

    const std::string &Module() const { return m_module; }
    [[noreturn]] void Fail(size_t index, const char *name, const std::string &what) const;

private:
    template<typename T>
    T Accept(size_t index, const char *name, contract::ArgKind kind, contract::Converted<T> converted) const;

    std::string m_module;
    const tk::Variant &m_args; // Not owned.
};

} // namespace siblings
