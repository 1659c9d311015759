#pragma once

// The console texts of the tool's roads, in one place. They are byte-exact by
// design, quirks included, and the test suite pins them: do not correct them.
// Quirks that look like slips but are not:
//   - "<db>or<db>.oldis locked!": no spaces around "or" nor before "is";
//   - "directory: <path>is not empty": no space before "is";
//   - "got std::Exception" (capital E) where the conversion cannot prepare a
//     template copy or move a folder, "got std::exception" everywhere else;
//   - "File exists" as the reason of any template copy that was not installed,
//     whatever kept it out (the caller passes EEXIST on purpose);
//   - "Copy template.db to", though the template is dbtemplate.db;
//   - Tolvane2.exe -p "C:\Record" and D:\Rec in the help on every platform;
//   - "Congratulation! The database have repaired completely.";
//   - "scRet: 0x " with a space before a reader's code, and no "0x" before
//     some codes.
// A few lines are this tool's own, beyond the design's (marked below); they
// are pinned the same way.
//
// Lines that carry names are composed here from their parts; the callers only
// write them out.

#include <cstdint>
#include <string>

namespace design_texts {

// Start-up and the end of a repair.
extern const char kTitle[];
std::string RepairedCompletelyLine(double elapsedSeconds);
// This tool's own: a second run on one storage.
std::string StorageInUseLine(const std::string& storagePath);

// The command line: the option table, the help and the echo of each option.
extern const char kOptionTableCaption[];
extern const char kHelpOptionText[];
extern const char kPathOptionText[];
extern const char kBeginOptionText[];
extern const char kEndOptionText[];
extern const char kDatabaseOnlyOptionText[];
extern const char kRevertOptionText[];
extern const char kVerboseOptionText[];
// Each followed by two line ends.
extern const char* const kHelpItems[6];
std::string InvalidParametersLine(const std::string& what);
extern const char kParsingFailed[];
std::string RecordingPathLine(const std::string& path);
std::string BeginDateLine(const std::string& date);
std::string EndDateLine(const std::string& date);
extern const char kDatabaseOnlyEcho[];
extern const char kRevertEcho[];
const char* VerboseEcho(unsigned level);
extern const char kNullDateArgument[];

// The routines that name themselves at the start of their lines.
extern const char kCopyTemplateDB[];
extern const char kConvertDirectoryStructure[];
extern const char kRevertDirectoryStructure[];
extern const char kRepairStorage[];
extern const char kRepairLocADay[];

// The calls a failed file operation names: its line carries the filesystem
// error's own text, which begins with the call.
extern const char kRenameCall[];
extern const char kRemoveCall[];
extern const char kCopyFileCall[];

// "<routine> - got std::exception: <what>" and "<routine> - got exception".
std::string StdExceptionLine(const std::string& routine, const std::string& what);
std::string UnknownExceptionLine(const std::string& routine);
// "<routine> - got std::Exception: <what>".
std::string CapitalStdExceptionLine(const std::string& routine, const std::string& what);

// The roads' headings, and a storage path that is no folder.
extern const char kCopyTemplateHeading[];
extern const char kConvertHeading[];
extern const char kRevertHeading[];
std::string NotValidDirectoryLine(const std::string& routine);

// Conversion and reversion.
std::string ProcessingPathLine(const std::string& path);
extern const char kRevertFilesInUse[];
std::string NotEmptyLine(const std::string& dayFolder);
std::string CannotRemoveLine(const std::string& dayFolder);
extern const char kNothingToRevert[];
std::string RevertedLine(unsigned long handled);

// Template placement.
std::string TemplateCopyFailureLine(const std::string& routine, const std::string& what);
std::string RemoveExistedFailureLine(const std::string& what);
std::string LockedLine(const std::string& database);
std::string TemplateCopiedLine(const std::string& database);
// This tool's own: a template that cannot mark its copies (an application id
// of 0 says it is no SQLite database), something else under the tool's working
// names, and databases whose users could not be told.
std::string UnmarkableTemplateLine(const std::string& routine, const std::string& templatePath,
                                   std::uint32_t ownApplicationId);
std::string NotOurCopyLine(const std::string& routine, const std::string& path);
std::string UnjudgedLine(const std::string& routine, unsigned count);

// The repair walk and the indexing of a location-day.
std::string LoadPluginFailedLine(std::int32_t code);
std::string ProcessingDateLine(const std::string& day);
std::string ParseFailedLine(const std::string& recording);
std::string ParseStdExceptionLine(const std::string& recording, const std::string& what);
std::string ParseExceptionLine(const std::string& recording);
std::string IntervalInsertFailedLine(std::uint32_t intervalSerial, std::int32_t code);
std::string FileInsertFailedLine(const std::string& recording, std::int32_t code);
std::string InitConnectionFailedLine(std::int32_t code);
std::string ConnectFailedLine(const std::string& database, std::int32_t code);
std::string DisconnectFailedLine(const std::string& database, std::int32_t code);
// This tool's own: a day database this run did not place is not written.
std::string NotReplacedLine(const std::string& database);

// This tool's own: beside a recorder that is recording. What is being
// recorded is left as it was; files dated ahead of the machine's clock are
// no sign of recording; a recorder that wrote into a database this run
// placed stops the rows there; folders the tool made that it could not give
// the recorder's account.
std::string BeingRecordedLine(const std::string& routine, const std::string& path, std::int64_t secondsAgo);
std::string ClockSkewedLine(const std::string& routine, const std::string& path);
std::string RecorderWroteLine(const std::string& database);
std::string FoldersNotOwnedLine(const std::string& routine, unsigned count);

// The parser facade, on standard error.
std::string IsomOpenFailedLine(const std::string& path, const std::string& what);
std::string IsomReadFailedLine(const std::string& what);
std::string IsomReadBackwardFailedLine(const std::string& what);
std::string LiveReadFailedLine(std::int32_t code);
std::string LiveSeekFailedLine(std::int32_t code);
std::string LiveReadBackwardFailedLine(std::int32_t code);

}  // namespace design_texts
