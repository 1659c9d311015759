#include "mp4parser/SampleTable.h"

#include <algorithm>
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

}  // namespace

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
    // The chunk walk, a span of chunks at a time: a run keeps its chunks until
    // the chunk number reaches the next run's first chunk (runs that share a
    // first chunk give way to the last of them), and the walk ends with the
    // chunks or the samples; samples beyond the last chunk have offset 0.
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
        offset =
            j >= lastSample_ ? lastOffset_ + SizesBetween(lastSample_, j) : lastOffset_ - SizesBetween(j, lastSample_);
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
    const std::vector<std::uint32_t>& numbers = sortedSyncSamples_.empty() ? track_->syncSamples : sortedSyncSamples_;
    return std::binary_search(numbers.begin(), numbers.end(), j + 1);
}

IndexEntry SampleLocator::EntryAt(std::uint32_t j) const {
    IndexEntry entry;
    entry.size = SizeOf(j);
    entry.sync = IsKeyFrame(j) ? 1 : 0;
    entry.offset = OffsetOf(j);
    return entry;
}

SampleTable SummariseSampleTable(const TrackDescription& track, std::uint32_t movieTimescale) {
    // Sizes that claim more than the file holds fail only the reads of such
    // samples, not the file: a track that is never read cannot spoil the others.
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
