#include "storage/template_placement.h"

#include <boost/filesystem/exception.hpp>

#include "app/console.h"
#include "app/design_texts.h"
#include "platform/database_claim.h"
#include "platform/durable_copy.h"

namespace fs = boost::filesystem;

const TemplateCopyTexts kCopyTemplateDBTexts = {design_texts::kCopyTemplateDB, true};
const TemplateCopyTexts kConvertDirectoryStructureTexts = {design_texts::kConvertDirectoryStructure, false};

BackupName BackupFor(bool databaseMarked, bool oldPresent, bool templateMarks) {
    // The tool's own earlier copy never takes the original's name.
    if (databaseMarked) return BackupName::Prev;
    // Without marks, a rerun's database looks like the recorder's: the
    // backup that may be the original is then never replaced.
    if (!templateMarks && oldPresent) return BackupName::Prev;
    return BackupName::Old;
}

namespace {

using platform::EntryKind;

bool IsPresent(const platform::Folder& folder, const std::string& name) {
    return folder.Facts(name).kind != EntryKind::Missing;
}

bool HasCompanions(const platform::Folder& folder, const std::string& database) {
    bool any = false;
    ForEachCompanion(folder, database, [&any](const std::string&) { any = true; });
    return any;
}

boost::system::error_code SystemError(int error) {
    return boost::system::error_code(error, boost::system::system_category());
}

fs::path Beside(const fs::path& shown, const std::string& name) { return shown.parent_path() / name; }

// A step of the set-aside failed: the database stays under its own name.
struct SetAsideFailure {
    const char* call;
    std::string from;
    std::string to;
    int error;
};

void Check(int error, const char* call, const std::string& from, const std::string& to = {}) {
    if (error != 0) throw SetAsideFailure{call, from, to, error};
}

// Removes a backup that a newer database replaces, its companions first: a
// journal must never outlive its database under a name SQLite would pair
// with whatever database takes that name next.
void RemoveBackup(const PlacementTarget& target, const std::string& backup) {
    ForEachCompanion(target.folder, backup, [&target](const std::string& companion) {
        Check(target.folder.RemoveFile(companion), design_texts::kRemoveCall, companion);
    });
    Check(target.folder.RemoveFile(backup), design_texts::kRemoveCall, backup);
}

// Sets the claimed database aside under the backup name and installs the
// prepared copy under its name. The order keeps every journal and log beside
// the database it belongs to wherever another process may open that name:
// 1. the old backup goes, companions first, so nothing stands beside it;
// 2. the database's companions take the backup's names, where no database
//    is yet (nobody can write the database meanwhile: its lock bytes are ours);
// 3. the copy takes the swapping name, and swaps names with the database at
//    once, so <date>.db is never missing and the copy has no companions;
// 4. the database, now under the swapping name, takes the backup name and
//    finds its companions there.
// A run stopped on the way leaves states the next run completes: companions
// under the backup's names with no backup beside them belong to the database
// (after 2), and a database under the swapping name was displaced (after 3).
void SwapIntoPlace(const PlacementTarget& target, const platform::DatabaseClaim& claim, const std::string& backup) {
    const std::string& database = target.name;
    const std::string swapping = SwappingName(database);
    const platform::EntryFacts backupFacts = target.folder.Facts(backup);
    // A folder or a link under the backup's name is not ours to remove.
    if (backupFacts.kind != EntryKind::Missing && backupFacts.kind != EntryKind::RegularFile) {
        Check(platform::kAlreadyExistsError, design_texts::kRenameCall, database, backup);
    }
    bool companionsMoved = false;
    if (backupFacts.kind == EntryKind::RegularFile) {
        RemoveBackup(target, backup);
    } else if (HasCompanions(target.folder, backup)) {
        if (HasCompanions(target.folder, database)) {
            Check(platform::kAlreadyExistsError, design_texts::kRenameCall, database, backup);
        }
        companionsMoved = true;
    }
    for (const char* const* suffix = CompanionSuffixes(); *suffix && !companionsMoved; ++suffix) {
        const std::string companion = database + *suffix;
        if (!IsPresent(target.folder, companion)) continue;
        Check(target.folder.MoveNoReplace(companion, target.folder, backup + *suffix), design_texts::kRenameCall,
              companion, backup + *suffix);
    }
    Check(target.folder.MoveNoReplace(PreparedCopyName(database), target.folder, swapping), design_texts::kRenameCall,
          PreparedCopyName(database), swapping);
    const int exchanged = target.folder.Exchange(swapping, database);
    if (exchanged == platform::kCannotExchange) {
        // No swap here: the database moves through the claim, then the copy
        // takes its name.
        Check(claim.MoveTo(target.folder, database, backup), design_texts::kRenameCall, database, backup);
        Check(target.folder.MoveNoReplace(swapping, target.folder, database), design_texts::kRenameCall, swapping,
              database);
        return;
    }
    Check(exchanged, design_texts::kRenameCall, swapping, database);
    Check(target.folder.MoveNoReplace(swapping, target.folder, backup), design_texts::kRenameCall, swapping, backup);
}

}  // namespace

// A template that cannot carry the mark is used as it is; the operator is told
// what that costs.
TemplatePlacement::TemplatePlacement(TemplateSource source, const TemplateCopyTexts& texts, RunSummary& summary,
                                     PlacedDatabases& placed)
    : source_(std::move(source)), texts_(texts), summary_(summary), placed_(placed) {
    if (!source_.Found() || source_.MarksCopies()) return;
    console::WriteLine(design_texts::UnmarkableTemplateLine(texts_.routine, TemplateDatabasePath().string(),
                                                            source_.OwnApplicationId()));
}

void TemplatePlacement::NoteLeft(const fs::path& shown, const std::string& reason) const {
    summary_.NoteLeft(shown.string(), reason);
}

void TemplatePlacement::ReportCopyFailure(const fs::path& shown, int error, const std::string& reason) const {
    const fs::filesystem_error failure(design_texts::kCopyFileCall, TemplateDatabasePath(), shown, SystemError(error));
    console::WriteLine(design_texts::TemplateCopyFailureLine(texts_.routine, failure.what()));
    NoteLeft(shown, reason);
}

void TemplatePlacement::ReportNotOurs(const PlacementTarget& target, const std::string& name) const {
    console::WriteLine(design_texts::NotOurCopyLine(texts_.routine, Beside(target.shown, name).string()));
    NoteLeft(target.shown, "not the tool's file in the way");
}

// Our working names hold only our own files: a partial copy is a beginning of
// the copy, a prepared one the whole of it. Anything else there is someone
// else's and stops the placement.
TemplatePlacement::Leftovers TemplatePlacement::CheckLeftovers(const PlacementTarget& target) const {
    const std::string& copy = source_.CopyBytes();
    const std::string partial = PartialCopyName(target.name);
    if (IsPresent(target.folder, partial)) {
        std::string bytes;
        if (platform::ReadSmallFile(target.folder, partial, copy.size(), bytes) != 0 ||
            copy.compare(0, bytes.size(), bytes) != 0 || target.folder.RemoveFile(partial) != 0) {
            ReportNotOurs(target, partial);
            return Leftovers::NotOurs;
        }
    }
    const std::string prepared = PreparedCopyName(target.name);
    if (!IsPresent(target.folder, prepared)) return Leftovers::None;
    std::string bytes;
    if (platform::ReadSmallFile(target.folder, prepared, copy.size(), bytes) != 0 || bytes != copy) {
        ReportNotOurs(target, prepared);
        return Leftovers::NotOurs;
    }
    return Leftovers::PreparedCopy;
}

// Written under the partial name and renamed when complete, so that the
// prepared name only ever holds a whole, flushed copy. It takes the owner and
// mode of the database it replaces, or of its folder where there is none.
int TemplatePlacement::WritePreparedCopy(const PlacementTarget& target) const {
    platform::EntryFacts ownership = target.folder.Facts(target.name);
    if (ownership.kind != EntryKind::RegularFile) {
        ownership = target.folder.OwnFacts();
        ownership.mode = 0644;
    }
    const std::string partial = PartialCopyName(target.name);
    int error = platform::WriteNewFileDurably(target.folder, partial, source_.CopyBytes(), ownership);
    if (error != 0) return error;
    error = target.folder.MoveNoReplace(partial, target.folder, PreparedCopyName(target.name));
    if (error != 0) target.folder.RemoveFile(partial);
    return error;
}

void TemplatePlacement::Discard(const PlacementTarget& target) {
    target.folder.RemoveFile(PreparedCopyName(target.name));
}

// Sets the database in place aside, unless another process holds it or
// whether one does cannot be told; the copy is then discarded and the
// database stays under its own name.
bool TemplatePlacement::SetAsideAndInstall(const PlacementTarget& target) {
    platform::DatabaseClaim claim;
    const platform::ClaimOutcome outcome = claim.Take(target.folder, target.name);
    if (outcome == platform::ClaimOutcome::Missing) {
        return target.folder.MoveNoReplace(PreparedCopyName(target.name), target.folder, target.name) == 0;
    }
    if (outcome == platform::ClaimOutcome::InUse) {
        console::WriteLine(design_texts::LockedLine(target.shown.string()));
        refusal_ = "in use";
    }
    if (outcome == platform::ClaimOutcome::CannotJudge) {
        ++unjudged_;
        refusal_ = "whether in use cannot be told";
    }
    if (outcome == platform::ClaimOutcome::Refused) {
        // The system's own reason, in the design's form for a set-aside that failed.
        const fs::filesystem_error error(design_texts::kRenameCall, target.shown,
                                         Beside(target.shown, BackupNameOf(target.name, BackupName::Old)),
                                         SystemError(claim.Error()));
        console::WriteLine(design_texts::RemoveExistedFailureLine(error.what()));
        refusal_ = ReasonOfError(claim.Error());
    }
    if (outcome != platform::ClaimOutcome::Claimed) return false;

    // Read through the claim: the file judged free is the file whose mark counts.
    std::string header(kApplicationIdOffset + 4, '\0');
    const bool marked = claim.ReadAt(0, reinterpret_cast<unsigned char*>(&header[0]), header.size()) &&
                        ApplicationIdIn(header) == kToolMark;
    try {
        SwapIntoPlace(target, claim, BackupNameOf(target.name, BackupFor(target, marked)));
        return true;
    } catch (const SetAsideFailure& failure) {
        const fs::filesystem_error error(failure.call, Beside(target.shown, failure.from),
                                         failure.to.empty() ? fs::path() : Beside(target.shown, failure.to),
                                         SystemError(failure.error));
        console::WriteLine(design_texts::RemoveExistedFailureLine(error.what()));
        refusal_ = ReasonOfError(failure.error);
        return false;
    }
}

BackupName TemplatePlacement::BackupFor(const PlacementTarget& target, bool marked) const {
    return ::BackupFor(marked && source_.MarksCopies(),
                       IsPresent(target.folder, BackupNameOf(target.name, BackupName::Old)), source_.MarksCopies());
}

// Completes a swap that a stopped run began. Under the swapping name lies
// either the prepared copy (the swap had not happened: it waits again under
// its own name) or the database it displaced, which takes the backup name it
// was on its way to; its companions are already there. False when something
// else lies there: it is left as it is, and so is the location-day.
bool TemplatePlacement::CompleteInterruptedSwap(const PlacementTarget& target) {
    const std::string swapping = SwappingName(target.name);
    const platform::EntryFacts facts = target.folder.Facts(swapping);
    if (facts.kind == EntryKind::Missing) return true;
    std::string bytes;
    if (facts.kind != EntryKind::RegularFile ||
        platform::ReadSmallFile(target.folder, swapping, source_.CopyBytes().size(), bytes) != 0) {
        ReportNotOurs(target, swapping);
        return false;
    }
    if (bytes == source_.CopyBytes()) {
        if (target.folder.MoveNoReplace(swapping, target.folder, PreparedCopyName(target.name)) == 0) return true;
        return target.folder.RemoveFile(swapping) == 0;
    }
    const bool marked = ApplicationIdOf(target.folder, swapping) == kToolMark;
    const std::string backup = BackupNameOf(target.name, BackupFor(target, marked));
    if (IsPresent(target.folder, backup) || target.folder.MoveNoReplace(swapping, target.folder, backup) != 0) {
        ReportNotOurs(target, swapping);
        return false;
    }
    target.folder.Sync();
    return true;
}

// Installs the prepared copy, setting aside what holds its name. A copy this
// run installed already is left as it is.
void TemplatePlacement::Install(const PlacementTarget& target) {
    const platform::EntryFacts existing = target.folder.Facts(target.name);
    if (existing.kind == EntryKind::RegularFile && placed_.WasPlaced(existing.identity)) {
        Discard(target);
        return;
    }
    bool installed = false;
    refusal_ = "not a file in the way";
    if (existing.kind == EntryKind::Missing) {
        // A fresh database beside a leftover journal would be rolled back
        // into garbage by the next connection.
        refusal_ = "journal without its database";
        installed = !HasCompanions(target.folder, target.name) &&
                    target.folder.MoveNoReplace(PreparedCopyName(target.name), target.folder, target.name) == 0;
    } else if (existing.kind == EntryKind::RegularFile) {
        installed = SetAsideAndInstall(target);
    }
    if (!installed) {
        Discard(target);
        // The design's texts give one reason whatever kept the copy out; the
        // summary gives the true one.
        ReportCopyFailure(target.shown, platform::kAlreadyExistsError, refusal_);
        return;
    }
    const platform::EntryFacts inPlace = target.folder.Facts(target.name);
    if (inPlace.kind == EntryKind::RegularFile) placed_.RememberPlaced(inPlace.identity);
    // The new names are not durable until their folder is; a failure here
    // loses nothing that a rerun would not place again.
    target.folder.Sync();
    if (texts_.reportSuccess) console::WriteLine(design_texts::TemplateCopiedLine(target.shown.string()));
}

void TemplatePlacement::Place(const PlacementTarget& target) {
    if (!source_.Found()) {
        ReportCopyFailure(target.shown, source_.Error(), "no template");
        return;
    }
    if (!CompleteInterruptedSwap(target)) return;
    const Leftovers leftovers = CheckLeftovers(target);
    if (leftovers == Leftovers::NotOurs) return;
    if (leftovers == Leftovers::None) {
        const int error = WritePreparedCopy(target);
        if (error != 0) {
            ReportCopyFailure(target.shown, error, ReasonOfError(error));
            return;
        }
    }
    Install(target);
}

bool TemplatePlacement::Prepare(const PlacementTarget& target) {
    if (!source_.Found()) return true;  // the folder still moves; the copy message follows the move
    if (!CompleteInterruptedSwap(target)) return false;
    const Leftovers leftovers = CheckLeftovers(target);
    if (leftovers == Leftovers::NotOurs) return false;
    if (leftovers == Leftovers::PreparedCopy) return true;
    const int error = WritePreparedCopy(target);
    if (error == 0) return true;
    const fs::filesystem_error failure(design_texts::kCopyFileCall, TemplateDatabasePath(), target.shown,
                                       SystemError(error));
    console::WriteLine(design_texts::CapitalStdExceptionLine(texts_.routine, failure.what()));
    NoteLeft(target.shown, ReasonOfError(error));
    return false;
}

void TemplatePlacement::PlacePrepared(const PlacementTarget& target) {
    if (source_.Found() && !CompleteInterruptedSwap(target)) return;
    if (!source_.Found() || !IsPresent(target.folder, PreparedCopyName(target.name))) {
        Place(target);
        return;
    }
    if (CheckLeftovers(target) == Leftovers::PreparedCopy) Install(target);
}

void TemplatePlacement::FinishInterrupted(const PlacementTarget& target) {
    if (!source_.Found()) return;
    if (!IsPresent(target.folder, PreparedCopyName(target.name)) &&
        !IsPresent(target.folder, SwappingName(target.name))) {
        return;
    }
    if (!CompleteInterruptedSwap(target) || !IsPresent(target.folder, PreparedCopyName(target.name))) return;
    if (CheckLeftovers(target) == Leftovers::PreparedCopy) Install(target);
}

void TemplatePlacement::ReportUnreachable(const fs::path& shown, int error) const {
    ReportCopyFailure(shown, source_.Found() ? error : source_.Error(),
                      source_.Found() ? ReasonOfError(error) : "no template");
}

void TemplatePlacement::ReportUnjudged() const {
    if (unjudged_ == 0) return;
    console::WriteLine(design_texts::UnjudgedLine(texts_.routine, unjudged_));
}
