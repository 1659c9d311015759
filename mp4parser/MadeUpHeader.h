#pragma once

#include <cstddef>
#include <cstdint>

#include "mp4parser/Movie.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Room for the header block of a track without a paired header track: the
// 16-byte prefix and a frame header of at most 28 bytes.
constexpr std::size_t kMadeUpHeaderBlockSize = 44;

// 1970-01-01 in seconds since 1904-01-01, the epoch of movie times.
constexpr std::uint64_t kMovieEpochTo1970 = 2082844800u;

struct MadeUpHeaderInput {
    std::uint32_t mediaType = 0;
    bool keyFrame = false;
    double time = 0;                 // the sample's time in seconds, start offset included
    std::uint64_t creationTime = 0;  // the track header's, seconds since 1904
    std::uint32_t payloadLength = 0;
    std::uint8_t firstPayloadByte = 0;
    const SampleEntry* entry = nullptr;
};

// Writes the header block (prefix and frame header) that the camera would
// have written for the sample into block, zeroing it first; returns the
// block's length (16 + header length).
std::size_t MakeUpHeaderBlock(const MadeUpHeaderInput& input, std::uint8_t (&block)[kMadeUpHeaderBlockSize]);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
