#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

#include "app/run_summary.h"
#include "platform/folder.h"
#include "storage/location_day_files.h"
#include "storage/placed_databases.h"
#include "storage/template_source.h"

// The routine a caller of the placement names in the placement's lines, and
// whether a successful copy is reported at all.
struct TemplateCopyTexts {
    std::string routine;
    bool reportSuccess;
};

extern const TemplateCopyTexts kCopyTemplateDBTexts;
extern const TemplateCopyTexts kConvertDirectoryStructureTexts;

// One location-day's database: its held folder, its name there, and the path
// the messages print (as the operator gave the storage).
struct PlacementTarget {
    const platform::Folder& folder;
    std::string name;
    boost::filesystem::path shown;
};

// Where a database found in place goes when a fresh copy takes its name.
// One rule decides: a move may only go to a name that keeps more of the
// recorder's data.
//
//   <date>.db in place       <date>.db.old          goes to
//   missing                  any                    nothing moves
//   unmarked (recorder's)    missing                <date>.db.old
//   unmarked (recorder's)    marked or unmarked     <date>.db.old, replacing it
//   marked (an earlier run)  any                    <date>.db.prev, replacing it
//   unmarked, and the template cannot be marked:
//                            present                <date>.db.prev, replacing it
//
// A database placed before copies were marked reads as unmarked: it cannot
// be told apart from the recorder's.
BackupName BackupFor(bool databaseMarked, bool oldPresent, bool templateMarks);

// The placements of one road: the template read at its start, and what the
// road reports once at its end.
class TemplatePlacement {
public:
    // Why a location-day's database was left as it was goes to the summary;
    // what was installed goes to placed, for the run's indexing.
    TemplatePlacement(TemplateSource source, const TemplateCopyTexts& texts, RunSummary& summary,
                      PlacedDatabases& placed);

    // Prepares the copy beside the target, sets a database in place aside and
    // installs the copy. Without a template, nothing is set aside.
    void Place(const PlacementTarget& target);

    // Placement in two steps, for a folder that is about to move: the
    // complete copy is prepared beside the future target and travels with
    // its folder, so that a run interrupted after the move can still finish
    // it. False when the copy could not be prepared (reported; nothing moved).
    bool Prepare(const PlacementTarget& target);
    void Discard(const PlacementTarget& target);
    void PlacePrepared(const PlacementTarget& target);
    // Finishes a placement that a killed or failed run prepared but did not
    // complete; does nothing where none is pending.
    void FinishInterrupted(const PlacementTarget& target);

    // A target whose folder could not be reached reports the copy as failed.
    void ReportUnreachable(const boost::filesystem::path& shown, int error) const;

    // Says how many databases were left because whether another process had
    // them open could not be told.
    void ReportUnjudged() const;

private:
    enum class Leftovers { None, PreparedCopy, NotOurs };
    Leftovers CheckLeftovers(const PlacementTarget& target) const;
    BackupName BackupFor(const PlacementTarget& target, bool marked) const;
    bool CompleteInterruptedSwap(const PlacementTarget& target);
    int WritePreparedCopy(const PlacementTarget& target) const;
    void Install(const PlacementTarget& target);
    bool SetAsideAndInstall(const PlacementTarget& target);
    void ReportCopyFailure(const boost::filesystem::path& shown, int error, const std::string& reason) const;
    void ReportNotOurs(const PlacementTarget& target, const std::string& name) const;
    void NoteLeft(const boost::filesystem::path& shown, const std::string& reason) const;

    TemplateSource source_;
    const TemplateCopyTexts& texts_;
    RunSummary& summary_;
    PlacedDatabases& placed_;
    unsigned unjudged_ = 0;
    std::string refusal_;  // why the last set-aside did not happen
};
