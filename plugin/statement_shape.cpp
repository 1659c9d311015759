#include "plugin/statement_shape.h"

namespace strata {

namespace {

// SQLite's white space; any other control byte is left to SQLite.
bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsIdentifierByte(unsigned char c) { return IsIdentifierStart(c) || IsDigit(c) || c == '$'; }

bool IsWord(const char* begin, const char* end, const char* word) {
    for (; begin < end && *word != '\0'; ++begin, ++word) {
        const char c = (*begin >= 'a' && *begin <= 'z') ? static_cast<char>(*begin - 'a' + 'A') : *begin;
        if (c != *word) return false;
    }
    return begin == end && *word == '\0';
}

// An integer literal of this many digits always fits in 64 bits, so SQLite
// reads it as the integer it spells.
constexpr std::size_t kLongestInteger = 18;

}  // namespace

std::optional<StatementShape> ShapeOfInsert(const char* statement, std::size_t length) {
    StatementShape result;
    result.shape.reserve(length);
    const char* p = statement;
    const char* const end = statement + length;
    bool first = true;
    bool afterValues = false;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsSpace(c)) {
            result.shape += *p++;
            continue;
        }
        if (IsIdentifierStart(c)) {
            const char* word = p;
            while (p < end && IsIdentifierByte(static_cast<unsigned char>(*p))) ++p;
            if (p < end && *p == '\'') return std::nullopt;  // a blob, X'..'
            if (first ? !IsWord(word, p, "INSERT") : afterValues) return std::nullopt;
            if (IsWord(word, p, "VALUES")) afterValues = true;
            first = false;
            result.shape.append(word, p);
            continue;
        }
        if (first) return std::nullopt;
        if (!afterValues && (c == '"' || c == '`' || c == '[')) {
            const char close = c == '[' ? ']' : static_cast<char>(c);
            const char* q = p + 1;
            for (;; ++q) {
                if (q >= end || *q == '\0') return std::nullopt;
                if (*q != close) continue;
                if (close != ']' && q + 1 < end && q[1] == close) {
                    ++q;
                    continue;
                }
                break;
            }
            result.shape.append(p, q + 1);
            p = q + 1;
            continue;
        }
        if (afterValues && c == '\'') {
            StatementValue value;
            value.isText = true;
            const char* q = p + 1;
            for (;; ++q) {
                if (q >= end || *q == '\0') return std::nullopt;
                if (*q != '\'') {
                    value.text += *q;
                } else if (q + 1 < end && q[1] == '\'') {
                    value.text += '\'';
                    ++q;
                } else {
                    break;
                }
            }
            result.shape += '?';
            result.values.push_back(std::move(value));
            p = q + 1;
            continue;
        }
        if (afterValues && IsDigit(c)) {
            const char* digits = p;
            while (p < end && IsDigit(static_cast<unsigned char>(*p))) ++p;
            if (p - digits > static_cast<std::ptrdiff_t>(kLongestInteger)) return std::nullopt;
            if (p < end && (IsIdentifierByte(static_cast<unsigned char>(*p)) || *p == '.')) return std::nullopt;
            StatementValue value;
            for (const char* d = digits; d < p; ++d) value.integer = value.integer * 10 + (*d - '0');
            result.shape += '?';
            result.values.push_back(std::move(value));
            continue;
        }
        const bool punctuation = c == '(' || c == ')' || c == ',' || (afterValues ? c == ';' : c == '.');
        if (!punctuation) return std::nullopt;  // operators, comments, parameters, any other literal
        result.shape += *p++;
    }
    if (!afterValues || result.values.empty()) return std::nullopt;
    return result;
}

}  // namespace strata
