#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dynamic_library.h"
#include "repair/db_interface.h"

// The plug-in's file name on this platform: the stem and the library suffix.
std::string DbInterfaceLibraryName();

// Where the plug-in is looked for, in order, as full paths: beside the
// executable (a build folder, the Windows folder), then in ../lib/tolvane2/
// beside it (where the Debian package puts it, so an unpacked or moved tree
// works too). Only when the executable's folder cannot be told, the bare name.
std::vector<std::string> DbInterfaceLibraryPaths();

// Loads the database plug-in from the first of paths that loads and lets it
// fill the entries of table. The table's size field must say 128 and module
// must hold no library yet. On success module owns the loaded library (the
// entries are valid while it stays loaded) and the result is 0; on any failure
// it is -1 and module stays empty.
std::int32_t LoadDbInterface(DbInterfaceTable& table, platform::DynamicLibrary& module,
                             const std::vector<std::string>& paths = DbInterfaceLibraryPaths());
