#pragma once

// UTF-8 aware text helpers: "the first three letters" are characters, not bytes.

#include <cstddef>
#include <string>

namespace tk {

std::string Utf8Left(const std::string &text, size_t characters);
size_t Utf8Length(const std::string &text);
// Without the leading and trailing characters up to space (control characters included).
std::string Trim(const std::string &text);

} // namespace tk
