#pragma once

#include <cstddef>
#include <cstdint>

// The packet record that every media reader hands out, and the camera's frame
// header it is built from. Types only: the builder is media_packet.h.

// Codec of a packet or a track. Video codes are single bits below 255.
enum MediaType : uint32_t {
    MEDIA_NONE = 0,
    MEDIA_JPEG = 1,
    MEDIA_H263 = 2,
    MEDIA_MP4V = 4,
    MEDIA_H264 = 8,
    MEDIA_HEVC = 16,
    MEDIA_DMYV = 255,  // video extension syntax, but not below 255
    MEDIA_G7221 = 256,
    MEDIA_G729A = 512,
    MEDIA_AAC = 0x400,
    MEDIA_GAMR = 0x800,
    MEDIA_SAMR = 0x1000,
    MEDIA_PCMU = 0x2000,
    MEDIA_PCMA = 0x4000,
    MEDIA_G726 = 0x8000,
    MEDIA_DMYA = 0xFF00,
    MEDIA_METX = 0x20000,
};

// The camera's frame header as it lies in memory: every multi-byte field is
// big-endian, so the record is bytes only and has no padding. The extension
// (4 x extensionWords bytes) and then the payload follow it.
struct TMediaFrameHeader {
    uint8_t totalLength[4];  // header length + payload length - 4
    uint8_t codec[4];        // four ASCII characters, e.g. "h264"
    uint8_t kind;            // high nibble frame kind, low nibble header nibble
    uint8_t flags[4];
    uint8_t seconds[4];
    uint8_t milliseconds[2];
    uint8_t extensionWords;  // E
};
static_assert(sizeof(TMediaFrameHeader) == 20, "frame header is 20 bytes");

inline constexpr uint32_t kFrameHeaderFixedSize = 20;

// Where each fixed field lies, for code that reads or writes one in place.
inline constexpr size_t kFrameTotalLengthOffset = offsetof(TMediaFrameHeader, totalLength);
inline constexpr size_t kFrameCodecOffset = offsetof(TMediaFrameHeader, codec);
inline constexpr size_t kFrameKindOffset = offsetof(TMediaFrameHeader, kind);
inline constexpr size_t kFrameFlagsOffset = offsetof(TMediaFrameHeader, flags);
inline constexpr size_t kFrameSecondsOffset = offsetof(TMediaFrameHeader, seconds);
inline constexpr size_t kFrameMillisecondsOffset = offsetof(TMediaFrameHeader, milliseconds);
inline constexpr size_t kFrameExtensionWordsOffset = offsetof(TMediaFrameHeader, extensionWords);

// Bits of the frame header's flags word.
inline constexpr uint32_t kFlagTagList = 1u << 3;
inline constexpr uint32_t kFlagZoneShift = 4;
inline constexpr uint32_t kFlagZoneMask = 0x7Fu;
inline constexpr uint32_t kFlagDaylightSaving = 1u << 11;
inline constexpr uint32_t kFlagNibbleExtension = 1u << 17;
// What the ISO media parser writes into the headers it makes up: zone index
// 48 (UTC), no daylight saving, bit 21 set.
inline constexpr uint32_t kDefaultFrameFlags = 0x00201304u;

// One entry of a tag-20 motion trigger.
struct TMotionTriggerInfoEx {
    uint8_t index;
    uint32_t valid;  // always 1
    uint32_t flag;   // 1 bit
    uint8_t level;   // 7 bits
    uint16_t values[8];
};

struct TMediaPacket;

// Function table of a packet; both slots return 0.
struct TMediaPacketOps {
    int (*AddRef)(TMediaPacket*);
    int (*Release)(TMediaPacket*);
};

struct TMediaPacket {
    uint8_t* header;  // the frame header; payload at header + headerLength
    uint32_t headerLength;
    uint32_t payloadLength;
    uint32_t mediaType;  // a MediaType code
    uint32_t frameCount;
    uint32_t frameType;
    uint32_t seconds;
    uint32_t milliseconds;
    uint32_t constantFrameSize;
    uint32_t sampleRate;
    uint8_t channels;
    uint32_t headerNibble;
    uint32_t statusBits;
    uint32_t windowEnabled[3];
    uint32_t windowFlag[3];
    uint8_t windowLevel[3];
    // Video packets keep the window coordinates here; audio packets keep their
    // bit rate and flag D in the same storage.
    union {
        uint16_t windowCoords[3][4];
        struct {
            uint32_t audioBitRate;
            uint8_t audioFlagD;
        };
    };
    uint32_t flagBit21;
    uint32_t flagBit20;
    uint32_t videoExtraBit;
    uint8_t* extraData;        // 4-byte big-endian length X, then X bytes
    uint32_t extraDataLength;  // X + 4
    uint32_t recordSize;
    const TMediaPacketOps* ops;
    uint32_t width;
    uint32_t height;
    uint32_t timeZoneValid;
    int32_t dstAdjust;
    int32_t zoneOffset;
    int32_t utcSeconds;
    uint32_t tag224State;
    uint32_t tag16Present;
    int16_t tag16Values[6];
    uint32_t tag24Value;
    uint32_t* windows;  // address of windowEnabled
    uint8_t* tagArea;
    uint32_t tagAreaLength;
    uint32_t tag227Present;
    uint8_t motionTriggerCount;
    TMotionTriggerInfoEx* motionTriggers;
};
