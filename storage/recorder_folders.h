#pragma once

#include <string>

#include "platform/folder.h"

// Folders the tool creates inside the storage: a new day folder for a moved
// location-day, a location folder for a reverted one, the daylight-saving
// marker. The recorder keeps writing there, often as an account of its own,
// so each takes the owner, group and mode of the folder whose move or
// content made it needed (`like`), or of its parent where like's cannot be
// read. Returns 0 or the system's error number of the creation.
int MakeFolderForRecorder(const platform::Folder& parent, const std::string& name, const platform::EntryFacts& like);

// Says once, at the end of a road, how many folders this process was not
// allowed to give their owner or mode, then starts counting again.
void ReportFoldersNotOwned(const std::string& routine);
