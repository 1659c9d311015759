#include "mp4parser/Codecs.h"

#include <iterator>

#include "media/byte_cursor.h"
#include "media/media_packet.h"
#include "media/start_code.h"
#include "mp4parser/BoxHeader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

constexpr std::uint8_t kMpeg4VisualObjectType = 0x20;
constexpr std::uint8_t kJpegObjectType = 0x6C;

// Room reserved beyond the configuration's length for the converted sets, as
// the recording format's reader reserves it (each set's 2-byte length becomes
// a 4-byte start code); a capacity only, the sets are appended whatever it is.
constexpr std::size_t kAvcSetsRoom = 569;
constexpr std::size_t kHevcSetsRoom = 1024;
// Where the counts start: an avcC's count of sequence sets after its 5-byte
// head, an hvcC's count of arrays after its 22-byte head.
constexpr std::size_t kAvcSequenceSetCount = 5;
constexpr std::size_t kHevcArrayCount = 22;

// A configuration is read with the pass-over rule: what it announces beyond
// its body is passed over (ConvertParameterSets).
typedef ByteCursor<PassOverRest> ConfigurationCursor;

// Appends start code + the next length-prefixed unit to out, or nothing when
// the unit is not all there.
void CopyUnitWithStartCode(ConfigurationCursor& cursor, std::vector<std::uint8_t>& out) {
    const std::uint16_t length = cursor.ReadU16();
    const std::uint8_t* unit = cursor.Take(length);
    out.insert(out.end(), std::begin(kUnitStartCode), std::end(kUnitStartCode));
    out.insert(out.end(), unit, unit + length);
}

void ConvertAvcConfiguration(const std::vector<std::uint8_t>& body, std::vector<std::uint8_t>& sets) {
    sets.reserve(body.size() + kAvcSetsRoom);
    ConfigurationCursor cursor(body.data(), body.data() + body.size());
    cursor.Seek(kAvcSequenceSetCount);
    const unsigned sequenceSets = cursor.ReadU8() & 0x1F;
    for (unsigned i = 0; i < sequenceSets; ++i) CopyUnitWithStartCode(cursor, sets);
    const unsigned pictureSets = cursor.ReadU8();
    for (unsigned i = 0; i < pictureSets; ++i) CopyUnitWithStartCode(cursor, sets);
}

void ConvertHevcConfiguration(const std::vector<std::uint8_t>& body, std::vector<std::uint8_t>& sets) {
    sets.reserve(body.size() + kHevcSetsRoom);
    ConfigurationCursor cursor(body.data(), body.data() + body.size());
    cursor.Seek(kHevcArrayCount);
    const unsigned arrays = cursor.ReadU8();
    for (unsigned a = 0; a < arrays; ++a) {
        cursor.ReadU8();  // unit type
        const unsigned units = cursor.ReadU16();
        for (unsigned u = 0; u < units; ++u) CopyUnitWithStartCode(cursor, sets);
    }
}

}  // namespace

std::uint32_t MediaTypeOfSampleEntry(const SampleEntry* entry) {
    if (entry == nullptr) return MEDIA_NONE;
    switch (entry->type) {
        case FourCC("avc1"):
            return MEDIA_H264;
        case FourCC("hvc1"):
        case FourCC("hev1"):
            return MEDIA_HEVC;
        case FourCC("mp4v"):
            if (entry->objectType == kMpeg4VisualObjectType) return MEDIA_MP4V;
            if (entry->objectType == kJpegObjectType) return MEDIA_JPEG;
            return MEDIA_NONE;
        case FourCC("s263"):
            return MEDIA_H263;
        case FourCC("mp4a"):
            return MEDIA_AAC;
        case FourCC("samr"):
            return MEDIA_SAMR;
        case FourCC("ulaw"):
            return MEDIA_PCMU;
        case FourCC("alaw"):
            return MEDIA_PCMA;
        case FourCC("g722"):
            return MEDIA_G7221;
        case FourCC("g726"):
            return MEDIA_G726;
        case FourCC("g729"):
            return MEDIA_G729A;
        case FourCC("metx"):
            return MEDIA_METX;
        default:
            return MEDIA_NONE;
    }
}

std::uint32_t HeaderCodecCode(std::uint32_t mediaType) {
    switch (mediaType) {
        case MEDIA_JPEG:
            return FourCC("jpeg");
        case MEDIA_H263:
            return FourCC("h263");
        case MEDIA_MP4V:
            return FourCC("mp4v");
        case MEDIA_H264:
            return FourCC("h264");
        case MEDIA_HEVC:
            return FourCC("hevc");
        case MEDIA_G7221:
            return FourCC("7221");
        case MEDIA_G729A:
            return FourCC("729A");
        case MEDIA_AAC:
            return FourCC("aac ");
        case MEDIA_SAMR:
            return FourCC("SAMR");
        case MEDIA_PCMU:
            return FourCC("PCMU");
        case MEDIA_PCMA:
            return FourCC("PCMA");
        case MEDIA_G726:
            return FourCC("G726");
        case MEDIA_METX:
            return FourCC("metx");
        default:
            return 0;
    }
}

unsigned NalLengthSize(std::uint8_t lengthSizeField) {
    switch (lengthSizeField & 3) {
        case 0:
            return 1;
        case 1:
            return 2;
        default:
            return 4;
    }
}

bool IsAvcEntry(std::uint32_t type) { return type == FourCC("avc1"); }

bool IsHevcEntry(std::uint32_t type) { return type == FourCC("hvc1") || type == FourCC("hev1"); }

std::uint8_t LengthSizeFieldOf(const SampleEntry* entry) {
    if (entry == nullptr) return 0;
    if (IsAvcEntry(entry->type)) return entry->avcLengthSizeField;
    if (IsHevcEntry(entry->type)) return entry->hevcLengthSizeField;
    return 0;
}

// A configuration that announces more than it holds gives the units that it
// holds whole: the sets only go in front of key frames, and a file must not
// become unreadable for them, least of all for a track that is never read.
std::vector<std::uint8_t> ConvertParameterSets(const SampleEntry* entry) {
    std::vector<std::uint8_t> sets;
    if (entry == nullptr) return sets;
    ReadWhatIsThere([&] {
        if (IsAvcEntry(entry->type) && !entry->avcConfiguration.empty())
            ConvertAvcConfiguration(entry->avcConfiguration, sets);
        else if (IsHevcEntry(entry->type) && !entry->hevcConfiguration.empty())
            ConvertHevcConfiguration(entry->hevcConfiguration, sets);
    });
    return sets;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
