#pragma once

#include <string>

#include "platform/folder.h"

// The day database of one location folder as the indexing reaches it: through
// the location folder held from the storage's handle, so that its journal
// goes where the database is even if folders are swapped meanwhile. Whether
// it is written is the indexing's decision, from what this shows.
class DayDatabaseAccess {
public:
    explicit DayDatabaseAccess(const std::string& locationPath);

    // False when the location folder is not reachable without a link.
    bool Reached() const { return folder_.IsOpen(); }
    platform::FileIdentity FolderIdentity() const { return folder_.OwnFacts().identity; }
    platform::EntryFacts DatabaseFacts() const { return folder_.Facts(name_); }
    // <location>/<day>.db as the operator gave the storage: the path messages print.
    const std::string& ShownPath() const { return shown_; }
    // The path SQLite opens; valid while this object lives.
    std::string ConnectPath() const;

private:
    platform::Folder folder_;
    std::string name_;
    std::string shown_;
};
