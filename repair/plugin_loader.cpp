#include "repair/plugin_loader.h"

#include <boost/filesystem/path.hpp>
#include <utility>

#include "platform/executable_folder.h"

std::string DbInterfaceLibraryName() { return std::string(kDbInterfaceLibraryStem) + platform::kLibrarySuffix; }

// By full path, never through the loader's own search: RUNPATH is not
// honoured the same way when a sanitizer runtime intercepts the load, and a
// search path could pick up a stranger's library of the same name.
std::vector<std::string> DbInterfaceLibraryPaths() {
    const std::string name = DbInterfaceLibraryName();
    const std::string executable = platform::ExecutableFolder();
    if (executable.empty()) return {name};
    const boost::filesystem::path folder(executable);
    std::vector<std::string> paths{(folder / name).string()};
    if (platform::kPrivateLibraryFolder) paths.push_back((folder / ".." / "lib" / "tolvane2" / name).string());
    return paths;
}

std::int32_t LoadDbInterface(DbInterfaceTable& table, platform::DynamicLibrary& module,
                             const std::vector<std::string>& paths) {
    if (table.size != kDbInterfaceTableSize || module.IsLoaded()) return -1;
    platform::DynamicLibrary library;
    for (const std::string& path : paths) {
        if (library.Load(path)) break;
    }
    if (!library.IsLoaded()) return -1;
    const auto entry = reinterpret_cast<GetStrataInterfaceFn>(library.Symbol(kDbInterfaceEntryName));
    if (entry == nullptr || entry(&table, 1, 0) < 0) return -1;
    module = std::move(library);
    return 0;
}
