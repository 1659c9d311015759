// Tolvane2Audit: says what a storage holds and what a repair would change,
// without changing anything.

#include <boost/nowide/fstream.hpp>
#include <ctime>
#include <iostream>

#include "app/dates.h"
#include "app/progress.h"
#include "audit/audit_command_line.h"
#include "audit/html_report.h"
#include "audit/json_report.h"
#include "audit/storage_audit.h"
#include "audit/summary.h"
#include "platform/broken_pipe.h"
#include "platform/time_zone.h"
#include "platform/unicode_run.h"

namespace {

constexpr int kNoProblem = 0;
constexpr int kProblems = 1;
constexpr int kCannotRun = 2;

// The console's status line while the recordings are read; nothing unless
// standard error is a terminal.
class StatusLineProgress : public audit::AuditProgress {
public:
    void LocationStarted(const std::string& day, const std::string& location, std::size_t recordings) override {
        line_.LocationStarted(day, location, recordings);
    }
    void RecordingDone() override { line_.RecordingDone(); }
    void Finish() { line_.Finish(); }

private:
    WalkProgress line_;
};

bool WriteOutput(const std::string& file, const std::string& text) {
    boost::nowide::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) std::cerr << "Tolvane2Audit - cannot write " << file << std::endl;
    return static_cast<bool>(out);
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
            std::cerr << "Tolvane2Audit - " << error << "\n" << audit::AuditUsage() << std::flush;
            return kCannotRun;
        case audit::ParseOutcome::Run:
            break;
    }

    audit::AuditSettings settings;
    settings.gapSeconds = options.gapSeconds;
    settings.verify = options.verify;
    settings.now = static_cast<std::int64_t>(std::time(nullptr));
    settings.biasMinutes = platform::StandardBiasMinutes();
    StatusLineProgress progress;
    audit::Report report;
    const bool audited =
        audit::AuditStorage(options.path, DateRange(options.beginDate, options.endDate), settings, progress, report, error);
    progress.Finish();
    if (!audited) {
        std::cerr << "Tolvane2Audit - cannot read the storage " << options.path << ": " << error << std::endl;
        return kCannotRun;
    }

    audit::WriteSummary(report, std::cout);
    std::cout << std::flush;
    bool written = true;
    if (!options.jsonFile.empty()) written = WriteOutput(options.jsonFile, audit::JsonReport(report)) && written;
    if (!options.htmlFile.empty()) written = WriteOutput(options.htmlFile, audit::HtmlReport(report)) && written;
    if (!written) return kCannotRun;
    return report.ProblemCount() == 0 ? kNoProblem : kProblems;
}
