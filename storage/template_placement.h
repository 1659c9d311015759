#pragma once

#include <boost/filesystem.hpp>
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
// there is first set aside as "<target>.old", replacing an older backup. The
// copy never overwrites: it fails when the target is still there.
void PlaceTemplateDatabase(const boost::filesystem::path& target, const TemplateCopyTexts& texts);
