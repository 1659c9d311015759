#pragma once

#include <cfloat>
#include <cstdint>
#include <vector>

#include "mp4parser/Movie.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// One sample: where it lies, how large it is, when it plays, whether it is a
// key frame. Offsets are 64-bit so that recordings beyond 4 GiB work.
struct IndexEntry {
    std::uint64_t offset = 0;       // relative to the device's base offset
    double compositionTime = -1.0;  // seconds
    double decodeTime = -1.0;       // seconds; -1 when the track has no "ctts"
    std::uint32_t size = 0;
    std::uint32_t sync = 0;
};

// A track's table as reading needs it: how many samples have times, and the
// edits. Where each sample lies and when it plays is found on demand
// (SampleLocator, DecodeTimes) rather than held one entry per sample.
struct SampleTable {
    std::uint32_t count = 0;  // samples that have times (at most the "stsz" count)
    double editDuration = 0;  // seconds
    double startOffset = 0;   // seconds, from empty edits

    bool Empty() const { return count == 0; }
};

// A track's table from its run tables. Nothing per sample is allocated, so
// sample sizes are not checked against the file here: they fail the reads of
// such samples only.
SampleTable SummariseSampleTable(const TrackDescription& track, std::uint32_t movieTimescale);

// Sample times straight from a track's "stts" runs: the decode tick of a
// sample (the 32-bit running sum of the deltas before it) over the media
// timescale.
class DecodeTimes {
public:
    DecodeTimes() = default;
    explicit DecodeTimes(const TrackDescription& track);

    // The time of sample i, which must have one (i below the table's count).
    double TimeOf(std::uint32_t i) const { return static_cast<double>(TickAt(i)) / timescale_; }
    // The running sum after the first n samples.
    std::uint32_t TickAt(std::uint64_t n) const;

private:
    struct Run {
        std::uint64_t firstSample;
        std::uint32_t firstTick;
        std::uint32_t delta;
    };
    std::vector<Run> runs_;
    double timescale_ = 0;
};

// Where a sample lies, how large it is and whether it is a key frame, found
// from a track's run tables on demand: the chunk walk ("stsc" runs over the
// "stco" offsets) is done once per run of chunks rather than once per sample.
class SampleLocator {
public:
    SampleLocator() = default;
    explicit SampleLocator(const TrackDescription& track);

    // Offset, size and key-frame flag of sample j (below the "stsz" count);
    // the times are left unset.
    IndexEntry EntryAt(std::uint32_t j) const;

private:
    // Consecutive chunks that hold the same number of samples each.
    struct ChunkSpan {
        std::uint64_t firstSample;
        std::uint64_t endSample;   // first sample after the span
        std::uint64_t firstChunk;  // 1-based
        std::uint32_t samplesPerChunk;
    };
    std::uint32_t SizeOf(std::uint64_t j) const;
    std::uint64_t OffsetOf(std::uint64_t j) const;
    // Sum of the sizes of samples [from, to).
    std::uint64_t SizesBetween(std::uint64_t from, std::uint64_t to) const;
    bool IsKeyFrame(std::uint64_t j) const;

    const TrackDescription* track_ = nullptr;
    std::vector<ChunkSpan> spans_;
    // The key-frame numbers in order, when the file does not list them so.
    std::vector<std::uint32_t> sortedSyncSamples_;
    // The offset found last: reading in order steps from it, so a sample costs
    // one size rather than the sizes of every sample before it in its chunk.
    mutable std::uint64_t lastSample_ = 0;
    mutable std::uint64_t lastChunkFirstSample_ = ~std::uint64_t{0};
    mutable std::uint64_t lastOffset_ = 0;
};

// The sample at or before time x (seconds, relative to the movie's smallest
// start offset): -1 when x lies before the first sample, count when the
// estimate lies beyond the last. timeOf(i) gives the time of sample i < n.
template <typename TimeOf>
std::int64_t FindSampleAtTime(std::uint32_t n, double startOffset, double x, double smallestStartOffset,
                              TimeOf timeOf) {
    if (n == 0) return -1;
    const double c = x - (startOffset - smallestStartOffset);
    const double t0 = timeOf(0);
    const double t1 = timeOf(n - 1);
    const double d = n * (c - t0) / (t1 + DBL_MIN - t0);
    if (!(d >= 0)) return -1;  // also a NaN estimate
    if (d >= n) return n;
    std::uint32_t k = static_cast<std::uint32_t>(d);
    if (c <= timeOf(k)) {
        while (k > 0 && timeOf(k) > c) --k;
        return k;
    }
    while (k + 1 < n && timeOf(k + 1) <= c) ++k;
    return k;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
