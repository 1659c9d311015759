// The live reader's cursor on a growing file (its GrowingFileReader) and the bit
// reader over it (StreamBitReader) that decodes the block headers.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <boost/exception/get_error_info.hpp>
#include <boost/filesystem.hpp>

#include "GrowingFileReader.h"
#include "Exceptions.h"
#include "StreamBitReader.h"

namespace {

using namespace ORVL::SDK::ViewWhileRecording;
using Bytes = std::vector<std::uint8_t>;

class LiveDataReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = (boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("vwr-%%%%-%%%%")).string();
        Write({}, std::ios::trunc);
    }
    void TearDown() override { std::remove(path.c_str()); }

    void Write(const Bytes& bytes, std::ios::openmode mode = std::ios::app) {
        std::ofstream out(path, std::ios::binary | mode);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // MSB first, zero padded to a whole byte.
    void WriteBits(const std::string& bits) {
        Bytes bytes((bits.size() + 7) / 8, 0);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (bits[i] == '1') bytes[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
        }
        Write(bytes);
    }
    GrowingFileReader Open() { return GrowingFileReader(OpenReadStream(path), OpenReadStream(path)); }

    std::string path;
};

// The bit reader's tests work on the same growing file.
using StreamBitReaderTest = LiveDataReaderTest;

std::string ApiFunction(const IOException& e) {
    const char* const* name = boost::get_error_info<boost::errinfo_api_function>(e);
    return name ? *name : "";
}

TEST_F(LiveDataReaderTest, ReadsBigEndianFieldsAndRereadsAfterMovingBack) {
    Write({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F});
    GrowingFileReader reader = Open();
    EXPECT_EQ(0x01, reader.ReadU8());
    EXPECT_EQ(0x0203, reader.ReadU16());
    EXPECT_EQ(0x04050607u, reader.ReadU32());
    EXPECT_EQ(0x08090A0B0C0D0E0Full, reader.ReadU64());
    EXPECT_EQ(15u, reader.Position());
    reader.ReadBytes(nullptr, 0);
    EXPECT_EQ(15u, reader.Position());

    reader.Seek(3);
    EXPECT_EQ(0x04050607u, reader.ReadU32());
    reader.Seek(reader.Position());
    reader.Seek(12);
    EXPECT_EQ(0x0D, reader.ReadU8());
}

TEST_F(LiveDataReaderTest, ShortReadRaisesFreadAndLaterReadsReturnTheBytesAtThePosition) {
    Write({0xA0, 0xA1, 0xA2, 0xA3, 0xA4});
    GrowingFileReader reader = Open();
    reader.Seek(2);
    std::uint8_t buffer[8];
    try {
        reader.ReadBytes(buffer, sizeof buffer);
        FAIL() << "short read accepted";
    } catch (const IOException& e) {
        EXPECT_EQ("fread", ApiFunction(e));
        EXPECT_NE(nullptr, boost::get_error_info<boost::errinfo_errno>(e));
        EXPECT_NE(nullptr, boost::get_error_info<boost::throw_file>(e));
    }
    EXPECT_EQ(2u, reader.Position());

    // The recorder appends; a read at the same place (no move at all) and a
    // forward move must both see the file as it is at the position.
    Write({0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA});
    reader.Seek(2);
    EXPECT_EQ(0xA2A3A4A5u, reader.ReadU32());
    reader.Seek(8);
    EXPECT_THROW(reader.ReadBytes(buffer, 4), IOException);
    reader.Seek(9);
    EXPECT_EQ(0xA9, reader.ReadU8());
}

TEST_F(LiveDataReaderTest, AvailableFollowsTheGrowingFile) {
    Write({1, 2, 3});
    GrowingFileReader reader = Open();
    EXPECT_EQ(3u, reader.Available());
    reader.ReadU8();
    EXPECT_EQ(2u, reader.Available());
    Write({4, 5, 6, 7});
    EXPECT_EQ(6u, reader.Available());
    // Beyond the end nothing can be read.
    reader.Seek(100);
    EXPECT_THROW(reader.ReadU8(), IOException);
    EXPECT_THROW(reader.RequireAvailable(1), IOException);
}

TEST_F(LiveDataReaderTest, ExceptionsAreCaughtAsTheirBases) {
    GrowingFileReader reader = Open();
    EXPECT_THROW(reader.ReadU8(), std::exception);
    EXPECT_THROW(reader.ReadU8(), boost::exception);
    EXPECT_THROW(ThrowMalformed(), std::exception);
    EXPECT_THROW(ThrowMalformed(), ViewWhileRecException);
}

struct UeCase {
    std::string bits;
    std::int64_t expected;  // -1: malformed
};

TEST_F(StreamBitReaderTest, ExpGolombCodes) {
    const std::string zeros31(31, '0');
    const UeCase cases[] = {
        {"1", 0},
        {"010", 1},
        {"011", 2},
        {"00100", 3},
        {"00111", 6},
        {"0001000", 7},
        {zeros31 + "1" + zeros31, 0x7FFFFFFF},
        {zeros31 + "1" + std::string(31, '1'), 0xFFFFFFFEll},
        {std::string(32, '0') + "1" + std::string(32, '0'), -1},
    };
    for (const UeCase& c : cases) {
        SCOPED_TRACE(c.bits);
        Write({}, std::ios::trunc);
        WriteBits(c.bits + "1");  // a marker bit after the code
        GrowingFileReader reader = Open();
        StreamBitReader bits(reader);
        if (c.expected < 0) {
            EXPECT_THROW(bits.ReadUE(), ViewWhileRecException);
            continue;
        }
        EXPECT_EQ(static_cast<std::uint32_t>(c.expected), bits.ReadUE());
        EXPECT_EQ(1u, bits.ReadBits(1));
    }
}

TEST_F(StreamBitReaderTest, ReadsOnlyTheBytesItNeeds) {
    Write({0xB5, 0x12, 0x34, 0x56, 0x78, 0xFF});
    GrowingFileReader reader = Open();
    StreamBitReader bits(reader);
    EXPECT_EQ(0x5u, bits.ReadBits(3));  // 101, five bits of 0xB5 still held
    EXPECT_EQ(1u, reader.Position());
    EXPECT_EQ(0xA891A2B3u, bits.ReadBits(32));  // 10101, three bytes, then 011
    EXPECT_EQ(5u, reader.Position());

    // A code cut off by the end of the data is a short read, not bad data.
    Write({}, std::ios::trunc);
    WriteBits("0000000001");
    GrowingFileReader cut = Open();
    StreamBitReader cutBits(cut);
    EXPECT_THROW(cutBits.ReadUE(), IOException);
}

}  // namespace
