#include "media/frame_header.h"

#include <cstring>
#include <stdexcept>

#include "media/bit_reader.h"
#include "media/byte_cursor.h"
#include "media/tag_list.h"

namespace {

// The callers check that the fixed bytes are there; were they not, the read
// fails as that check does.
struct FailShortFrameHeader {
    [[noreturn]] static void Shortfall() { throw std::runtime_error("frame header too short"); }
};

}  // namespace

FrameHeaderFields ReadFrameHeaderFields(const uint8_t* header) {
    // The fixed fields in turn, as TMediaFrameHeader lays them out.
    ByteCursor<FailShortFrameHeader> fields(header, header + kFrameHeaderFixedSize);
    FrameHeaderFields f{};
    f.totalLength = fields.ReadU32();
    fields.Skip(sizeof(TMediaFrameHeader::codec));
    f.kind = fields.ReadU8();
    f.flags = fields.ReadU32();
    f.seconds = fields.ReadU32();
    f.milliseconds = fields.ReadU16();
    f.extensionWords = fields.ReadU8();
    f.headerLength = kFrameHeaderFixedSize + 4u * f.extensionWords;
    return f;
}

void CheckFrameHeaderSize(const uint8_t* header, size_t headerSize) {
    if (headerSize < kFrameHeaderFixedSize ||
        headerSize < kFrameHeaderFixedSize + 4u * header[kFrameExtensionWordsOffset]) {
        throw std::runtime_error("frame header too short");
    }
}

namespace {

struct CodecEntry {
    char code[4];
    uint32_t mediaType;
};

constexpr CodecEntry kCodecs[] = {
    {{'j', 'p', 'e', 'g'}, MEDIA_JPEG},  {{'h', '2', '6', '3'}, MEDIA_H263},  {{'m', 'p', '4', 'v'}, MEDIA_MP4V},
    {{'h', '2', '6', '4'}, MEDIA_H264},  {{'h', 'e', 'v', 'c'}, MEDIA_HEVC},  {{'D', 'M', 'Y', 'V'}, MEDIA_DMYV},
    {{'7', '2', '2', '1'}, MEDIA_G7221}, {{'7', '2', '9', 'A'}, MEDIA_G729A}, {{'a', 'a', 'c', ' '}, MEDIA_AAC},
    {{'G', 'A', 'M', 'R'}, MEDIA_GAMR},  {{'S', 'A', 'M', 'R'}, MEDIA_SAMR},  {{'P', 'C', 'M', 'U'}, MEDIA_PCMU},
    {{'G', '7', '1', '1'}, MEDIA_PCMU},  {{'P', 'C', 'M', 'A'}, MEDIA_PCMA},  {{'G', '7', '2', '6'}, MEDIA_G726},
    {{'D', 'M', 'Y', 'A'}, MEDIA_DMYA},  {{'m', 'e', 't', 'x'}, MEDIA_METX},
};

// Sample rate and channels set before the audio extension is read; 0 when
// the codec sets none.
void ApplyAudioDefaults(TMediaPacket* p) {
    switch (p->mediaType) {
        case MEDIA_G7221:
            p->sampleRate = 16000;
            p->channels = 1;
            break;
        case MEDIA_G729A:
        case MEDIA_PCMU:
        case MEDIA_PCMA:
        case MEDIA_G726:
        case MEDIA_DMYA:
            p->sampleRate = 8000;
            p->channels = 1;
            break;
        default:
            break;
    }
}

void ReadWindowsTag(BitReader& body, TMediaPacket* p) {
    const uint32_t count = body.Read(8);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t number = body.Read(8);
        if (number < 1 || number > 3) {
            body.Skip(9 * 8);
            continue;
        }
        const uint32_t w = number - 1;
        p->windowEnabled[w] = 1;
        p->windowFlag[w] = body.Read(1);
        p->windowLevel[w] = static_cast<uint8_t>(body.Read(7));
        for (uint16_t& c : p->windowCoords[w]) c = static_cast<uint16_t>(body.Read(16));
    }
}

void ReadStatusTag(BitReader body, uint32_t length, TMediaPacket* p) {
    if (length < 2) return;
    body.Skip(8);
    // Up to four status bytes, the first the least significant.
    const uint32_t used = length - 1 < 4 ? length - 1 : 4;
    uint8_t bytes[4];
    for (uint32_t i = 0; i < used; ++i) bytes[i] = static_cast<uint8_t>(body.Read(8));
    p->statusBits = static_cast<uint32_t>(LittleEndianAt(bytes, used));
}

// Decodes the tags the packet carries; all others (tag 20 among them) are
// passed over by their length. Tags 16, 17 and 24 take their fixed-layout
// bodies whatever length they declare, as the motion-trigger pass does with
// tag 20; a writer must declare the matching length. Nothing is read beyond
// the extension.
void ReadTag(const TagHeader& tag, BitReader& reader, TMediaPacket* p) {
    switch (tag.number) {
        case kTagCoordinates:
            for (int16_t& v : p->tag16Values) v = static_cast<int16_t>(reader.Read(16));
            p->tag16Present = 1;
            return;
        case kTagWindows:
            ReadWindowsTag(reader, p);
            return;
        case kTagSingleBit:
            p->tag24Value = (reader.Read(8) >> 7) | 0x10000u;
            return;
        default:
            break;
    }
    BitReader body = reader.TakeBytes(tag.length);
    switch (tag.number) {
        case kTagStatus:
            ReadStatusTag(body, tag.length, p);
            break;
        case kTagState0:
            p->tag224State = 0x10000u;
            break;
        case kTagState1:
            p->tag224State = 0x10001u;
            break;
        case kTag227:
            p->tag227Present = 1;
            break;
        default:
            break;
    }
}

// The video extension: three optional windows, a bit, four reserved bits,
// then (with the tag-list flag) zero bytes and the tags, each handed to
// visitTag, which must consume its body.
template <typename VisitTag>
void WalkVideoExtension(BitReader& reader, uint32_t flags, TMediaPacket* p, VisitTag visitTag) {
    for (int w = 0; w < 3; ++w) {
        p->windowEnabled[w] = reader.Read(1);
        if (!p->windowEnabled[w]) continue;
        p->windowFlag[w] = reader.Read(1);
        p->windowLevel[w] = static_cast<uint8_t>(reader.Read(7));
        for (uint16_t& c : p->windowCoords[w]) c = static_cast<uint16_t>(reader.Read(10));
    }
    p->videoExtraBit = reader.Read(1);
    reader.Skip(4);
    if ((flags & kFlagTagList) == 0) return;
    SkipZeroBytes(reader);
    p->tagArea = const_cast<uint8_t*>(reader.Position());
    p->tagAreaLength = static_cast<uint32_t>(reader.BytesRemaining());
    while (reader.BytesRemaining() > 0) {
        const TagHeader tag = ReadTagHeader(reader);
        visitTag(tag, reader);
    }
}

void ReadVideoExtension(BitReader& reader, uint32_t flags, TMediaPacket* p) {
    WalkVideoExtension(reader, flags, p, [p](const TagHeader& tag, BitReader& tags) { ReadTag(tag, tags, p); });
}

// Reads the count and its entries whatever length the tag declares.
void ReadMotionTriggers(BitReader& body, std::vector<TMotionTriggerInfoEx>& triggers) {
    const uint32_t count = body.Read(8);
    triggers.assign(count, TMotionTriggerInfoEx{});
    for (TMotionTriggerInfoEx& t : triggers) {
        t.index = static_cast<uint8_t>(body.Read(8));
        t.valid = 1;
        t.flag = body.Read(1);
        t.level = static_cast<uint8_t>(body.Read(7));
        for (uint16_t& v : t.values) v = static_cast<uint16_t>(body.Read(16));
    }
}

void ReadAudioExtension(BitReader& reader, TMediaPacket* p) {
    const uint32_t sameSizes = reader.Read(1);
    const uint32_t hasRate = reader.Read(1);
    const uint32_t hasBitRate = reader.Read(1);
    p->audioFlagD = static_cast<uint8_t>(reader.Read(1));
    reader.Skip(4);
    p->frameCount = reader.Read(8);
    p->constantFrameSize = sameSizes;
    reader.Skip(16);
    if (!sameSizes && p->frameCount > 1) reader.Skip(16ull * (p->frameCount - 1));
    if (hasRate) {
        p->sampleRate = reader.Read(24);
        p->channels = static_cast<uint8_t>(reader.Read(8));
    }
    if (hasBitRate) p->audioBitRate = reader.Read(24);
}

}  // namespace

uint32_t MediaTypeOfCodec(const uint8_t* codec) {
    for (const CodecEntry& entry : kCodecs) {
        if (std::memcmp(entry.code, codec, 4) == 0) return entry.mediaType;
    }
    return MEDIA_NONE;
}

void ParseFrameHeader(TMediaPacket* p) {
    const uint8_t* header = p->header;
    const FrameHeaderFields f = ReadFrameHeaderFields(header);
    p->windows = p->windowEnabled;
    p->headerLength = f.headerLength;
    p->payloadLength = f.totalLength - 4u * f.extensionWords - 16u;

    BitReader reader(header + kFrameHeaderFixedSize, header + f.headerLength);
    p->mediaType = MediaTypeOfCodec(header + kFrameCodecOffset);
    if (IsVideoSyntax(p->mediaType)) {
        p->frameCount = 1;
        ReadVideoExtension(reader, f.flags, p);
    } else if (IsAudioSyntax(p->mediaType)) {
        ApplyAudioDefaults(p);
        ReadAudioExtension(reader, p);
        if (p->mediaType == MEDIA_GAMR || p->mediaType == MEDIA_SAMR) {
            p->sampleRate = 8000;
            p->channels = 1;
        }
    }

    p->frameType = f.kind >> 4;
    p->statusBits |= (f.flags >> 22 & 3u) | (f.flags >> 18 & 3u) << 2;
    p->headerNibble = f.kind & 0x0Fu;
    if (f.flags & kFlagNibbleExtension) p->headerNibble |= f.flags >> 13 & 0x0Fu;
    p->flagBit21 = f.flags >> 21 & 1u;
    p->flagBit20 = f.flags >> 20 & 1u;

    p->seconds = f.seconds;
    p->milliseconds = f.milliseconds;
    p->timeZoneValid = 1;
    p->dstAdjust = (f.flags & kFlagDaylightSaving) ? -3600 : 0;
    p->zoneOffset = (static_cast<int32_t>(f.flags >> kFlagZoneShift & kFlagZoneMask) - 48) * 900;
    // Wrapping 32-bit arithmetic, as the field is read back as unsigned.
    p->utcSeconds =
        static_cast<int32_t>(f.seconds + static_cast<uint32_t>(p->dstAdjust) - static_cast<uint32_t>(p->zoneOffset));
}

// The motion-trigger pass walks the extension as the decoding does, but the
// other way round at the tags: it reads tag 20 whatever length it declares
// and passes every other tag over by its declared length.
void CollectMotionTriggers(const uint8_t* header, size_t headerSize, std::vector<TMotionTriggerInfoEx>& triggers) {
    triggers.clear();
    CheckFrameHeaderSize(header, headerSize);
    const FrameHeaderFields fields = ReadFrameHeaderFields(header);
    if (!IsVideoSyntax(MediaTypeOfCodec(header + kFrameCodecOffset)) || (fields.flags & kFlagTagList) == 0) return;
    BitReader reader(header + kFrameHeaderFixedSize, header + fields.headerLength);
    TMediaPacket passedOver{};  // what the walk decodes on its way is not kept
    WalkVideoExtension(reader, fields.flags, &passedOver, [&triggers](const TagHeader& tag, BitReader& tags) {
        if (tag.number == kTagMotionTriggers) {
            ReadMotionTriggers(tags, triggers);
        } else {
            tags.TakeBytes(tag.length);
        }
    });
}
