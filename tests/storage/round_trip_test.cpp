// Converting a storage and reverting it again loses nothing: every recording
// (and every other file that is no day database) is back with the same bytes.
#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagegen::Marker;
using storagegen::WriteFile;
using storagetest::TempFolder;
namespace fs = boost::filesystem;

bool IsDayDatabase(const std::string& relative) {
    const std::string name = fs::path(relative).filename().string();
    const auto ends = [&](const std::string& suffix) {
        return name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return ends(".db") || ends(".db.old");
}

std::map<std::string, std::uint64_t> WithoutDayDatabases(std::map<std::string, std::uint64_t> digests) {
    for (auto it = digests.begin(); it != digests.end();) it = IsDayDatabase(it->first) ? digests.erase(it) : ++it;
    return digests;
}

// Recording name -> digest, wherever in the tree it lies (names are unique per location and day).
std::multiset<std::uint64_t> RecordingDigests(const std::map<std::string, std::uint64_t>& digests) {
    std::multiset<std::uint64_t> recordings;
    for (const auto& [path, digest] : digests) {
        if (fs::path(path).extension() == ".3gp") recordings.insert(digest);
    }
    return recordings;
}

TEST(RoundTrip, ConvertingAndRevertingKeepsEveryRecordingByteForByte) {
    const struct {
        const char* name;
        std::vector<std::string> convertBounds;
    } cases[] = {
        {"whole storage", {}},
        {"part of the days converted", {"-b", "2012-03-03", "-e", "2012-03-03"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        const fs::path& storage = folder.path();
        storagegen::StorageDescription description;
        description.locations = {"1", "2", "3", "12"};
        description.days = {"2012-03-02", "2012-03-03", "2012-03-04"};
        description.content = {3, false, false, Marker::None};
        const auto recordings = storagegen::MakeStorage(storage, description);
        storagegen::MakeLocationDay(storage, storagegen::Structure::Old, "2", "2012-03-05",
                                    {2, false, false, Marker::WithFile});
        WriteFile(storage / "3" / "camera.cfg", "camera three\n");
        const auto before = storagetest::DigestFiles(storage);
        ASSERT_EQ(RecordingDigests(before).size(), recordings.size() + 2);

        std::vector<std::string> convert{"-p", storage.string()};
        convert.insert(convert.end(), c.convertBounds.begin(), c.convertBounds.end());
        const auto converted = testsupport::RunTool(convert);
        ASSERT_EQ(converted.exitCode, 0);
        const auto between = storagetest::DigestFiles(storage);
        EXPECT_EQ(RecordingDigests(between), RecordingDigests(before));

        const auto reverted = testsupport::RunTool({"-p", storage.string(), "-r"});
        ASSERT_EQ(reverted.exitCode, 0);
        EXPECT_EQ(reverted.out.find("RevertDirectoryStructure - "), std::string::npos) << reverted.out;

        EXPECT_EQ(WithoutDayDatabases(storagetest::DigestFiles(storage)), before);
        for (const auto& day : description.days) EXPECT_FALSE(fs::exists(storage / day)) << day;
    }
}

}  // namespace
