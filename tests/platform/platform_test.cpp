#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <boost/nowide/fstream.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <boost/nowide/iostream.hpp>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/console_colour.h"
#include "platform/buffered_file.h"
#include "platform/database_claim.h"
#include "platform/durable_copy.h"
#include "platform/folder.h"
#include "platform/storage_lock.h"
#include "platform/small_file_reading.h"
#include "platform/folder_sync.h"
#include "platform/dynamic_library.h"
#include "platform/file_handle.h"
#include "platform/owned_handle.h"
#include "platform/page_cache.h"
#include "platform/run_clock.h"
#include "platform/time_zone.h"
#include "platform/unicode_run.h"
#include "support/process.h"

namespace fs = boost::filesystem;

namespace {

const struct ZoneCase {
    const char* tz;
    long bias;
} kZoneCases[] = {{"UTC", 0},
                  {"Asia/Shanghai", -480},
                  {"America/New_York", 300},
                  {"Europe/Berlin", -60},
                  {"Asia/Kolkata", -330},
                  {"Australia/Sydney", -600},
                  {"Europe/Dublin", 0},
                  {"Asia/Kathmandu", -345}};

// The test executable's own folder, with a trailing separator.
std::string OwnFolder() {
#ifdef _WIN32
    char self[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
#else
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
#endif
    if (length <= 0) return {};
    return fs::path(std::string(self, static_cast<size_t>(length))).parent_path().string() +
           static_cast<char>(fs::path::preferred_separator);
}

fs::path MakeTempFolder(const char* tag) {
    const fs::path folder = fs::temp_directory_path() / fs::unique_path(std::string(tag) + "-%%%%-%%%%-%%%%");
    fs::create_directories(folder);
    return folder;
}

#ifdef _WIN32
// The machine's zone is read once per process; under wine it is the one TZ
// names when wine starts, so the build runs this test once per zone.
TEST(TimeZone, StandardBiasIsMinutesWestOfUtcIgnoringDaylightSaving) {
    const char* tz = std::getenv("TZ");
    const auto* end = std::end(kZoneCases);
    const auto* found = std::find_if(std::begin(kZoneCases), end,
                                     [tz](const ZoneCase& c) { return tz != nullptr && std::string(tz) == c.tz; });
    if (found == end) GTEST_SKIP() << "the machine's zone is none of the table's";
    EXPECT_EQ(platform::StandardBiasMinutes(), found->bias) << tz;
}
#else
TEST(TimeZone, StandardBiasIsMinutesWestOfUtcIgnoringDaylightSaving) {
    const auto& cases = kZoneCases;
    const char* saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);
        EXPECT_EQ(platform::StandardBiasMinutes(), c.bias) << c.tz;
    }
    if (saved)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
}

// The advised TZ must give back the offset it was advised for: POSIX counts west.
TEST(TimeZone, AdvisedSettingGivesTheOffset) {
    const struct {
        long east;
        const char* tz;
    } cases[] = {{60, "Etc/GMT-1"}, {-300, "Etc/GMT+5"},      {840, "Etc/GMT-14"},       {-720, "Etc/GMT+12"},
                 {0, "UTC"},        {330, "'<+0530>-05:30'"}, {-210, "'<-0330>+03:30'"}, {900, "'<+1500>-15:00'"}};
    const char* saved = std::getenv("TZ");
    const std::string restore = saved ? saved : "";
    for (const auto& c : cases) {
        const std::string advice = platform::ZoneSettingAdvice(c.east);
        EXPECT_NE(advice.find("TZ=" + std::string(c.tz) + " "), std::string::npos) << advice;
        EXPECT_NE(advice.find(platform::UtcOffsetText(c.east)), std::string::npos) << advice;
        std::string value = c.tz;
        value.erase(std::remove(value.begin(), value.end(), '\''), value.end());
        setenv("TZ", value.c_str(), 1);
        EXPECT_EQ(platform::StandardBiasMinutes(), -c.east) << value;
    }
    if (saved)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
}
#endif

TEST(RunClock, NeverGoesBackwards) {
    const auto first = platform::RunClockMilliseconds();
    EXPECT_LE(first, platform::RunClockMilliseconds());
}

#ifdef _WIN32
// The console takes attribute numbers; no byte is ever written for a colour.
TEST(ConsoleColour, NoAttributeHasASequence) {
    for (int attribute : {3, 7, 9, 11, 15}) EXPECT_STREQ(platform::ColourSequence(attribute), "") << attribute;
}
const char* const kSystemLibrary = "kernel32.dll";
const char* const kSystemSymbol = "GetTickCount";
#else
TEST(ConsoleColour, KnownAttributesHaveSequencesOthersNone) {
    for (int attribute : {7, 9, 11, 15}) EXPECT_EQ(platform::ColourSequence(attribute)[0], '\x1b') << attribute;
    EXPECT_STREQ(platform::ColourSequence(3), "");
}
const char* const kSystemLibrary = "libm.so.6";
const char* const kSystemSymbol = "cos";
#endif

TEST(DynamicLibrary, LoadsLooksUpAndUnloads) {
    platform::DynamicLibrary library;
    ASSERT_TRUE(library.Load(kSystemLibrary)) << platform::DynamicLibrary::LastError();
    EXPECT_NE(library.Symbol(kSystemSymbol), nullptr);
    EXPECT_EQ(library.Symbol("no_such_symbol_here"), nullptr);
    platform::DynamicLibrary moved(std::move(library));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_TRUE(moved.IsLoaded());
    moved.Unload();
    EXPECT_FALSE(moved.IsLoaded());
    EXPECT_EQ(moved.Symbol(kSystemSymbol), nullptr);
}

TEST(DynamicLibrary, MissingLibraryFailsWithText) {
    platform::DynamicLibrary library;
    EXPECT_FALSE(library.Load(std::string("NoSuchPlugin") + platform::kLibrarySuffix));
    EXPECT_FALSE(library.IsLoaded());
}

TEST(DynamicLibrary, BareNameIsFoundBesideTheExecutableFirst) {
    // A copy of a library under a name no search path knows, put where the test runs from.
    const std::string folder = OwnFolder();
    ASSERT_FALSE(folder.empty());
    const std::string name = "tolvane2_probe_" + fs::unique_path("%%%%%%%%").string() + platform::kLibrarySuffix;
    {
#ifdef _WIN32
        // The plug-in, which the build puts beside the tests.
        std::ifstream in(folder + "Strata_SQLite.dll", std::ios::binary);
        ASSERT_TRUE(in) << "Strata_SQLite.dll not beside the test";
#else
        platform::DynamicLibrary system;
        ASSERT_TRUE(system.Load("libm.so.6"));
        std::ifstream in("/lib/x86_64-linux-gnu/libm.so.6", std::ios::binary);
        if (!in) GTEST_SKIP() << "libm not at its Debian place";
#endif
        std::ofstream out(folder + name, std::ios::binary);
        out << in.rdbuf();
    }
    platform::DynamicLibrary library;
    const bool loaded = library.Load(name);
    library.Unload();
    std::remove((folder + name).c_str());
    EXPECT_TRUE(loaded) << platform::DynamicLibrary::LastError();
}

// The read-ahead's questions about a file it could not open, or about a place
// before a file's start, are answered "unknown", never read.
TEST(CacheFile, AnswersUnknownForAFileNotOpenedOrAPlaceBeforeItsStart) {
    const fs::path temp = MakeTempFolder("tolvane2-cache");
    std::ofstream((temp / "file").string(), std::ios::binary) << "0123456789";
    char bytes[4] = {};
    const platform::CacheFile missing((temp / "missing").string());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Size(), -1);
    EXPECT_EQ(missing.ReadAt(bytes, 4, 0), -1);
    EXPECT_FALSE(missing.IsCached(0));
    {
        const platform::CacheFile file((temp / "file").string());
        EXPECT_EQ(file.ReadAt(bytes, 4, 2), 4);
        EXPECT_EQ(std::string(bytes, 4), "2345");
        EXPECT_EQ(file.ReadAt(bytes, 4, -1), -1);
        EXPECT_FALSE(file.IsCached(-1));
    }
    fs::remove_all(temp);
}

// A copy is checked against what it should hold: a longer file must not read
// as equal, so it reads as one byte more than the limit, however long it is.
TEST(SmallFileReading, AFileLongerThanTheLimitReadsAsOneByteMore) {
    const fs::path temp = MakeTempFolder("tolvane2-small");
    {  // held folders cannot be removed on every system
        int error = -1;
        const platform::Folder folder = platform::Folder::OpenPath(temp.string(), error);
        ASSERT_EQ(error, 0);
        const std::pair<std::size_t, std::size_t> sizes[] = {{0, 0},   {9, 9},   {10, 10},
                                                             {11, 11}, {12, 11}, {200000, 11}};
        for (const auto& [size, read] : sizes) {
            std::ofstream((temp / "file").string(), std::ios::binary | std::ios::trunc) << std::string(size, 'x');
            std::string bytes = "stale";
            EXPECT_EQ(platform::ReadSmallFile(folder, "file", 10, bytes), 0) << size;
            EXPECT_EQ(bytes.size(), read) << size;
            bytes = "stale";
            EXPECT_EQ(platform::ReadFileByPath((temp / "file").string(), 10, bytes), 0) << size;
            EXPECT_EQ(bytes.size(), read) << size;
        }
        std::string bytes;
        EXPECT_NE(platform::ReadSmallFile(folder, "missing", 10, bytes), 0);
    }
    fs::remove_all(temp);
}

// A plain rename would replace an empty folder or a file silently.
TEST(Folder, MovesOnlyOntoNothingAndSwapsAtOnce) {
    const fs::path temp = MakeTempFolder("tolvane2-rename");
    std::ofstream((temp / "a").string()) << "a";
    std::ofstream((temp / "b").string()) << "b";
    ASSERT_TRUE(fs::create_directory(temp / "d"));
    ASSERT_TRUE(fs::create_directories(temp / "source" / "keep"));
    int swapped = platform::kCannotExchange;
    {
        int error = -1;
        const platform::Folder folder = platform::Folder::OpenPath(temp.string(), error);
        ASSERT_EQ(error, 0);
        EXPECT_EQ(folder.MoveNoReplace("a", folder, "b"), platform::kAlreadyExistsError);
        EXPECT_EQ(folder.MoveNoReplace("a", folder, "d"), platform::kAlreadyExistsError);
        EXPECT_EQ(folder.MoveNoReplace("source", folder, "d"), platform::kAlreadyExistsError);
        EXPECT_EQ(folder.MoveNoReplace("source", folder, "moved"), 0);
        EXPECT_EQ(folder.MoveNoReplace("a", folder, "c"), 0);
        swapped = folder.Exchange("b", "c");
        // A real failure is said as itself, not taken for a system that cannot swap.
        const int missing = folder.Exchange("absent", "c");
        if (swapped != platform::kCannotExchange) EXPECT_TRUE(missing != 0 && missing != platform::kCannotExchange);
    }
    EXPECT_TRUE(fs::is_directory(temp / "moved" / "keep"));
    EXPECT_FALSE(fs::exists(temp / "source"));
    std::string text;
    std::ifstream((temp / "b").string()) >> text;  // closed at once: an open file cannot be removed everywhere
    if (swapped != platform::kCannotExchange) {
        EXPECT_EQ(swapped, 0);
        EXPECT_EQ(text, "a");
    }
    fs::remove_all(temp);
}

#ifndef _WIN32
// A folder made for the recorder holds no descriptor once made: a storage of
// thousands of days would otherwise run out of them.
TEST(Folder, AFolderMadeLikeAnotherKeepsNothingOpen) {
    const fs::path temp = MakeTempFolder("tolvane2-made");
    const auto descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    int error = -1;
    const platform::Folder folder = platform::Folder::OpenPath(temp.string(), error);
    ASSERT_EQ(error, 0);
    const auto before = descriptors();
    bool kept = false;
    EXPECT_EQ(folder.MakeFolderLike("new", folder.OwnFacts(), kept), 0);
    EXPECT_TRUE(kept);
    EXPECT_EQ(descriptors(), before);
    EXPECT_EQ(folder.MakeFolderLike("new", folder.OwnFacts(), kept), platform::kAlreadyExistsError);
    {
        // A folder handed on leaves nothing open behind, and nothing it would close twice.
        platform::Folder moved = platform::Folder::OpenPath(temp.string(), error);
        const platform::Folder taken(std::move(moved));
        EXPECT_FALSE(moved.IsOpen());
        EXPECT_TRUE(taken.IsOpen());
    }
    EXPECT_EQ(descriptors(), before);
    fs::remove_all(temp);
}

// An owner given another handle closes the one it had; one closed on purpose
// reports the outcome once and closes nothing more when it goes.
TEST(OwnedHandle, ClosesEachHandleOnce) {
    const auto isOpen = [](int fd) { return ::fcntl(fd, F_GETFD) != -1; };
    platform::OwnedHandle owner(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int first = owner.Get();
    owner.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int second = owner.Get();
    EXPECT_FALSE(isOpen(first));
    EXPECT_TRUE(isOpen(second));
    EXPECT_EQ(owner.Close(), 0);
    EXPECT_FALSE(isOpen(second));
    EXPECT_FALSE(owner.IsOpen());
    EXPECT_EQ(owner.Close(), 0);
}
#endif

// Only a regular file is read; a FIFO is refused without waiting for a writer.
TEST(FileHandle, ReadsSeeksAndRefusesAllButRegularFiles) {
    const fs::path temp = MakeTempFolder("tolvane2-file");
    const std::string folder = temp.string(), path = (temp / "f").string();
    std::ofstream(path, std::ios::binary) << "0123456789";

    std::vector<std::string> refused{folder, (temp / "missing").string()};
#ifndef _WIN32
    const std::string fifo = (temp / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    refused.insert(refused.end(), {fifo, "/dev/zero"});
#endif
    for (const std::string& name : refused) {
        EXPECT_EQ(platform::OpenFileForReading(name), platform::kInvalidFileHandle) << name;
    }
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
    EXPECT_EQ(platform::ReadFileAt(handle, bytes, 2, 1), 2);
    EXPECT_EQ(std::string(bytes, 2), "12");
    EXPECT_EQ(platform::ReadFileAt(handle, bytes, sizeof bytes, 10), 0);  // end of the data
    EXPECT_EQ(platform::ReadFileAt(handle, bytes, sizeof bytes, -1), -1);
    EXPECT_EQ(platform::SeekFile(handle, 0, platform::SeekOrigin::Current), 6)
        << "reading at an offset leaves the position";
    EXPECT_TRUE(platform::CloseFile(handle));

    std::FILE* stream = platform::OpenBufferedFileForReading(path);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(platform::SeekBufferedFile(stream, 0, platform::SeekOrigin::End), 0);
    EXPECT_EQ(platform::TellBufferedFile(stream), 10);
    std::fclose(stream);
    EXPECT_EQ(platform::OpenBufferedFileForReading((temp / "missing").string()), nullptr);

    fs::remove_all(temp);
}

// The narrow names every file call takes are UTF-8 on Windows, so none of
// them may go through the system's ANSI calls.
TEST(FileCalls, NamesOutsideAsciiReachTheFile) {
    const fs::path temp = MakeTempFolder("tolvane2-names");
    const fs::path folder = temp / u8"stor_é中文";
    fs::create_directory(folder);
    const std::string file = (folder / u8"中文.3gp").string();
    boost::nowide::ofstream(file, std::ios::binary) << "0123456789";

    std::int64_t size = -1;
    const platform::FileHandle handle = platform::OpenFileForReading(file, &size);
    EXPECT_NE(handle, platform::kInvalidFileHandle);
    if (handle != platform::kInvalidFileHandle) platform::CloseFile(handle);
    EXPECT_EQ(size, 10);
    std::FILE* stream = platform::OpenBufferedFileForReading(file);
    EXPECT_NE(stream, nullptr);
    if (stream != nullptr) std::fclose(stream);
    EXPECT_EQ(platform::CacheFile(file).Size(), 10);
    {  // held folders cannot be removed on every system
        int error = -1;
        const platform::Folder held = platform::Folder::OpenPath(folder.string(), error);
        ASSERT_EQ(error, 0);
        std::string bytes;
        EXPECT_EQ(platform::ReadSmallFile(held, u8"中文.3gp", 100, bytes), 0);
        EXPECT_EQ(platform::WriteNewFileDurably(held, u8"é.db", bytes, held.Facts(u8"中文.3gp")), 0);
        {
            platform::DatabaseClaim claim;
            EXPECT_EQ(claim.Take(held, u8"é.db"), platform::ClaimOutcome::Claimed);
            EXPECT_EQ(claim.MoveTo(held, u8"é.db", u8"é.db.old"), 0);
        }
        EXPECT_EQ(held.MoveNoReplace(u8"é.db.old", held, u8"é.db.prev"), 0);
        EXPECT_EQ(fs::file_size(folder / u8"é.db.prev"), 10u);
        const platform::Folder child =
            platform::Folder::OpenPath(temp.string(), error).OpenChild(u8"stor_é中文", error);
        EXPECT_EQ(error, 0);
        EXPECT_EQ(child.Facts(u8"é.db.prev").kind, platform::EntryKind::RegularFile);
    }
    fs::remove_all(temp);
}

#ifndef _WIN32
// The claim refuses all but a regular file by itself, whatever the walk before it let through.
TEST(DatabaseClaim, RefusesAllButARegularFileOfItsOwnName) {
    const fs::path temp = fs::temp_directory_path() / fs::unique_path("tolvane2-claim-%%%%-%%%%");
    fs::create_directories(temp / "folder");
    std::ofstream((temp / "file.db").string()) << "x";
    fs::create_symlink(temp / "file.db", temp / "link.db");
    ASSERT_EQ(::mkfifo((temp / "fifo.db").c_str(), 0600), 0);
    int error = 0;
    const platform::Folder held = platform::Folder::OpenPath(temp.string(), error);
    ASSERT_EQ(error, 0);
    const std::pair<const char*, platform::ClaimOutcome> cases[] = {
        {"file.db", platform::ClaimOutcome::Claimed},   {"link.db", platform::ClaimOutcome::NotAFile},
        {"fifo.db", platform::ClaimOutcome::NotAFile},  {"folder", platform::ClaimOutcome::NotAFile},
        {"absent.db", platform::ClaimOutcome::Missing},
    };
    for (const auto& [name, outcome] : cases) {
        platform::DatabaseClaim claim;
        EXPECT_EQ(claim.Take(held, name), outcome) << name;
    }
    fs::remove_all(temp);
}

// The plug-in flushes the folder that holds the database it wrote; a folder
// that cannot be flushed is a failure the plug-in reports.
TEST(FolderSync, FlushesTheFolderHoldingTheFileOrSaysWhyNot) {
    const fs::path temp = MakeTempFolder("tolvane2-sync");
    std::ofstream((temp / "file").string()) << "x";
    const std::pair<std::string, int> cases[] = {
        {(temp / "day.db").string(), 0},
        {"/day.db", 0},  // the root is a folder too
        {(temp / "absent" / "day.db").string(), ENOENT},
        {(temp / "file" / "day.db").string(), ENOTDIR},
    };
    for (const auto& [path, error] : cases) EXPECT_EQ(platform::SyncFolderHolding(path), error) << path;
    fs::remove_all(temp);
}

// Only a folder is locked; what is not one runs unguarded, and the audit's
// look never mistakes it for a held storage.
TEST(StorageLock, LocksAFolderOnceAndNothingElse) {
    const fs::path temp = MakeTempFolder("tolvane2-lock");
    std::ofstream((temp / "file").string()) << "x";
    {
        platform::StorageLock first, second;
        errno = EWOULDBLOCK;  // left by some earlier call: not the answer
        EXPECT_FALSE(platform::StorageLockHeld(temp.string()));
        EXPECT_EQ(first.Acquire(temp.string()), platform::StorageLock::Outcome::Locked);
        EXPECT_EQ(second.Acquire(temp.string()), platform::StorageLock::Outcome::HeldByAnotherRun);
        EXPECT_TRUE(platform::StorageLockHeld(temp.string()));
    }
    EXPECT_FALSE(platform::StorageLockHeld(temp.string()));
    for (const char* notAFolder : {"file", "absent"}) {
        platform::StorageLock lock;
        EXPECT_EQ(lock.Acquire((temp / notAFolder).string()), platform::StorageLock::Outcome::NotLockable);
        EXPECT_FALSE(platform::StorageLockHeld((temp / notAFolder).string()));
    }
    fs::remove_all(temp);
}

// Neither a link nor a FIFO under a name is read: the one may lead out of the
// storage, the other would wait for a writer.
TEST(SmallFileReading, NeitherFollowsALinkNorWaitsOnAFifo) {
    const fs::path temp = MakeTempFolder("tolvane2-small");
    std::ofstream((temp / "file").string()) << "x";
    fs::create_symlink(temp / "file", temp / "link");
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
    int error = -1;
    const platform::Folder folder = platform::Folder::OpenPath(temp.string(), error);
    ASSERT_EQ(error, 0);
    std::string bytes;
    EXPECT_EQ(platform::ReadSmallFile(folder, "link", 10, bytes), ELOOP);
    EXPECT_EQ(platform::ReadSmallFile(folder, "fifo", 10, bytes), EINVAL);
    EXPECT_EQ(platform::ReadFileByPath((temp / "fifo").string(), 10, bytes), EINVAL);
    fs::remove_all(temp);
}

// A lease held on the database is answered at once, not after the system's
// lease-break time (the breaker's open would wait for it).
TEST(DatabaseClaim, ALeasedDatabaseIsInUseAtOnce) {
    const fs::path temp = fs::temp_directory_path() / fs::unique_path("tolvane2-claim-%%%%-%%%%");
    fs::create_directories(temp);
    std::ofstream((temp / "leased.db").string()) << "x";
    const int reader = ::open((temp / "leased.db").c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    const auto oldSignal = std::signal(SIGIO, SIG_IGN);  // what the break sends the holder
    if (::fcntl(reader, F_SETLEASE, F_RDLCK) == 0) {
        int error = 0;
        const platform::Folder held = platform::Folder::OpenPath(temp.string(), error);
        platform::DatabaseClaim claim;
        EXPECT_EQ(claim.Take(held, "leased.db"), platform::ClaimOutcome::InUse);
    }
    ::close(reader);
    std::signal(SIGIO, oldSignal);
    fs::remove_all(temp);
}
#endif

// Text reaches redirected output whole even when a character's bytes come in
// two writes.
TEST(UnicodeRun, ACharacterSplitBetweenWritesArrivesWhole) {
#ifdef _WIN32
    if (boost::nowide::cout.rdbuf() != std::cout.rdbuf()) GTEST_SKIP() << "standard output is a console here";
#endif
    int argc = 1;
    char name[] = "platform_test";
    char* arguments[] = {name, nullptr};
    char** argv = arguments;
    testing::internal::CaptureStdout();
    {
        const platform::UnicodeRun run(argc, argv);
        std::cout << "\xc3" << std::flush << "\xa9|\xe4\xb8" << std::flush << "\xad\n" << std::flush;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), testsupport::RedirectedText(u8"é|中\n"));
}

}  // namespace
