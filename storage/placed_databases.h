#pragma once

#include "platform/folder.h"

// The day databases this run installed, by file identity. Only these are
// written: a database found in place (the recorder's, or one an earlier run
// placed) is left as it was.
void RememberPlacedDatabase(const platform::FileIdentity& identity);
bool WasPlacedInThisRun(const platform::FileIdentity& identity);
void ForgetPlacedDatabases();

// The location folders, by identity, that this run left as they were because
// the recorder is recording there; the placement has said so already.
void RememberLeftWhileRecorded(const platform::FileIdentity& locationFolder);
bool WasLeftWhileRecorded(const platform::FileIdentity& locationFolder);
