// The texts themselves. Byte-exact: read design_texts.h before changing one.

#include "app/design_texts.h"

#include <algorithm>
#include <sstream>

#include "app/console.h"

namespace design_texts {

namespace {

std::string WithCode(const std::string& text, std::int32_t code) {
    std::ostringstream line;
    line << text;
    console::WriteCode(line, code);
    return line.str();
}

}  // namespace

const char kTitle[] = "Orvalis Tolvane2";

std::string RepairedCompletelyLine(double elapsedSeconds) {
    std::ostringstream line;
    line << "Congratulation! The database have repaired completely. elapsed time: " << elapsedSeconds << " s";
    return line.str();
}

std::string StorageInUseLine(const std::string& storagePath) {
    return "Tolvane2 - StoragePath is in use by another run: " + storagePath;
}

const char kOptionTableCaption[] = "converter command line";
const char kHelpOptionText[] = "help message";
const char kPathOptionText[] = "recording path";
const char kBeginOptionText[] = "begin date";
const char kEndOptionText[] = "end date";
const char kDatabaseOnlyOptionText[] = "Repair database only(for new Directory Structure).";
const char kRevertOptionText[] = "Revert to the old Directory Structure and remove the sqlite database.";
const char kVerboseOptionText[] = "Show detail progress. 0 = Disable, 1 = Normal(default), 2 = Detail(for debug only)";

const char* const kHelpItems[6] = {
    "usage:\n   Tolvane2.exe -p RECORDING_PATH",
    "example 1:\n   Tolvane2.exe -p \"C:\\Record\" -b \"2012-03-03\" -e \"2012-03-07\"",
    "example 2:\n   Tolvane2.exe -p \"D:\\Rec\"  -o -v 2",
    "example 3:\n   Tolvane2.exe -p \"D:\\Rec\"  -r -b \"2012-03-03\"",
    "PS:\n  old Directory Structure EX: D:\\Rec\\1\\2012-03-03  ",
    "PS:\n  new Directory Structure EX: D:\\Rec\\2012-03-03\\1  ",
};

std::string InvalidParametersLine(const std::string& what) { return "Invalid parameters got exception: " + what; }

const char kParsingFailed[] = "Parsing parameter failed.";

std::string RecordingPathLine(const std::string& path) { return "Recording path: " + path; }
std::string BeginDateLine(const std::string& date) { return "Begin date: " + date; }
std::string EndDateLine(const std::string& date) { return "End date: " + date; }

const char kDatabaseOnlyEcho[] = "Repair database only";
const char kRevertEcho[] = "Revert path";

const char* VerboseEcho(unsigned level) {
    if (level == 0) return "Show no progress";
    if (level == 1) return "Show normal progress";
    return "Show detail progress";
}

const char kNullDateArgument[] = "MatchDateFormat - input argument is null";

const char kCopyTemplateDB[] = "CopyTemplateDB";
const char kConvertDirectoryStructure[] = "ConvertDirectoryStructure";
const char kRevertDirectoryStructure[] = "RevertDirectoryStructure";
const char kRepairStorage[] = "RepairStorage";
const char kRepairLocADay[] = "RepairLocADay";

const char kRenameCall[] = "boost::filesystem::rename";
const char kRemoveCall[] = "boost::filesystem::remove";
const char kCopyFileCall[] = "boost::filesystem::copy_file";

std::string StdExceptionLine(const std::string& routine, const std::string& what) {
    return routine + " - got std::exception: " + what;
}

std::string UnknownExceptionLine(const std::string& routine) { return routine + " - got exception"; }

std::string CapitalStdExceptionLine(const std::string& routine, const std::string& what) {
    return routine + " - got std::Exception: " + what;
}

const char kCopyTemplateHeading[] = "Copy the template DB:";
const char kConvertHeading[] = "Convert the directory structure:";
const char kRevertHeading[] = "Reverting the directory structure:";

std::string NotValidDirectoryLine(const std::string& routine) {
    return routine + " - StoragePath is not valid directory";
}

std::string ProcessingPathLine(const std::string& path) { return "Processing Path: " + path + " structure"; }

const char kRevertFilesInUse[] = "RevertDirectoryStructure - some files are in use!";

std::string NotEmptyLine(const std::string& dayFolder) {
    return "RevertDirectoryStructure - directory: " + dayFolder + "is not empty";
}

std::string CannotRemoveLine(const std::string& dayFolder) {
    return "RevertDirectoryStructure - Cannot remove the directory:" + dayFolder;
}

const char kNothingToRevert[] = "Cannot find any proper path to revert.";

std::string RevertedLine(unsigned long handled) {
    return "Congratulation! Revert [" + std::to_string(handled) + "] path(s) successfully.";
}

std::string TemplateCopyFailureLine(const std::string& routine, const std::string& what) {
    return routine + " - copy dbtemplate.db got std::exception: " + what;
}

std::string RemoveExistedFailureLine(const std::string& what) {
    return "CopyTemplateDB - remove existed got std::exception: " + what;
}

std::string LockedLine(const std::string& database) { return database + "or" + database + ".old" + "is locked!"; }

std::string TemplateCopiedLine(const std::string& database) { return "Copy template.db to " + database; }

std::string UnmarkableTemplateLine(const std::string& routine, const std::string& templatePath,
                                   std::uint32_t ownApplicationId) {
    std::ostringstream line;
    line << routine << " - " << templatePath;
    if (ownApplicationId != 0) {
        line << " carries an application id of its own (0x" << std::hex << ownApplicationId << std::dec << ")";
    } else {
        line << " is not an SQLite database";
    }
    line << ": its copies cannot be told from the recorder's databases, so no existing .db.old is replaced";
    return line.str();
}

std::string NotOurCopyLine(const std::string& routine, const std::string& path) {
    return routine + " - " + path + " is in the way and is not the tool's own copy: the location-day is left as it was";
}

std::string UnjudgedLine(const std::string& routine, unsigned count) {
    return routine + " - " + std::to_string(count) +
           " day database(s) left as they were: whether another process has them open cannot be told here"
           " (run as their owner, or stop the recorder)";
}

std::string LoadPluginFailedLine(std::int32_t code) { return WithCode("Load Strata failed scRet: 0x", code); }

std::string ProcessingDateLine(const std::string& day) { return "Processing Date: " + day; }

std::string ParseFailedLine(const std::string& recording) { return "ParseFilesADay - parse: " + recording + " failed"; }

std::string ParseStdExceptionLine(const std::string& recording, const std::string& what) {
    return "ParseFilesADay - parse: " + recording + " got std::exception: " + what;
}

std::string ParseExceptionLine(const std::string& recording) {
    return "ParseFilesADay - parse: " + recording + " got exception";
}

std::string IntervalInsertFailedLine(std::uint32_t intervalSerial, std::int32_t code) {
    return WithCode(
        "ParseFilesADay - insert into NO." + std::to_string(intervalSerial) + " timeinterval failed scRet: ", code);
}

std::string FileInsertFailedLine(const std::string& recording, std::int32_t code) {
    return WithCode("ParseFilesADay - insert into " + recording + " mediafilediskmap scRet: 0x", code);
}

std::string InitConnectionFailedLine(std::int32_t code) { return WithCode("Init DB connection failed scRet: ", code); }

std::string ConnectFailedLine(const std::string& database, std::int32_t code) {
    return WithCode("Connect DB: " + database + " failed scRet: 0x", code);
}

std::string DisconnectFailedLine(const std::string& database, std::int32_t code) {
    return WithCode("ParseFilesADay - disconnect " + database + " failed scRet: 0x", code);
}

std::string NotReplacedLine(const std::string& database) {
    return "ParseFilesADay - " + database + " was not replaced in this run, left as it was";
}

std::string BeingRecordedLine(const std::string& routine, const std::string& path, std::int64_t secondsAgo) {
    // A write a little ahead of this clock still counts as now.
    return routine + " - " + path + " is being recorded (last written " +
           std::to_string(std::max<std::int64_t>(secondsAgo, 0)) +
           " s ago), left as it was: run again when the recorder has finished this day, or stop the recorder first";
}

std::string ClockSkewedLine(const std::string& routine, const std::string& path) {
    return routine + " - " + path +
           " holds files written more than 2 minutes ahead of this machine's clock: the clocks look skewed";
}

std::string RecorderWroteLine(const std::string& database) {
    return "ParseFilesADay - the recorder wrote into " + database +
           " during the run: no more rows written there; run again when it is idle";
}

std::string FoldersNotOwnedLine(const std::string& routine, unsigned count) {
    return routine + " - " + std::to_string(count) +
           " folder(s) made without the owner or mode of the folder they were made for: this account may not "
           "set them (run as root, or as the recorder's account)";
}

std::string IsomOpenFailedLine(const std::string& path, const std::string& what) {
    return "CParsers::CParsers - isom parser open file: " + path + " failed: " + what;
}

std::string IsomReadFailedLine(const std::string& what) { return "CParsers::Read - isom parser Read failed: " + what; }

std::string IsomReadBackwardFailedLine(const std::string& what) {
    return "CParsers::ReadBackward - isom parser ReadBackward failed: " + what;
}

std::string LiveReadFailedLine(std::int32_t code) {
    return WithCode("CParsers::Read - ViewWhileRec_OutputRawPacket failed scRet: 0x ", code);
}

std::string LiveSeekFailedLine(std::int32_t code) {
    return WithCode("CParsers::SeekBackward - ViewWhileRec_Seek failed scRet: 0x", code);
}

std::string LiveReadBackwardFailedLine(std::int32_t code) {
    return WithCode("CParsers::ReadBackward - ViewWhileRec_OutputRawPacket failed scRet: 0x ", code);
}

}  // namespace design_texts
