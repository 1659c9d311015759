#pragma once

#include <boost/filesystem/path.hpp>
#include <initializer_list>
#include <string>

#include "platform/folder.h"

// The storage folder is the operator's: links on its path are followed. The
// folders inside it are reached from its handle one name at a time, and a
// link there is never followed, so nothing the tool changes lies outside.
platform::Folder OpenStorageFolder(const boost::filesystem::path& storage, int& error);
platform::Folder OpenBeneath(const platform::Folder& from, std::initializer_list<std::string> names, int& error);
