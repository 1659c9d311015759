#pragma once

#include <boost/filesystem.hpp>

// Renames a folder or file to a new path that must not exist yet. A plain
// POSIX rename would silently replace an existing file or empty folder at the
// destination; the roads that restructure a storage rely on such a move
// failing instead, so that nothing is merged or overwritten.
// Throws boost::filesystem::filesystem_error ("boost::filesystem::rename")
// carrying the system's error.
void MoveWithoutReplacing(const boost::filesystem::path& from, const boost::filesystem::path& to);
