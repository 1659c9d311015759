// The bounded cursor: positions count from its origin, and whatever would
// leave the span calls the policy before anything moves.

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "media/byte_cursor.h"

namespace {

struct Short : std::runtime_error {
    Short() : std::runtime_error("short") {}
};
struct ThrowShort {
    [[noreturn]] static void Shortfall() { throw Short(); }
};
using Cursor = ByteCursor<ThrowShort>;

const std::uint8_t kBytes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

TEST(ByteCursorTest, ReadsBigEndianAtPositionsFromTheOrigin) {
    Cursor cursor(kBytes, kBytes + sizeof kBytes, 100);
    EXPECT_EQ(0x01u, cursor.ReadU8());
    EXPECT_EQ(0x0203u, cursor.ReadU16());
    EXPECT_EQ(0x040506u, cursor.ReadU24());
    EXPECT_EQ(0x0708090Au, cursor.ReadU32());
    EXPECT_EQ(110u, cursor.Position());
    cursor.Seek(101);
    EXPECT_EQ(0x0203040506070809ull, cursor.ReadU64());
    EXPECT_EQ(115u, cursor.End());

    Cursor part = cursor.Part(104, 108);
    EXPECT_EQ(0x05060708u, part.ReadU32());
    EXPECT_THROW(part.ReadU8(), Short);
    EXPECT_EQ(109u, cursor.Position());
}

TEST(ByteCursorTest, ShortfallCallsThePolicyAndMovesNothing) {
    struct Case {
        const char* name;
        void (*step)(Cursor&);
    };
    const Case cases[] = {
        {"read", [](Cursor& c) { c.ReadU64(); }},
        {"take", [](Cursor& c) { c.Take(6); }},
        {"skip that would wrap", [](Cursor& c) { c.Skip(~std::uint64_t{0}); }},
        {"seek before the origin", [](Cursor& c) { c.Seek(99); }},
        {"seek past the end", [](Cursor& c) { c.Seek(116); }},
        {"part past the end", [](Cursor& c) { c.Part(110, 116); }},
        {"part reversed", [](Cursor& c) { c.Part(112, 111); }},
    };
    for (const Case& c : cases) {
        Cursor cursor(kBytes, kBytes + sizeof kBytes, 100);
        cursor.Seek(110);
        EXPECT_THROW(c.step(cursor), Short) << c.name;
        EXPECT_EQ(110u, cursor.Position()) << c.name;
    }
}

TEST(ByteCursorTest, PassOverRestKeepsWhatWasReadBeforeTheShortfall) {
    ByteCursor<PassOverRest> cursor(kBytes, kBytes + 5);
    std::vector<std::uint16_t> read;
    ReadWhatIsThere([&] {
        for (;;) read.push_back(cursor.ReadU16());
    });
    EXPECT_EQ((std::vector<std::uint16_t>{0x0102, 0x0304}), read);
}

}  // namespace
