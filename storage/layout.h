#pragma once

#include <boost/filesystem.hpp>
#include <string>
#include <vector>

#include "app/dates.h"

// The names that make a folder a day folder or a file a recording file, shared
// by every road so that none keeps its own copy of these rules.
//
// Storage layouts:
//   new directory structure: <storage>/<day>/<location>/<recordings>
//   old directory structure: <storage>/<location>/<day>/<recordings>

// True when the path exists and is a directory (a link to one counts). Any
// error while reading the status answers false, never an exception.
bool IsExistingDirectory(const boost::filesystem::path& path);

// True when the entry is a directory named like a date (YYYY-MM-DD). A status
// error answers false.
bool IsDayFolder(const boost::filesystem::directory_entry& entry);

// True when the entry is a day folder, not a link, whose date lies in range:
// the one rule by which every road picks the day folders it acts on.
bool IsDayFolderInRange(const boost::filesystem::directory_entry& entry, const DateRange& range);

// True when the entry's extension is exactly ".3gp" (byte-exact, case-sensitive).
bool IsRecordingFile(const boost::filesystem::directory_entry& entry);

// True when the entry is a regular file; a status error throws a file-system error.
bool IsRegularFile(const boost::filesystem::directory_entry& entry);

// The file name of a day database: "<day>.db".
std::string DayDatabaseName(const std::string& dayFolderName);

// True when the entry is a symbolic link. No road enters such a folder or acts
// through it: what it points to may lie outside the storage.
bool IsLinkEntry(const boost::filesystem::directory_entry& entry);

// The file name of an entry as text.
std::string EntryName(const boost::filesystem::directory_entry& entry);
