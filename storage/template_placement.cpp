#include "storage/template_placement.h"

#include <cerrno>
#include <functional>

#include "app/console.h"
#include "platform/durable_copy.h"
#include "platform/file_in_use.h"
#include "platform/rename_no_replace.h"
#include "storage/move_entry.h"

namespace fs = boost::filesystem;

const TemplateCopyTexts kCopyTemplateDBTexts = {
    "CopyTemplateDB - copy dbtemplate.db got std::exception: ",
    "You need dbtemplate.db at the same folder of Tolvane2.exe or",
    true,
};

const TemplateCopyTexts kConvertDirectoryStructureTexts = {
    "ConvertDirectoryStructure - copy dbtemplate.db got std::exception: ",
    "You need PellamDB/dbtemplate.db at the same folder of Tolvane2.exe or",
    false,
};

const fs::path& TemplateDatabasePath() {
    static const fs::path path = fs::path("PellamDB") / "dbtemplate.db";
    return path;
}

const char* const* CompanionSuffixes() {
    static const char* const suffixes[] = {"-journal", "-wal", "-shm", nullptr};
    return suffixes;
}

fs::path PartialCopyPath(const fs::path& target) { return target.string() + ".tmp"; }
fs::path PreparedCopyPath(const fs::path& target) { return target.string() + ".new"; }

namespace {

// Thrown when another process holds the day database: reported with the
// "is locked!" line rather than a file-system text.
struct DatabaseInUse {};

fs::path WithSuffix(const fs::path& path, const char* suffix) { return path.string() + suffix; }

bool IsPresent(const fs::path& path) {
    boost::system::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

bool HasCompanions(const fs::path& database) {
    for (const char* const* suffix = CompanionSuffixes(); *suffix; ++suffix) {
        if (IsPresent(WithSuffix(database, *suffix))) return true;
    }
    return false;
}

// A journal or log moved without its database would be rolled into whatever
// database next takes the name, so they always move together.
void MoveCompanions(const fs::path& from, const fs::path& to) {
    for (const char* const* suffix = CompanionSuffixes(); *suffix; ++suffix) {
        const fs::path companion = WithSuffix(from, *suffix);
        if (IsPresent(companion)) fs::rename(companion, WithSuffix(to, *suffix));
    }
}

void RemoveCompanions(const fs::path& database) {
    for (const char* const* suffix = CompanionSuffixes(); *suffix; ++suffix) fs::remove(WithSuffix(database, *suffix));
}

void MoveDatabaseToBackup(const fs::path& target, const fs::path& backup) {
    if (platform::IsFileHeldByAnotherProcess(target.string().c_str())) throw DatabaseInUse{};
    RemoveCompanions(backup);
    if (fs::exists(fs::status(backup))) fs::remove(backup);
    fs::rename(target, backup);
}

// Moves an existing day database to its backup name. Companions without their
// database are what a run killed between the two renames left: they belong to
// the backup, which must then be kept. Failures are reported and left to the
// copy that follows, which then fails on the occupied target.
void SetExistingDatabaseAside(const fs::path& target) {
    const fs::path backup = target.string() + ".old";
    try {
        if (IsPresent(target)) MoveDatabaseToBackup(target, backup);
        MoveCompanions(target, backup);
    } catch (const std::exception& e) {
        console::WriteLine(std::string("CopyTemplateDB - remove existed got std::exception: ") + e.what());
    } catch (...) {
        console::WriteLine(target.string() + "or" + backup.string() + "is locked!");
    }
}

[[noreturn]] void ThrowCopyError(const fs::path& target, int errorNumber) {
    throw fs::filesystem_error("boost::filesystem::copy_file", TemplateDatabasePath(), target,
                               boost::system::error_code(errorNumber, boost::system::system_category()));
}

void ThrowIfOccupied(const fs::path& target) {
    if (IsPresent(target)) ThrowCopyError(target, platform::kAlreadyExistsError);
    // A fresh database beside a leftover journal would be rolled back into
    // garbage by the next connection.
    if (HasCompanions(target)) ThrowCopyError(target, platform::kAlreadyExistsError);
}

// Writes the complete copy under its waiting name: first under the partial
// name, which a killed run may leave behind and which is cleared here.
platform::CopyResult WritePreparedCopy(const fs::path& target) {
    boost::system::error_code ignored;
    const fs::path partial = PartialCopyPath(target);
    fs::remove(partial, ignored);
    platform::CopyResult result = platform::CopyToNewFileDurably(TemplateDatabasePath().string().c_str(),
                                                                          partial.string().c_str());
    if (result.error != 0) return result;
    boost::system::error_code renamed;
    fs::rename(partial, PreparedCopyPath(target), renamed);
    if (renamed) {
        fs::remove(partial, ignored);
        result.error = renamed.value();
    }
    return result;
}

void InstallPreparedCopy(const fs::path& target) {
    ThrowIfOccupied(target);
    try {
        MoveWithoutReplacing(PreparedCopyPath(target), target);
    } catch (const fs::filesystem_error& e) {
        ThrowCopyError(target, e.code().value());
    }
    // The new name is not durable until its folder is; a failure here loses
    // nothing that a rerun would not place again.
    platform::SyncFolder(target.parent_path().empty() ? "." : target.parent_path().string().c_str());
}

void CopyStep(const fs::path& target, const TemplateCopyTexts& texts, const std::function<void()>& copy) {
    try {
        copy();
        if (texts.reportSuccess) console::WriteLine("Copy template.db to " + target.string());
    } catch (const std::exception& e) {
        console::WriteLine(texts.stdExceptionPrefix + e.what());
    } catch (...) {
        console::WriteLine(texts.otherFailurePrefix + target.string() + "is existed");
    }
}

}  // namespace

void PlaceTemplateDatabase(const fs::path& target, const TemplateCopyTexts& texts) {
    SetExistingDatabaseAside(target);
    CopyStep(target, texts, [&] {
        ThrowIfOccupied(target);
        const platform::CopyResult written = WritePreparedCopy(target);
        if (written.error != 0) ThrowCopyError(target, written.error);
        try {
            InstallPreparedCopy(target);
        } catch (...) {
            DiscardPreparedTemplate(target);
            throw;
        }
    });
}

PreparedTemplate PrepareTemplateCopy(const fs::path& target) {
    const platform::CopyResult written = WritePreparedCopy(target);
    PreparedTemplate prepared;
    prepared.error = boost::system::error_code(written.error, boost::system::system_category());
    prepared.templateUnreadable = written.error != 0 && written.sourceFailed;
    return prepared;
}

void DiscardPreparedTemplate(const fs::path& target) {
    boost::system::error_code ignored;
    fs::remove(PreparedCopyPath(target), ignored);
}

// When the install fails the prepared copy stays: a rerun finishes it once the
// target is free.
void PlacePreparedTemplate(const fs::path& target, const PreparedTemplate& prepared, const TemplateCopyTexts& texts) {
    SetExistingDatabaseAside(target);
    CopyStep(target, texts, [&] {
        if (prepared.error) ThrowCopyError(target, prepared.error.value());
        InstallPreparedCopy(target);
    });
}

void FinishInterruptedPlacement(const fs::path& target, const TemplateCopyTexts& texts) {
    if (!IsPresent(PreparedCopyPath(target))) return;
    PlacePreparedTemplate(target, PreparedTemplate{}, texts);
}
