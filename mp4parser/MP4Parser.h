#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/media_packet.h"
#include "mp4parser/BadFormat.h"
#include "mp4parser/BoxBody.h"
#include "mp4parser/BufferedFileReader.h"
#include "mp4parser/FileDescriptor.h"
#include "mp4parser/MadeUpHeader.h"
#include "mp4parser/Movie.h"
#include "mp4parser/SampleTable.h"
#include "mp4parser/StreamFailure.h"
#include "mp4parser/TrackCursor.h"
#include "mp4parser/UninitialisedBytes.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Reads a finished ISO base media recording: the box tree, per-track sample
// tables, and the samples of all tracks as packets in time order, forwards or
// backwards. Failures leave as exceptions: StreamFailure (a
// std::ios_base::failure) for the file, bad_format for the content.
class MP4Parser {
public:
    typedef BadFormat bad_format;

    // Opens the file (finding an embedded media file through its trailer),
    // reads the box tree and builds the sample tables.
    explicit MP4Parser(const std::string& path);
    ~MP4Parser();
    MP4Parser(const MP4Parser&) = delete;
    MP4Parser& operator=(const MP4Parser&) = delete;

    // The next packet in forward (backward) time order, or null when every
    // cursor is exhausted. The packet stays valid until the next read or the
    // parser's destruction.
    TMediaPacket* Read();
    TMediaPacket* ReadBackward();

    // Places every cursor at its sample at or before seconds + milliseconds/1000
    // (relative to the movie's earliest track start); times beyond the end
    // place it on its last sample.
    void SeekToTime(std::uint32_t seconds, std::uint32_t milliseconds);

    // Bytes that a read overwrites: grown without being zeroed first.
    typedef UninitialisedBytes SampleBuffer;

    // Reads one sample into destination (grown as needed), H.264 and H.265
    // samples converted to start-code form; returns the bytes written.
    std::size_t ReadSample(std::int32_t track, std::int32_t sample, SampleBuffer& destination);

    std::vector<TrackCursor>& TrackCursors() { return cursors_; }
    const Movie& GetMovie() const { return movie_; }
    const std::vector<std::uint8_t>& ParameterSets(std::size_t track) const { return parameterSets_[track]; }
    double SmallestStartOffset() const { return smallestStartOffset_; }
    std::uint64_t BaseOffset() const { return baseOffset_; }

private:
    void ParseTopLevel();
    void PassOverZeroPadding();
    UninitialisedBytes ReadBoxBody(const BoxHeader& header);
    void BuildTables();
    // Offset, size and key-frame flag of one sample; out_of_range for a track
    // or sample that does not exist.
    IndexEntry SampleAt(std::int32_t track, std::int32_t sample) const;
    double TimeOf(std::size_t track, std::uint32_t sample) const {
        return tables_[track].startOffset + decodeTimes_[track].TimeOf(sample);
    }
    TMediaPacket* ReadInDirection(int step);
    // Samples of the cursor's track that can be delivered: those with times.
    std::int32_t DeliverableCount(const TrackCursor& cursor) const;
    TMediaPacket* DeliverSample(TrackCursor& cursor, int step);
    // The header block of a track without a header track; returns its length.
    std::size_t MakeUpHeader(const TrackCursor& cursor, std::int32_t sample, std::size_t payloadLength,
                             std::uint8_t (&block)[kMadeUpHeaderBlockSize]) const;

    FileDescriptor file_;
    std::uint64_t baseOffset_ = 0;
    std::uint64_t mediaLength_ = 0;
    FileReader reader_;
    Movie movie_;
    std::vector<SampleTable> tables_;
    std::vector<DecodeTimes> decodeTimes_;
    std::vector<SampleLocator> locators_;
    double smallestStartOffset_;
    std::vector<std::vector<std::uint8_t>> parameterSets_;
    std::vector<TrackCursor> cursors_;
    SampleBuffer sampleBuffer_;
    SampleBuffer headerBuffer_;
    MediaPacketRef currentPacket_;
};

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
