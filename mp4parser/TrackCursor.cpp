#include "mp4parser/TrackCursor.h"

#include <algorithm>

#include "mp4parser/Codecs.h"
#include "mp4parser/MadeUpHeader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// The recording format's reader sizes its buffers with this slack: room to
// align the start (to 16 bytes for samples, to 4 for header blocks) and 4
// spare bytes; 15 + 4 and 3 + 4.
constexpr std::size_t kSampleBufferSlack = 19;
constexpr std::size_t kHeaderBufferSlack = 7;
// Units per sample that the recording format's estimate allows for, each
// growing by 3 - its length-size field when its length becomes a start code.
// A sample of more units makes the buffer grow when it is read.
constexpr std::size_t kAvcUnitsEstimated = 5;
constexpr std::size_t kHevcUnitsEstimated = 2;

// What converting a sample to start-code form may add to it. The sample's
// own size is left to its read, which grows the buffer: finding the largest
// would cost a sweep over every size of the track for a few samples read.
std::size_t SampleNeeds(const TrackDescription& track, std::size_t parameterSetLength) {
    const std::uint32_t type = track.FirstSampleEntryType();
    const unsigned lengthField = LengthSizeFieldOf(track.FirstSampleEntry());
    const std::size_t growthPerUnit = 3 - lengthField;
    std::size_t extra = 0;
    if (IsAvcEntry(type)) extra = parameterSetLength + kAvcUnitsEstimated * growthPerUnit;
    if (IsHevcEntry(type)) extra = parameterSetLength + kHevcUnitsEstimated * growthPerUnit;
    return extra;
}

}  // namespace

std::vector<TrackCursor> BuildTrackCursors(const Movie& movie, const std::vector<std::size_t>& parameterSetLengths,
                                           WorkingBufferSizes& sizes) {
    std::vector<TrackCursor> cursors;
    cursors.reserve(movie.tracks.size());
    std::size_t sampleNeeds = 0;
    std::size_t headerNeeds = kMadeUpHeaderBlockSize;
    const std::size_t trackCount = movie.tracks.size();
    for (std::size_t i = 0; i < trackCount; ++i) {
        const TrackDescription& track = movie.tracks[i];
        const std::uint32_t mediaType = MediaTypeOfSampleEntry(track.FirstSampleEntry());
        if (mediaType == 0) continue;
        TrackCursor cursor;
        cursor.mediaType = mediaType;
        cursor.trackIndex = static_cast<std::int32_t>(i);
        cursor.trackIdMinus1 = track.tkhd.trackId - 1;
        cursor.sampleCount = static_cast<std::int32_t>(track.stsz.sampleCount);
        sampleNeeds = std::max(sampleNeeds, SampleNeeds(track, parameterSetLengths[i]));
        if (i + 1 < trackCount && movie.tracks[i + 1].handlerType == kHeaderTrackHandler) {
            const TrackDescription& headerTrack = movie.tracks[i + 1];
            if (headerTrack.stsz.sampleCount == track.stsz.sampleCount) {
                cursor.headerTrack = static_cast<std::int32_t>(i + 1);
                headerNeeds = std::max(headerNeeds, SampleNeeds(headerTrack, parameterSetLengths[i + 1]));
            }
            ++i;
        }
        cursors.push_back(cursor);
    }
    sizes.sample = sampleNeeds + kSampleBufferSlack;
    sizes.headerBlock = headerNeeds + kHeaderBufferSlack;
    return cursors;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
