#pragma once

// Filter expressions of the in-memory dataset, compiled once into an evaluator over resolved
// field positions.
//
// Grammar (keywords case-insensitive):
//   expr       := andExpr { OR andExpr }
//   andExpr    := notExpr { AND notExpr }          -- AND binds before OR
//   notExpr    := NOT notExpr | '(' expr ')' | comparison
//   comparison := operand op operand | field IS [NOT] NULL
//   op         := '=' | '<>' | '!=' | '<' | '<=' | '>' | '>='
//   operand    := field | 'quoted text' | number | TRUE | FALSE
// One side of a comparison is a field (a name, or [a name] in brackets), the other a value;
// either order works. An embedded quote is written twice: 'it''s'. Numbers use '.' as the decimal
// point. A quoted text compared with a date-time field is read in the short date format (with an
// optional time); with a numeric field it is read as a number; with a boolean field as
// True/False. Texts compare case-sensitively, byte by byte.
//
// Nulls: a comparison whose field is null is false, whatever the operator (`<>` included), so
// "F <> 'x'" does not select the records whose F is null; "NOT (F = 'x')" does, and so does
// "F IS NULL".

#include "platform/toolkit/data/field.h"
#include "platform/toolkit/data/formats.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tk {

// Bad filter text: the message names the position (1-based character) and the token.
class EFilterError : public EDatabaseError
{
public:
    using EDatabaseError::EDatabaseError;
};

struct FilterFieldInfo
{
    int index = -1;
    FieldType type = FieldType::String;
};

// Resolves a field name (case-insensitively) to its position and type; false when unknown.
using FilterFieldResolver = std::function<bool(const std::string &name, FilterFieldInfo &info)>;

// Equality of two texts without a library call for the short codes filters and searches compare.
inline bool textEquals(const std::string &a, const std::string &b)
{
    const size_t n = a.size();
    if (n != b.size())
        return false;
    if (n > 16)
        return a.compare(b) == 0;
    const char *pa = a.data();
    const char *pb = b.data();
    for (size_t i = 0; i < n; ++i)
        if (pa[i] != pb[i])
            return false;
    return true;
}

class FilterExpression
{
public:
    // EFilterError for bad syntax, an unknown field or a value that does not suit its field.
    // An empty (or blank) text gives an expression that accepts every record.
    static std::unique_ptr<FilterExpression> compile(const std::string &text, const FilterFieldResolver &resolve,
                                                     const TFormatSettings &fs = FormatSettings());

    // Values indexed by field position, each Null or in its field's storage type.
    bool matches(const std::vector<Variant> &values) const;

    const std::string &text() const { return m_text; }

    // Equality keys, for indexes that answer a filter without evaluating it on every record. The key
    // of an expression that is a conjunction of one `FIELD = constant` on each of `fields` (any order,
    // any nesting of AND), or nullopt for any other shape; and the key of a record's values of those
    // fields, or nullopt when no such equality can select the record (a null, say). The expression
    // selects exactly the records whose key equals its own.
    std::optional<std::string> equalityKey(const std::vector<int> &fields) const;
    static std::optional<std::string> recordEqualityKey(const std::vector<const Variant *> &values);
    // Positions of the fields the expression reads.
    const std::vector<int> &fieldIndices() const { return m_fields; }

    struct Node;
    ~FilterExpression();

private:
    FilterExpression();
    bool eval(int node, const std::vector<Variant> &values) const;

    std::string m_text;
    std::vector<Node> m_nodes;
    int m_root = -1;
    std::vector<int> m_fields;
    friend class FilterParser;
};

// Building filter texts, the one way module code does: next to the parser, so that a combined
// filter keeps the meaning of its parts.
std::string QuotedStr(const std::string &value); // 'it''s'
// "FIELD = 'value'", value quoted.
std::string FilterEq(const std::string &field, const std::string &value);
// "FIELD = 'dd/mm/yyyy'", the date in the short date format.
std::string FilterEqDate(const std::string &field, TDateTime value);
// "a AND b"; an empty side is left out; a side with an OR outside parentheses (as the parser reads
// it) is put in parentheses.
std::string FilterAnd(const std::string &a, const std::string &b);

} // namespace tk
