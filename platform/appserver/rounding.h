#pragma once

// Decimal rounding for the server's cost figures. The client rounds with tk::RoundDec and the figures
// must agree to the last bit, so this is tk::RoundDec itself (which does not allocate); the name is
// kept for the server code that calls it. tests/server/test_rounding.cpp checks it against a
// reference implementation of the rounding rule.

namespace appsrv {

double roundDec(double value, int places);

} // namespace appsrv
