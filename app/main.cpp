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
#include "storage/conversion.h"
#include "storage/reversion.h"
#include "storage/template_database.h"

namespace {

void PrintElapsedTime(std::int64_t startMilliseconds) {
    platform::SetConsoleColour(platform::kColourHeading);
    const double seconds = static_cast<double>(platform::RunClockMilliseconds() - startMilliseconds) / 1000.0;
    std::cout << design_texts::RepairedCompletelyLine(seconds) << std::endl;
    platform::SetConsoleColour(platform::kColourDefault);
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

    if (options.revert) {
        RevertDirectoryStructure(options.recordingPath, options.beginDate, options.endDate);
        return 0;
    }
    if (options.databaseOnly) {
        CopyTemplateDB(options.recordingPath, options.beginDate, options.endDate);
    } else {
        ConvertDirectoryStructure(options.recordingPath, options.beginDate, options.endDate);
    }
    RepairStorage(options.recordingPath, options.beginDate, options.endDate);
    PrintElapsedTime(start);
    return 0;
}
