// The cache warming asks for the bytes the indexing reads first and last,
// only what lies inside a file whatever its box headers claim, and never holds
// up the run that owns it.

#include "repair/read_ahead.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <boost/filesystem.hpp>
#include <ostream>
#include <string>

#include "platform/page_cache.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;

void PrintTo(const ByteRange& range, std::ostream* out) { *out << range.offset << "+" << range.length; }

namespace {

std::string Box(std::uint32_t size, const char* type, std::size_t bodyBytes) {
    std::string box{static_cast<char>(size >> 24), static_cast<char>(size >> 16), static_cast<char>(size >> 8),
                    static_cast<char>(size)};
    return box + type + std::string(bodyBytes, '\0');
}

std::string Repeated(const std::string& part, int times) {
    std::string whole;
    for (int i = 0; i < times; ++i) whole += part;
    return whole;
}

TEST(ReadAheadTest, WarmsTheMovieAndBothEndsOfTheMediaDataOnly) {
    const fs::path folder = fs::temp_directory_path() / fs::unique_path("tolvane2-warm-%%%%-%%%%");
    const std::string wide = std::string("\0\0\0\1mdat", 8) + std::string("\xff\xff\xff\xff\xff\xff\xff\xff", 8);
    constexpr std::int64_t kEdge = 8 * 1024;
    constexpr std::uint32_t kLargestMovie = 16 * 1024 * 1024;
    const ByteRange fileEnd{0, kEdge};  // of a file shorter than an edge without a movie at its top
    const struct {
        const char* name;
        std::string bytes;
        std::vector<ByteRange> ranges;
    } cases[] = {
        {"empty", "", {}},
        {"short", std::string("\0\0\0", 3), {fileEnd}},
        {"box smaller than its header", Box(4, "ftyp", 8), {fileEnd}},
        {"box beyond the end", Box(4000, "moov", 8), {fileEnd}},
        {"64-bit size beyond the end", wide, {fileEnd}},
        {"64-bit size of 0", std::string("\0\0\0\1mdat", 8) + std::string(8, '\0') + Box(8, "moov", 0), {fileEnd}},
        {"size zero runs to the end", Box(0, "mdat", 100), {{0, 108}, {0, 108}, fileEnd}},
        {"well formed", Box(16, "ftyp", 8) + Box(24, "mdat", 16) + Box(8, "moov", 0), {{16, 24}, {16, 24}, {40, 8}}},
        {"media data longer than two edges",
         Box(16, "ftyp", 8) + Box(40000, "mdat", 39992) + Box(8, "moov", 0),
         {{16, kEdge}, {16 + 40000 - kEdge, kEdge}, {40016, 8}}},
        {"media data between one and two edges",
         Box(12000, "mdat", 11992) + Box(8, "moov", 0),
         {{0, kEdge}, {12000 - kEdge, kEdge}, {12000, 8}}},
        {"movie larger than is ever warmed",
         Box(8, "free", 0) + Box(kLargestMovie + 8, "moov", kLargestMovie),
         {{8, kLargestMovie}}},
        {"movie as the last box looked at", Repeated(Box(8, "free", 0), 63) + Box(8, "moov", 0), {{504, 8}}},
        {"movie after the last box looked at", Repeated(Box(8, "free", 0), 64) + Box(8, "moov", 0), {fileEnd}},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        paths.push_back((folder / c.name).string());
        storagegen::WriteFile(paths.back(), c.bytes);
        EXPECT_EQ(RangesToWarm(platform::CacheFile(paths.back())), c.ranges) << c.name;
    }
    for (const std::string& notARecording : {(folder / "missing").string(), folder.string()}) {
        EXPECT_TRUE(RangesToWarm(platform::CacheFile(notARecording)).empty()) << notARecording;
    }
#ifndef _WIN32
    const std::string fifo = (folder / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WarmRecording(fifo);  // returns without waiting for a writer
#endif

    {
        // Work left in the queue when the run ends does not hold it up.
        ReadAhead readAhead(2, 2);
        readAhead.Append(std::make_shared<const std::vector<std::string>>(paths));
        readAhead.FileStarted();
    }
    fs::remove_all(folder);
}

}  // namespace
