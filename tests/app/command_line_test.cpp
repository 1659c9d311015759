// The options as an operator meets them: the real executable, its output and exit code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process.h"

namespace {

const std::string kBannerAndTitle =
    "    .;;;;.                                       \n"
    "  .;`    `;.                                     \n"
    " ;;   ,:,   ;;                                   \n"
    " ;;   `:`   ;;                                   \n"
    "  `;.    .;`                                     \n"
    "    `;;;;`                                       \n"
    " ::::  :::::  ::  ::   ::   ::     ::::::  ::::: \n"
    "::  :: ::  :: ::  ::  ::::  ::       ::   ::     \n"
    "::  :: ::  :: ::  :: ::  :: ::       ::   ::     \n"
    "::  :: :::::  ::  :: ::  :: ::       ::    ::::  \n"
    "::  :: :: ::   ::::  :::::: ::       ::       :: \n"
    "::  :: ::  ::  ::::  ::  :: ::       ::       :: \n"
    " ::::  ::  ::   ::   ::  :: :::::: :::::: :::::  \n"
    "\n"
    "Orvalis Tolvane2\n"
    "\n";

const std::string kOptionTable =
    "converter command line:\n"
    "  -h [ --help ]         help message\n"
    "  -p [ --path ] arg     recording path\n"
    "  -b [ --begin ] arg    begin date\n"
    "  -e [ --end ] arg      end date\n"
    "  -o [ --dbonly ]       Repair database only(for new Directory Structure).\n"
    "  -r [ --revert ]       Revert to the old Directory Structure and remove the \n"
    "                        sqlite database.\n"
    "  -v [ --verbose ] arg  Show detail progress. 0 = Disable, 1 = Normal(default),\n"
    "                        2 = Detail(for debug only)\n";

const std::string kHelp = kOptionTable +
                          "\n\n"
                          "usage:\n   Tolvane2.exe -p RECORDING_PATH\n\n"
                          "example 1:\n   Tolvane2.exe -p \"C:\\Record\" -b \"2012-03-03\" -e \"2012-03-07\"\n\n"
                          "example 2:\n   Tolvane2.exe -p \"D:\\Rec\"  -o -v 2\n\n"
                          "example 3:\n   Tolvane2.exe -p \"D:\\Rec\"  -r -b \"2012-03-03\"\n\n"
                          "PS:\n  old Directory Structure EX: D:\\Rec\\1\\2012-03-03  \n\n"
                          "PS:\n  new Directory Structure EX: D:\\Rec\\2012-03-03\\1  \n\n";

const std::string kMissing = "/nonexistent/tolvane2-storage";

std::string InvalidSyntax(const std::string& what) {
    return "Invalid parameters got exception: " + what + "\n" + kOptionTable + "\n";
}

// What the run prints after the option echo when the storage path does not exist.
bool EndsWithClosingLine(const std::string& out) {
    const std::string closing = "Congratulation! The database have repaired completely. elapsed time: ";
    const auto at = out.rfind(closing);
    return at != std::string::npos && out.size() > 3 && out.compare(out.size() - 3, 3, " s\n") == 0;
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string expectedAfterTitle;  // exact text after banner and title, or a prefix when prefixOnly
    bool prefixOnly;
};

TEST(CommandLine, OperatorVisibleBehaviour) {
    const std::vector<Case> cases = {
        {"no arguments", {}, kHelp, false},
        {"help wins over a valid path", {"-h", "-p", kMissing}, kHelp, false},
        {"long help", {"--help"}, kHelp, false},
        {"slash is no option", {"/p", kMissing}, kHelp, false},
        {"bare path without -p", {kMissing}, kHelp, false},
        {"-p as last argument", {"-p"}, InvalidSyntax("the required argument for option '--path' is missing"), false},
        {"-h -p", {"-h", "-p"}, InvalidSyntax("the required argument for option '--path' is missing"), false},
        {"--begin without value",
         {"-p", kMissing, "--begin"},
         InvalidSyntax("the required argument for option '--begin' is missing"),
         false},
        {"value attached to a flag", {"--help=1"}, InvalidSyntax("option '--help' does not take any arguments"), false},
        {"option given twice", {"-p", kMissing, "-p", "/other"}, "Parsing parameter failed.\n", false},
        {"verbose not a number", {"-p", kMissing, "-v", "abc"}, "Parsing parameter failed.\n", false},
        {"revert with dbonly echoes in table order",
         {"-r", "-o", "-p", kMissing},
         "Recording path: " + kMissing + "\nRepair database only\nRevert path\n",
         true},
        {"all echo lines in table order",
         {"-v", "0", "-e", "2012-03-07", "-b", "2012-3-3", "-p", kMissing},
         "Recording path: " + kMissing + "\nBegin date: 2012-3-3\nEnd date: 2012-03-07\nShow no progress\n",
         true},
        {"verbose 1", {"-p", kMissing, "-v", "1"}, "Recording path: " + kMissing + "\nShow normal progress\n", true},
        {"verbose 7", {"-p", kMissing, "-v", "7"}, "Recording path: " + kMissing + "\nShow detail progress\n", true},
        {"prefix of a long name",
         {"--verb", "2", "--pa", kMissing},
         "Recording path: " + kMissing + "\nShow detail progress\n",
         true},
        {"unknown option and extra argument ignored",
         {"-x", "-p", kMissing, "extra"},
         "Recording path: " + kMissing + "\n",
         true},
        {"attached short value", {"-p" + kMissing}, "Recording path: " + kMissing + "\n", true},
        {"name outside ASCII",
         {"-p", kMissing + u8"é中文"},
         testsupport::RedirectedText("Recording path: " + kMissing + u8"é中文\n"),
         true},
    };
    for (const auto& c : cases) {
        const auto result = testsupport::RunTool(c.args);
        EXPECT_EQ(result.exitCode, 0) << c.name;
        ASSERT_EQ(result.out.compare(0, kBannerAndTitle.size(), kBannerAndTitle), 0) << c.name << "\n" << result.out;
        const std::string rest = result.out.substr(kBannerAndTitle.size());
        if (c.prefixOnly) {
            EXPECT_EQ(rest.compare(0, c.expectedAfterTitle.size(), c.expectedAfterTitle), 0) << c.name << "\n" << rest;
        } else {
            EXPECT_EQ(rest, c.expectedAfterTitle) << c.name;
        }
    }
}

TEST(CommandLine, RedirectedOutputHoldsNoEscapeByte) {
    for (const auto& args : std::vector<std::vector<std::string>>{{}, {"-p", kMissing}, {"-p", kMissing, "-r"}}) {
        const auto result = testsupport::RunTool(args);
        EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
        EXPECT_EQ(result.err.find('\x1b'), std::string::npos);
    }
}

TEST(CommandLine, RepairRoadEndsWithTheElapsedTimeLineRevertRoadDoesNot) {
    const auto repair = testsupport::RunTool({"-p", kMissing, "-v", "2"});
    EXPECT_EQ(repair.exitCode, 0);
    EXPECT_TRUE(EndsWithClosingLine(repair.out)) << repair.out;

    const auto revert = testsupport::RunTool({"-p", kMissing, "-r", "-o"});
    EXPECT_EQ(revert.exitCode, 0);
    EXPECT_EQ(revert.out.find("Congratulation! The database"), std::string::npos) << revert.out;
}

TEST(CommandLine, VerboseLevelsChangeOnlyTheirEchoLine) {
    auto withoutEchoAndTime = [](std::string out) {
        for (const char* echo : {"Show no progress\n", "Show normal progress\n", "Show detail progress\n"}) {
            const auto at = out.find(echo);
            if (at != std::string::npos) out.erase(at, std::string(echo).size());
        }
        return out.substr(0, out.rfind("elapsed time: "));
    };
    const auto plain = withoutEchoAndTime(testsupport::RunTool({"-p", kMissing}).out);
    EXPECT_EQ(withoutEchoAndTime(testsupport::RunTool({"-p", kMissing, "-v", "0"}).out), plain);
    EXPECT_EQ(withoutEchoAndTime(testsupport::RunTool({"-p", kMissing, "-v", "2"}).out), plain);
}

}  // namespace
