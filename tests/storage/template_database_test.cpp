// Placing fresh day databases into a storage in the new structure (--dbonly).
#include "storage/template_database.h"

#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagegen::MakeLocationDay;
using storagegen::ReadFile;
using storagegen::Structure;
using storagegen::WriteFile;
using storagetest::PreparationSection;
using storagetest::TempFolder;
namespace fs = boost::filesystem;

const std::string kHeading = "\nCopy the template DB:\n";
const std::string kStdCopyFailure = "CopyTemplateDB - copy dbtemplate.db got std::exception: ";

class TemplatePlacement : public storagetest::StorageRoadTest {
protected:
    TemplatePlacement() : StorageRoadTest({"-o"}) {}

    std::string Echo() const { return "Recording path: " + storage().string() + "\nRepair database only\n"; }

    // The targets of a day folder in listing order.
    std::vector<std::string> Targets(const std::string& day) const {
        std::vector<std::string> targets;
        for (const auto& entry : storagetest::ListingOrder(storage() / day))
            targets.push_back((fs::path(entry) / (day + ".db")).string());
        return targets;
    }
};

TEST_F(TemplatePlacement, EveryLocationOfADayGetsATemplateCopyNamedAfterTheDay) {
    New("1", "2012-03-03");
    New("2", "2012-03-03");
    std::string expected = Echo() + kHeading;
    for (const auto& target : Targets("2012-03-03")) expected += "Copy template.db to " + target + "\n";

    const auto result = Run();

    EXPECT_EQ(PreparationSection(result.out), expected);
    EXPECT_TRUE(storagetest::EndsWithClosingLine(result.out));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(fs::is_regular_file(At("2012-03-03/1/2012-03-03.db")));
    EXPECT_TRUE(fs::is_regular_file(At("2012-03-03/2/2012-03-03.db")));
}

TEST_F(TemplatePlacement, AnExistingDayDatabaseBecomesTheBackupReplacingTheOlderOne) {
    New("1", "2012-03-03", {1, true, true});
    New("2", "2012-03-03", {1, true, false});
    const storagetest::CurrentFolder inBuild(testsupport::BuildDirectory());

    const auto captured =
        storagetest::CaptureRoad([&] { CopyTemplateDB(storage().string(), "1970-01-01", "1970-01-01"); });

    std::string expected = kHeading;
    for (const auto& target : Targets("2012-03-03")) expected += "Copy template.db to " + target + "\n";
    EXPECT_EQ(captured.out, expected);
    EXPECT_EQ(captured.err, "");
    for (const char* location : {"1", "2"}) {
        const std::string folder = At("2012-03-03/" + std::string(location) + "/");
        EXPECT_EQ(ReadFile(folder + "2012-03-03.db"), storagetest::PlacedCopyBytes()) << location;
        EXPECT_EQ(ReadFile(folder + "2012-03-03.db.old"), storagegen::DayDatabasePlaceholder(location, "2012-03-03"))
            << location;
    }
}

// A tool copied where no template lies beside it, started from a folder
// without one either: every database stays under its own name.
TEST_F(TemplatePlacement, WithoutTheTemplateAnywhereEveryTargetReportsTheCopyAndNothingIsSetAside) {
    New("1", "2012-03-03", {1, true, true});
    New("2", "2012-03-03", {1});
    New("1", "2012-03-04", {1, true, false});
    const TempFolder elsewhere;
    const fs::path tool = elsewhere.path() / fs::path(testsupport::ToolPath()).filename();
    fs::copy_file(testsupport::ToolPath(), tool);
    const auto before = storagetest::DigestFiles(storage());
    std::string expected = Echo() + kHeading;
    for (const auto& day : storagetest::ListingOrder(storage())) {
        const std::string dayName = fs::path(day).filename().string();
        for (const auto& target : Targets(dayName)) {
            expected += kStdCopyFailure + "boost::filesystem::copy_file: " + storagetest::NotFoundText() + ": \"" +
                        storagetest::TemplateText() + "\", \"" + target + "\"\n";
        }
    }

    const auto result =
        testsupport::RunProcess(tool.string(), {"-p", storage().string(), "-o"}, {elsewhere.path().string(), {}});

    EXPECT_EQ(PreparationSection(result.out), expected);
    EXPECT_EQ(storagetest::DigestFiles(storage()), before);
}

TEST_F(TemplatePlacement, DayFoldersOutsideTheBoundsAreNotTouched) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> renewed;
    } cases[] = {
        {{"-b", "2012-03-03", "-e", "2012-03-04"}, {"2012-03-03", "2012-03-04"}},
        {{"-b", "2012-03-04", "-e", "2012-3-4"}, {"2012-03-04", "2012-03-05"}},
    };
    for (const auto& c : cases) {
        const TempFolder folder;
        for (const char* day : {"2012-03-02", "2012-03-03", "2012-03-04", "2012-03-05"}) {
            MakeLocationDay(folder.path(), Structure::New, "1", day, {0, true, false});
        }
        std::vector<std::string> args{"-p", folder.path().string(), "-o"};
        args.insert(args.end(), c.args.begin(), c.args.end());

        const auto result = testsupport::RunTool(args);

        for (const char* day : {"2012-03-02", "2012-03-03", "2012-03-04", "2012-03-05"}) {
            const bool renewed = std::find(c.renewed.begin(), c.renewed.end(), day) != c.renewed.end();
            const fs::path folderOfDay = folder.path() / day / "1";
            EXPECT_EQ(fs::exists(folderOfDay / (std::string(day) + ".db.old")), renewed)
                << testing::PrintToString(c.args) << ' ' << day;
            EXPECT_EQ(result.out.find("Copy template.db to " + (folderOfDay / day).string()) != std::string::npos,
                      renewed);
        }
    }
}

TEST_F(TemplatePlacement, AFileInADayFolderGetsNoDatabaseAndSaysSo) {
    New("1", "2012-03-03", {1});
    WriteFile(At("2012-03-03/notes.txt"), "x\n");

    const auto result = Run();

    const std::string notesTarget = At("2012-03-03/notes.txt/2012-03-03.db");
    std::string expected = Echo() + kHeading;
    for (const auto& target : Targets("2012-03-03")) {
        expected += target == notesTarget
                        ? kStdCopyFailure + "boost::filesystem::copy_file: " + storagetest::NotADirectoryText() +
                              ": \"" + storagetest::TemplateText() + "\", \"" + target + "\"\n"
                        : "Copy template.db to " + target + "\n";
    }
    EXPECT_EQ(PreparationSection(result.out), expected);
    EXPECT_EQ(ReadFile(At("2012-03-03/notes.txt")), "x\n");
}

TEST_F(TemplatePlacement, ABackupThatCannotBeRemovedKeepsTheDayDatabaseInPlace) {
    New("1", "2012-03-03", {1, true, false});
    WriteFile(At("2012-03-03/1/2012-03-03.db.old/inside"), "a folder, not a backup\n");
    const std::string target = At("2012-03-03/1/2012-03-03.db");

    const auto result = Run();

    EXPECT_EQ(PreparationSection(result.out),
              Echo() + kHeading + "CopyTemplateDB - remove existed got std::exception: boost::filesystem::rename: " +
                  storagetest::ExistsText() + ": \"" + target + "\", \"" + target + ".old\"\n" + kStdCopyFailure +
                  "boost::filesystem::copy_file: " + storagetest::ExistsText() + ": \"" + storagetest::TemplateText() +
                  "\", \"" + target + "\"\n");
    EXPECT_EQ(ReadFile(target), storagegen::DayDatabasePlaceholder("1", "2012-03-03"));
    EXPECT_EQ(ReadFile(target + ".old/inside"), "a folder, not a backup\n");
}

TEST_F(TemplatePlacement, AStorageInTheOldStructureGetsNoDatabase) {
    MakeLocationDay(storage(), Structure::Old, "1", "2012-03-03", {1});
    const auto before = storagetest::Tree(storage());

    const auto result = Run();

    EXPECT_EQ(PreparationSection(result.out), Echo() + kHeading);
    EXPECT_EQ(storagetest::Tree(storage()), before);
}

}  // namespace
