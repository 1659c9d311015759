#include "app/printable_text.h"

#include <cstddef>
#include <cstdint>

namespace console {

namespace {

constexpr char kShownInstead = '?';

// The length of the valid UTF-8 sequence at text[at] and its code point, or 0
// when the bytes there are not one (overlong forms and surrogates included).
std::size_t DecodeUtf8(const std::string& text, std::size_t at, std::uint32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || surrogate || codePoint > 0x10FFFF) return 0;
    return length;
}

bool HiddenCodePoint(std::uint32_t codePoint) {
    const bool c1 = codePoint >= 0x80 && codePoint <= 0x9F;
    const bool bidiOverride = codePoint >= 0x202A && codePoint <= 0x202E;
    const bool bidiIsolate = codePoint >= 0x2066 && codePoint <= 0x2069;
    return c1 || bidiOverride || bidiIsolate;
}

}  // namespace

std::string PrintableText(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            shown += (byte < 0x20 || byte == 0x7F) ? kShownInstead : text[at];
            ++at;
            continue;
        }
        std::uint32_t codePoint = 0;
        const std::size_t length = DecodeUtf8(text, at, codePoint);
        if (length == 0) {
            // Not UTF-8: a byte a terminal may take as a C1 control is hidden, any other kept.
            shown += byte <= 0x9F ? kShownInstead : text[at];
            ++at;
        } else if (HiddenCodePoint(codePoint)) {
            shown += kShownInstead;
            at += length;
        } else {
            shown.append(text, at, length);
            at += length;
        }
    }
    return shown;
}

}  // namespace console
