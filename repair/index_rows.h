#pragma once

#include <cstdint>
#include <string>

#include "repair/file_times.h"

// The rows the per-day indexing writes, and the rule that groups recordings
// into continuous intervals.

// 48 + minutes west of UTC in quarter hours (truncated): UTC 48, UTC+8 16, UTC-5 68.
std::uint16_t ZoneCode(long minutesWest);
// 48 - the camera's zone offset in quarter hours (truncated).
std::uint16_t CameraZoneCode(std::int32_t zoneOffsetSeconds);

// A recording continues the open interval when it starts no more than 3 s
// before and no more than 10 s after the interval's end, in the same
// daylight-saving state.
bool JoinsInterval(const FileTimes& interval, const FileTimes& file);

// The text with every single quote doubled, so that it reads back unchanged
// from between single quotes and cannot end the literal early.
std::string QuoteSqlText(const std::string& text);

// The TimeInterval row of a closed interval.
std::string FormatTimeIntervalRow(std::uint32_t intervalSerial, const FileTimes& interval, std::uint16_t recordZone,
                                  std::uint16_t cameraZone);

// The MediaFileDiskMap row of one recording; fileName is its name without folder.
std::string FormatMediaFileDiskMapRow(std::uint64_t serial, std::uint32_t intervalSerial, const std::string& fileName,
                                      const FileTimes& file);
