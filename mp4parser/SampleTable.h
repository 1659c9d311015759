#pragma once

#include <cstdint>
#include <vector>

#include "mp4parser/Movie.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// One sample: where it lies, how large it is, when it plays, whether it is a
// key frame. Offsets are 64-bit so that recordings beyond 4 GiB work.
struct IndexEntry {
    std::uint64_t offset = 0;        // relative to the device's base offset
    double compositionTime = -1.0;   // seconds
    double decodeTime = -1.0;        // seconds; -1 when the track has no "ctts"
    std::uint32_t size = 0;
    std::uint32_t sync = 0;
};

// The sample's decode time in seconds.
inline double TimeOfSample(const IndexEntry& entry) {
    return entry.decodeTime >= 0 ? entry.decodeTime : entry.compositionTime;
}

struct SampleTable {
    std::vector<IndexEntry> entries;  // one per "stsz" sample
    std::uint32_t count = 0;          // samples that have times (at most entries.size())
    double editDuration = 0;          // seconds
    double startOffset = 0;           // seconds, from empty edits

    bool Empty() const { return count == 0; }
    double TimeOf(std::uint32_t index) const { return TimeOfSample(entries[index]); }
};

// Builds a track's table. mediaLength (bytes of the media file) bounds the
// sample sizes and counts that the file may claim before anything is
// allocated for them.
SampleTable BuildSampleTable(const TrackDescription& track, std::uint32_t movieTimescale, std::uint64_t mediaLength);

// The sample at or before time x (seconds, relative to the movie's smallest
// start offset): -1 when x lies before the first sample, count when the
// estimate lies beyond the last.
std::int64_t FindSampleAtTime(const SampleTable& table, double x, double smallestStartOffset);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
