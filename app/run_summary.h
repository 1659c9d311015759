#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// What a run did, counted by the roads as they go and said in one line, the
// résumé, right before the design's closing line: that line and the exit code
// say "all is well" whatever happened, so the truth must be said before them.

// How many items of one kind met each reason, in the order the reasons came.
class Reasons {
public:
    void Add(const std::string& reason, unsigned count = 1);
    void Add(const Reasons& other);
    unsigned Total() const;
    // "bad format 2, in use 1"; the rarest beyond the first few are folded.
    std::string Text() const;

private:
    std::vector<std::pair<std::string, unsigned>> counts_;
};

// A short reason for a failed file operation, from its system error number.
std::string ReasonOfError(int error);

struct RunSummary {
    // Why the placement left a location-day's database as it was, by the
    // database's path as the roads print it; the repair, which meets the
    // location-days with recordings, counts them. The first reason stands.
    void NoteLeft(const std::string& database, const std::string& reason) { leftReasons.emplace(database, reason); }
    std::string ReasonLeft(const std::string& database) const;
    // Whether the repair road met anything to act on, moved or written or not.
    bool RepairRoadMetAnything() const;
    std::map<std::string, std::string> leftReasons;

    // The repair road: the conversion (unless --dbonly), the placement, the repair.
    bool converting = false;
    unsigned dayFoldersConverted = 0;
    Reasons leftInOldLayout;
    Reasons leftAsTheyWere;  // location-days whose database was not replaced: no row written there
    unsigned locationDaysRebuilt = 0;
    unsigned long rows = 0;        // MediaFileDiskMap rows written
    unsigned long recordings = 0;  // of the location-days the repair wrote into
    Reasons withoutRow;            // recordings of those location-days
    Reasons incomplete;            // location-days whose rows did not all go in
    unsigned dayFoldersInRange = 0;

    // The reversion road.
    unsigned foldersMovedBack = 0;
    Reasons leftInNewLayout;
    unsigned databasesRemoved = 0;
    unsigned unmarkedLeft = 0;      // day databases in the old layout that no run of the tool placed
    std::string firstUnmarkedLeft;  // one of them, named

    // Said when nothing was done: what may be the cause (the bounds in force
    // are always named); or why the repair did not run after a road that did
    // something. And bounds given that are no dates.
    std::string nothingDone;
    std::string boundNotes;
};

// "Summary: ..." for each road.
std::string RepairSummaryLine(const RunSummary& summary);
std::string RevertSummaryLine(const RunSummary& summary);
