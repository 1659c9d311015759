#include "mp4parser/MP4Parser.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "mp4parser/Codecs.h"
#include "mp4parser/EmbeddedFile.h"
#include "mp4parser/MadeUpHeader.h"
#include "mp4parser/MovieBoxes.h"
#include "mp4parser/SampleConversion.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// Bytes from the device's position 0 to the end of the file.
std::uint64_t MediaLength(FileDescriptor& file) {
    const boost::iostreams::stream_offset end = boost::iostreams::position_to_offset(file.seek(0, std::ios_base::end));
    return end > 0 ? static_cast<std::uint64_t>(end) : 0;
}

}  // namespace

MP4Parser::MP4Parser(const std::string& path) : file_(path), smallestStartOffset_(DBL_MAX) {
    baseOffset_ = LocateMediaFile(file_, path);
    mediaLength_ = MediaLength(file_);
    reader_.Open(file_);
    ParseTopLevel();
    BuildTables();
}

MP4Parser::~MP4Parser() {
    try {
        reader_.Close();
    } catch (...) {
        // A failing close has nothing left to lose.
    }
}

// Reads top-level boxes until both the movie and the media data were seen;
// boxes after them are never read. A file without one of them runs into its
// end ("end of file").
void MP4Parser::ParseTopLevel() {
    reader_.Seek(0);
    bool movieSeen = false;
    bool mediaDataSeen = false;
    while (!(movieSeen && mediaDataSeen)) {
        PassOverZeroPadding();
        const BoxHeader header = ReadTopLevelBoxHeader(reader_);
        CheckBoxHeader(header);
        if (header.type == FourCC("moov")) {
            // The movie is read only if it lies wholly in the file, so that
            // no size inside it can claim more than the file holds.
            if (header.end > mediaLength_) ThrowStreamFailure("end of file");
            BoxBody movie(std::make_shared<const UninitialisedBytes>(ReadBoxBody(header)), header.bodyStart);
            ReadMovie(movie, movie_);
            movieSeen = true;
        } else if (header.type == FourCC("mdat")) {
            reader_.Seek(header.end);
            mediaDataSeen = true;
        } else if (IsPassedOverAtTopLevel(header.type)) {
            reader_.Seek(header.end);
        } else {
            ThrowBadFormat("unrecognized box");
        }
    }
}

// Zero bytes in front of the next box. A file that ends in zeros runs into
// its end at the next header ("end of file").
void MP4Parser::PassOverZeroPadding() {
    const std::uint64_t position = reader_.Position();
    if (position >= mediaLength_ || mediaLength_ - position < 4 || reader_.ReadU32() != 0) {
        reader_.Seek(position);
        return;
    }
    const std::uint64_t start = FindBoxAfterZeros(
        position, mediaLength_, [this](std::uint64_t at, std::uint8_t* destination, std::size_t count) {
            reader_.Seek(at);
            reader_.ReadBytes(destination, count);
            return true;
        });
    reader_.Seek(start);
}

// The whole body in one read, which leaves the reader at the box's end:
// parsing it then costs no further calls on the file, however many small
// fields and skips it holds.
UninitialisedBytes MP4Parser::ReadBoxBody(const BoxHeader& header) {
    UninitialisedBytes body(static_cast<std::size_t>(header.end - header.bodyStart));
    reader_.ReadBytes(body.data(), body.size());
    return body;
}

void MP4Parser::BuildTables() {
    const std::size_t trackCount = movie_.tracks.size();
    tables_.reserve(trackCount);
    decodeTimes_.reserve(trackCount);
    locators_.reserve(trackCount);
    parameterSets_.reserve(trackCount);
    std::vector<std::size_t> parameterSetLengths;
    parameterSetLengths.reserve(trackCount);
    for (const TrackDescription& track : movie_.tracks) {
        tables_.push_back(SummariseSampleTable(track, movie_.mvhd.timescale));
        decodeTimes_.emplace_back(track);
        locators_.emplace_back(track);
        if (!tables_.back().Empty()) smallestStartOffset_ = std::min(smallestStartOffset_, tables_.back().startOffset);
        parameterSets_.push_back(ConvertParameterSets(track.FirstSampleEntry()));
        parameterSetLengths.push_back(parameterSets_.back().size());
    }
    WorkingBufferSizes sizes;
    cursors_ = BuildTrackCursors(movie_, parameterSetLengths, sizes);
    // The buffers grow when a sample needs more; sizes that claim more than
    // the file holds are not allocated up front.
    const std::uint64_t cap = mediaLength_ + kMadeUpHeaderBlockSize;
    sampleBuffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(sizes.sample, cap)));
    headerBuffer_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(sizes.headerBlock, cap)));
}

IndexEntry MP4Parser::SampleAt(std::int32_t track, std::int32_t sample) const {
    const SampleLocator& locator = locators_.at(static_cast<std::size_t>(track));
    const std::uint32_t count = movie_.tracks[static_cast<std::size_t>(track)].stsz.sampleCount;
    if (sample < 0 || static_cast<std::uint32_t>(sample) >= count) throw std::out_of_range("sample index out of range");
    return locator.EntryAt(static_cast<std::uint32_t>(sample));
}

std::size_t MP4Parser::ReadSample(std::int32_t track, std::int32_t sample, SampleBuffer& destination) {
    const IndexEntry entry = SampleAt(track, sample);
    const SampleEntry* description = movie_.tracks[static_cast<std::size_t>(track)].FirstSampleEntry();
    const std::uint32_t type = description != nullptr ? description->type : 0;
    // A sample larger than the file fails as its read would, before anything
    // is allocated for it. Others are read, so that a sample cut short by the
    // end of the file fails with the text of the read that meets the end.
    if (entry.size > mediaLength_) ThrowStreamFailure(entry.offset >= mediaLength_ ? "end of file" : "bad read");
    reader_.Seek(entry.offset);
    if (IsAvcEntry(type) || IsHevcEntry(type)) {
        const std::vector<std::uint8_t>& sets = parameterSets_[static_cast<std::size_t>(track)];
        const unsigned lengthSize = NalLengthSize(LengthSizeFieldOf(description));
        const std::size_t worst = WorstCaseConvertedSize(entry.size, lengthSize, sets.size());
        if (destination.size() < worst) destination.resize(worst);
        const bool keyFrame = entry.sync != 0;
        return IsAvcEntry(type) ? ConvertAvcSample(reader_, entry.size, keyFrame, lengthSize, sets, destination.data(),
                                                   destination.size())
                                : ConvertHevcSample(reader_, entry.size, keyFrame, lengthSize, sets, destination.data(),
                                                    destination.size());
    }
    if (destination.size() < entry.size) destination.resize(entry.size);
    reader_.ReadBytes(destination.data(), entry.size);
    return entry.size;
}

TMediaPacket* MP4Parser::Read() { return ReadInDirection(+1); }

TMediaPacket* MP4Parser::ReadBackward() { return ReadInDirection(-1); }

std::int32_t MP4Parser::DeliverableCount(const TrackCursor& cursor) const {
    const SampleTable& table = tables_[static_cast<std::size_t>(cursor.trackIndex)];
    return std::min<std::int64_t>(cursor.sampleCount, table.count);
}

// Picks the cursor whose next sample is earliest (forward) or latest
// (backward); ties go to the earlier cursor. Disabled tracks are stepped over
// without touching the file.
TMediaPacket* MP4Parser::ReadInDirection(int step) {
    for (;;) {
        TrackCursor* chosen = nullptr;
        double chosenTime = 0;
        for (TrackCursor& cursor : cursors_) {
            if (cursor.currentSample < 0 || cursor.currentSample >= DeliverableCount(cursor)) continue;
            const double time =
                TimeOf(static_cast<std::size_t>(cursor.trackIndex), static_cast<std::uint32_t>(cursor.currentSample));
            if (chosen == nullptr || (step > 0 ? time < chosenTime : time > chosenTime)) {
                chosen = &cursor;
                chosenTime = time;
            }
        }
        if (chosen == nullptr) return nullptr;
        if (!chosen->enabled) {
            chosen->currentSample += step;
            continue;
        }
        return DeliverSample(*chosen, step);
    }
}

std::size_t MP4Parser::MakeUpHeader(const TrackCursor& cursor, std::int32_t sample, std::size_t payloadLength,
                                    std::uint8_t (&block)[kMadeUpHeaderBlockSize]) const {
    const TrackDescription& track = movie_.tracks[static_cast<std::size_t>(cursor.trackIndex)];
    const IndexEntry entry = SampleAt(cursor.trackIndex, sample);
    MadeUpHeaderInput input;
    input.mediaType = cursor.mediaType;
    input.keyFrame = entry.sync != 0;
    input.time = TimeOf(static_cast<std::size_t>(cursor.trackIndex), static_cast<std::uint32_t>(sample));
    input.creationTime = track.tkhd.creationTime;
    input.payloadLength = static_cast<std::uint32_t>(payloadLength);
    input.firstPayloadByte = payloadLength > 0 ? sampleBuffer_[0] : 0;
    input.entry = track.FirstSampleEntry();
    return MakeUpHeaderBlock(input, block);
}

TMediaPacket* MP4Parser::DeliverSample(TrackCursor& cursor, int step) {
    const std::int32_t sample = cursor.currentSample;
    std::size_t payloadLength;
    const std::uint8_t* block;
    std::size_t blockSize;
    std::uint8_t madeUp[kMadeUpHeaderBlockSize];
    try {
        payloadLength = ReadSample(cursor.trackIndex, sample, sampleBuffer_);
        if (payloadLength > std::numeric_limits<std::uint32_t>::max() / 2) ThrowBadFormat("sample too large");
        if (cursor.headerTrack >= 0 && static_cast<std::size_t>(cursor.headerTrack) < movie_.tracks.size()) {
            blockSize = ReadSample(cursor.headerTrack, sample, headerBuffer_);
            block = headerBuffer_.data();
        } else {
            blockSize = MakeUpHeader(cursor, sample, payloadLength, madeUp);
            block = madeUp;
        }
    } catch (const BadFormat&) {
        // A sample whose content does not hold together would fail the same
        // way on every retry: step past it so that reading can go on.
        cursor.currentSample += step;
        throw;
    }
    cursor.currentSample += step;

    MediaPacketRef packet(BuildMediaPacket(block, blockSize, static_cast<std::uint32_t>(payloadLength)));
    // The builder refuses headers shorter than their extension, so the
    // payload area holds at least the sample.
    if (packet->payloadLength < payloadLength) ThrowBadFormat("header block does not match sample");
    const SampleEntry* entry = movie_.tracks[static_cast<std::size_t>(cursor.trackIndex)].FirstSampleEntry();
    packet->width = entry != nullptr ? entry->width : 0;
    packet->height = entry != nullptr ? entry->height : 0;
    std::uint8_t* payload = packet->header + packet->headerLength;
    if (payloadLength != 0) std::memcpy(payload, sampleBuffer_.data(), payloadLength);
    // A stored header longer than its extension counts its surplus as payload
    // (the packet's times are as good as any); those bytes follow the sample,
    // zeroed rather than left as whatever the block held.
    std::memset(payload + payloadLength, 0, packet->payloadLength - payloadLength);
    currentPacket_ = std::move(packet);
    return currentPacket_.get();
}

void MP4Parser::SeekToTime(std::uint32_t seconds, std::uint32_t milliseconds) {
    const double x = static_cast<double>(seconds) + static_cast<double>(milliseconds) / 1000.0;
    for (TrackCursor& cursor : cursors_) {
        const std::size_t track = static_cast<std::size_t>(cursor.trackIndex);
        const DecodeTimes& times = decodeTimes_[track];
        const std::int64_t found =
            FindSampleAtTime(tables_[track].count, tables_[track].startOffset, x, smallestStartOffset_,
                             [&](std::uint32_t i) { return times.TimeOf(i); });
        const std::int64_t last = static_cast<std::int64_t>(DeliverableCount(cursor)) - 1;
        cursor.currentSample = static_cast<std::int32_t>(std::min(found, last));
    }
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
