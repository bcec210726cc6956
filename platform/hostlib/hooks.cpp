#include "platform/hostlib/hooks.h"

namespace host {

Hooks &GetHooks()
{
    static Hooks hooks;
    return hooks;
}

} // namespace host
