// The bounded bit reader under the frame-header decoding.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "media/bit_reader.h"

namespace {

struct Op {
    char kind;  // 'r' read n bits, 's' skip n bits, 'e' read n bits expecting "end of stream"
    unsigned n;
    uint32_t value;    // expected value for 'r'
    size_t remaining;  // bytes remaining afterwards
};

}  // namespace

TEST(BitReaderTest, ReadsAndSkips) {
    const std::vector<uint8_t> bytes = {0xA5, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78};
    const Op ops[] = {
        {'r', 1, 1, 7},      {'r', 3, 2, 7},          {'r', 8, 0x50, 6}, {'s', 4, 0, 5},
        {'r', 12, 0xF01, 4}, {'r', 24, 0x23'4567, 1}, {'s', 100, 0, 0},  {'e', 1, 0, 0},
    };
    BitReader reader(bytes.data(), bytes.data() + bytes.size());
    for (const Op& op : ops) {
        SCOPED_TRACE(testing::Message() << op.kind << op.n);
        if (op.kind == 'r') {
            EXPECT_EQ(reader.Read(op.n), op.value);
        } else if (op.kind == 's') {
            reader.Skip(op.n);
        } else {
            try {
                reader.Read(op.n);
                ADD_FAILURE() << "no error";
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "end of stream");
            }
        }
        EXPECT_EQ(reader.BytesRemaining(), op.remaining);
    }
}

TEST(BitReaderTest, TakeBytesStaysInsideTheRange) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 4, 5};
    BitReader reader(bytes.data(), bytes.data() + bytes.size());
    reader.Read(8);
    BitReader part = reader.TakeBytes(2);
    EXPECT_EQ(reader.Read(8), 4u);
    EXPECT_EQ(part.Read(16), 0x0203u);
    EXPECT_THROW(part.Read(8), std::runtime_error);

    BitReader tooLong = reader.TakeBytes(0xFFFFFFFFu);  // more than remains: only what is there
    EXPECT_EQ(reader.BytesRemaining(), 0u);
    EXPECT_EQ(tooLong.BytesRemaining(), 1u);
    EXPECT_EQ(tooLong.Read(8), 5u);
}

TEST(BitReaderTest, BigEndianKeepsLowBits) {
    const std::vector<uint8_t> bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    BitReader reader(bytes.data(), bytes.data() + bytes.size());
    EXPECT_EQ(reader.ReadBigEndian(6), 0x33445566u);
    EXPECT_EQ(reader.ReadBigEndian(0), 0u);
}
