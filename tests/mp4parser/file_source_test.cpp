#include <cstring>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>
#include <boost/iostreams/stream_buffer.hpp>
#include <gtest/gtest.h>

#include "box_builder.h"
#include "mp4parser/BufferedFileReader.h"
#include "mp4parser/FileDescriptor.h"

using namespace ORVL::SDK::Brannock2;

namespace {

// A file of 100 bytes whose byte i is i.
std::string CountingFile() {
    boxbuild::Bytes bytes(100);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
    return boxbuild::WriteTempFile("counting.bin", bytes);
}

template <typename F>
std::string FailureText(F action) {
    try {
        action();
    } catch (const std::ios_base::failure& e) {
        return e.what();
    }
    return "no failure";
}

// An in-memory device that records every seek the stream buffer passes on.
struct Seek {
    boost::iostreams::stream_offset offset;
    std::ios_base::seekdir direction;
};

class RecordingDevice {
public:
    typedef char char_type;
    struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag {};

    RecordingDevice(std::vector<Seek>* seeks, std::size_t size) : seeks_(seeks), size_(size) {}

    std::streamsize read(char* s, std::streamsize n) {
        if (position_ >= static_cast<boost::iostreams::stream_offset>(size_)) return -1;
        const std::streamsize count = std::min<std::streamsize>(n, static_cast<std::streamsize>(size_ - position_));
        for (std::streamsize i = 0; i < count; ++i) s[i] = static_cast<char>((position_ + i) & 0xFF);
        position_ += count;
        return count;
    }
    std::streampos seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir direction) {
        seeks_->push_back({offset, direction});
        if (direction == std::ios_base::beg) position_ = offset;
        if (direction == std::ios_base::cur) position_ += offset;
        if (direction == std::ios_base::end) position_ = size_ + offset;
        return boost::iostreams::offset_to_position(position_);
    }

private:
    std::vector<Seek>* seeks_;
    std::size_t size_;
    boost::iostreams::stream_offset position_ = 0;
};

TEST(FileDescriptorTest, MissingFileFailsToOpenAndStaysClosed) {
    FileDescriptor file;
    EXPECT_EQ(FailureText([&] { file.open("/nonexistent/folder/file.3gp", 0); }), "failed opening file");
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Flags(), 0u);
    EXPECT_EQ(FailureText([] { FileDescriptor{"/nonexistent.3gp"}; }), "failed opening file");
}

TEST(FileDescriptorTest, DirectoryIsNoFileToOpen) {
    FileDescriptor file;
    EXPECT_EQ(FailureText([&] { file.open(boost::filesystem::temp_directory_path().string(), 0); }),
              "failed opening file");
}

TEST(FileDescriptorTest, BaseOffsetIsPositionZero) {
    const std::string path = CountingFile();
    struct Case {
        std::uint64_t base;
        std::ios_base::seekdir direction;
        std::int64_t offset;
        std::int64_t expectedPosition;
        int expectedByte;  // -1: at the end
    };
    const Case cases[] = {
        {0, std::ios_base::beg, 0, 0, 0},    {30, std::ios_base::beg, 0, 0, 30},   {30, std::ios_base::beg, 5, 5, 35},
        {30, std::ios_base::end, 0, 70, -1}, {30, std::ios_base::end, -1, 69, 99}, {30, std::ios_base::cur, 0, 0, 30},
    };
    for (const Case& c : cases) {
        FileDescriptor file(path);
        file.open(path, c.base);
        EXPECT_EQ(file.Flags(), 3u);
        EXPECT_EQ(file.BaseOffset(), c.base);
        EXPECT_EQ(boost::iostreams::position_to_offset(file.seek(c.offset, c.direction)), c.expectedPosition);
        char byte = 0;
        const std::streamsize got = file.read(&byte, 1);
        if (c.expectedByte < 0) {
            EXPECT_EQ(got, -1);
        } else {
            EXPECT_EQ(got, 1);
            EXPECT_EQ(static_cast<unsigned char>(byte), c.expectedByte) << "base " << c.base;
        }
    }
}

// Short reads are served from the blocks fetched last: they must give the
// file's bytes wherever they start or end against a block.
TEST(FileDescriptorTest, ShortReadsGiveTheFileBytesWhereverTheyFallAgainstTheBlocks) {
    boxbuild::Bytes bytes(10000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    FileDescriptor file(boxbuild::WriteTempFile("pattern.bin", bytes));
    const struct {
        std::int64_t at;
        std::size_t count;
    } reads[] = {{0, 8},    {4090, 100},  {10, 500},  {4096, 8}, {9990, 100},
                 {2, 3000}, {5000, 4096}, {6000, 16}, {4095, 2}};
    for (const auto& r : reads) {
        file.seek(r.at, std::ios_base::beg);
        std::vector<char> got;
        char buffer[5000];
        while (got.size() < r.count) {
            const std::streamsize n = file.read(buffer, static_cast<std::streamsize>(r.count - got.size()));
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        const std::size_t end = std::min(bytes.size(), static_cast<std::size_t>(r.at) + r.count);
        EXPECT_EQ(got, std::vector<char>(bytes.begin() + r.at, bytes.begin() + end)) << "at " << r.at;
    }
}

TEST(FileDescriptorTest, CopiesShareTheFileAndCloseOnceForAll) {
    const std::string path = CountingFile();
    FileDescriptor file(path);
    FileDescriptor copy = file;
    copy.close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(file.Flags(), 0u);
    copy.close();  // closing a closed file does nothing
    file.open(path, 10);
    EXPECT_TRUE(copy.IsOpen());
    EXPECT_EQ(copy.BaseOffset(), 10u);
}

TEST(BufferedDataReaderTest, ReadsBigEndianIntegersAndKeepsPosition) {
    FileDescriptor file(CountingFile());
    BufferedFileReader<FileDescriptor> reader;
    reader.Open(file);
    EXPECT_EQ(reader.ReadU8(), 0x00);
    EXPECT_EQ(reader.ReadU16(), 0x0102);
    EXPECT_EQ(reader.ReadU32(), 0x03040506u);
    EXPECT_EQ(reader.Position(), 7u);
    EXPECT_EQ(BufferedFileReader<FileDescriptor>::UIntReaderOfWidth(2)(reader), 0x0708u);
    EXPECT_EQ(BufferedFileReader<FileDescriptor>::UIntReaderOfWidth(4)(reader), 0x090A0B0Cu);
    EXPECT_EQ(BufferedFileReader<FileDescriptor>::UIntReaderOfWidth(1)(reader), 0x0Du);
}

TEST(BufferedDataReaderTest, ShortReadIsBadReadAndNothingIsEndOfFile) {
    const std::string path = CountingFile();
    struct Case {
        std::uint64_t at;
        std::size_t count;
        const char* expected;
    };
    const Case cases[] = {
        {92, 8, "no failure"},   {97, 8, "bad read"},     {99, 2, "bad read"},
        {100, 8, "end of file"}, {150, 1, "end of file"},
    };
    for (const Case& c : cases) {
        FileDescriptor file(path);
        BufferedFileReader<FileDescriptor> reader;
        reader.Open(file);
        reader.Seek(c.at);
        std::uint8_t bytes[8];
        EXPECT_EQ(FailureText([&] { reader.ReadBytes(bytes, c.count); }), c.expected) << "at " << c.at;
        if (std::string(c.expected) != "no failure") {
            // The position stays, and so does the stream under it.
            EXPECT_EQ(reader.Position(), c.at);
            reader.Seek(10);
            EXPECT_EQ(reader.ReadU8(), 10);
        }
    }
}

TEST(BufferedDataReaderTest, SeekToCurrentPositionTouchesNoDevice) {
    std::vector<Seek> seeks;
    BufferedFileReader<RecordingDevice> reader;
    reader.Open(RecordingDevice(&seeks, 100));
    reader.Seek(12);
    const std::size_t before = seeks.size();
    reader.Seek(12);
    EXPECT_EQ(seeks.size(), before);
}

TEST(BufferedDataReaderTest, SkipBeyondThirtyTwoBitsUsesAnAbsoluteSeek) {
    const std::int64_t threeGiB = 3LL << 30;
    std::vector<Seek> seeks;
    BufferedFileReader<RecordingDevice> reader;
    reader.Open(RecordingDevice(&seeks, 100));
    reader.Seek(7);
    seeks.clear();
    reader.Skip(threeGiB);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0].direction, std::ios_base::beg);
    EXPECT_EQ(seeks[0].offset, threeGiB + 7);
    EXPECT_EQ(reader.Position(), static_cast<std::uint64_t>(threeGiB + 7));

    seeks.clear();
    reader.Skip(1000);
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0].direction, std::ios_base::cur);
    EXPECT_EQ(reader.Position(), static_cast<std::uint64_t>(threeGiB + 1007));

    seeks.clear();
    reader.Seek(5);  // backward: absolute
    ASSERT_EQ(seeks.size(), 1u);
    EXPECT_EQ(seeks[0].direction, std::ios_base::beg);
    EXPECT_EQ(seeks[0].offset, 5);
}

TEST(BufferedDataReaderTest, MovesInsideTheBufferAndLongReadsKeepBytesAndPositionsRight) {
    std::vector<Seek> seeks;
    BufferedFileReader<RecordingDevice> reader;
    reader.Open(RecordingDevice(&seeks, 20000));
    EXPECT_EQ(reader.ReadU8(), 0);
    seeks.clear();
    reader.Skip(100);
    EXPECT_EQ(reader.ReadU8(), 101);
    reader.Seek(3);
    EXPECT_EQ(reader.ReadU8(), 3);
    EXPECT_TRUE(seeks.empty()) << "moves inside the buffered bytes need no device";

    // A read far longer than the buffer, then moves relative to where it ended.
    std::vector<std::uint8_t> bytes(10000);
    reader.ReadBytes(bytes.data(), bytes.size());
    bool allRight = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) allRight = allRight && bytes[i] == ((4 + i) & 0xFF);
    EXPECT_TRUE(allRight);
    EXPECT_EQ(reader.Position(), 10004u);
    EXPECT_EQ(reader.ReadU8(), 10004 & 0xFF);
    reader.Skip(-3);
    EXPECT_EQ(reader.ReadU8(), 10002 & 0xFF);
    reader.Skip(5000);
    EXPECT_EQ(reader.ReadU8(), 15003 & 0xFF);

    // A long read that runs into the end is a bad read and moves nothing.
    reader.Seek(12000);
    EXPECT_EQ(FailureText([&] { reader.ReadBytes(bytes.data(), bytes.size()); }), "bad read");
    EXPECT_EQ(reader.Position(), 12000u);
    EXPECT_EQ(reader.ReadU8(), 12000 & 0xFF);
    reader.Seek(20000);
    EXPECT_EQ(FailureText([&] { reader.ReadBytes(bytes.data(), bytes.size()); }), "end of file");
}

TEST(BufferedDataReaderTest, ThreeGiBSkipOnARealFileLandsExactly) {
    FileDescriptor file(CountingFile());
    BufferedFileReader<FileDescriptor> reader;
    reader.Open(file);
    reader.Skip(3LL << 30);
    EXPECT_EQ(reader.Position(), 3ull << 30);
    EXPECT_EQ(FailureText([&] { reader.ReadU8(); }), "end of file");
    reader.Seek(99);
    EXPECT_EQ(reader.ReadU8(), 99);
}

TEST(BufferedDataReaderTest, DestroyingLeavesTheFileOpenAndCloseClosesIt) {
    FileDescriptor file(CountingFile());
    {
        BufferedFileReader<FileDescriptor> reader;
        reader.Open(file);
        reader.ReadU8();
    }
    EXPECT_TRUE(file.IsOpen());
    BufferedFileReader<FileDescriptor> reader;
    reader.Open(file);
    reader.Close();
    EXPECT_FALSE(file.IsOpen());
}

}  // namespace
