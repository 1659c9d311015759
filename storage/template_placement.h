#pragma once

#include <boost/filesystem.hpp>
#include <boost/system/error_code.hpp>
#include <string>

// The texts a caller of PlaceTemplateDatabase reports a failed copy with, and
// whether a successful copy is reported at all.
struct TemplateCopyTexts {
    std::string stdExceptionPrefix;  // followed by the exception's text
    std::string otherFailurePrefix;  // followed by the target and "is existed"
    bool reportSuccess;
};

extern const TemplateCopyTexts kCopyTemplateDBTexts;
extern const TemplateCopyTexts kConvertDirectoryStructureTexts;

// PellamDB/dbtemplate.db, relative to the current folder; no other place is searched.
const boost::filesystem::path& TemplateDatabasePath();

// Places a fresh copy of the template database at target. An existing file
// there is first set aside as "<target>.old", replacing an older backup, and
// SQLite's companion files (-journal, -wal, -shm) go with it; a database that
// another process holds is left alone. The copy is written beside the target,
// flushed, and only then renamed into place, so a crash leaves no target or a
// complete one; it never replaces anything.
void PlaceTemplateDatabase(const boost::filesystem::path& target, const TemplateCopyTexts& texts);

// Placement in two steps, for a folder that is about to move: the complete
// copy is prepared beside the future target first and travels with its
// folder, so that a run interrupted after the move can still finish the
// placement (FinishInterruptedPlacement) instead of leaving the old database
// in place. The error names a failure to prepare; a template that cannot be
// read is reported by PlacePreparedTemplate, as the one-step placement would.
struct PreparedTemplate {
    boost::system::error_code error;
    bool templateUnreadable = false;
};
PreparedTemplate PrepareTemplateCopy(const boost::filesystem::path& target);
void DiscardPreparedTemplate(const boost::filesystem::path& target);
void PlacePreparedTemplate(const boost::filesystem::path& target, const PreparedTemplate& prepared,
                           const TemplateCopyTexts& texts);

// Finishes a placement that a killed or failed run prepared but did not
// complete; does nothing where none is pending.
void FinishInterruptedPlacement(const boost::filesystem::path& target, const TemplateCopyTexts& texts);

// The names SQLite gives the files that belong to a database.
const char* const* CompanionSuffixes();  // null-terminated

// Our own working files beside a target: a copy being written, and a complete
// copy waiting to be renamed into place. Neither is a recording or a day database.
boost::filesystem::path PartialCopyPath(const boost::filesystem::path& target);
boost::filesystem::path PreparedCopyPath(const boost::filesystem::path& target);
