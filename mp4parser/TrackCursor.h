#pragma once

#include <cstdint>
#include <vector>

#include "media/byte_order.h"
#include "mp4parser/Movie.h"
#include "mp4parser/SampleTable.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// The reading position in one track of a known codec.
struct TrackCursor {
    std::uint32_t mediaType = 0;
    std::int32_t trackIndex = 0;      // position of the track in the movie
    std::int32_t headerTrack = -1;    // index of the paired header track, or -1
    std::uint32_t trackIdMinus1 = 0;  // the track header's id - 1
    std::int32_t sampleCount = 0;     // the "stsz" sample count
    std::int32_t currentSample = 0;   // next sample to deliver
    std::uint8_t enabled = 1;         // 0: stepped over without reading
};

// Sizes that the two working buffers start with; a read grows them.
struct WorkingBufferSizes {
    std::size_t sample = 0;
    std::size_t headerBlock = 0;
};

// Handler type of the tracks that carry the camera's header blocks for the
// track right before them.
constexpr std::uint32_t kHeaderTrackHandler = FourCC("lumo");

// One cursor per track of a known codec, in track order. A header track right
// after such a track gets no cursor; it is paired with it when both have the
// same sample count. parameterSetLengths holds each track's converted
// parameter-set length.
std::vector<TrackCursor> BuildTrackCursors(const Movie& movie, const std::vector<std::size_t>& parameterSetLengths,
                                           WorkingBufferSizes& sizes);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
