#include "platform/appserver/rounding.h"

#include "platform/toolkit/data/formats.h"

namespace appsrv {

double roundDec(double value, int places)
{
    return tk::RoundDec(value, places);
}

} // namespace appsrv
