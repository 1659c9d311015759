#include "repair/plugin_loader.h"

#include <utility>


std::string DbInterfaceLibraryName() { return std::string(kDbInterfaceLibraryStem) + platform::kLibrarySuffix; }

std::int32_t LoadDbInterface(DbInterfaceTable& table, platform::DynamicLibrary& module,
                             const std::string& libraryName) {
    if (table.size != kDbInterfaceTableSize || module.IsLoaded()) return -1;
    platform::DynamicLibrary library;
    if (!library.Load(libraryName)) return -1;
    const auto entry = reinterpret_cast<GetStrataInterfaceFn>(library.Symbol(kDbInterfaceEntryName));
    if (entry == nullptr || entry(&table, 1, 0) < 0) return -1;
    module = std::move(library);
    return 0;
}
