#pragma once

// Which branches a signed-in operator may see (table OPERADORFILIAL). The server checks every call
// once, before its method runs, against the branch arguments that the contract marks for the method
// (see register.cpp); the methods themselves know nothing of operators.

#include "platform/database/sqldb.h"
#include "platform/toolkit/data/variant.h"

#include <string>
#include <vector>

namespace appsrv {

// Creates OPERADORFILIAL in a database made before it existed (as the schema script has it).
void ensureOperatorBranches(db::Connection &connection);

// The branches among args[positions] (non-empty codes) that operator may not see, in order, once
// each; empty when every one is allowed.
std::vector<std::string> forbiddenBranches(db::Connection &connection, const std::string &operatorName,
                                           const tk::VariantArray &args, const std::vector<size_t> &positions);

// The user's text of a refused call: "O operador 'ana' não tem acesso à filial 0002".
std::string forbiddenBranchText(const std::string &operatorName, const std::vector<std::string> &branches);

} // namespace appsrv
