#include "storage/storage_folders.h"

platform::Folder OpenStorageFolder(const boost::filesystem::path& storage, int& error) {
    return platform::Folder::OpenPath(storage.string(), error);
}

platform::Folder OpenBeneath(const platform::Folder& from, std::initializer_list<std::string> names, int& error) {
    error = 0;
    platform::Folder current;
    const platform::Folder* parent = &from;
    for (const std::string& name : names) {
        platform::Folder child = parent->OpenChild(name, error);
        if (error != 0) return platform::Folder();
        current = std::move(child);
        parent = &current;
    }
    return current;
}
