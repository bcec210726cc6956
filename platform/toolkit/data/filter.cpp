#include "platform/toolkit/data/filter.h"

#include "platform/toolkit/data/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tk {

struct FilterExpression::Node
{
    enum Kind : uint8_t { And, Or, Not, CmpText, CmpNumber, CmpBoolean, IsNull, IsNotNull, Always };
    enum Cmp : uint8_t { Eq, Ne, Lt, Le, Gt, Ge };
    Kind kind = Always;
    Cmp cmp = Eq;
    int field = -1;
    int left = -1;
    int right = -1;
    double number = 0;
    bool boolean = false;
    std::string text;
};

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;

namespace {

using Node = FilterExpression::Node;

enum class Tok { End, Ident, String, Number, LParen, RParen, Op, And, Or, Not, Is, Null, True, False };

struct Token
{
    Tok type = Tok::End;
    std::string text; // identifier name, string value, number text or operator
    size_t pos = 0;   // 1-based position in the filter text
};

bool equalsNoCase(const std::string &a, const char *b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c != b[i])
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool isIdentStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool isIdentChar(unsigned char c)
{
    return isIdentStart(c) || (c >= '0' && c <= '9');
}

bool isNumericType(FieldType type)
{
    return type == FieldType::Integer || type == FieldType::Float || type == FieldType::DateTime;
}

bool isTextType(FieldType type)
{
    return type == FieldType::String || type == FieldType::FixedString;
}

// The filter language's words, one at a time: the parser reads them, and so does the code that
// builds filter texts (FilterAnd), so that both see the same words, blanks and quotes.
class FilterLexer
{
public:
    explicit FilterLexer(const std::string &text) : m_text(text) {}

    // The next token; an End token at the end. EFilterError for an unterminated text or field name
    // or a character the language does not have.
    Token next()
    {
        Token tok;
        const std::string &s = m_text;
        while (m_pos < s.size() && static_cast<unsigned char>(s[m_pos]) <= ' ')
            ++m_pos;
        tok.pos = m_pos + 1;
        if (m_pos >= s.size())
            return tok;
        const char c = s[m_pos];
        if (c == '\'') {
            std::string value;
            size_t i = m_pos + 1;
            for (;;) {
                if (i >= s.size())
                    fail("unterminated text", tok.pos);
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') {
                        value.push_back('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value.push_back(s[i++]);
            }
            tok.type = Tok::String;
            tok.text = std::move(value);
            m_pos = i;
            return tok;
        }
        if (c == '[') {
            const size_t close = s.find(']', m_pos + 1);
            if (close == std::string::npos)
                fail("unterminated field name", tok.pos);
            tok.type = Tok::Ident;
            tok.text = s.substr(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return tok;
        }
        if ((c >= '0' && c <= '9') || ((c == '-' || c == '.') && m_pos + 1 < s.size()
                                       && s[m_pos + 1] >= '0' && s[m_pos + 1] <= '9')) {
            size_t i = m_pos + 1;
            while (i < s.size() && ((s[i] >= '0' && s[i] <= '9') || s[i] == '.' || s[i] == 'e' || s[i] == 'E'
                                    || ((s[i] == '-' || s[i] == '+') && (s[i - 1] == 'e' || s[i - 1] == 'E'))))
                ++i;
            tok.type = Tok::Number;
            tok.text = s.substr(m_pos, i - m_pos);
            m_pos = i;
            return tok;
        }
        if (isIdentStart(static_cast<unsigned char>(c))) {
            size_t i = m_pos + 1;
            while (i < s.size() && isIdentChar(static_cast<unsigned char>(s[i])))
                ++i;
            tok.text = s.substr(m_pos, i - m_pos);
            m_pos = i;
            if (equalsNoCase(tok.text, "AND"))
                tok.type = Tok::And;
            else if (equalsNoCase(tok.text, "OR"))
                tok.type = Tok::Or;
            else if (equalsNoCase(tok.text, "NOT"))
                tok.type = Tok::Not;
            else if (equalsNoCase(tok.text, "IS"))
                tok.type = Tok::Is;
            else if (equalsNoCase(tok.text, "NULL"))
                tok.type = Tok::Null;
            else if (equalsNoCase(tok.text, "TRUE"))
                tok.type = Tok::True;
            else if (equalsNoCase(tok.text, "FALSE"))
                tok.type = Tok::False;
            else
                tok.type = Tok::Ident;
            return tok;
        }
        if (c == '(' || c == ')') {
            tok.type = c == '(' ? Tok::LParen : Tok::RParen;
            tok.text = std::string(1, c);
            ++m_pos;
            return tok;
        }
        if (c == '=' || c == '<' || c == '>' || c == '!') {
            std::string op(1, c);
            if (m_pos + 1 < s.size()) {
                const char n = s[m_pos + 1];
                if ((c == '<' && (n == '>' || n == '=')) || (c == '>' && n == '=') || (c == '!' && n == '='))
                    op.push_back(n);
            }
            if (op == "!")
                fail("unexpected '!'", tok.pos);
            tok.type = Tok::Op;
            tok.text = op;
            m_pos += op.size();
            return tok;
        }
        fail(std::string("unexpected character '") + c + "'", tok.pos);
        }

private:
    [[noreturn]] void fail(const std::string &problem, size_t pos) const
    {
        throw EFilterError("Invalid filter \"" + m_text + "\": " + problem + " at position " + std::to_string(pos));
    }

    const std::string &m_text;
    size_t m_pos = 0;
};

} // namespace

class FilterParser
{
public:
    FilterParser(const std::string &text, const FilterFieldResolver &resolve, const TFormatSettings &fs,
                 FilterExpression &out)
        : m_text(text), m_lexer(text), m_resolve(resolve), m_fs(fs), m_out(out)
    {
    }

    void run()
    {
        advance();
        if (m_tok.type == Tok::End) {
            m_out.m_root = add(Node{});
            return;
        }
        m_out.m_root = parseOr();
        if (m_tok.type != Tok::End)
            fail("unexpected " + describe(m_tok), m_tok.pos);
    }

private:
    [[noreturn]] void fail(const std::string &problem, size_t pos) const
    {
        throw EFilterError("Invalid filter \"" + m_text + "\": " + problem + " at position " + std::to_string(pos));
    }

    static std::string describe(const Token &t)
    {
        switch (t.type) {
        case Tok::End: return "end of filter";
        case Tok::String: return "text '" + t.text + "'";
        case Tok::Number: return "number " + t.text;
        default: return "'" + t.text + "'";
        }
    }

    void advance() { m_tok = m_lexer.next(); }

    int add(Node node)
    {
        m_out.m_nodes.push_back(std::move(node));
        return int(m_out.m_nodes.size()) - 1;
    }

    int binary(Node::Kind kind, int left, int right)
    {
        Node n;
        n.kind = kind;
        n.left = left;
        n.right = right;
        return add(std::move(n));
    }

    int parseOr()
    {
        int left = parseAnd();
        while (m_tok.type == Tok::Or) {
            advance();
            left = binary(Node::Or, left, parseAnd());
        }
        return left;
    }

    int parseAnd()
    {
        int left = parseNot();
        while (m_tok.type == Tok::And) {
            advance();
            left = binary(Node::And, left, parseNot());
        }
        return left;
    }

    int parseNot()
    {
        if (m_tok.type == Tok::Not) {
            advance();
            return binary(Node::Not, parseNot(), -1);
        }
        if (m_tok.type == Tok::LParen) {
            const size_t open = m_tok.pos;
            advance();
            const int inner = parseOr();
            if (m_tok.type != Tok::RParen)
                fail("expected ')' for the '(' at position " + std::to_string(open) + ", found " + describe(m_tok),
                     m_tok.pos);
            advance();
            return inner;
        }
        return parseComparison();
    }

    bool isValue(const Token &t) const
    {
        return t.type == Tok::String || t.type == Tok::Number || t.type == Tok::True || t.type == Tok::False;
    }

    FilterFieldInfo resolveField(const Token &t)
    {
        FilterFieldInfo info;
        if (!m_resolve || !m_resolve(t.text, info))
            fail("unknown field '" + t.text + "'", t.pos);
        if (std::find(m_out.m_fields.begin(), m_out.m_fields.end(), info.index) == m_out.m_fields.end())
            m_out.m_fields.push_back(info.index);
        return info;
    }

    int parseComparison()
    {
        const Token first = m_tok;
        if (first.type != Tok::Ident && !isValue(first))
            fail("expected a field or a value, found " + describe(first), first.pos);
        advance();
        if (first.type == Tok::Ident && m_tok.type == Tok::Is) {
            const FilterFieldInfo info = resolveField(first);
            advance();
            bool negate = false;
            if (m_tok.type == Tok::Not) {
                negate = true;
                advance();
            }
            if (m_tok.type != Tok::Null)
                fail("expected NULL after IS, found " + describe(m_tok), m_tok.pos);
            advance();
            Node n;
            n.kind = negate ? Node::IsNotNull : Node::IsNull;
            n.field = info.index;
            return add(std::move(n));
        }
        if (m_tok.type != Tok::Op)
            fail("expected a comparison operator after " + describe(first) + ", found " + describe(m_tok), m_tok.pos);
        const Token op = m_tok;
        advance();
        const Token second = m_tok;
        if (second.type != Tok::Ident && !isValue(second))
            fail("expected a field or a value after '" + op.text + "', found " + describe(second), second.pos);
        advance();

        Node::Cmp cmp = Node::Eq;
        if (op.text == "=")
            cmp = Node::Eq;
        else if (op.text == "<>" || op.text == "!=")
            cmp = Node::Ne;
        else if (op.text == "<")
            cmp = Node::Lt;
        else if (op.text == "<=")
            cmp = Node::Le;
        else if (op.text == ">")
            cmp = Node::Gt;
        else if (op.text == ">=")
            cmp = Node::Ge;
        else
            fail("unknown operator '" + op.text + "'", op.pos);

        const Token *field = nullptr;
        const Token *value = nullptr;
        if (first.type == Tok::Ident && isValue(second)) {
            field = &first;
            value = &second;
        } else if (second.type == Tok::Ident && isValue(first)) {
            field = &second;
            value = &first;
            // value op field  ==  field op' value
            switch (cmp) {
            case Node::Lt: cmp = Node::Gt; break;
            case Node::Le: cmp = Node::Ge; break;
            case Node::Gt: cmp = Node::Lt; break;
            case Node::Ge: cmp = Node::Le; break;
            default: break;
            }
        } else if (first.type == Tok::Ident) {
            fail("a comparison needs a value, found field '" + second.text + "'", second.pos);
        } else {
            fail("a comparison needs a field, found " + describe(second), second.pos);
        }

        const FilterFieldInfo info = resolveField(*field);
        Node n;
        n.cmp = cmp;
        n.field = info.index;
        if (isTextType(info.type)) {
            if (value->type != Tok::String)
                fail("text field '" + field->text + "' compared with " + describe(*value), value->pos);
            n.kind = Node::CmpText;
            n.text = value->text;
        } else if (info.type == FieldType::Boolean) {
            n.kind = Node::CmpBoolean;
            if (value->type == Tok::True || value->type == Tok::False) {
                n.boolean = value->type == Tok::True;
            } else if (value->type == Tok::String && (equalsNoCase(value->text, "TRUE")
                                                       || equalsNoCase(value->text, "FALSE"))) {
                n.boolean = equalsNoCase(value->text, "TRUE");
            } else if (value->type == Tok::Number && (value->text == "0" || value->text == "1")) {
                n.boolean = value->text == "1";
            } else {
                fail("boolean field '" + field->text + "' compared with " + describe(*value), value->pos);
            }
            if (cmp != Node::Eq && cmp != Node::Ne)
                fail("boolean field '" + field->text + "' only takes = and <>", op.pos);
        } else if (isNumericType(info.type)) {
            n.kind = Node::CmpNumber;
            if (value->type == Tok::Number) {
                const auto res = std::from_chars(value->text.data(), value->text.data() + value->text.size(),
                                                 n.number);
                if (res.ec != std::errc() || res.ptr != value->text.data() + value->text.size())
                    fail("bad number " + value->text, value->pos);
            } else if (value->type == Tok::String && info.type == FieldType::DateTime) {
                TDateTime date = 0;
                if (!TryStrToDate(value->text, date, m_fs))
                    fail("'" + value->text + "' is not a valid date for field '" + field->text + "'", value->pos);
                n.number = date;
            } else if (value->type == Tok::String) {
                if (!TryStrToFloat(value->text, n.number, m_fs))
                    fail("'" + value->text + "' is not a number for field '" + field->text + "'", value->pos);
            } else {
                fail("numeric field '" + field->text + "' compared with " + describe(*value), value->pos);
            }
        } else {
            fail("field '" + field->text + "' cannot be filtered", field->pos);
        }
        return add(std::move(n));
    }

    const std::string &m_text;
    FilterLexer m_lexer;
    const FilterFieldResolver &m_resolve;
    const TFormatSettings &m_fs;
    FilterExpression &m_out;
    Token m_tok;
};

std::unique_ptr<FilterExpression> FilterExpression::compile(const std::string &text,
                                                            const FilterFieldResolver &resolve,
                                                            const TFormatSettings &fs)
{
    std::unique_ptr<FilterExpression> expr(new FilterExpression());
    expr->m_text = text;
    FilterParser(text, resolve, fs, *expr).run();
    return expr;
}

namespace {

template <typename T>
bool compare(Node::Cmp cmp, const T &a, const T &b)
{
    switch (cmp) {
    case Node::Eq: return a == b;
    case Node::Ne: return !(a == b);
    case Node::Lt: return a < b;
    case Node::Le: return !(b < a);
    case Node::Gt: return b < a;
    case Node::Ge: return !(a < b);
    }
    return false;
}

bool compareText(Node::Cmp cmp, const std::string &a, const std::string &b)
{
    if (cmp == Node::Eq)
        return textEquals(a, b);
    if (cmp == Node::Ne)
        return !textEquals(a, b);
    const int c = a.compare(b); // char_traits<char> compares as unsigned bytes
    switch (cmp) {
    case Node::Lt: return c < 0;
    case Node::Le: return c <= 0;
    case Node::Gt: return c > 0;
    case Node::Ge: return c >= 0;
    default: return false;
    }
}

} // namespace

bool FilterExpression::eval(int index, const std::vector<Variant> &values) const
{
    const Node &n = m_nodes[size_t(index)];
    switch (n.kind) {
    case Node::Always:
        return true;
    case Node::And:
        return eval(n.left, values) && eval(n.right, values);
    case Node::Or:
        return eval(n.left, values) || eval(n.right, values);
    case Node::Not:
        return !eval(n.left, values);
    case Node::IsNull:
        return values[size_t(n.field)].isNull();
    case Node::IsNotNull:
        return !values[size_t(n.field)].isNull();
    case Node::CmpText: {
        const auto *s = std::get_if<std::string>(&values[size_t(n.field)].storage());
        return s && compareText(n.cmp, *s, n.text);
    }
    case Node::CmpNumber: {
        const Variant::Storage &st = values[size_t(n.field)].storage();
        double v;
        if (const auto *d = std::get_if<double>(&st))
            v = *d;
        else if (const auto *i = std::get_if<int32_t>(&st))
            v = *i;
        else if (const auto *dt = std::get_if<Variant::DateTimeValue>(&st))
            v = dt->value;
        else
            return false;
        return compare(n.cmp, v, n.number);
    }
    case Node::CmpBoolean: {
        const auto *b = std::get_if<bool>(&values[size_t(n.field)].storage());
        return b && compare(n.cmp, *b, n.boolean);
    }
    }
    return false;
}

bool FilterExpression::matches(const std::vector<Variant> &values) const
{
    return eval(m_root, values);
}

// --- Filter texts: the one way module code builds them ------------------------------------------

std::string QuotedStr(const std::string &value)
{
    std::string out = "'";
    for (char c : value) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

std::string FilterEq(const std::string &field, const std::string &value)
{
    return field + " = " + QuotedStr(value);
}

std::string FilterEqDate(const std::string &field, TDateTime value)
{
    return field + " = " + QuotedStr(DateToStr(value));
}

// True when the text has an OR outside parentheses, as the parser reads it (quotes, blanks and
// keywords its own way), so that joining it with AND needs parentheses to keep its meaning. A text
// the parser cannot read is put in parentheses too: the combined filter then fails as the text does.
static bool hasTopLevelOr(const std::string &text)
{
    try {
        FilterLexer words(text);
        int depth = 0;
        for (Token word = words.next(); word.type != Tok::End; word = words.next()) {
            if (word.type == Tok::LParen)
                ++depth;
            else if (word.type == Tok::RParen)
                --depth;
            else if (word.type == Tok::Or && depth == 0)
                return true;
        }
        return false;
    } catch (const EFilterError &) {
        return true;
    }
}

static std::string andOperand(const std::string &text)
{
    return hasTopLevelOr(text) ? "(" + text + ")" : text;
}

std::string FilterAnd(const std::string &a, const std::string &b)
{
    if (Trim(a).empty())
        return b;
    if (Trim(b).empty())
        return a;
    return andOperand(a) + " AND " + andOperand(b);
}

} // namespace tk
