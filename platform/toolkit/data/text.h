#pragma once

// UTF-8 aware text helpers: "the first three letters" are characters, not bytes.

#include <cstddef>
#include <string>

namespace tk {

std::string Utf8Left(const std::string &text, size_t characters);
size_t Utf8Length(const std::string &text);
// Without the leading and trailing characters up to space (control characters included).
std::string Trim(const std::string &text);
// A percent from 0 to 100 as an option or a settings file gives it: digits with a decimal point or a
// comma ("7.5", "7,5"), nothing else around them; false for anything else.
bool ParsePercent(const std::string &text, double &percent);

} // namespace tk
