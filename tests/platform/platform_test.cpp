#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/console_colour.h"
#include "platform/buffered_file.h"
#include "platform/dynamic_library.h"
#include "platform/file_handle.h"
#include "platform/rename_no_replace.h"
#include "platform/run_clock.h"
#include "platform/time_zone.h"

namespace {

TEST(TimeZone, StandardBiasIsMinutesWestOfUtcIgnoringDaylightSaving) {
    const struct {
        const char* tz;
        long bias;
    } cases[] = {{"UTC", 0}, {"Asia/Shanghai", -480}, {"America/New_York", 300}, {"Europe/Berlin", -60},
                 {"Asia/Kolkata", -330}, {"Australia/Sydney", -600}, {"Europe/Dublin", 0},
                 {"Asia/Kathmandu", -345}};
    const char* saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);
        EXPECT_EQ(platform::StandardBiasMinutes(), c.bias) << c.tz;
    }
    if (saved) setenv("TZ", restore.c_str(), 1); else unsetenv("TZ");
}

TEST(RunClock, NeverGoesBackwards) {
    const auto first = platform::RunClockMilliseconds();
    EXPECT_LE(first, platform::RunClockMilliseconds());
}

TEST(ConsoleColour, KnownAttributesHaveSequencesOthersNone) {
    for (int attribute : {7, 9, 11, 15}) EXPECT_EQ(platform::ColourSequence(attribute)[0], '\x1b') << attribute;
    EXPECT_STREQ(platform::ColourSequence(3), "");
}

TEST(DynamicLibrary, LoadsLooksUpAndUnloads) {
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.Load("libm.so.6")) << platform::DynamicLibrary::LastError();
    EXPECT_NE(library.Symbol("cos"), nullptr);
    EXPECT_EQ(library.Symbol("no_such_symbol_here"), nullptr);
    platform::DynamicLibrary moved(std::move(library));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    moved.Unload();
    EXPECT_FALSE(moved.IsLoaded());
    EXPECT_EQ(moved.Symbol("cos"), nullptr);
}

TEST(DynamicLibrary, MissingLibraryFailsWithText) {
    platform::DynamicLibrary library;
    EXPECT_FALSE(library.Load(std::string("NoSuchPlugin") + platform::kLibrarySuffix));
    EXPECT_FALSE(library.IsLoaded());
}

TEST(DynamicLibrary, BareNameIsFoundBesideTheExecutableFirst) {
    // A copy of a system library under a name no search path knows, put where the test runs from.
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    std::string folder(self, static_cast<size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    const std::string name = "tolvane2_probe_" + std::to_string(getpid()) + platform::kLibrarySuffix;
    {
        platform::DynamicLibrary system;
        ASSERT_TRUE(system.Load("libm.so.6"));
        std::ifstream in("/lib/x86_64-linux-gnu/libm.so.6", std::ios::binary);
        if (!in) GTEST_SKIP() << "libm not at its Debian place";
        std::ofstream out(folder + name, std::ios::binary);
        out << in.rdbuf();
    }
    platform::DynamicLibrary library;
    const bool loaded = library.Load(name);
    library.Unload();
    std::remove((folder + name).c_str());
    EXPECT_TRUE(loaded) << platform::DynamicLibrary::LastError();
}

TEST(RenameNoReplace, MovesOnlyOntoNothing) {
    char pattern[] = "/tmp/tolvane2-rename-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    const std::string a = folder + "/a", b = folder + "/b", emptyDir = folder + "/d";
    std::ofstream(a) << "a";
    std::ofstream(b) << "b";
    ASSERT_EQ(mkdir(emptyDir.c_str(), 0700), 0);

    const int ontoFile = platform::RenameNoReplace(a.c_str(), b.c_str());
    const int ontoEmptyFolder = platform::RenameNoReplace(a.c_str(), emptyDir.c_str());
    const int ontoNothing = platform::RenameNoReplace(a.c_str(), (folder + "/c").c_str());
    if (ontoFile == ENOTSUP) GTEST_SKIP() << "the temporary file system cannot refuse replacements";
    EXPECT_EQ(ontoFile, EEXIST);
    EXPECT_EQ(ontoEmptyFolder, EEXIST);
    EXPECT_EQ(ontoNothing, 0);
    std::ifstream kept(b);
    std::string text;
    kept >> text;
    EXPECT_EQ(text, "b");
    for (const std::string& path : {b, folder + "/c"}) std::remove(path.c_str());
    rmdir(emptyDir.c_str());
    rmdir(folder.c_str());
}

TEST(FileHandle, ReadsSeeksAndRefusesFolders) {
    char pattern[] = "/tmp/tolvane2-file-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern, path = folder + "/f";
    std::ofstream(path, std::ios::binary) << "0123456789";

    EXPECT_EQ(platform::OpenFileForReading(folder), platform::kInvalidFileHandle);
    EXPECT_EQ(platform::OpenFileForReading(folder + "/missing"), platform::kInvalidFileHandle);
    const platform::FileHandle handle = platform::OpenFileForReading(path);
    ASSERT_NE(handle, platform::kInvalidFileHandle);
    char bytes[4] = {};
    EXPECT_EQ(platform::SeekFile(handle, 6, platform::SeekOrigin::Begin), 6);
    EXPECT_EQ(platform::ReadFile(handle, bytes, sizeof bytes), 4);
    EXPECT_EQ(std::string(bytes, 4), "6789");
    EXPECT_EQ(platform::ReadFile(handle, bytes, sizeof bytes), 0);  // end of the data
    EXPECT_EQ(platform::SeekFile(handle, -3, platform::SeekOrigin::End), 7);
    EXPECT_EQ(platform::SeekFile(handle, -1, platform::SeekOrigin::Current), 6);
    EXPECT_EQ(platform::SeekFile(handle, -100, platform::SeekOrigin::Current), -1);
    EXPECT_TRUE(platform::CloseFile(handle));

    std::FILE* stream = platform::OpenBufferedFileForReading(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(platform::SeekBufferedFile(stream, 0, platform::SeekOrigin::End), 0);
    EXPECT_EQ(platform::TellBufferedFile(stream), 10);
    std::fclose(stream);
    EXPECT_EQ(platform::OpenBufferedFileForReading(folder + "/missing"), nullptr);

    std::remove(path.c_str());
    rmdir(folder.c_str());
}

}  // namespace
