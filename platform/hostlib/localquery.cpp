#include "platform/hostlib/localquery.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/errors.h"
#include "platform/hostlib/settings.h"
#include "platform/toolkit/data/datetime.h"

#include <algorithm>

namespace host {

namespace {

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool identStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool identChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

struct ParamOccurrence
{
    size_t begin; // position of ':'
    size_t end;   // one past the name
    std::string name;
};

// Finds ":NAME" outside quoted text and comments. "::" (a type cast) and a ':' not followed by a
// name are left alone.
std::vector<ParamOccurrence> scanParams(const std::string &sql)
{
    std::vector<ParamOccurrence> found;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            // Quoted text; a doubled quote is part of it.
            ++i;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            const size_t close = sql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
        } else if (c == ':') {
            if (i + 1 < n && sql[i + 1] == ':') {
                i += 2;
            } else if (i + 1 < n && identStart(sql[i + 1])) {
                size_t end = i + 1;
                while (end < n && identChar(sql[end]))
                    ++end;
                found.push_back({i, end, sql.substr(i + 1, end - i - 1)});
                i = end;
            } else {
                ++i;
            }
        } else {
            ++i;
        }
    }
    return found;
}

} // namespace

// --- TSQLLines ---------------------------------------------------------------------------------

void TSQLLines::Clear()
{
    m_lines.clear();
    ++m_revision;
}

void TSQLLines::Add(const std::string &line)
{
    m_lines.push_back(line);
    ++m_revision;
}

void TSQLLines::SetText(const std::string &text)
{
    m_lines.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            if (start < text.size())
                m_lines.push_back(text.substr(start));
            break;
        }
        m_lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ++m_revision;
}

std::string TSQLLines::Text() const
{
    std::string text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i)
            text += '\n';
        text += m_lines[i];
    }
    return text;
}

// --- TParam ------------------------------------------------------------------------------------

void TParam::SetAsDate(tk::TDateTime value)
{
    SetValue(tk::Variant::fromDateTime(tk::DateOf(value)));
}

void TParam::SetAsDateTime(tk::TDateTime value)
{
    SetValue(tk::Variant::fromDateTime(value));
}

void TParam::SetValue(const tk::Variant &value)
{
    m_value = value;
    m_assigned = true;
}

void TParam::Clear()
{
    m_value = tk::Variant();
    m_assigned = false;
}

// --- TADOIBQuery -------------------------------------------------------------------------------

TADOIBQuery::TADOIBQuery(std::string name) : tk::TClientDataSet(std::move(name)) {}

TADOIBQuery::~TADOIBQuery() = default;

void TADOIBQuery::parseIfNeeded()
{
    if (m_parsedRevision == m_sql.Revision())
        return;
    const std::string sql = m_sql.Text();
    const std::vector<ParamOccurrence> occurrences = scanParams(sql);

    std::vector<std::unique_ptr<TParam>> params;
    std::string prepared;
    size_t copied = 0;
    for (const ParamOccurrence &occ : occurrences) {
        const std::string key = upper(occ.name);
        prepared.append(sql, copied, occ.begin - copied);
        prepared += ':';
        prepared += key;
        copied = occ.end;
        const bool known = std::any_of(params.begin(), params.end(),
                                       [&](const auto &p) { return upper(p->Name()) == key; });
        if (known)
            continue;
        // Keep the object (and its value) of a name that was already there.
        auto old = std::find_if(m_params.begin(), m_params.end(),
                                [&](const auto &p) { return p && upper(p->Name()) == key; });
        if (old != m_params.end())
            params.push_back(std::move(*old));
        else
            params.push_back(std::make_unique<TParam>(occ.name));
    }
    prepared.append(sql, copied, std::string::npos);

    m_params = std::move(params);
    m_preparedSql = std::move(prepared);
    m_parsedRevision = m_sql.Revision();
}

TParam &TADOIBQuery::ParamByName(const std::string &name)
{
    parseIfNeeded();
    const std::string key = upper(name);
    for (const auto &param : m_params)
        if (upper(param->Name()) == key)
            return *param;
    throw EHostError("Parâmetro '" + name + "' não encontrado na consulta " + Name());
}

std::vector<std::string> TADOIBQuery::ParamNames()
{
    parseIfNeeded();
    std::vector<std::string> names;
    for (const auto &param : m_params)
        names.push_back(param->Name());
    return names;
}

std::string TADOIBQuery::PreparedSQL()
{
    parseIfNeeded();
    return m_preparedSql;
}

void TADOIBQuery::Open()
{
    if (Active())
        return;
    parseIfNeeded();
    if (std::all_of(m_preparedSql.begin(), m_preparedSql.end(),
                    [](unsigned char c) { return c <= ' '; }))
        throw EHostError("Consulta " + Name() + " sem texto SQL");

    db::Params params;
    for (const auto &param : m_params) {
        if (!param->Assigned())
            throw EHostError("Parâmetro '" + param->Name() + "' sem valor na consulta " + Name());
        params.emplace_back(upper(param->Name()), param->Value());
    }

    db::Connection &connection = m_connection ? *m_connection : SharedDatabase();
    tk::DataPacket packet;
    try {
        packet = connection.query(m_preparedSql, params);
    } catch (const db::SqlError &e) {
        throw EHostError("Erro na consulta " + Name() + ": " + e.what());
    }
    SetData(std::move(packet));
}

} // namespace host
