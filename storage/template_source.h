#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <string>

#include "platform/folder.h"

// The template database as a run places it, read once when the run starts.
// Every copy carries the tool's mark in the SQLite header's application id,
// so that a later run can tell its own databases from the recorder's.
class TemplateSource {
public:
    // Looks for PellamDB/dbtemplate.db in the current folder, then beside the
    // executable, then in ../share/tolvane2/ beside it.
    static TemplateSource Find();

    bool Found() const { return error_ == 0; }
    // Why none was found: the system's error number for the first place looked at.
    int Error() const { return error_; }
    // The bytes every copy starts with: the template with the mark set.
    const std::string& CopyBytes() const { return bytes_; }
    // False when the template carries an application id of its own, which a
    // mark would overwrite: copies then cannot be told apart from the recorder's.
    bool MarksCopies() const { return marks_; }
    std::uint32_t OwnApplicationId() const { return ownId_; }

private:
    static TemplateSource FromFile(const boost::filesystem::path& path);

    int error_ = 0;
    std::string bytes_;
    bool marks_ = false;
    std::uint32_t ownId_ = 0;
};

// Where SQLite keeps the application id, and the one the tool writes there.
constexpr std::uint64_t kApplicationIdOffset = 68;
constexpr std::uint32_t kToolMark = 0x546C7632;  // "Tlv2"

// The application id in a database's first bytes, 0 when they are fewer.
std::uint32_t ApplicationIdIn(const std::string& header);
// The application id of a database file of a folder, 0 when it has none or
// cannot be read; the tool's copies carry kToolMark.
std::uint32_t ApplicationIdOf(const platform::Folder& folder, const std::string& name);

// The path the copy messages name, relative as the operator is told to place it.
const boost::filesystem::path& TemplateDatabasePath();
