#include "mp4parser/SampleTable.h"

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "mp4parser/BadFormat.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// Cursors count samples in 32-bit signed numbers.
void CheckSampleCount(const SampleSizes& stsz) {
    if (stsz.sampleCount > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        ThrowBadFormat("sample count too large");
}

// Samples live in the file, so a file can hold no more samples of a size than
// fit in it, and no sample larger than itself. Checked before a table's
// entries are allocated.
void CheckSampleSizesAgainstFile(const SampleSizes& stsz, std::uint64_t mediaLength) {
    CheckSampleCount(stsz);
    if (stsz.Largest() > mediaLength) ThrowBadFormat("sample size exceeds file");
    if (stsz.sampleSize != 0 && stsz.sampleCount > mediaLength / stsz.sampleSize)
        ThrowBadFormat("sample count exceeds file");
}

void AssignSizesAndSyncFlags(const TrackDescription& track, std::vector<IndexEntry>& entries) {
    const SampleSizes& stsz = track.stsz;
    for (std::size_t j = 0; j < entries.size(); ++j) {
        entries[j].size = stsz.sampleSize != 0 ? stsz.sampleSize : static_cast<std::uint32_t>(stsz.sizes[j]);
        entries[j].sync = track.hasSyncSamples ? 0 : 1;
    }
    for (std::uint32_t number : track.syncSamples)
        if (number >= 1 && number <= entries.size()) entries[number - 1].sync = 1;
}

// Walks the chunks: each "stsc" run gives its chunks a number of samples,
// which lie one after another from the chunk's offset.
void AssignChunkOffsets(const TrackDescription& track, std::vector<IndexEntry>& entries) {
    const std::vector<SampleToChunkEntry>& runs = track.sampleToChunk;
    const StoredNumbers& chunks = track.chunkOffsets;
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
    return FindSampleAtTime(table.count, table.startOffset, x, smallestStartOffset,
                            [&](std::uint32_t i) { return table.TimeOf(i); });
}

DecodeTimes::DecodeTimes(const TrackDescription& track) : timescale_(track.mdhd.timescale) {
    runs_.reserve(track.timeToSample.size() + 1);
    std::uint64_t sample = 0;
    std::uint32_t tick = 0;
    for (const TimeToSampleEntry& run : track.timeToSample) {
        runs_.push_back(Run{sample, tick, run.sampleDelta});
        sample += run.sampleCount;
        tick += run.sampleCount * run.sampleDelta;  // wraps as the sample-by-sample sum does
    }
    // A closing run, so that the sum after the last sample is found too.
    runs_.push_back(Run{sample, tick, 0});
}

std::uint32_t DecodeTimes::TickAt(std::uint64_t n) const {
    if (runs_.empty()) return 0;
    // The last run starting at or before n; runs without samples share their
    // start with the run after them, so this is the run holding sample n.
    auto after = std::upper_bound(runs_.begin(), runs_.end(), n,
                                  [](std::uint64_t sample, const Run& run) { return sample < run.firstSample; });
    const Run& run = *(after - 1);
    return run.firstTick + static_cast<std::uint32_t>(n - run.firstSample) * run.delta;
}

SampleLocator::SampleLocator(const TrackDescription& track) : track_(&track) {
    if (!std::is_sorted(track.syncSamples.begin(), track.syncSamples.end())) {
        sortedSyncSamples_ = track.syncSamples;
        std::sort(sortedSyncSamples_.begin(), sortedSyncSamples_.end());
    }
    // The walk of AssignChunkOffsets, a span of chunks at a time: a run keeps
    // its chunks until the chunk number reaches the next run's first chunk.
    const std::vector<SampleToChunkEntry>& runs = track.sampleToChunk;
    const std::uint64_t chunkCount = track.chunkOffsets.size();
    const std::uint64_t samples = track.stsz.sampleCount;
    if (runs.empty() || chunkCount == 0) return;
    spans_.reserve(runs.size());
    std::uint64_t chunk = 1;
    std::size_t run = 0;
    std::uint64_t sample = 0;
    while (sample < samples && chunk <= chunkCount) {
        while (run + 1 < runs.size() && runs[run + 1].firstChunk == runs[run].firstChunk) ++run;
        const std::uint32_t perChunk = runs[run].samplesPerChunk;
        const bool runEnds = run + 1 < runs.size() && runs[run + 1].firstChunk > chunk;
        std::uint64_t span = chunkCount - chunk + 1;
        if (runEnds) span = std::min<std::uint64_t>(span, runs[run + 1].firstChunk - chunk);
        if (perChunk != 0) span = std::min<std::uint64_t>(span, (samples - sample + perChunk - 1) / perChunk);
        const std::uint64_t end = std::min<std::uint64_t>(samples, sample + span * perChunk);
        spans_.push_back(ChunkSpan{sample, end, chunk, perChunk});
        sample = end;
        chunk += span;
        if (runEnds && chunk == runs[run + 1].firstChunk) ++run;
    }
}

std::uint32_t SampleLocator::SizeOf(std::uint64_t j) const {
    const SampleSizes& stsz = track_->stsz;
    return stsz.sampleSize != 0 ? stsz.sampleSize : static_cast<std::uint32_t>(stsz.sizes[j]);
}

std::uint64_t SampleLocator::OffsetOf(std::uint64_t j) const {
    // The last span starting at or before j; spans without samples share
    // their start with the span after them.
    auto after = std::upper_bound(spans_.begin(), spans_.end(), j, [](std::uint64_t sample, const ChunkSpan& span) {
        return sample < span.firstSample;
    });
    if (after == spans_.begin()) return 0;
    const ChunkSpan& span = *(after - 1);
    if (j >= span.endSample) return 0;  // beyond the last chunk: no offset
    const std::uint64_t intoSpan = j - span.firstSample;
    const std::uint64_t chunk = span.firstChunk + intoSpan / span.samplesPerChunk;
    const std::uint64_t first = j - intoSpan % span.samplesPerChunk;
    const std::uint64_t chunkOffset = track_->chunkOffsets[chunk - 1];
    if (track_->stsz.sampleSize != 0) return chunkOffset + (j - first) * track_->stsz.sampleSize;
    // From the offset found last when it lies in the same chunk and nearer
    // than the chunk's start; else from the chunk's start.
    std::uint64_t offset;
    const std::uint64_t fromLast = j >= lastSample_ ? j - lastSample_ : lastSample_ - j;
    if (lastChunkFirstSample_ == first && fromLast < j - first) {
        offset = j >= lastSample_ ? lastOffset_ + SizesBetween(lastSample_, j) : lastOffset_ - SizesBetween(j, lastSample_);
    } else {
        offset = chunkOffset + SizesBetween(first, j);
    }
    lastSample_ = j;
    lastChunkFirstSample_ = first;
    lastOffset_ = offset;
    return offset;
}

std::uint64_t SampleLocator::SizesBetween(std::uint64_t from, std::uint64_t to) const {
    std::uint64_t sum = 0;
    for (std::uint64_t k = from; k < to; ++k) sum += track_->stsz.sizes[k];
    return sum;
}

bool SampleLocator::IsKeyFrame(std::uint64_t j) const {
    if (!track_->hasSyncSamples) return true;
    const std::vector<std::uint32_t>& numbers =
        sortedSyncSamples_.empty() ? track_->syncSamples : sortedSyncSamples_;
    return std::binary_search(numbers.begin(), numbers.end(), j + 1);
}

IndexEntry SampleLocator::EntryAt(std::uint32_t j) const {
    IndexEntry entry;
    entry.size = SizeOf(j);
    entry.sync = IsKeyFrame(j) ? 1 : 0;
    entry.offset = OffsetOf(j);
    return entry;
}

SampleTable SummariseSampleTable(const TrackDescription& track, std::uint32_t movieTimescale,
                                 std::uint64_t /*mediaLength*/) {
    // Nothing per sample is allocated here, so sizes that claim more than the
    // file holds fail only the reads of such samples, not the file: a track
    // that is never read cannot spoil the others.
    CheckSampleCount(track.stsz);
    SampleTable table;
    table.count = track.stsz.sampleCount;
    if (track.mdhd.timescale == 0) {
        table.count = 0;
        return table;
    }
    ApplyEditList(track, movieTimescale, table);
    std::uint64_t timed = 0;
    for (const TimeToSampleEntry& run : track.timeToSample) timed += run.sampleCount;
    table.count = static_cast<std::uint32_t>(std::min<std::uint64_t>(table.count, timed));
    if (table.editDuration == 0)
        table.editDuration = static_cast<double>(DecodeTimes(track).TickAt(table.count)) / track.mdhd.timescale;
    if (track.hasCompositionOffsets) {
        std::uint64_t offset = 0;
        for (const CompositionOffsetEntry& run : track.compositionOffsets) offset += run.sampleCount;
        table.count = static_cast<std::uint32_t>(std::min<std::uint64_t>(table.count, offset));
    }
    return table;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
