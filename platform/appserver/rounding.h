#pragma once

// Decimal rounding for the hot loops of the server, giving exactly tk::RoundDec's results (the client
// rounds with tk::RoundDec, and the figures must agree to the last bit) without its heap allocations.
// Same steps: the value's 15 significant digits, rounded half away from zero at `places` decimals,
// read back as the nearest double. tests/server/test_rounding.cpp checks it against tk::RoundDec.

namespace appsrv {

double roundDec(double value, int places);

} // namespace appsrv
