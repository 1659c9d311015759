#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/byte_order.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// What the box reader takes from a file: the movie, its tracks, their sample
// entries and raw sample tables. Variable-length parts are owned vectors.

struct FullBoxFields {
    std::uint8_t version = 0;
    std::uint32_t flags = 0;  // 24 bits
};

struct MovieHeader : FullBoxFields {
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint32_t nextTrackId = 0;
};

struct TrackHeader : FullBoxFields {
    std::uint64_t creationTime = 0;  // seconds since 1904-01-01
    std::uint64_t modificationTime = 0;
    std::uint32_t trackId = 0;
    std::uint64_t duration = 0;
    std::uint32_t width = 0;  // integer part of the 16.16 value
    std::uint32_t height = 0;
};

struct MediaHeader : FullBoxFields {
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint32_t timescale = 0;
    std::uint64_t duration = 0;
    std::uint16_t language = 0;
    std::uint16_t quality = 0;
};

struct MediaInformation {
    std::uint8_t videoHeaderPresent = 0;
    std::uint8_t soundHeaderPresent = 0;
    std::uint8_t hintHeaderPresent = 0;
    FullBoxFields vmhd;
    FullBoxFields smhd;
    FullBoxFields hmhd;
    std::uint16_t maxPduSize = 0;
    std::uint16_t averagePduSize = 0;
    std::uint32_t maxBitRate = 0;
    std::uint32_t averageBitRate = 0;
    std::uint32_t reserved = 0;
};

struct ElementaryStreamDescriptor : FullBoxFields {
    std::uint16_t esId = 0;
    std::uint8_t streamDependence = 0;
    std::uint8_t urlFlag = 0;
    std::uint8_t ocrStream = 0;
    std::uint8_t streamPriority = 0;
    std::uint8_t objectTypeIndication = 0;
    std::uint8_t streamType = 0;
    std::uint32_t bufferSize = 0;  // 24 bits
    std::uint32_t maxBitRate = 0;
    std::uint32_t averageBitRate = 0;
    std::vector<std::uint8_t> decoderSpecificInfo;
    std::uint64_t decoderSpecificInfoPosition = 0;
};

struct SampleEntry {
    std::uint32_t type = 0;
    std::uint16_t dataReferenceIndex = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint32_t horizontalResolution = 0;
    std::uint32_t verticalResolution = 0;
    std::uint16_t channelCount = 0;
    std::uint16_t sampleSize = 0;
    std::uint32_t sampleRate = 0;  // integer part of the 16.16 value
    std::uint8_t objectType = 0;
    ElementaryStreamDescriptor esds;
    std::uint32_t btrtBufferSize = 0;
    std::uint32_t btrtMaxBitRate = 0;
    std::uint32_t btrtAverageBitRate = 0;
    std::vector<std::uint8_t> avcConfiguration;
    std::uint8_t avcLengthSizeField = 0;
    std::vector<std::uint8_t> hevcConfiguration;
    std::uint8_t hevcLengthSizeField = 0;
    std::vector<std::uint8_t> amrConfiguration;
};

struct TimeToSampleEntry {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleDelta = 0;
};

struct CompositionOffsetEntry {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleOffset = 0;
};

// A table of numbers as the file stores them: big-endian, 4 or 8 bytes each.
// The times of a recording need a handful of entries of tables that hold
// thousands, so an entry is decoded where it is read; the bytes stay with the
// movie box they were read from, which the table shares.
class StoredNumbers {
public:
    StoredNumbers() = default;
    // count entries of width (4 or 8) bytes from bytes on, kept alive by owner.
    StoredNumbers(std::shared_ptr<const void> owner, const std::uint8_t* bytes, std::uint32_t count, unsigned width)
        : owner_(std::move(owner)), bytes_(bytes), count_(count), width_(width == 8 ? 8 : 4) {}
    // A table of the given values, stored width bytes each.
    static StoredNumbers Of(const std::vector<std::uint64_t>& values, unsigned width = 8);

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::uint64_t operator[](std::size_t i) const {
        const std::uint8_t* entry = bytes_ + width_ * i;
        return width_ == 8 ? BigEndian64(entry) : BigEndian32(entry);
    }

private:
    std::shared_ptr<const void> owner_;
    const std::uint8_t* bytes_ = nullptr;
    std::uint32_t count_ = 0;
    unsigned width_ = 4;
};

struct SampleToChunkEntry {
    std::uint32_t firstChunk = 0;
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t sampleDescriptionIndex = 0;
    std::uint32_t firstSample = 0;  // computed
};

struct SampleSizes : FullBoxFields {
    std::uint32_t sampleSize = 0;  // the common size, 0 when each has its own
    std::uint32_t sampleCount = 0;
    StoredNumbers sizes;  // one per sample unless they share sampleSize

    // A sweep over every size: only for checks of the whole table.
    std::uint32_t Largest() const {
        if (sampleSize != 0) return sampleSize;
        std::uint64_t largest = 0;
        for (std::size_t i = 0; i < sizes.size(); ++i) largest = std::max(largest, sizes[i]);
        return static_cast<std::uint32_t>(largest);
    }
};

struct DataReferenceEntry : FullBoxFields {
    std::uint32_t size = 0;
    std::uint32_t type = 0;
    std::string location;
};

struct EditListEntry {
    std::uint64_t segmentDuration = 0;  // movie timescale
    std::int64_t mediaTime = 0;         // -1: empty edit
    std::uint32_t mediaRate = 0;
};

struct TrackDescription {
    TrackHeader tkhd;
    MediaHeader mdhd;
    MediaInformation minf;

    FullBoxFields stsd;
    std::vector<SampleEntry> sampleEntries;
    FullBoxFields stts;
    std::vector<TimeToSampleEntry> timeToSample;
    bool hasSyncSamples = false;
    FullBoxFields stss;
    std::vector<std::uint32_t> syncSamples;
    FullBoxFields stsc;
    std::vector<SampleToChunkEntry> sampleToChunk;
    SampleSizes stsz;
    FullBoxFields stco;
    StoredNumbers chunkOffsets;  // from "stco" or "co64"
    bool hasCompositionOffsets = false;
    FullBoxFields ctts;
    std::vector<CompositionOffsetEntry> compositionOffsets;

    FullBoxFields dref;
    std::vector<DataReferenceEntry> dataReferences;
    FullBoxFields hdlr;
    std::uint32_t handlerType = 0;
    FullBoxFields elst;
    std::vector<EditListEntry> editList;

    const SampleEntry* FirstSampleEntry() const { return sampleEntries.empty() ? nullptr : &sampleEntries.front(); }
    std::uint32_t FirstSampleEntryType() const { return sampleEntries.empty() ? 0 : sampleEntries.front().type; }
};

// Tracks beyond this many in one movie are passed over.
constexpr std::size_t kMaxTracks = 16;

struct Movie {
    std::uint32_t trackCount = 0;
    MovieHeader mvhd;
    std::vector<TrackDescription> tracks;  // at most kMaxTracks, in file order
};

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
