#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/media_packet.h"

// The calling thread's motion-trigger entries, created on the thread's first
// use and destroyed when the thread ends.
std::vector<TMotionTriggerInfoEx>& ThreadMotionTriggers();

// Clears the calling thread's list and fills it from the tag-20 entries of a
// video frame header (headerSize bytes, which must hold 20 + 4 x E).
// Returns the number of entries. Throws std::runtime_error("end of stream")
// when the extension or a tag body runs out.
size_t CollectMotionTriggers(const uint8_t* header, size_t headerSize);
