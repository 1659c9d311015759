#include "app/next_steps.h"

namespace {

// The audit's problem kinds first, in the order it reports them, then the
// storage's states and the reasons a run gives.
const std::vector<NextStep> kNextSteps = {
    {"no_row", "Repair this day (Tolvane2 -p with -b and -e): it lists every recording it can read."},
    {"unreadable",
     "Copy the recording aside and check it with a media player: no repair can list it, and it may be footage "
     "worth keeping."},
    {"missing_recording",
     "Find where the recording went (moved, deleted, a failing disk) and put it back; a repair drops its row."},
    {"listed_twice", "Repair this day: each recording is then listed once."},
    {"overlap", "Repair this day: the intervals are then written from the recordings and do not overlap."},
    {"name_time_mismatch",
     "Check the camera's and the recorder's clocks and time zones, then repair this day with TZ set to the "
     "recorder's zone."},
    {"before_2000", "Set the camera's and the recorder's clocks: what they recorded before keeps its wrong date."},
    {"lost_coverage",
     "Keep <date>.db.old (a reversion with -r deletes it): it covered this time, so look for that time's "
     "recordings."},
    {"lost_recording",
     "Keep <date>.db.old and look for the recording it lists: it may have been moved or deleted since."},
    {"no_database", "Repair this day: it places a day database and lists the recordings."},
    {"database_damaged", "Move the damaged database aside (keep it) and repair this day."},
    {"needs_recovery",
     "Let the recorder open the database once, which finishes or undoes the interrupted write, then audit again."},
    {"not_writable",
     "Give the recorder's account write access to the database and its location folder (chown, chmod)."},
    {"leftover",
     "Run the same repair again to finish what was interrupted; a <date>.db.new that is not the tool's own stops "
     "the repair of this location-day: remove or rename it."},
    {"link_passed_over", "Move the link out of the storage, or put what it leads to in its place: no run follows it."},
    {"not_a_recording",
     "Move it out of the storage, or, if it is footage, copy it aside and check it: it is named like a recording "
     "but is none."},
    {"stale_row", "Repair this day: the rows are then written from the recordings as they are now."},
    {"mixed_zones", "Set TZ to the recorder's zone and repair this day, so that every row is in one zone."},
    {"outage",
     "Check the camera, its connection and the recorder's log for that time; a camera that records on events is "
     "declared with --events."},
    {"old_layout",
     "Run Tolvane2 -p without -o: it converts the storage to the new layout first (-o does nothing here)."},
    {"being_recorded", "Audit it again when the recorder has finished this day, or after the recorder is stopped."},
    {"repair_running", "Audit again when the repair has ended."},
};

}  // namespace

const std::vector<NextStep>& NextSteps() { return kNextSteps; }

std::string NextStepFor(const std::string& id) {
    for (const NextStep& row : kNextSteps) {
        if (id == row.id) return row.step;
    }
    return {};
}
