// Reverting <storage>/<day>/<location> to <storage>/<location>/<day> (--revert).
#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagegen::MakeLocationDay;
using storagegen::Marker;
using storagegen::ReadFile;
using storagegen::Structure;
using storagegen::WriteFile;
using storagetest::AfterTitle;
using storagetest::TempFolder;
using storagetest::Tree;
namespace fs = boost::filesystem;

const std::string kHeading = "\nReverting the directory structure:\n";
const std::string kNothing = "Cannot find any proper path to revert.\n";

std::string Summary(unsigned count) {
    return "\nCongratulation! Revert [" + std::to_string(count) + "] path(s) successfully.\n";
}

class Reversion : public storagetest::StorageRoadTest {
protected:
    Reversion() : StorageRoadTest({"-r"}) {}

    std::string Echo(const std::string& extra = "") const {
        return "Recording path: " + storage().string() + "\n" + extra + "Revert path\n";
    }

    // "Processing Path: " lines for every entry of the day folders, in listing order.
    std::string ProcessingLines(const std::vector<std::string>& days) const {
        std::string lines;
        for (const auto& day : days) {
            for (const auto& entry : storagetest::ListingOrder(storage() / day)) {
                lines += "Processing Path: " + entry + " structure\n";
            }
        }
        return lines;
    }
};

TEST_F(Reversion, RemovesDayDatabasesBackupAndEmptyMarkerAndTheEmptiedDayFolder) {
    New("1", "2012-03-03", {2, true, true, Marker::Empty});
    const auto result = Run();

    EXPECT_EQ(AfterTitle(result.out),
              Echo() + kHeading + "Processing Path: " + At("2012-03-03/1") + " structure\n" + Summary(1));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Tree(storage()), (std::vector<std::string>{
                                   "1/",
                                   "1/2012-03-03/",
                                   "1/2012-03-03/00000001_2012-03-03_100000.3gp",
                                   "1/2012-03-03/00000002_2012-03-03_100100.3gp",
                               }));
}

TEST_F(Reversion, AMarkerFolderHoldingAFileAndAFileNamedDLSurvive) {
    New("1", "2012-03-03", {1, true, false, Marker::WithFile});
    New("2", "2012-03-03", {1, true, false});
    WriteFile(At("2012-03-03/2/DL"), "a file, not the marker folder\n");

    Run();

    EXPECT_EQ(ReadFile(At("1/2012-03-03/DL/note.txt")), "kept by the operator\n");
    EXPECT_EQ(ReadFile(At("2/2012-03-03/DL")), "a file, not the marker folder\n");
    EXPECT_FALSE(fs::exists(At("1/2012-03-03/2012-03-03.db")));
    EXPECT_FALSE(fs::exists(At("2/2012-03-03/2012-03-03.db")));
    EXPECT_FALSE(fs::exists(At("2012-03-03")));
}

TEST_F(Reversion, CountsEveryEntryOfEveryDayAndASecondRunFindsNothing) {
    for (const char* day : {"2012-03-03", "2012-03-04"}) {
        for (const char* location : {"1", "2", "3"}) New(location, day, {1, true});
    }
    std::vector<std::string> days;
    for (const auto& day : storagetest::ListingOrder(storage())) days.push_back(fs::path(day).filename().string());
    const std::string lines = ProcessingLines(days);

    const auto first = Run();
    const auto second = Run();

    EXPECT_EQ(AfterTitle(first.out), Echo() + kHeading + lines + Summary(6));
    EXPECT_EQ(AfterTitle(second.out), Echo() + kHeading + kNothing);
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(Tree(storage()).size(), 3u * (1 + 2 * 2));
}

TEST_F(Reversion, AnEntryThatCannotMoveIsCountedKeepsItsDatabaseAndItsDayFolderIsReported) {
    New("1", "2012-03-03", {1, true, true});
    fs::create_directories(At("1/2012-03-03"));  // the old place is taken
    const std::string source = At("2012-03-03/1");
    const std::string destination = At("1/2012-03-03");

    const auto result = Run();

    EXPECT_EQ(AfterTitle(result.out), Echo() + kHeading + "Processing Path: " + source +
                                          " structure\n"
                                          "RevertDirectoryStructure - got std::exception: boost::filesystem::rename: " +
                                          storagetest::ExistsText() + ": \"" + source + "\", \"" + destination +
                                          "\"\n"
                                          "RevertDirectoryStructure - directory: " +
                                          At("2012-03-03") + "is not empty\n" + Summary(1));
    EXPECT_EQ(Tree(At("2012-03-03/1")),
              (std::vector<std::string>{"00000001_2012-03-03_100000.3gp", "2012-03-03.db", "2012-03-03.db.old"}));
    EXPECT_TRUE(fs::is_empty(destination));
}

TEST_F(Reversion, OnlyDayFoldersInsideTheInclusiveBoundsAreReverted) {
    const std::vector<std::string> days{"2012-03-02", "2012-03-03", "2012-03-04"};
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> reverted;
    } cases[] = {
        {{"-e", "2012-03-02"}, {"2012-03-02"}},
        {{"-b", "2012-03-03", "-e", "2012-03-03"}, {"2012-03-03"}},
        {{"-b", "2012-3-3", "-e", "2012-03-03"}, {"2012-03-02", "2012-03-03"}},
    };
    for (const auto& c : cases) {
        const TempFolder folder;
        for (const auto& day : days) MakeLocationDay(folder.path(), Structure::New, "4", day, {1, true});
        std::vector<std::string> args{"-p", folder.path().string(), "-r"};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const auto result = testsupport::RunTool(args);

        const std::string tail = c.reverted.empty() ? kNothing : Summary(static_cast<unsigned>(c.reverted.size()));
        EXPECT_EQ(result.out.substr(result.out.size() - tail.size()), tail) << testing::PrintToString(c.args);
        for (const auto& day : days) {
            const bool reverted = std::find(c.reverted.begin(), c.reverted.end(), day) != c.reverted.end();
            EXPECT_EQ(fs::is_directory(folder.path() / "4" / day), reverted) << day;
            EXPECT_EQ(fs::exists(folder.path() / day / "4" / (day + ".db")), !reverted) << day;
        }
    }
}

TEST_F(Reversion, AFileInADayFolderIsMovedLikeALocationFolder) {
    New("1", "2012-03-03", {1});
    WriteFile(At("2012-03-03/notes.txt"), "day notes\n");
    const std::string lines = ProcessingLines({"2012-03-03"});

    const auto result = Run();

    EXPECT_EQ(AfterTitle(result.out), Echo() + kHeading + lines + Summary(2));
    EXPECT_EQ(ReadFile(At("notes.txt/2012-03-03")), "day notes\n");
    EXPECT_FALSE(fs::exists(At("2012-03-03")));
}

TEST_F(Reversion, OldStructureAndUnrelatedEntriesAreLeftAlone) {
    MakeLocationDay(storage(), Structure::Old, "1", "2012-03-03", {1, true});
    WriteFile(At("2012-03-04"), "a file named like a day\n");
    fs::create_directories(At("2012-3-5/1"));
    const auto before = storagetest::DigestFiles(storage());
    const auto treeBefore = Tree(storage());

    const auto result = Run({"-o"});

    EXPECT_EQ(AfterTitle(result.out), Echo("Repair database only\n") + kHeading + kNothing);
    EXPECT_EQ(Tree(storage()), treeBefore);
    EXPECT_EQ(storagetest::DigestFiles(storage()), before);
}

}  // namespace
