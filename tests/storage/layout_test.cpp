// The folder and file predicates every road relies on, on real folder trees.
#include "storage/layout.h"
#include "storage/walk.h"

#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagegen::WriteFile;
using storagetest::TempFolder;
namespace fs = boost::filesystem;

fs::directory_entry EntryOf(const fs::path& path) { return fs::directory_entry(path); }

class Layout : public ::testing::Test {
protected:
    fs::path At(const std::string& relative) const { return folder_.path() / relative; }
    void Folder(const std::string& relative) const { fs::create_directories(At(relative)); }
    void File(const std::string& relative) const { WriteFile(At(relative), "x"); }
    void Link(const std::string& target, const std::string& relative) const {
        fs::create_symlink(target, At(relative));
    }
    // Whether the system makes links that read as links, dangling ones too
    // (wine's do not: it follows them as the host does).
    bool LinksAreReal() const {
        Link("absent-target", "probe-link");
        boost::system::error_code error;
        const bool real = fs::is_symlink(fs::symlink_status(At("probe-link"), error));
        fs::remove(At("probe-link"), error);
        return real;
    }

    TempFolder folder_;
};

TEST_F(Layout, IsExistingDirectoryAnswersFalseForEverythingButAReachableFolder) {
    if (!LinksAreReal()) GTEST_SKIP() << "the system makes no links here";
    Folder("dir");
    File("file");
    Link("dir", "link-to-dir");
    Link("missing", "dangling");
    Link("loop", "loop");
    const struct {
        std::string path;
        bool expected;
    } cases[] = {
        {At("dir").string(), true},         {At("link-to-dir").string(), true},
        {At("file").string(), false},       {At("absent").string(), false},
        {At("dangling").string(), false},   {At("loop").string(), false},
        {At("file/below").string(), false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsExistingDirectory(c.path), c.expected) << c.path;
}

TEST_F(Layout, DayFoldersAreFoldersNamedLikeADate) {
    if (!LinksAreReal()) GTEST_SKIP() << "the system makes no links here";
    for (const char* name : {"2012-03-03", "2012-19-39", "2012-3-3", "12-03-03", "2012-03-03x", "1"}) Folder(name);
    File("2012-03-04");
    Folder("target");
    Link("target", "2012-03-05");
    Link("missing", "2012-03-06");
    Link("2012-03-07", "2012-03-07");
    const struct {
        const char* name;
        bool expected;
    } cases[] = {
        {"2012-03-03", true},   {"2012-19-39", true},  {"2012-3-3", false},   {"12-03-03", false},
        {"2012-03-03x", false}, {"1", false},          {"2012-03-04", false}, {"2012-03-05", true},
        {"2012-03-06", false},  {"2012-03-07", false},
    };
    const DateRange open("", "");
    for (const auto& c : cases) {
        EXPECT_EQ(IsDayFolder(EntryOf(At(c.name))), c.expected) << c.name;
        // The day filter refuses a linked day folder by itself, whatever the walk before it let through.
        const bool linked = std::string(c.name) == "2012-03-05";
        EXPECT_EQ(IsDayFolderInRange(EntryOf(At(c.name)), open), c.expected && !linked) << c.name;
    }
    EXPECT_FALSE(IsDayFolderInRange(EntryOf(At("2012-03-03")), DateRange("2012-03-04", "")));
}

TEST_F(Layout, RecordingFilesAreRegularFilesEndingInExactlyDot3gp) {
    for (const char* name : {"0001_x.3gp", "a.3GP", "a.3gp.bak", "a.mp4", "a3gp", "2012-03-03.db"}) File(name);
    Folder("x.3gp");
    const struct {
        const char* name;
        bool recordingName;
        bool regular;
    } cases[] = {
        {"0001_x.3gp", true, true}, {"a.3GP", false, true}, {"a.3gp.bak", false, true},     {"a.mp4", false, true},
        {"a3gp", false, true},      {"x.3gp", true, false}, {"2012-03-03.db", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsRecordingFile(EntryOf(At(c.name))), c.recordingName) << c.name;
        EXPECT_EQ(IsRegularFile(EntryOf(At(c.name))), c.regular) << c.name;
    }
}

TEST_F(Layout, RegularFileTestThrowsTheFileSystemErrorWhenTheStatusCannotBeRead) {
    if (!LinksAreReal()) GTEST_SKIP() << "the system makes no links here";
    Link("loop.3gp", "loop.3gp");
    EXPECT_THROW(IsRegularFile(EntryOf(At("loop.3gp"))), fs::filesystem_error);
}

TEST_F(Layout, RecordingsOfKeepsOnlyRegularDot3gpFilesNoLink) {
    for (const char* name : {"0001_x.3gp", "a.3GP", "a.3gp.bak", "a.mp4", "2012-03-03.db"}) File(name);
    Folder("x.3gp");
    Folder("DL");
    // A link to a recording is refused like every link below the storage.
    if (LinksAreReal()) Link("0001_x.3gp", "0002_x.3gp");
    EXPECT_EQ(walk::RecordingsOf(folder_.path()), std::vector<std::string>{At("0001_x.3gp").string()});
}

// Each road's entry rule, and links passed over (kept aside) by every rule.
TEST_F(Layout, ListTakesEntriesByTheRoadsRuleAndNeverALink) {
    if (!LinksAreReal()) GTEST_SKIP() << "the system makes no links here";
    Folder("a");
    File("b");
    Link("a", "c");
    const auto names = [](const std::vector<fs::directory_entry>& entries) {
        std::vector<std::string> listed;
        for (const auto& entry : entries) listed.push_back(EntryName(entry));
        std::sort(listed.begin(), listed.end());
        return listed;
    };
    using walk::Entries;
    for (const walk::OnListingFailure onFailure : {walk::OnListingFailure::CarryOn, walk::OnListingFailure::Throw}) {
        for (const auto& [entries, expected] : std::vector<std::pair<Entries, std::vector<std::string>>>{
                 {Entries::AnyKindButLinks, {"a", "b"}}, {Entries::FoldersButLinks, {"a"}}}) {
            const walk::Listing listing = walk::List(folder_.path(), entries, onFailure);
            EXPECT_EQ(names(listing.taken), expected);
            EXPECT_EQ(names(listing.links), std::vector<std::string>{"c"});
        }
        const walk::Listing firstTwo = walk::List(folder_.path(), Entries::AnyKindButLinks, onFailure, 2);
        EXPECT_EQ(firstTwo.taken.size() + firstTwo.links.size(), 2u);
    }
    for (const char* notAFolder : {"absent", "b"}) {
        EXPECT_TRUE(
            walk::List(At(notAFolder), Entries::AnyKindButLinks, walk::OnListingFailure::CarryOn).taken.empty());
        EXPECT_THROW(walk::List(At(notAFolder), Entries::AnyKindButLinks, walk::OnListingFailure::Throw),
                     fs::filesystem_error);
    }
}

TEST_F(Layout, RecordingsOfAnEmptyMissingOrNonFolderIsEmpty) {
    Folder("empty");
    File("file.3gp");
    EXPECT_TRUE(walk::RecordingsOf(At("empty")).empty());
    EXPECT_TRUE(walk::RecordingsOf(At("absent")).empty());
    EXPECT_TRUE(walk::RecordingsOf(At("file.3gp")).empty());
}

TEST_F(Layout, RecordingsOfPassesStatusErrorsOn) {
    if (!LinksAreReal()) GTEST_SKIP() << "the system makes no links here";
    File("0001_x.3gp");
    Link("loop.3gp", "loop.3gp");
    EXPECT_THROW(walk::RecordingsOf(folder_.path()), fs::filesystem_error);
}

}  // namespace
