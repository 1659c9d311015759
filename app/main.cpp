#include <iostream>

#include "app/command_line.h"
#include "app/console.h"
#include "app/dates.h"
#include "app/design_texts.h"
#include "platform/broken_pipe.h"
#include "platform/console_colour.h"
#include "platform/lease_signal.h"
#include "platform/storage_lock.h"
#include "platform/run_clock.h"
#include "platform/unicode_run.h"
#include "repair/repair_driver.h"
#include "app/run_summary.h"
#include "storage/conversion.h"
#include "storage/nothing_done.h"
#include "storage/reversion.h"
#include "storage/template_database.h"

namespace {

void PrintElapsedTime(std::int64_t startMilliseconds) {
    platform::SetConsoleColour(platform::kColourHeading);
    const double seconds = static_cast<double>(platform::RunClockMilliseconds() - startMilliseconds) / 1000.0;
    std::cout << design_texts::RepairedCompletelyLine(seconds) << std::endl;
    platform::SetConsoleColour(platform::kColourDefault);
}

// The truth, said before the design's closing line that says all is well.
void PrintRepairSummary(RunSummary& summary, const CommandLineOptions& options) {
    summary.boundNotes = BoundNotes(options.beginDate, options.endDate);
    if (!summary.RepairRoadMetAnything() && summary.nothingDone.empty()) {
        summary.nothingDone =
            WhyNothingWasDone(options.recordingPath, options.beginDate, options.endDate, summary.dayFoldersInRange);
    }
    console::WriteLine(RepairSummaryLine(summary));
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::int64_t start = platform::RunClockMilliseconds();
    // Before anything is printed or any path is made.
    const platform::UnicodeRun unicode(argc, argv);
    platform::IgnoreBrokenPipe();
    platform::IgnoreLeaseBreaks();
    console::PrintBanner();
    console::PrintTitle();

    CommandLineOptions options;
    options.beginDate = UnsetDate;
    options.endDate = UnsetDate;
    ParseCommandLine(options, argc, argv);

    // Two runs on one storage would set each other's databases aside and
    // write every row twice.
    platform::StorageLock storageLock;
    if (storageLock.Acquire(options.recordingPath) == platform::StorageLock::Outcome::HeldByAnotherRun) {
        console::WriteLine(design_texts::StorageInUseLine(options.recordingPath));
        return 0;
    }

    RunSummary summary;
    // The placement tells the repair what this run placed: only that is written.
    PlacedDatabases placed;
    if (options.revert) {
        RevertDirectoryStructure(options.recordingPath, options.beginDate, options.endDate, summary);
        return 0;
    }
    if (options.databaseOnly) {
        CopyTemplateDB(options.recordingPath, options.beginDate, options.endDate, summary, placed);
    } else {
        ConvertDirectoryStructure(options.recordingPath, options.beginDate, options.endDate, summary, placed);
    }
    RepairStorage(options.recordingPath, options.beginDate, options.endDate, summary, placed);
    PrintRepairSummary(summary, options);
    PrintElapsedTime(start);
    return 0;
}
