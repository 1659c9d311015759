#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/run_summary.h"
#include "repair/db_interface.h"
#include "repair/recorder_zone.h"
#include "storage/placed_databases.h"

// Rebuilds the rows of one location folder of one day: reads the times of
// every recording, groups recordings that follow one another into intervals,
// and writes one MediaFileDiskMap row per readable recording and one
// TimeInterval row per interval into <location>/<day>.db through the plug-in,
// only where placed says this run's placement installed that database.
// files: full paths, non-empty, in ascending MFSerial order. Every outcome is
// reported on standard output; exceptions that are not about one file pass
// to the caller. fileStarted is told before each recording is read, so that a
// read-ahead can follow the indexing, and fileDone after it, for progress.
// What it wrote and left, and why, goes to the summary, and the offsets its
// recordings show to the zones.
void ParseFilesADay(const std::vector<std::string>& files, const std::string& locationPath,
                    const DbInterfaceTable& table, const PlacedDatabases& placed,
                    const std::function<void()>& fileStarted, const std::function<void()>& fileDone,
                    RunSummary& summary, RecorderZones& zones);
