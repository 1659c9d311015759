#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/byte_order.h"
#include "media/packet_record.h"

// The fixed 20 bytes of a camera frame header, decoded from big-endian.
struct FrameHeaderFields {
    uint32_t totalLength;
    uint8_t kind;
    uint32_t flags;
    uint32_t seconds;
    uint16_t milliseconds;
    uint8_t extensionWords;
    uint32_t headerLength;  // 20 + 4 x E
};

// header must hold at least 20 bytes.
FrameHeaderFields ReadFrameHeaderFields(const uint8_t* header);

// Throws std::runtime_error("frame header too short") unless headerSize
// holds the 20 fixed bytes and the 4 x E extension bytes they announce.
void CheckFrameHeaderSize(const uint8_t* header, size_t headerSize);

// The MediaType of a 4-byte codec code; MEDIA_NONE for unknown codes.
uint32_t MediaTypeOfCodec(const uint8_t* codec);

// Codes whose extension has the video syntax (windows, tag list).
inline bool IsVideoSyntax(uint32_t mediaType) {
    return mediaType != MEDIA_NONE && (mediaType < 255 || mediaType == MEDIA_DMYV);
}
// Codes whose extension has the audio syntax.
inline bool IsAudioSyntax(uint32_t mediaType) { return mediaType >= MEDIA_G7221 && mediaType <= MEDIA_DMYA; }

// Decodes the packet's frame header into its fields. The header must hold
// 20 + 4 x E bytes; BuildMediaPacket checks that before it calls this.
void ParseFrameHeader(TMediaPacket* packet);

// Refills triggers from the tag-20 entries of a video frame header
// (headerSize bytes, which must hold 20 + 4 x E), walking the extension as
// ParseFrameHeader does. Throws std::runtime_error("end of stream") when the
// extension or a tag body runs out.
void CollectMotionTriggers(const uint8_t* header, size_t headerSize, std::vector<TMotionTriggerInfoEx>& triggers);
