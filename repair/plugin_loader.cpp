#include "repair/plugin_loader.h"

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>
#include <utility>

namespace fs = boost::filesystem;

namespace {

// The folder of the running executable, empty when it cannot be told.
fs::path ExecutableFolder() {
    boost::system::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::path() : executable.parent_path();
}

// A bare name is looked for beside the executable first, as the loader of the
// recorder's own platform does. RUNPATH=$ORIGIN alone is not enough: when a
// sanitizer runtime intercepts the load, the search runs on behalf of that
// runtime and never looks in the executable's folder.
bool LoadLibrary(platform::DynamicLibrary& library, const std::string& name) {
    if (fs::path(name).has_parent_path()) return library.Load(name);
    const fs::path folder = ExecutableFolder();
    if (!folder.empty() && library.Load((folder / name).string())) return true;
    return library.Load(name);
}

}  // namespace

std::string DbInterfaceLibraryName() { return std::string(kDbInterfaceLibraryStem) + platform::kLibrarySuffix; }

std::int32_t LoadDbInterface(DbInterfaceTable& table, platform::DynamicLibrary& module,
                             const std::string& libraryName) {
    if (table.size != kDbInterfaceTableSize || module.IsLoaded()) return -1;
    platform::DynamicLibrary library;
    if (!LoadLibrary(library, libraryName)) return -1;
    const auto entry = reinterpret_cast<GetStrataInterfaceFn>(library.Symbol(kDbInterfaceEntryName));
    if (entry == nullptr || entry(&table, 1, 0) < 0) return -1;
    module = std::move(library);
    return 0;
}
