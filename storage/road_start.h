#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

// Every road starts alike: its heading, then a check that the storage path is
// a folder at all. False (with "<routine> - StoragePath is not valid directory"
// written) means the road has nothing to do.
bool StartRoad(const std::string& heading, const std::string& routine, const boost::filesystem::path& storage);
