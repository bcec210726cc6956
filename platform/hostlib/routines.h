#pragma once

// The host's utility routines that modules call by their suite names (RoundDec, PriDiaMes,
// NomeSemana, CheckResultServ, DataProc, ...). Module sources use `using namespace host;`.

#include "platform/hostlib/errors.h"
#include "platform/toolkit/data/variant.h"

#include <string>

namespace tk {
class TDBGrid;
}

namespace host {

using tk::TDateTime;
using tk::Variant;

// Half away from zero on the decimal value (tk::RoundDec): RoundDec(2.675, 2) = 2.68.
double RoundDec(double value, int places);

// a when condition holds, else b. Both are evaluated by the caller, as with any function.
Variant iif(bool condition, const Variant &a, const Variant &b);

// First day (midnight) of the month of date.
TDateTime PriDiaMes(TDateTime date);
// Last day (midnight) of the month of date.
TDateTime UltimoDiaMes(TDateTime date);
// Last day (midnight) of month/year; tk::Exception for a month outside 1..12.
TDateTime UltDiaMes(int month, int year);

// Full weekday name from the format settings ("quarta-feira" in pt_BR). Callers show
// tk::Utf8Left(name, 3), which counts characters: "sáb", not two and a half bytes.
std::string NomeSemana(TDateTime date);

// Text without leading and trailing blanks (spaces, tabs, line breaks and other control characters).
std::string AllTrim(const std::string &text);
// True for an empty text or one of blanks only.
bool EmptyString(const std::string &text);

// Index of the grid column showing the field (case-insensitive field name), -1 when none does.
int IndiceCol(tk::TDBGrid &grid, const std::string &field);

// Shows the text as an error (the "Erro" dialog), or hands it to Hooks::onMensErro when installed.
// alert: sound the system beep with the dialog.
void MensErro(const std::string &text, bool alert = true);

// Unwraps a checked result of the application server: [success (boolean), error text, payload...].
// Success returns element 2 + index. Failure raises EServerError("Erro no servidor: " + text).
// Any other shape (not an array, fewer elements, a non-boolean flag, a missing payload index)
// raises EServerError("Resposta inválida do servidor").
// showError: the module always passes true. A failure raises either way (a failed call must never
// pass for a payload); with true the error carries the server's text for the error dialog, with
// false it reads only "Erro no servidor".
Variant CheckResultServ(const Variant &result, bool showError = true, int index = 0);

// Edit mask of a picture kind, in tk::FormatMaskText's language. Kind 0: product-tree code,
// "9.99.99.9999;0;_": the 9 digits of CDARVPROD (group, subgroup, family, item) stored without
// the points. EHostError for an unknown kind.
std::string DBPict(int kind);

// Processing date (FILIAL.DTPROCESSO) of a branch, from the suite database.
// EHostError for an unknown branch or a branch without a processing date.
TDateTime DataProc(const std::string &branch);

// Server address, operator and active module code from the host settings.
std::string WebURL();
int WebPort();
std::string Operador();
int ModuloAtiv();

} // namespace host
