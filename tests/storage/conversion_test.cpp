// Conversion from <storage>/<location>/<day> to <storage>/<day>/<location>, as
// the repair road runs it, and the day databases it places on the way.
#include "storage/conversion.h"

#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagegen::MakeLocationDay;
using storagegen::ReadFile;
using storagegen::Structure;
using storagegen::WriteFile;
using storagetest::PreparationSection;
using storagetest::TempFolder;
using storagetest::Tree;
namespace fs = boost::filesystem;

const std::string kHeading = "\nConvert the directory structure:\n";

class Conversion : public storagetest::StorageRoadTest {
protected:
    Conversion() : StorageRoadTest({}) {}

    // The conversion's own lines for day folders moved without trouble.
    static std::string ProcessingLines(const std::vector<std::string>& sources) {
        std::string lines;
        for (const auto& source : sources) lines += "Processing Path: " + source + " structure\n";
        return lines;
    }

    std::string Echo() const { return "Recording path: " + storage().string() + "\n"; }
};

TEST_F(Conversion, TwoLocationsOfOneDayBecomeOneDayFolderEachWithItsDayDatabase) {
    Old("1", "2012-03-03");
    Old("2", "2012-03-03");
    std::vector<std::string> sources;
    for (const auto& location : storagetest::ListingOrder(storage())) {
        sources.push_back((fs::path(location) / "2012-03-03").string());
    }
    const auto before = storagetest::DigestFiles(storage());

    const auto result = Run();

    EXPECT_EQ(PreparationSection(result.out), Echo() + kHeading + ProcessingLines(sources));
    EXPECT_TRUE(storagetest::EndsWithClosingLine(result.out));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Tree(storage()), (std::vector<std::string>{
                                   "2012-03-03/",
                                   "2012-03-03/1/",
                                   "2012-03-03/1/00000001_2012-03-03_100000.3gp",
                                   "2012-03-03/1/00000002_2012-03-03_100100.3gp",
                                   "2012-03-03/1/2012-03-03.db",
                                   "2012-03-03/2/",
                                   "2012-03-03/2/00000001_2012-03-03_100000.3gp",
                                   "2012-03-03/2/00000002_2012-03-03_100100.3gp",
                                   "2012-03-03/2/2012-03-03.db",
                               }));
    const auto after = storagetest::DigestFiles(storage());
    for (const char* location : {"1", "2"}) {
        for (const char* name : {"00000001_2012-03-03_100000.3gp", "00000002_2012-03-03_100100.3gp"}) {
            EXPECT_EQ(after.at(std::string("2012-03-03/") + location + "/" + name),
                      before.at(std::string(location) + "/2012-03-03/" + name));
        }
    }
}

TEST_F(Conversion, PlacedDayDatabasesAreCopiesOfTheTemplateAndNothingGoesToStandardError) {
    Old("1", "2012-03-03", {1, true, false});
    Old("1", "2012-03-04");
    const storagetest::CurrentFolder inBuild(testsupport::BuildDirectory());
    const auto captured =
        storagetest::CaptureRoad([&] { ConvertDirectoryStructure(storage().string(), "1970-01-01", "1970-01-01"); });

    EXPECT_EQ(captured.err, "");
    EXPECT_EQ(captured.out.substr(0, kHeading.size()), kHeading);
    EXPECT_EQ(ReadFile(At("2012-03-03/1/2012-03-03.db")), storagetest::PlacedCopyBytes());
    EXPECT_EQ(ReadFile(At("2012-03-04/1/2012-03-04.db")), storagetest::PlacedCopyBytes());
    // A day database that travelled with its folder is set aside, not lost.
    EXPECT_EQ(ReadFile(At("2012-03-03/1/2012-03-03.db.old")), storagegen::DayDatabasePlaceholder("1", "2012-03-03"));
    EXPECT_FALSE(fs::exists(At("1")));
}

TEST_F(Conversion, NamesOutsideAsciiMoveLikeAnyOther) {
    const fs::path s = storage() / u8"stor_é中文";
    for (const char* location : {u8"é", u8"中文"}) MakeLocationDay(s, Structure::Old, location, "2012-03-03", {1});

    const auto result = testsupport::RunTool({"-p", s.string()});

    EXPECT_EQ(result.out.find("ConvertDirectoryStructure - "), std::string::npos) << result.out;
    EXPECT_EQ(Tree(s), (std::vector<std::string>{
                           "2012-03-03/",
                           u8"2012-03-03/é/",
                           u8"2012-03-03/é/00000001_2012-03-03_100000.3gp",
                           u8"2012-03-03/é/2012-03-03.db",
                           u8"2012-03-03/中文/",
                           u8"2012-03-03/中文/00000001_2012-03-03_100000.3gp",
                           u8"2012-03-03/中文/2012-03-03.db",
                       }));
}

TEST_F(Conversion, ALocationFolderThatKeepsAFileSurvives) {
    Old("1", "2012-03-03");
    Old("2", "2012-03-03");
    WriteFile(At("1/notes.txt"), "camera one\n");

    Run();

    EXPECT_EQ(ReadFile(At("1/notes.txt")), "camera one\n");
    EXPECT_EQ(Tree(At("1")), std::vector<std::string>{"notes.txt"});
    EXPECT_FALSE(fs::exists(At("2")));
    EXPECT_TRUE(fs::is_directory(At("2012-03-03/1")));
    EXPECT_TRUE(fs::is_directory(At("2012-03-03/2")));
}

TEST_F(Conversion, OnlyDayFoldersInsideTheInclusiveBoundsMove) {
    const std::vector<std::string> days{"2012-03-02", "2012-03-03", "2012-03-04", "2012-03-05"};
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> moved;
    } cases[] = {
        {{}, days},
        {{"-b", "2012-03-04"}, {"2012-03-04", "2012-03-05"}},
        {{"-e", "2012-03-03"}, {"2012-03-02", "2012-03-03"}},
        {{"-b", "2012-03-03", "-e", "2012-03-03"}, {"2012-03-03"}},
        {{"-b", "2012-03-05", "-e", "2012-03-02"}, {}},
        {{"-b", "2012-3-4"}, days},    // a malformed bound is off
        {{"-b", "1970-01-01"}, days},  // the unset date is no bound
    };
    for (const auto& c : cases) {
        const TempFolder folder;
        for (const auto& day : days) MakeLocationDay(folder.path(), Structure::Old, "7", day, {1});
        std::vector<std::string> args{"-p", folder.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::string expectedLines;
        for (const auto& path : storagetest::ListingOrder(folder.path() / "7")) {
            const std::string day = fs::path(path).filename().string();
            if (std::find(c.moved.begin(), c.moved.end(), day) != c.moved.end()) {
                expectedLines += "Processing Path: " + path + " structure\n";
            }
        }

        const auto result = testsupport::RunTool(args);

        const std::string section = PreparationSection(result.out);
        EXPECT_EQ(section.substr(section.find(kHeading)), kHeading + expectedLines) << testing::PrintToString(c.args);
        for (const auto& day : days) {
            const bool moved = std::find(c.moved.begin(), c.moved.end(), day) != c.moved.end();
            EXPECT_EQ(fs::exists(folder.path() / day / "7" / (day + ".db")), moved) << day;
            EXPECT_EQ(fs::is_directory(folder.path() / "7" / day), !moved) << day;
        }
        EXPECT_EQ(fs::exists(folder.path() / "7"), c.moved.size() != days.size());
    }
}

TEST_F(Conversion, AnExistingDestinationIsNeverMergedIntoAndTheSourceStays) {
    // Empty or not: a plain rename would replace an empty folder, losing nothing
    // visible but merging two histories; the move must fail either way.
    for (const bool destinationEmpty : {true, false}) {
        const TempFolder folder;
        const fs::path& s = folder.path();
        MakeLocationDay(s, Structure::Old, "1", "2012-03-03", {2, true, false});
        fs::create_directories(s / "2012-03-03" / "1");
        if (!destinationEmpty) MakeLocationDay(s, Structure::New, "1", "2012-03-03", {1, true, false});
        const auto before = storagetest::DigestFiles(s / "1");

        const auto result = testsupport::RunTool({"-p", s.string()});

        const std::string source = (s / "1" / "2012-03-03").string();
        const std::string destination = (s / "2012-03-03" / "1").string();
        EXPECT_EQ(PreparationSection(result.out),
                  "Recording path: " + s.string() + "\n" + kHeading + "Processing Path: " + source +
                      " structure\n"
                      "ConvertDirectoryStructure - got std::Exception: boost::filesystem::rename: " +
                      storagetest::ExistsText() + ": \"" + source + "\", \"" + destination + "\"\n");
        EXPECT_EQ(storagetest::DigestFiles(s / "1"), before);
        // The placement still renews the day database of the existing destination.
        EXPECT_TRUE(fs::exists(s / "2012-03-03" / "1" / "2012-03-03.db"));
        EXPECT_EQ(fs::exists(s / "2012-03-03" / "1" / "2012-03-03.db.old"), !destinationEmpty);
        if (!destinationEmpty) {
            EXPECT_EQ(ReadFile(s / "2012-03-03" / "1" / "00000001_2012-03-03_100000.3gp"),
                      storagegen::PlaceholderRecording(
                          {"1", "2012-03-03", 1, "100000", s / "2012-03-03" / "1" / "00000001_2012-03-03_100000.3gp"}));
        }
    }
}

TEST_F(Conversion, AFileNamedLikeTheDayBlocksTheMoveAndThePlacement) {
    Old("1", "2012-03-03");
    WriteFile(At("2012-03-03"), "not a folder\n");

    const auto result = Run();

    const std::string source = At("1/2012-03-03");
    const std::string destination = At("2012-03-03/1");
    EXPECT_EQ(PreparationSection(result.out),
              Echo() + kHeading + "Processing Path: " + source +
                  " structure\n"
                  "ConvertDirectoryStructure - got std::Exception: boost::filesystem::rename: " +
                  storagetest::NotADirectoryText() + ": \"" + source + "\", \"" + destination +
                  "\"\n"
                  "ConvertDirectoryStructure - copy dbtemplate.db got std::exception: boost::filesystem::copy_file: " +
                  storagetest::NotADirectoryText() + ": \"" + storagetest::TemplateText() + "\", \"" +
                  At("2012-03-03/1/2012-03-03.db") + "\"\n");
    EXPECT_EQ(ReadFile(At("2012-03-03")), "not a folder\n");
    EXPECT_EQ(Tree(At("1/2012-03-03")).size(), 2u);
}

TEST_F(Conversion, WithoutTheTemplateEveryMovedFolderReportsTheCopyAndHasNoDayDatabase) {
    Old("1", "2012-03-03");
    Old("2", "2012-03-03");
    std::vector<std::string> sources;
    for (const auto& location : storagetest::ListingOrder(storage())) {
        sources.push_back((fs::path(location) / "2012-03-03").string());
    }
    // Neither the current folder nor the tool's own holds a template.
    const TempFolder elsewhere;
    const fs::path tool = elsewhere.path() / fs::path(testsupport::ToolPath()).filename();
    fs::copy_file(testsupport::ToolPath(), tool);

    const auto result =
        testsupport::RunProcess(tool.string(), {"-p", storage().string()}, {elsewhere.path().string(), {}});

    std::string expected = Echo() + kHeading;
    for (const auto& source : sources) {
        const std::string location = fs::path(source).parent_path().filename().string();
        expected +=
            "Processing Path: " + source +
            " structure\n"
            "ConvertDirectoryStructure - copy dbtemplate.db got std::exception: boost::filesystem::copy_file: " +
            storagetest::NotFoundText() + ": \"" + storagetest::TemplateText() + "\", \"" +
            At("2012-03-03/" + location + "/2012-03-03.db") + "\"\n";
    }
    EXPECT_EQ(PreparationSection(result.out), expected);
    EXPECT_FALSE(fs::exists(At("2012-03-03/1/2012-03-03.db")));
    EXPECT_FALSE(fs::exists(At("2012-03-03/2/2012-03-03.db")));
    EXPECT_EQ(Tree(At("2012-03-03/1")).size(), 2u);
}

TEST_F(Conversion, AStorageInTheNewStructurePassesThroughUntouched) {
    MakeLocationDay(storage(), Structure::New, "1", "2012-03-03", {2, true, true});
    MakeLocationDay(storage(), Structure::New, "2", "2012-03-04", {1});
    const auto before = storagetest::DigestFiles(storage());
    const auto treeBefore = Tree(storage());

    const auto result = Run();

    EXPECT_EQ(PreparationSection(result.out), Echo() + kHeading);
    EXPECT_EQ(Tree(storage()), treeBefore);
    EXPECT_EQ(storagetest::DigestFiles(storage()), before);
}

TEST_F(Conversion, FilesAndNonDateFoldersOfTheStorageAndOfLocationsStayPut) {
    Old("1", "2012-03-03", {1});
    WriteFile(At("readme.txt"), "storage\n");
    fs::create_directories(At("empty"));  // no day folder left it: it is no location emptied by the run
    fs::create_directories(At("1/archive"));
    fs::create_directories(At("1/2012-3-4"));
    WriteFile(At("1/2012-03-05"), "a file named like a day\n");

    Run();

    EXPECT_EQ(Tree(storage()), (std::vector<std::string>{
                                   "1/",
                                   "1/2012-03-05",
                                   "1/2012-3-4/",
                                   "1/archive/",
                                   "2012-03-03/",
                                   "2012-03-03/1/",
                                   "2012-03-03/1/00000001_2012-03-03_100000.3gp",
                                   "2012-03-03/1/2012-03-03.db",
                                   "empty/",
                                   "readme.txt",
                               }));
}

}  // namespace
