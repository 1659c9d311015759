#pragma once

#include <boost/date_time/posix_time/ptime.hpp>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a recording's file name says: its serial number (MFSerial) and the
// local time at which the recorder started it, as in
// 00000123_2012-03-03_101500.3gp.

// The last part of a recording's path, as boost::filesystem::path::filename
// gives it, without building a path for every recording.
std::string RecordingFileName(const std::string& path);

// The unsigned number in front of the first "_" of the path's file name (the
// whole name when there is none), read like a stream extraction: leading white
// space skipped, reading stops at the first non-digit. 0 when no number can be
// read or it does not fit in 32 bits.
std::uint64_t GetFileSerial(const std::string& path);

// The start time written in a file name: the 17 characters that end 4 before
// the end, YYYY-MM-DD?HHMMSS, where ? is any character. Throws a
// std::exception when the name is shorter than 21 characters or the text is not
// a valid date and time.
boost::posix_time::ptime RecordTimeFromFileName(const std::string& fileName);

// The record start a repair writes for a recording named fileName: the name's
// local time shifted to UTC by biasMinutes (minutes west of UTC), one hour
// earlier when the recorder marked the recording as daylight saving. The
// indexing and the audit both take it from here, so that they never disagree.
// Throws as RecordTimeFromFileName does.
boost::posix_time::ptime RecordStartFromName(const std::string& fileName, long biasMinutes, bool daylightSaving);

// The positions of paths in the order the indexing reads them: ascending
// serial number (GetFileSerial), equal serials in the order given.
std::vector<std::size_t> SerialOrder(const std::vector<std::string>& paths);
