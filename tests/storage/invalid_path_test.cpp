// Every road on a storage path that is no directory: one line, nothing changed.
#include <gtest/gtest.h>

#include "storage_test_support.h"

namespace {

using storagetest::AfterTitle;
using storagetest::TempFolder;
namespace fs = boost::filesystem;

const std::string kClosing = "Congratulation! The database have repaired completely. elapsed time: ";

TEST(NotADirectory, EachRoadSaysSoOnceAndTheRepairRoadStillCloses) {
    const struct {
        std::vector<std::string> flags;
        std::string echo;
        std::string road;
        bool closes;
    } roads[] = {
        {{},
         "",
         "\nConvert the directory structure:\nConvertDirectoryStructure - StoragePath is not valid directory\n",
         true},
        {{"-o"},
         "Repair database only\n",
         "\nCopy the template DB:\nCopyTemplateDB - StoragePath is not valid directory\n",
         true},
        {{"-r"},
         "Revert path\n",
         "\nReverting the directory structure:\nRevertDirectoryStructure - StoragePath is not valid directory\n",
         false},
    };
    for (const auto& road : roads) {
        const TempFolder folder;
        storagegen::WriteFile(folder.path() / "2012-03-03", "a file, not a storage\n");
        for (const fs::path& path : {folder.path() / "2012-03-03", folder.path() / "missing"}) {
            std::vector<std::string> args{"-p", path.string()};
            args.insert(args.end(), road.flags.begin(), road.flags.end());

            const auto result = testsupport::RunTool(args);

            const std::string expected = "Recording path: " + path.string() + "\n" + road.echo + road.road;
            const std::string out = AfterTitle(result.out);
            SCOPED_TRACE(testing::PrintToString(args));
            EXPECT_EQ(result.exitCode, 0);
            EXPECT_EQ(result.err, "");
            if (road.closes) {
                ASSERT_EQ(out.substr(0, expected.size()), expected);
                const std::string rest = out.substr(expected.size());
                EXPECT_EQ(rest.substr(0, kClosing.size()), kClosing);
                EXPECT_TRUE(storagetest::EndsWithClosingLine(out));
            } else {
                EXPECT_EQ(out, expected);
            }
            EXPECT_EQ(storagetest::Tree(folder.path()), std::vector<std::string>{"2012-03-03"});
            EXPECT_EQ(storagegen::ReadFile(folder.path() / "2012-03-03"), "a file, not a storage\n");
        }
    }
}

}  // namespace
