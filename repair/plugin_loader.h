#pragma once

#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"
#include "repair/db_interface.h"

// The plug-in's file name on this platform: the stem and the library suffix.
std::string DbInterfaceLibraryName();

// Loads the database plug-in and lets it fill the entries of table. The table's
// size field must say 128 and module must hold no library yet. On success
// module owns the loaded library (the entries are valid while it stays loaded)
// and the result is 0; on any failure it is -1 and module stays empty.
std::int32_t LoadDbInterface(DbInterfaceTable& table, platform::DynamicLibrary& module,
                             const std::string& libraryName = DbInterfaceLibraryName());
