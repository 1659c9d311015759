// Tolvane2Audit: says what a storage holds and what a repair would change,
// without changing anything.

#include <boost/filesystem/operations.hpp>
#include <ctime>
#include <iostream>

#include "app/dates.h"
#include "app/printable_text.h"
#include "app/progress.h"
#include "audit/audit_command_line.h"
#include "audit/earlier_audit.h"
#include "audit/html_report.h"
#include "audit/json_report.h"
#include "audit/report_outputs.h"
#include "audit/storage_audit.h"
#include "audit/summary.h"
#include "platform/broken_pipe.h"
#include "platform/storage_lock.h"
#include "platform/time_zone.h"
#include "platform/unicode_run.h"

namespace {

constexpr int kNoProblem = 0;
constexpr int kProblems = 1;
constexpr int kCannotRun = 2;
constexpr int kRepairRunning = 3;

// The console's status line while the recordings are read; nothing unless
// standard error is a terminal.
class StatusLineProgress : public audit::AuditProgress {
public:
    void StorageStarted(std::size_t locationDays) override { line_.StorageStarted(locationDays); }
    void LocationStarted(const std::string& day, const std::string& location, std::size_t recordings) override {
        line_.LocationStarted(day, location, recordings);
    }
    void RecordingDone() override { line_.RecordingDone(); }
    void Finish() { line_.Finish(); }

private:
    WalkProgress line_;
};

// One line of the audit's own on standard error; names in it are shown safely.
void ReportError(const std::string& text) {
    std::cerr << console::PrintableText("Tolvane2Audit - " + text) << std::endl;
}

// Why no location-day was judged, or empty when some were.
std::string WhyNothingJudged(const audit::Report& report, const audit::AuditOptions& options) {
    if (!report.locationDays.empty()) return {};
    if (report.dayFolders == 0) {
        return "no day folder under " + options.path + ": is the disk mounted, is this the storage folder?";
    }
    const std::string bounds = BoundsText(options.beginDate, options.endDate);
    if (report.dayFoldersInRange == 0) {
        return "no day folder " + bounds + "; the storage holds " + report.firstDay +
               (report.lastDay != report.firstDay ? " ... " + report.lastDay : std::string()) + " (" +
               std::to_string(report.dayFolders) + (report.dayFolders == 1 ? " day folder)" : " day folders)");
    }
    return "no location folder in the " + std::to_string(report.dayFoldersInRange) +
           (report.dayFoldersInRange == 1 ? " day folder" : " day folders") + (bounds.empty() ? "" : " " + bounds) +
           " under " + options.path;
}

// While a repair runs, what the audit would judge changes under it: it says
// so, writes the JSON with repair_running and nothing judged, and leaves a
// page as it was.
int RepairRunning(audit::Report& report, std::vector<audit::ReportOutput>& outputs,
                  const audit::AuditOptions& options) {
    ReportError("a repair is running on " + options.path + " now: nothing judged; audit again once it has ended");
    report.repairRunning = true;
    for (audit::ReportOutput& output : outputs) {
        if (output.given != options.jsonFile) continue;
        std::string error;
        if (!audit::WriteReportOutput(output, audit::JsonReport(report), error)) ReportError(error);
    }
    return kRepairRunning;
}

}  // namespace

int main(int argc, char* argv[]) {
    const platform::UnicodeRun unicode(argc, argv);
    platform::IgnoreBrokenPipe();

    audit::AuditOptions options;
    options.beginDate = UnsetDate;
    options.endDate = UnsetDate;
    std::string error;
    switch (audit::ParseAuditCommandLine(argc, argv, options, error)) {
        case audit::ParseOutcome::Help:
            std::cout << audit::AuditUsage();
            return kNoProblem;
        case audit::ParseOutcome::Version:
            std::cout << "Tolvane2Audit " << TOLVANE2_VERSION << std::endl;
            return kNoProblem;
        case audit::ParseOutcome::UsageError:
            ReportError(error);
            std::cerr << audit::AuditUsage() << std::flush;
            return kCannotRun;
        case audit::ParseOutcome::Run:
            break;
    }

    // Every output is judged and opened before anything is read, so that a
    // refused one costs nothing and a long audit never ends unable to write.
    std::vector<audit::ReportOutput> outputs;
    if (!audit::PrepareOutputs(options.path, {options.jsonFile, options.htmlFile, options.acceptAllFile}, outputs,
                               error)) {
        ReportError(error);
        return kCannotRun;
    }
    // So are the earlier audit and the accepted problems.
    boost::system::error_code unresolved;
    const std::string canonical = boost::filesystem::canonical(options.path, unresolved).string();
    audit::KnownProblems earlier, accepted;
    const auto read = [&](const std::string& file, audit::KnownProblems& known) {
        return file.empty() || audit::ReadKnownProblems(file, options.path, canonical, known, error);
    };
    if (!read(options.compareFile, earlier) || !read(options.baselineFile, accepted)) {
        ReportError(error);
        return kCannotRun;
    }
    // Standard output may carry a report; the console's account then goes to standard error.
    const bool reportToStandardOutput =
        options.jsonFile == "-" || options.htmlFile == "-" || options.acceptAllFile == "-";
    std::ostream& console = reportToStandardOutput ? std::cerr : std::cout;

    audit::AuditSettings settings;
    settings.gapSeconds = options.gapSeconds;
    settings.verify = options.verify;
    settings.now = static_cast<std::int64_t>(std::time(nullptr));
    settings.biasMinutes = platform::StandardBiasMinutes();
    settings.maxGapSeconds = options.maxGapSeconds;
    settings.maxGapByLocation = options.maxGapByLocation;
    settings.eventLocations = options.eventLocations;
    audit::Report report;
    report.storage = options.path;
    report.storageCanonical = canonical.empty() ? options.path : canonical;
    report.arguments = options.arguments;
    report.auditedAt = settings.now;
    report.biasMinutes = settings.biasMinutes;
    report.gapSeconds = settings.gapSeconds;
    if (platform::StorageLockHeld(options.path)) return RepairRunning(report, outputs, options);

    StatusLineProgress progress;
    const bool audited = audit::AuditStorage(options.path, DateRange(options.beginDate, options.endDate), settings,
                                             progress, report, error);
    progress.Finish();
    if (!audited) {
        ReportError("cannot read the storage " + options.path + ": " + error);
        return kCannotRun;
    }
    const std::string nothingJudged = WhyNothingJudged(report, options);
    if (!nothingJudged.empty()) {
        ReportError(nothingJudged);
        return kCannotRun;
    }

    if (!options.compareFile.empty()) audit::CompareWithEarlier(report, earlier, options.compareFile);
    if (!options.baselineFile.empty()) audit::ApplyBaseline(report, accepted);

    audit::WriteSummary(report, console);
    console << std::flush;
    bool written = true;
    for (audit::ReportOutput& output : outputs) {
        const std::string text = output.given == options.jsonFile   ? audit::JsonReport(report)
                                 : output.given == options.htmlFile ? audit::HtmlReport(report)
                                                                    : audit::AcceptedProblemsJson(report);
        if (!audit::WriteReportOutput(output, text, error)) {
            ReportError(error);
            written = false;
        }
    }
    if (!written) return kCannotRun;
    return report.OpenProblemCount() == 0 ? kNoProblem : kProblems;
}
