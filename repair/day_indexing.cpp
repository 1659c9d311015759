#include "repair/day_indexing.h"

#include <algorithm>
#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <optional>
#include <vector>

#include "app/console.h"
#include "app/design_texts.h"
#include "platform/time_zone.h"
#include "repair/day_database.h"
#include "repair/day_database_access.h"
#include "repair/file_times.h"
#include "repair/index_rows.h"
#include "repair/recording_name.h"
#include "storage/location_day_files.h"
#include "storage/recorder_folders.h"
#include "storage/storage_folders.h"

namespace fs = boost::filesystem;

namespace {

const char* ReasonUnread(RecordingRead read) {
    switch (read) {
        case RecordingRead::NotOpened:
            return "bad format";
        case RecordingRead::NoFirstPacket:
            return "no first packet";
        case RecordingRead::NoLastPacket:
            return "no last packet";
        case RecordingRead::Read:
            break;
    }
    return "unread";
}

// Reads one recording's times; says why on standard output when it cannot,
// and counts the reason.
bool ReadTimesOrReport(FileTimes& times, const std::string& path, long biasMinutes, Reasons& unread) {
    try {
        const RecordingRead read = ReadRecordingTimes(times, path, biasMinutes);
        if (read == RecordingRead::Read) return true;
        console::WriteLine(design_texts::ParseFailedLine(path));
        unread.Add(ReasonUnread(read));
    } catch (const std::exception& e) {
        console::WriteLine(design_texts::ParseStdExceptionLine(path, e.what()));
        unread.Add("bad name or data");
    } catch (...) {
        console::WriteLine(design_texts::ParseExceptionLine(path));
        unread.Add("bad name or data");
    }
    return false;
}

struct ReadableRecording {
    const std::string* path;
    FileTimes times;
};

// The recorder leaves this folder beside daylight-saving recordings; a
// failure to create it does not make the recordings unreadable. The location
// folder is reached from the storage's handle, so that a folder swapped for a
// link meanwhile gets no marker outside the storage.
void MakeDaylightSavingMarkerFolder(const fs::path& locationFolder) {
    const fs::path day = locationFolder.parent_path();
    int error = 0;
    const platform::Folder storage = OpenStorageFolder(day.parent_path(), error);
    if (error != 0) return;
    const platform::Folder location =
        OpenBeneath(storage, {day.filename().string(), locationFolder.filename().string()}, error);
    if (error == 0 && location.Facts(kDaylightSavingMarker).kind == platform::EntryKind::Missing) {
        MakeFolderForRecorder(location, kDaylightSavingMarker, location.OwnFacts());
    }
}

// Reads every recording of a location-day before any row is written, so that
// the rows go to the database back to back and its lock is held only briefly.
std::vector<ReadableRecording> ReadRecordings(const std::vector<std::string>& files, long biasMinutes,
                                              const std::function<void()>& fileStarted,
                                              const std::function<void()>& fileDone, Reasons& unread) {
    std::vector<ReadableRecording> readable;
    // Sized once: growing it would hold two copies at once, the peak memory
    // of a location of a hundred thousand recordings.
    readable.reserve(files.size());
    for (const std::string& path : files) {
        fileStarted();
        FileTimes times;
        if (ReadTimesOrReport(times, path, biasMinutes, unread)) readable.push_back({&path, times});
        fileDone();
    }
    return readable;
}

// Writes the rows of one location-day while the recordings pass through it
// in serial order. The open interval takes its start from its first
// recording and its end from the last one that joined it.
class IntervalRows {
public:
    IntervalRows(DayDatabase& database, std::uint16_t recordZone, std::uint16_t cameraZone)
        : database_(database), recordZone_(recordZone), cameraZone_(cameraZone) {}

    void Add(const std::string& path, const FileTimes& file) {
        if (!open_) {
            open_ = file;
        } else if (JoinsInterval(*open_, file)) {
            open_->recordEnd = file.recordEnd;
            open_->cameraEnd = file.cameraEnd;
        } else {
            CloseInterval();
            ++intervalSerial_;
            open_ = file;
        }
        WriteFileRow(path, file);
    }

    // The last interval is written once every recording has been seen.
    void Finish() {
        if (open_) CloseInterval();
        open_.reset();
    }

    // The recorder wrote into the database since this run placed it: no
    // statement was executed after that was found.
    bool RecorderWrote() const { return recorderWrote_; }
    unsigned long FileRows() const { return fileRows_; }
    // Rows whose insert failed: recordings without a row, and intervals.
    const Reasons& FailedFiles() const { return failedFiles_; }
    bool AnyFailed() const { return failedFiles_.Total() > 0 || failedIntervals_ > 0; }

private:
    // 0, a statement's failure, or nothing executed once the recorder wrote.
    std::int32_t Execute(const std::string& statement) {
        if (recorderWrote_) return 0;
        const std::int32_t code = database_.Execute(statement);
        recorderWrote_ = code == kOtherWriterCode;
        return recorderWrote_ ? 0 : code;
    }

    void CloseInterval() {
        const std::int32_t code = Execute(FormatTimeIntervalRow(intervalSerial_, *open_, recordZone_, cameraZone_));
        if (code != 0) {
            console::WriteLine(design_texts::IntervalInsertFailedLine(intervalSerial_, code));
            ++failedIntervals_;
        }
    }

    void WriteFileRow(const std::string& path, const FileTimes& file) {
        const std::int32_t code =
            Execute(FormatMediaFileDiskMapRow(GetFileSerial(path), intervalSerial_, RecordingFileName(path), file));
        if (code != 0) {
            console::WriteLine(design_texts::FileInsertFailedLine(path, code));
            failedFiles_.Add("insert failed");
        } else if (!recorderWrote_) {
            ++fileRows_;
        } else {
            failedFiles_.Add("recorder wrote");
        }
    }

    DayDatabase& database_;
    const std::uint16_t recordZone_;
    const std::uint16_t cameraZone_;
    std::uint32_t intervalSerial_ = 1;
    std::optional<FileTimes> open_;
    bool recorderWrote_ = false;
    unsigned long fileRows_ = 0;
    Reasons failedFiles_;
    unsigned failedIntervals_ = 0;
};

// What one location-day the repair wrote into came to.
void CountLocationDay(RunSummary& summary, std::size_t recordings, const IntervalRows& rows, const Reasons& unread,
                      bool recorderWrote, bool commitFailed) {
    summary.recordings += recordings;
    summary.rows += rows.FileRows();
    summary.withoutRow.Add(unread);
    summary.withoutRow.Add(rows.FailedFiles());
    if (recorderWrote) {
        summary.incomplete.Add("recorder wrote");
    } else if (commitFailed) {
        summary.incomplete.Add("commit failed");
    } else if (rows.AnyFailed()) {
        summary.incomplete.Add("insert failed");
    } else {
        ++summary.locationDaysRebuilt;
    }
}

// What the indexing does with one location-day, from what this run's
// placement did there.
enum class DayPlan {
    Write,               // this run placed the database: its rows are rebuilt
    LeaveBeingRecorded,  // the placement left it to the recorder and said so
    LeaveNotPlaced,      // not this run's, or not reachable without a link
    ConnectForMessage,   // none there: left, in the design's words of a failed connect
};

DayPlan PlanLocationDay(const DayDatabaseAccess& access, const PlacedDatabases& placed) {
    if (!access.Reached()) return DayPlan::LeaveNotPlaced;
    if (placed.WasLeftWhileRecorded(access.FolderIdentity())) return DayPlan::LeaveBeingRecorded;
    const platform::EntryFacts database = access.DatabaseFacts();
    if (database.kind == platform::EntryKind::Missing) return DayPlan::ConnectForMessage;
    const bool ours = database.kind == platform::EntryKind::RegularFile && placed.WasPlaced(database.identity);
    return ours ? DayPlan::Write : DayPlan::LeaveNotPlaced;
}

// Opens the plug-in's connection; false, said and counted, where nothing is
// to be written. A database known to be missing is connected to only for the
// design's message about it, and is left whatever the connect answers.
bool ConnectOrLeave(DayDatabase& database, const DayDatabaseAccess& access, DayPlan plan, RunSummary& summary) {
    std::int32_t code = database.Init();
    if (code != 0) {
        console::WriteLine(design_texts::InitConnectionFailedLine(code));
        summary.leftAsTheyWere.Add("plug-in failed");
        return false;
    }
    const std::string& shown = access.ShownPath();
    code = database.Connect(access.ConnectPath());
    if (code != 0) console::WriteLine(design_texts::ConnectFailedLine(shown, code));
    if (plan != DayPlan::Write) {
        summary.leftAsTheyWere.Add(summary.ReasonLeft(shown));
        return false;
    }
    if (code != 0) summary.leftAsTheyWere.Add("connect failed");
    return code == 0;
}

bool AnyDaylightSaving(const std::vector<ReadableRecording>& readable) {
    return std::any_of(readable.begin(), readable.end(),
                       [](const ReadableRecording& recording) { return recording.times.recordDLSaving == 1; });
}

}  // namespace

void ParseFilesADay(const std::vector<std::string>& files, const std::string& locationPath,
                    const DbInterfaceTable& table, const PlacedDatabases& placed,
                    const std::function<void()>& fileStarted, const std::function<void()>& fileDone,
                    RunSummary& summary, RecorderZones& zones) {
    const DayDatabaseAccess access(locationPath);
    const std::string& databasePath = access.ShownPath();
    // Decided once, before anything is read: only a database this run placed
    // is written, never one found in place (the recorder's, or an earlier
    // run's). A day left to the recorder was reported by the placement; any
    // other database left is said here.
    const DayPlan plan = PlanLocationDay(access, placed);
    if (plan == DayPlan::LeaveBeingRecorded) {
        summary.leftAsTheyWere.Add("being recorded");
        return;
    }
    if (plan != DayPlan::Write) console::WriteLine(design_texts::NotReplacedLine(databasePath));
    if (plan == DayPlan::LeaveNotPlaced) {
        summary.leftAsTheyWere.Add(summary.ReasonLeft(databasePath));
        return;
    }
    DayDatabase database(table);
    if (!ConnectOrLeave(database, access, plan, summary)) return;

    const long biasMinutes = platform::StandardBiasMinutes();
    const std::uint16_t recordZone = ZoneCode(biasMinutes);
    std::uint16_t cameraZone = recordZone;
    if (files.empty() || !ProbeCameraTimeZone(files.front(), cameraZone)) {
        cameraZone = recordZone;
    } else {
        zones.AddCameraZone(cameraZone);
    }

    Reasons unread;
    const std::vector<ReadableRecording> readable = ReadRecordings(files, biasMinutes, fileStarted, fileDone, unread);
    if (AnyDaylightSaving(readable)) MakeDaylightSavingMarkerFolder(fs::path(locationPath));
    IntervalRows rows(database, recordZone, cameraZone);
    for (const ReadableRecording& recording : readable) {
        zones.AddRecording(recording.times);
        rows.Add(*recording.path, recording.times);
    }
    rows.Finish();

    // A failed final commit loses rows: say so, so that the operator runs again.
    const std::int32_t code = database.Disconnect();
    const bool recorderWrote = code == kOtherWriterCode || rows.RecorderWrote();
    if (recorderWrote) {
        console::WriteLine(design_texts::RecorderWroteLine(databasePath));
    } else if (code != 0) {
        console::WriteLine(design_texts::DisconnectFailedLine(databasePath, code));
    }
    CountLocationDay(summary, files.size(), rows, unread, recorderWrote, code != 0 && !recorderWrote);
}
