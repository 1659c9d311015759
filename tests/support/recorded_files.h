#pragma once

#include <boost/filesystem/path.hpp>

namespace testsupport {

// Dates every file below root (links not followed) an hour back, as a
// storage the recorder wrote a while ago is: the tool leaves files written
// within the last two minutes to the recorder.
void AgeTree(const boost::filesystem::path& root);

}  // namespace testsupport
