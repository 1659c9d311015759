#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "repair/daylight_saving.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Extra data as packets carry it: a big-endian length word, then the elements.
// The vector is sized exactly, so a read past its end is a sanitizer report.
Bytes ExtraData(const Bytes& elements) {
    Bytes data{static_cast<std::uint8_t>(elements.size() >> 24), static_cast<std::uint8_t>(elements.size() >> 16),
               static_cast<std::uint8_t>(elements.size() >> 8), static_cast<std::uint8_t>(elements.size())};
    data.insert(data.end(), elements.begin(), elements.end());
    return data;
}

// The daylight-saving element: the tag, 11 bytes, then the two flag bytes.
Bytes DaylightElement(std::uint8_t flag12, std::uint8_t flag13) {
    Bytes element(14, 0);
    element[0] = 0x61;
    element[1] = 12;
    element[12] = flag12;
    element[13] = flag13;
    return element;
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Elements whose flags are clear, cut to the given length.
Bytes Filler(std::size_t length) {
    Bytes filler;
    const Bytes element = DaylightElement(0, 0);
    while (filler.size() < length) filler.insert(filler.end(), element.begin(), element.end());
    filler.resize(length);
    return filler;
}

std::uint16_t Walk(const Bytes& data) { return RecordDaylightSavingFromExtraData(data.data(), data.size()); }

TEST(DaylightSavingElementTest, ReadsTheFlagBytesOfTheElement) {
    const struct {
        const char* what;
        Bytes elements;
        std::uint16_t expected;
    } cases[] = {
        {"no elements", {}, 0},
        {"flag at 12", DaylightElement(1, 0), 1},
        {"flag at 13", DaylightElement(0, 0x80), 1},
        {"both clear", DaylightElement(0, 0), 0},
        {"after a short element", Join({0x10, 2, 0xAA, 0xBB}, DaylightElement(1, 0)), 1},
        {"after an empty element", Join({0x10, 0}, DaylightElement(0, 1)), 1},
        {"length replaced by the next byte", Join({0x10, 0x81, 3, 1, 2, 3}, DaylightElement(1, 1)), 1},
        // From 0x82 on, every further test passes and all three bytes are read.
        {"wide length", Join(Join({0x10, 0x81, 0x82, 0x01, 0x00, 0x00}, Bytes(0x182, 0x61)), DaylightElement(1, 0)), 1},
        // Read wrongly, either length lands on the element with the flags set.
        {"wide length skips an element inside it",
         Join(Join({0x10, 0x81, 0x82, 0x01, 0x00, 0x00},
                   Join(Join(Bytes(0x7F, 0), DaylightElement(1, 1)), Bytes(0x182 - 0x7F - 14, 0))),
              DaylightElement(0, 0)),
         0},
        {"fourth length byte counts 2^24",
         Join(Join({0x10, 0x81, 0x84, 0, 0, 0x01}, Filler(0x84 + (1u << 24))), DaylightElement(1, 1)), 1},
        {"0x80 is a length of its own", Join(Join({0x10, 0x80}, Bytes(0x80, 0x61)), DaylightElement(0, 1)), 1},
        {"first element decides", Join(DaylightElement(0, 0), DaylightElement(1, 1)), 0},
        {"other elements only", {0x10, 1, 0x61, 0x20, 0}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Walk(ExtraData(c.elements)), c.expected) << c.what;
}

TEST(DaylightSavingElementTest, NeverReadsPastTheExtraData) {
    Bytes shortElement = DaylightElement(1, 1);
    shortElement.pop_back();  // 13 bytes from the tag
    const struct {
        const char* what;
        Bytes elements;
    } cases[] = {
        {"element shorter than 14 bytes", shortElement},
        {"tag alone", {0x61}},
        {"length runs past the end", Join({0x10, 20}, DaylightElement(1, 1))},
        {"length byte missing", {0x10}},
        {"replacement byte missing", {0x10, 0x81}},
        {"second length byte missing", {0x10, 0x81, 0x82}},
        {"third length byte missing", {0x10, 0x81, 0x83, 0}},
        {"fourth length byte missing", {0x10, 0x81, 0x84, 0, 0}},
        {"huge length", {0x10, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x61}},
    };
    for (const auto& c : cases) EXPECT_EQ(Walk(ExtraData(c.elements)), 0) << c.what;
    EXPECT_EQ(RecordDaylightSavingFromExtraData(nullptr, 0), 0);
    const Bytes lengthWordOnly{0, 0, 0, 0};
    EXPECT_EQ(Walk(lengthWordOnly), 0);
    const Bytes truncatedWord{0, 0};
    EXPECT_EQ(Walk(truncatedWord), 0);
}

}  // namespace
