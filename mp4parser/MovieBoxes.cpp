#include "mp4parser/MovieBoxes.h"

#include <algorithm>

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

void ReadFullBoxFields(BoxBody& box, FullBoxFields& fields) {
    fields.version = box.ReadU8();
    fields.flags = box.ReadU24();
}

// Times and durations are 8 bytes wide in version-1 boxes, 4 otherwise.
std::uint64_t ReadVersionedValue(BoxBody& box, std::uint8_t version) {
    return version != 0 ? box.ReadU64() : box.ReadU32();
}

void ReadMovieHeader(BoxBody& box, MovieHeader& header) {
    ReadFullBoxFields(box, header);
    header.creationTime = ReadVersionedValue(box, header.version);
    header.modificationTime = ReadVersionedValue(box, header.version);
    header.timescale = box.ReadU32();
    header.duration = ReadVersionedValue(box, header.version);
    box.Skip(76);  // rate, volume, reserved, matrix, predefined
    header.nextTrackId = box.ReadU32();
}

void ReadTrackHeader(BoxBody& box, TrackHeader& header) {
    ReadFullBoxFields(box, header);
    header.creationTime = ReadVersionedValue(box, header.version);
    header.modificationTime = ReadVersionedValue(box, header.version);
    header.trackId = box.ReadU32();
    box.Skip(4);
    header.duration = ReadVersionedValue(box, header.version);
    box.Skip(52);  // reserved, layer, alternate group, volume, matrix
    header.width = box.ReadU32() >> 16;
    header.height = box.ReadU32() >> 16;
}

// Version-1 entries carry 64-bit durations and media times; reading them in
// the 32-bit layout would misplace every field after the first. A version-1
// box too short for that many wide entries holds 32-bit ones, the layout
// that readers of recordings take whatever the version.
void ReadEditList(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.elst);
    const std::uint32_t count = box.ReadU32();
    const bool wide = track.elst.version == 1 && count <= box.Remaining() / 20;
    box.RequireEntries(count, wide ? 20 : 12);
    track.editList.assign(count, EditListEntry());
    for (EditListEntry& entry : track.editList) {
        if (wide) {
            entry.segmentDuration = box.ReadU64();
            entry.mediaTime = static_cast<std::int64_t>(box.ReadU64());
        } else {
            entry.segmentDuration = box.ReadU32();
            entry.mediaTime = static_cast<std::int32_t>(box.ReadU32());
        }
        entry.mediaRate = box.ReadU32();
    }
}

void ReadMediaHeader(BoxBody& box, MediaHeader& header) {
    ReadFullBoxFields(box, header);
    header.creationTime = ReadVersionedValue(box, header.version);
    header.modificationTime = ReadVersionedValue(box, header.version);
    header.timescale = box.ReadU32();
    header.duration = ReadVersionedValue(box, header.version);
    header.language = box.ReadU16();
    header.quality = box.ReadU16();
}

void ReadHandler(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.hdlr);
    box.Skip(4);  // predefined
    track.handlerType = box.ReadU32();
}

// Nothing else looks at the references, so a misstated size or count costs
// the file nothing: an entry of 12 bytes or fewer has an empty location, one
// that claims more than the box holds takes the rest of the box and ends the
// list, and a count beyond the entries present keeps those present.
void ReadDataReferences(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.dref);
    const std::uint32_t count = box.ReadU32();
    track.dataReferences.assign(std::min<std::uint64_t>(count, box.Remaining() / 12), DataReferenceEntry());
    for (std::size_t i = 0; i < track.dataReferences.size(); ++i) {
        if (box.Remaining() < 12) {
            track.dataReferences.resize(i);
            break;
        }
        DataReferenceEntry& entry = track.dataReferences[i];
        entry.size = box.ReadU32();
        entry.type = box.ReadU32();
        ReadFullBoxFields(box, entry);
        const std::uint64_t textLength =
            entry.size > 12 ? std::min<std::uint64_t>(entry.size - 12, box.Remaining()) : 0;
        const std::uint8_t* text = box.Take(textLength);
        entry.location.assign(reinterpret_cast<const char*>(text), std::find(text, text + textLength, '\0') - text);
    }
}

// A count and that many entries of entrySize bytes, each decoded by
// readEntry from its bytes in place; the whole table is checked against the
// box once.
template <typename Entry, typename ReadEntry>
void ReadCountedEntries(BoxBody& box, std::uint64_t entrySize, std::vector<Entry>& entries, ReadEntry readEntry) {
    const std::uint32_t count = box.ReadU32();
    box.RequireEntries(count, entrySize);
    const std::uint8_t* bytes = box.Take(count * entrySize);
    entries.assign(count, Entry());
    for (std::uint32_t i = 0; i < count; ++i) readEntry(entries[i], bytes + entrySize * i);
}

void ReadTimeToSample(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.stts);
    ReadCountedEntries(box, 8, track.timeToSample, [](TimeToSampleEntry& entry, const std::uint8_t* bytes) {
        entry.sampleCount = BigEndian32(bytes);
        entry.sampleDelta = BigEndian32(bytes + 4);
    });
}

void ReadCompositionOffsets(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.ctts);
    ReadCountedEntries(box, 8, track.compositionOffsets, [](CompositionOffsetEntry& entry, const std::uint8_t* bytes) {
        entry.sampleCount = BigEndian32(bytes);
        entry.sampleOffset = BigEndian32(bytes + 4);
    });
    track.hasCompositionOffsets = true;
}

void ReadSyncSamples(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.stss);
    ReadCountedEntries(box, 4, track.syncSamples,
                       [](std::uint32_t& number, const std::uint8_t* bytes) { number = BigEndian32(bytes); });
    track.hasSyncSamples = true;
}

// Each run also learns the number of its first sample (unsigned arithmetic:
// a corrupt table wraps instead of overflowing).
void ReadSampleToChunk(BoxBody& box, TrackDescription& track) {
    ReadFullBoxFields(box, track.stsc);
    ReadCountedEntries(box, 12, track.sampleToChunk, [](SampleToChunkEntry& entry, const std::uint8_t* bytes) {
        entry.firstChunk = BigEndian32(bytes);
        entry.samplesPerChunk = BigEndian32(bytes + 4);
        entry.sampleDescriptionIndex = BigEndian32(bytes + 8);
    });
    for (std::size_t k = 1; k < track.sampleToChunk.size(); ++k) {
        const SampleToChunkEntry& before = track.sampleToChunk[k - 1];
        SampleToChunkEntry& entry = track.sampleToChunk[k];
        entry.firstSample = (entry.firstChunk - before.firstChunk) * before.samplesPerChunk + before.firstSample;
    }
}

void ReadSampleSizes(BoxBody& box, SampleSizes& sizes) {
    ReadFullBoxFields(box, sizes);
    sizes.sampleSize = box.ReadU32();
    sizes.sampleCount = box.ReadU32();
    sizes.sizes = StoredNumbers();
    if (sizes.sampleSize != 0) return;
    box.RequireEntries(sizes.sampleCount, 4);
    const std::uint8_t* bytes = box.Take(std::uint64_t{sizes.sampleCount} * 4);
    sizes.sizes = StoredNumbers(box.Owner(), bytes, sizes.sampleCount, 4);
}

// "co64" is read as well as "stco", so that recordings beyond 4 GiB work.
void ReadChunkOffsets(BoxBody& box, TrackDescription& track, bool wide) {
    ReadFullBoxFields(box, track.stco);
    const unsigned width = wide ? 8 : 4;
    const std::uint32_t count = box.ReadU32();
    box.RequireEntries(count, width);
    const std::uint8_t* bytes = box.Take(std::uint64_t{count} * width);
    track.chunkOffsets = StoredNumbers(box.Owner(), bytes, count, width);
}

void ReadSampleTable(BoxBody& stbl, TrackDescription& track) {
    ForEachChild(stbl, [&](const BoxHeader& child, BoxBody& box) {
        switch (child.type) {
            case FourCC("stsd"):
                ReadSampleDescription(box, track);
                break;
            case FourCC("stts"):
                ReadTimeToSample(box, track);
                break;
            case FourCC("ctts"):
                ReadCompositionOffsets(box, track);
                break;
            case FourCC("stss"):
                ReadSyncSamples(box, track);
                break;
            case FourCC("stsc"):
                ReadSampleToChunk(box, track);
                break;
            case FourCC("stsz"):
                ReadSampleSizes(box, track.stsz);
                break;
            case FourCC("stco"):
                ReadChunkOffsets(box, track, false);
                break;
            case FourCC("co64"):
                ReadChunkOffsets(box, track, true);
                break;
            default:
                break;
        }
    });
}

void ReadMediaInformation(BoxBody& minf, TrackDescription& track) {
    MediaInformation& info = track.minf;
    ForEachChild(minf, [&](const BoxHeader& child, BoxBody& box) {
        switch (child.type) {
            case FourCC("vmhd"):
                info.videoHeaderPresent = 1;
                ReadFullBoxFields(box, info.vmhd);
                break;
            case FourCC("smhd"):
                info.soundHeaderPresent = 1;
                ReadFullBoxFields(box, info.smhd);
                break;
            case FourCC("hmhd"):
                info.hintHeaderPresent = 1;
                ReadFullBoxFields(box, info.hmhd);
                info.maxPduSize = box.ReadU16();
                info.averagePduSize = box.ReadU16();
                info.maxBitRate = box.ReadU32();
                info.averageBitRate = box.ReadU32();
                info.reserved = box.ReadU32();
                break;
            case FourCC("dinf"):
                ForEachChild(box, [&](const BoxHeader& dinfChild, BoxBody& dref) {
                    if (dinfChild.type == FourCC("dref")) ReadDataReferences(dref, track);
                });
                break;
            case FourCC("stbl"):
                ReadSampleTable(box, track);
                break;
            default:
                break;
        }
    });
}

void ReadMedia(BoxBody& mdia, TrackDescription& track) {
    ForEachChild(mdia, [&](const BoxHeader& child, BoxBody& box) {
        switch (child.type) {
            case FourCC("mdhd"):
                ReadMediaHeader(box, track.mdhd);
                break;
            case FourCC("hdlr"):
                ReadHandler(box, track);
                break;
            case FourCC("minf"):
                ReadMediaInformation(box, track);
                break;
            default:
                break;
        }
    });
}

void ReadTrack(BoxBody& trak, TrackDescription& track) {
    ForEachChild(trak, [&](const BoxHeader& child, BoxBody& box) {
        switch (child.type) {
            case FourCC("tkhd"):
                ReadTrackHeader(box, track.tkhd);
                break;
            case FourCC("edts"):
                ForEachChild(box, [&](const BoxHeader& edtsChild, BoxBody& elst) {
                    if (edtsChild.type == FourCC("elst")) ReadEditList(elst, track);
                });
                break;
            case FourCC("mdia"):
                ReadMedia(box, track);
                break;
            default:
                break;
        }
    });
}

}  // namespace

StoredNumbers StoredNumbers::Of(const std::vector<std::uint64_t>& values, unsigned width) {
    width = width == 8 ? 8 : 4;
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(values.size() * width);
    for (std::size_t i = 0; i < values.size(); ++i) PutBigEndian(bytes->data() + width * i, values[i], width);
    const std::uint8_t* data = bytes->data();
    return StoredNumbers(std::move(bytes), data, static_cast<std::uint32_t>(values.size()), width);
}

void ReadMovie(BoxBody& moov, Movie& movie) {
    movie.trackCount = 0;
    movie.tracks.clear();
    ForEachChild(moov, [&](const BoxHeader& child, BoxBody& box) {
        switch (child.type) {
            case FourCC("mvhd"):
                ReadMovieHeader(box, movie.mvhd);
                break;
            case FourCC("trak"):
                if (movie.tracks.size() >= kMaxTracks) break;
                movie.tracks.emplace_back();
                movie.trackCount = static_cast<std::uint32_t>(movie.tracks.size());
                ReadTrack(box, movie.tracks.back());
                break;
            default:
                break;
        }
    });
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
