#pragma once

#include <cstddef>
#include <cstdint>

#include "media/media_packet.h"

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

inline uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
inline void PutBigEndian32(uint8_t* p, uint32_t value) {
    p[0] = static_cast<uint8_t>(value >> 24);
    p[1] = static_cast<uint8_t>(value >> 16);
    p[2] = static_cast<uint8_t>(value >> 8);
    p[3] = static_cast<uint8_t>(value);
}
