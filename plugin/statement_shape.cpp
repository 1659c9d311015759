#include "plugin/statement_shape.h"

namespace strata {

namespace {

// Byte classes, looked up once per byte: statements are long and arrive one
// per row.
enum : unsigned char { kOther = 0, kSpace = 1, kDigit = 2, kIdentifierStart = 4, kIdentifierByte = 8 };

struct ByteClasses {
    unsigned char of[256] = {};
    constexpr ByteClasses() {
        // SQLite's white space; any other control byte is left to SQLite.
        for (const unsigned char c : {' ', '\t', '\n', '\r', '\f'}) of[c] = kSpace;
        for (int c = '0'; c <= '9'; ++c) of[c] = kDigit | kIdentifierByte;
        for (int c = 'a'; c <= 'z'; ++c) of[c] = kIdentifierStart | kIdentifierByte;
        for (int c = 'A'; c <= 'Z'; ++c) of[c] = kIdentifierStart | kIdentifierByte;
        for (int c = 0x80; c <= 0xFF; ++c) of[c] = kIdentifierStart | kIdentifierByte;
        of[static_cast<unsigned char>('_')] = kIdentifierStart | kIdentifierByte;
        of[static_cast<unsigned char>('$')] = kIdentifierByte;
    }
};
constexpr ByteClasses kClasses;

bool Is(unsigned char c, unsigned char mask) { return (kClasses.of[c] & mask) != 0; }
bool IsSpace(unsigned char c) { return Is(c, kSpace); }
bool IsDigit(unsigned char c) { return Is(c, kDigit); }
bool IsIdentifierStart(unsigned char c) { return Is(c, kIdentifierStart); }
bool IsIdentifierByte(unsigned char c) { return Is(c, kIdentifierByte); }

bool IsWord(const char* begin, const char* end, const char* word) {
    if (end - begin != 6) return false;  // INSERT, VALUES
    for (; begin < end && *word != '\0'; ++begin, ++word) {
        const char c = (*begin >= 'a' && *begin <= 'z') ? static_cast<char>(*begin - 'a' + 'A') : *begin;
        if (c != *word) return false;
    }
    return begin == end && *word == '\0';
}

// An integer literal of this many digits always fits in 64 bits, so SQLite
// reads it as the integer it spells.
constexpr std::size_t kLongestInteger = 18;

// Each reader below starts at a literal's or a quoted name's first byte and
// returns the position after it, or nullptr where the statement is left to
// SQLite as it stands (unclosed, or not a plain literal).

// "name", `name` (a doubled quote is one) or [name].
const char* AfterQuotedName(const char* p, const char* end) {
    const char close = *p == '[' ? ']' : *p;
    for (const char* q = p + 1; q < end && *q != '\0'; ++q) {
        if (*q != close) continue;
        if (close != ']' && q + 1 < end && q[1] == close) {
            ++q;
            continue;
        }
        return q + 1;
    }
    return nullptr;
}

// 'text', a doubled quote being one.
const char* AfterTextLiteral(const char* p, const char* end, std::string& text) {
    for (const char* q = p + 1; q < end && *q != '\0'; ++q) {
        if (*q != '\'') {
            text += *q;
        } else if (q + 1 < end && q[1] == '\'') {
            text += '\'';
            ++q;
        } else {
            return q + 1;
        }
    }
    return nullptr;
}

// Digits that are the whole literal and fit in 64 bits.
const char* AfterIntegerLiteral(const char* p, const char* end, std::int64_t& integer) {
    const char* digits = p;
    while (p < end && IsDigit(static_cast<unsigned char>(*p))) ++p;
    if (p - digits > static_cast<std::ptrdiff_t>(kLongestInteger)) return nullptr;
    if (p < end && (IsIdentifierByte(static_cast<unsigned char>(*p)) || *p == '.')) return nullptr;
    for (const char* d = digits; d < p; ++d) integer = integer * 10 + (*d - '0');
    return p;
}

}  // namespace

std::optional<StatementShape> ShapeOfInsert(const char* statement, std::size_t length) {
    StatementShape result;
    result.shape.reserve(length);
    result.values.reserve(16);
    const char* p = statement;
    const char* const end = statement + length;
    const char* copied = statement;  // the text before it is in the shape already
    auto literal = [&](const char* begin, const char* after, StatementValue value) {
        result.shape.append(copied, begin);
        result.shape += '?';
        result.values.push_back(std::move(value));
        copied = after;
    };
    bool first = true;
    bool afterValues = false;
    while (p < end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (IsSpace(c)) {
            ++p;
            continue;
        }
        if (IsIdentifierStart(c)) {
            const char* word = p;
            while (p < end && IsIdentifierByte(static_cast<unsigned char>(*p))) ++p;
            if (p < end && *p == '\'') return std::nullopt;  // a blob, X'..'
            if (first ? !IsWord(word, p, "INSERT") : afterValues) return std::nullopt;
            if (IsWord(word, p, "VALUES")) afterValues = true;
            first = false;
            continue;
        }
        if (first) return std::nullopt;
        if (!afterValues && (c == '"' || c == '`' || c == '[')) {
            p = AfterQuotedName(p, end);
            if (p == nullptr) return std::nullopt;
            continue;
        }
        if (afterValues && c == '\'') {
            StatementValue value;
            value.isText = true;
            const char* after = AfterTextLiteral(p, end, value.text);
            if (after == nullptr) return std::nullopt;
            literal(p, after, std::move(value));
            p = after;
            continue;
        }
        if (afterValues && IsDigit(c)) {
            StatementValue value;
            const char* after = AfterIntegerLiteral(p, end, value.integer);
            if (after == nullptr) return std::nullopt;
            literal(p, after, std::move(value));
            p = after;
            continue;
        }
        const bool punctuation = c == '(' || c == ')' || c == ',' || (afterValues ? c == ';' : c == '.');
        if (!punctuation) return std::nullopt;  // operators, comments, parameters, any other literal
        ++p;
    }
    if (!afterValues || result.values.empty()) return std::nullopt;
    result.shape.append(copied, end);
    return result;
}

}  // namespace strata
