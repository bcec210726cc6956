#pragma once

// What the user reads when the database or the system fails: a Portuguese sentence first, the
// technical text after it in parentheses, for the support team ("Banco de dados indisponível:
// arquivo não encontrado (Cannot open database '/x/suite.db': file not found)"). The host library
// installs this as the toolkit's error describer when it loads, so every error dialog, MensErro
// aside, speaks this way; other errors keep their own (already Portuguese) text.

#include <exception>
#include <string>

namespace host {

std::string UserErrorText(const std::exception &e);

} // namespace host
