#include "platform/appserver/branchaccess.h"

#include <algorithm>
#include <set>

namespace appsrv {

void ensureOperatorBranches(db::Connection &connection)
{
    try {
        connection.query("SELECT CDFILIAL FROM OPERADORFILIAL WHERE 1 = 0");
        return;
    } catch (const db::SqlError &e) {
        if (e.kind() != db::SqlError::Kind::Statement)
            throw;
    }
    // The table's statement as the one schema script writes it, for this dialect.
    const std::string script = db::schemaSql(connection.dialect());
    const size_t start = script.find("CREATE TABLE OPERADORFILIAL");
    const size_t end = script.find(");", start);
    if (start == std::string::npos || end == std::string::npos)
        throw tk::Exception("the schema script has no OPERADORFILIAL table");
    const std::string create = "CREATE TABLE IF NOT EXISTS" + script.substr(start + 12, end + 1 - (start + 12));
    db::writeTransaction(connection, [&] { connection.exec(create); });
}

std::vector<std::string> forbiddenBranches(db::Connection &connection, const std::string &operatorName,
                                           const tk::VariantArray &args, const std::vector<size_t> &positions)
{
    std::vector<std::string> named;
    for (size_t position : positions) {
        if (position >= args.size() || args[position].type() != tk::VarType::String)
            continue; // the method's own argument check refuses it
        const std::string branch = args[position].asString();
        if (!branch.empty() && std::find(named.begin(), named.end(), branch) == named.end())
            named.push_back(branch);
    }
    if (named.empty())
        return {};
    std::set<std::string> allowed;
    const auto rows = connection.query("SELECT CDFILIAL FROM OPERADORFILIAL WHERE NMOPERADOR = :OPERADOR",
                                       {{"OPERADOR", operatorName}});
    for (const auto &row : rows.rows)
        allowed.insert(row.at(0).asString());
    std::vector<std::string> forbidden;
    for (const std::string &branch : named)
        if (!allowed.count(branch))
            forbidden.push_back(branch);
    return forbidden;
}

std::string forbiddenBranchText(const std::string &operatorName, const std::vector<std::string> &branches)
{
    std::string list;
    for (size_t i = 0; i < branches.size(); ++i)
        list += (i == 0 ? "" : i + 1 == branches.size() ? " e " : ", ") + branches[i];
    return "O operador '" + operatorName + "' não tem acesso " + (branches.size() == 1 ? "à filial " : "às filiais ")
           + list;
}

} // namespace appsrv
