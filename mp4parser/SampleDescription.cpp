#include "mp4parser/MovieBoxes.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

constexpr std::uint8_t kAvcObjectType = 241;
constexpr std::uint8_t kH263ObjectType = 242;
constexpr std::uint8_t kAvs2ObjectType = 244;

constexpr std::uint8_t kEsDescriptorTag = 3;
constexpr std::uint8_t kDecoderConfigTag = 4;
constexpr std::uint8_t kDecoderSpecificInfoTag = 5;
constexpr std::uint8_t kSyncLayerConfigTag = 6;

// Descriptor length: up to four bytes of 7 bits, a set top bit meaning that
// another byte follows.
std::uint32_t ReadExpandableSize(BoxBody& box) {
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t byte = box.ReadU8();
        size = size << 7 | (byte & 0x7F);
        if ((byte & 0x80) == 0) break;
    }
    return size;
}

// The decoder configuration after its tag and length: object type, stream
// type, buffer size and the two bit rates.
void ReadDecoderConfig(BoxBody& esds, ElementaryStreamDescriptor& descriptor) {
    ReadExpandableSize(esds);  // its length says nothing the fields do not
    descriptor.objectTypeIndication = esds.ReadU8();
    descriptor.streamType = esds.ReadU8();
    descriptor.bufferSize = esds.ReadU24();
    descriptor.maxBitRate = esds.ReadU32();
    descriptor.averageBitRate = esds.ReadU32();
}

// Descriptors after the ES descriptor's fixed fields, counted down from its
// length the way recorders' readers count: a decoder configuration counts 18
// bytes (22 and its information's length when that follows), a
// sync-layer descriptor its length and 5, any other byte 1.
void ReadEsSubDescriptors(BoxBody& esds, std::int64_t remaining, ElementaryStreamDescriptor& descriptor) {
    while (remaining > 0) {
        const std::uint8_t tag = esds.ReadU8();
        if (tag == kDecoderConfigTag) {
            ReadDecoderConfig(esds, descriptor);
            if (remaining != 18 && esds.ReadU8() == kDecoderSpecificInfoTag) {
                const std::uint32_t length = ReadExpandableSize(esds);
                if (length > 0) {
                    const std::uint64_t position = esds.Position();
                    const std::uint8_t* info = esds.Take(length);
                    descriptor.decoderSpecificInfo.assign(info, info + length);
                    descriptor.decoderSpecificInfoPosition = position;
                }
                remaining -= std::int64_t{length} + 22;
            } else {
                remaining -= 18;
            }
        } else if (tag == kSyncLayerConfigTag) {
            const std::uint32_t length = ReadExpandableSize(esds);
            esds.Skip(length);
            remaining -= std::int64_t{length} + 5;
        } else {
            remaining -= 1;
        }
    }
}

void ReadVisualFields(BoxBody& entry, SampleEntry& sample) {
    entry.Skip(16);  // predefined and reserved
    sample.width = entry.ReadU16();
    sample.height = entry.ReadU16();
}

// One layout for every sound description: the first 8 bytes (a version, a
// revision and a vendor in some writers' files, anything in others) are not
// looked at. The extra fields of later sound-description versions are then
// walked as children; they end the walk where they do not look like a child
// that fits.
void ReadAudioFields(BoxBody& entry, SampleEntry& sample) {
    entry.Skip(8);
    sample.channelCount = entry.ReadU16();
    sample.sampleSize = entry.ReadU16();
    entry.Skip(4);  // compression id, packet size
    sample.sampleRate = entry.ReadU32() >> 16;
}

void ReadEsdsChildren(BoxBody& entry, SampleEntry& sample) {
    ForEachChild(entry, [&](const BoxHeader& child, BoxBody& box) {
        if (child.type == FourCC("esds")) ReadElementaryStreamDescriptor(box, sample.esds);
    });
    sample.objectType = sample.esds.objectTypeIndication;
}

void ReadCodingConfiguration(BoxBody& entry, SampleEntry& sample, bool hevc) {
    ForEachChild(entry, [&](const BoxHeader& child, BoxBody& box) {
        if (child.type == FourCC("avcC") && !hevc) {
            sample.avcConfiguration = box.ReadToEnd();
            if (sample.avcConfiguration.size() >= 5) sample.avcLengthSizeField = sample.avcConfiguration[4] & 3;
        } else if (child.type == FourCC("hvcC") && hevc) {
            sample.hevcConfiguration = box.ReadToEnd();
            if (sample.hevcConfiguration.size() > 21) sample.hevcLengthSizeField = sample.hevcConfiguration[21] & 3;
        } else if (child.type == FourCC("btrt")) {
            sample.btrtBufferSize = box.ReadU32();
            sample.btrtMaxBitRate = box.ReadU32();
            sample.btrtAverageBitRate = box.ReadU32();
        }
    });
}

void ReadSampleEntry(const BoxHeader& header, BoxBody& entry, SampleEntry& sample) {
    sample.type = header.type;
    entry.Skip(6);  // reserved
    sample.dataReferenceIndex = entry.ReadU16();
    switch (header.type) {
        case FourCC("avc1"):
        case FourCC("hvc1"):
        case FourCC("hev1"): {
            const bool hevc = header.type != FourCC("avc1");
            ReadVisualFields(entry, sample);
            entry.Skip(50);
            ReadCodingConfiguration(entry, sample, hevc);
            sample.objectType = hevc ? 0 : kAvcObjectType;
            break;
        }
        case FourCC("mp4v"):
        case FourCC("avs2"):
            ReadVisualFields(entry, sample);
            sample.horizontalResolution = entry.ReadU32();
            sample.verticalResolution = entry.ReadU32();
            entry.Skip(42);
            ReadEsdsChildren(entry, sample);
            if (header.type == FourCC("avs2")) sample.objectType = kAvs2ObjectType;
            break;
        case FourCC("s263"):
            ReadVisualFields(entry, sample);
            sample.objectType = kH263ObjectType;
            break;
        case FourCC("mp4a"):
        case FourCC("ulaw"):
        case FourCC("alaw"):
        case FourCC("g722"):
        case FourCC("g726"):
        case FourCC("g729"):
            ReadAudioFields(entry, sample);
            ReadEsdsChildren(entry, sample);
            break;
        case FourCC("samr"): {
            ReadAudioFields(entry, sample);
            BoxHeader child;
            if (entry.NextChild(child) && child.type == FourCC("damr")) {
                BoxBody body = entry.Child(child);
                sample.amrConfiguration = body.ReadToEnd();
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace

// Every entry is read inside its own declared size, and the next one starts at
// that end whatever the previous entry's reader took.
void ReadSampleDescription(BoxBody& stsd, TrackDescription& track) {
    track.stsd.version = stsd.ReadU8();
    track.stsd.flags = stsd.ReadU24();
    const std::uint32_t count = stsd.ReadU32();
    stsd.RequireEntries(count, 8);
    track.sampleEntries.clear();
    track.sampleEntries.reserve(count);
    BoxHeader header;
    for (std::uint32_t i = 0; i < count && stsd.NextChild(header); ++i) {
        track.sampleEntries.emplace_back();
        BoxBody entry = stsd.Child(header);
        ReadSampleEntry(header, entry, track.sampleEntries.back());
        stsd.Seek(header.end);
    }
}

// The descriptor's lengths do not bound what is read, so a descriptor that
// misstates them still gives its object type. What lies past the box is not
// read: the descriptor ends there, keeping the fields read so far, and the
// file stays readable.
void ReadElementaryStreamDescriptor(BoxBody& esds, ElementaryStreamDescriptor& descriptor) {
    try {
        descriptor.version = esds.ReadU8();
        descriptor.flags = esds.ReadU24();
        if (esds.ReadU8() != kEsDescriptorTag) return;
        const std::uint32_t length = ReadExpandableSize(esds);
        descriptor.esId = esds.ReadU16();
        const std::uint8_t flags = esds.ReadU8();
        descriptor.streamDependence = flags >> 7 & 1;
        descriptor.urlFlag = flags >> 6 & 1;
        descriptor.ocrStream = flags >> 5 & 1;
        descriptor.streamPriority = flags & 0x1F;
        ReadEsSubDescriptors(esds, std::int64_t{length} - 3, descriptor);
    } catch (const BadFormat&) {
        // Ran into the box's end.
    }
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
