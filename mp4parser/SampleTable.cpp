#include "mp4parser/SampleTable.h"

#include <cfloat>
#include <cstdint>
#include <limits>

#include "mp4parser/BadFormat.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// Samples live in the file, so a file can hold no more samples of a size than
// fit in it, and no sample larger than itself. Checked before any allocation.
void CheckSampleSizesAgainstFile(const SampleSizes& stsz, std::uint64_t mediaLength) {
    if (stsz.sampleCount > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        ThrowBadFormat("sample count too large");
    if (stsz.largestSize > mediaLength) ThrowBadFormat("sample size exceeds file");
    if (stsz.sampleSize != 0 && stsz.sampleCount > mediaLength / stsz.sampleSize)
        ThrowBadFormat("sample count exceeds file");
}

void AssignSizesAndSyncFlags(const TrackDescription& track, std::vector<IndexEntry>& entries) {
    const SampleSizes& stsz = track.stsz;
    for (std::size_t j = 0; j < entries.size(); ++j) {
        entries[j].size = stsz.sampleSize != 0 ? stsz.sampleSize : stsz.sizes[j];
        entries[j].sync = track.hasSyncSamples ? 0 : 1;
    }
    for (std::uint32_t number : track.syncSamples)
        if (number >= 1 && number <= entries.size()) entries[number - 1].sync = 1;
}

// Walks the chunks: each "stsc" run gives its chunks a number of samples,
// which lie one after another from the chunk's offset.
void AssignChunkOffsets(const TrackDescription& track, std::vector<IndexEntry>& entries) {
    const std::vector<SampleToChunkEntry>& runs = track.sampleToChunk;
    const std::vector<std::uint64_t>& chunks = track.chunkOffsets;
    if (runs.empty() || chunks.empty()) return;
    std::uint64_t chunk = 1;
    std::size_t run = 0;
    std::size_t sample = 0;
    while (sample < entries.size() && chunk <= chunks.size()) {
        std::uint64_t offset = chunks[chunk - 1];
        while (run + 1 < runs.size() && runs[run + 1].firstChunk == runs[run].firstChunk) ++run;
        for (std::uint32_t k = 0; k < runs[run].samplesPerChunk && sample < entries.size(); ++k, ++sample) {
            entries[sample].offset = offset;
            offset += entries[sample].size;
        }
        ++chunk;
        if (run + 1 < runs.size() && chunk == runs[run + 1].firstChunk) ++run;
    }
}

// Empty edits delay the track; the other edits add up to its edit duration.
// A movie timescale of 0 gives the edits no length rather than infinite ones.
void ApplyEditList(const TrackDescription& track, std::uint32_t movieTimescale, SampleTable& table) {
    if (movieTimescale == 0) return;
    for (const EditListEntry& edit : track.editList) {
        const double seconds = static_cast<double>(edit.segmentDuration) / movieTimescale;
        if (edit.mediaTime == -1)
            table.startOffset += seconds;
        else
            table.editDuration += seconds;
    }
}

// Gives each sample its decode tick (a running 32-bit sum of "stts" deltas);
// returns how many samples got one and the final sum.
std::uint32_t AssignDecodeTicks(const TrackDescription& track, SampleTable& table, std::uint32_t& sum) {
    const double timescale = track.mdhd.timescale;
    const bool withOffsets = track.hasCompositionOffsets;
    std::uint32_t sample = 0;
    sum = 0;
    for (const TimeToSampleEntry& run : track.timeToSample) {
        for (std::uint32_t k = 0; k < run.sampleCount && sample < table.count; ++k, ++sample) {
            IndexEntry& entry = table.entries[sample];
            if (withOffsets) {
                entry.compositionTime = sum;  // ticks for now; the offsets walk turns them into seconds
                entry.decodeTime = sum;
            } else {
                entry.compositionTime = sum / timescale;
                entry.decodeTime = -1.0;
            }
            sum += run.sampleDelta;
        }
        if (sample >= table.count) break;
    }
    return sample;
}

std::uint32_t ApplyCompositionOffsets(const TrackDescription& track, SampleTable& table) {
    const double timescale = track.mdhd.timescale;
    std::uint32_t sample = 0;
    for (const CompositionOffsetEntry& run : track.compositionOffsets) {
        for (std::uint32_t k = 0; k < run.sampleCount && sample < table.count; ++k, ++sample) {
            IndexEntry& entry = table.entries[sample];
            const std::uint32_t tick = static_cast<std::uint32_t>(entry.decodeTime);
            entry.compositionTime = static_cast<std::uint32_t>(tick + run.sampleOffset) / timescale;
            entry.decodeTime = tick / timescale;
        }
        if (sample >= table.count) break;
    }
    return sample;
}

void AssignTimes(const TrackDescription& track, std::uint32_t movieTimescale, SampleTable& table) {
    if (track.mdhd.timescale == 0) {
        table.count = 0;
        return;
    }
    ApplyEditList(track, movieTimescale, table);
    std::uint32_t sum = 0;
    // Samples without a decode time cannot be placed in time: they are left
    // out of the count, with or without composition offsets.
    table.count = AssignDecodeTicks(track, table, sum);
    if (table.editDuration == 0) table.editDuration = static_cast<double>(sum) / track.mdhd.timescale;
    if (track.hasCompositionOffsets) table.count = ApplyCompositionOffsets(track, table);
}

}  // namespace

SampleTable BuildSampleTable(const TrackDescription& track, std::uint32_t movieTimescale, std::uint64_t mediaLength) {
    CheckSampleSizesAgainstFile(track.stsz, mediaLength);
    SampleTable table;
    table.entries.assign(track.stsz.sampleCount, IndexEntry());
    table.count = track.stsz.sampleCount;
    AssignSizesAndSyncFlags(track, table.entries);
    AssignChunkOffsets(track, table.entries);
    AssignTimes(track, movieTimescale, table);
    return table;
}

std::int64_t FindSampleAtTime(const SampleTable& table, double x, double smallestStartOffset) {
    const std::uint32_t n = table.count;
    if (n == 0) return -1;
    const double c = x - (table.startOffset - smallestStartOffset);
    const double t0 = table.TimeOf(0);
    const double t1 = table.TimeOf(n - 1);
    const double d = n * (c - t0) / (t1 + DBL_MIN - t0);
    if (!(d >= 0)) return -1;  // also a NaN estimate
    if (d >= n) return n;
    std::uint32_t k = static_cast<std::uint32_t>(d);
    if (c <= table.TimeOf(k)) {
        while (k > 0 && table.TimeOf(k) > c) --k;
        return k;
    }
    while (k + 1 < n && table.TimeOf(k + 1) <= c) ++k;
    return k;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
