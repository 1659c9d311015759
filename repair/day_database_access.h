#pragma once

#include <string>

#include "platform/folder.h"

// The day database of one location folder as the indexing reaches it: through
// the location folder held from the storage's handle, so that its journal
// goes where the database is even if folders are swapped meanwhile, and only
// when this run placed it: a database found in place (the recorder's, or one
// left by an earlier run) is never written.
class DayDatabaseAccess {
public:
    // LeftWhileRecorded: the placement left it to the recorder and said so.
    enum class State { Placed, Missing, NotPlaced, LeftWhileRecorded };

    explicit DayDatabaseAccess(const std::string& locationPath);

    State GetState() const { return state_; }
    // The path SQLite opens; valid while this object lives.
    std::string ConnectPath() const;

private:
    platform::Folder folder_;
    std::string name_;
    std::string shown_;
    State state_ = State::NotPlaced;
};
