#include "mp4parser/EmbeddedFile.h"

#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include <boost/iostreams/stream_buffer.hpp>

#include "media/box_header.h"
#include "media/byte_order.h"
#include "mp4parser/BoxHeader.h"
#include "mp4parser/StreamFailure.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

typedef boost::iostreams::stream_buffer<FileDescriptor> ScanBuffer;

// Enough for the headers at the start of a file (ftyp, then the header of the
// media data or the movie) in one read, small enough that a header far into
// the file costs no more than a page.
constexpr std::streamsize kScanBufferSize = 512;

enum class HeaderRead { Complete, Nothing, Partial };

// The walk's own header rule: it reads the size fields only (the 64-bit size
// too, so that media data beyond 4 GiB does not end it) and passes over the
// rest of a box from there, a uuid's extended type included; a header cut
// short is told apart from none at all, since only the first is a failure.
HeaderRead ScanSizeFields(ScanBuffer& buffer, DecodedBoxHeader& header) {
    constexpr std::streamsize kSizeAndType = kBoxSizeAndTypeLength;
    constexpr std::streamsize kLargeSize = kLargeBoxSizeLength;
    std::uint8_t bytes[kBoxSizeAndTypeLength];
    const std::streamsize got = buffer.sgetn(reinterpret_cast<char*>(bytes), kSizeAndType);
    if (got == 0) return HeaderRead::Nothing;
    if (got != kSizeAndType) return HeaderRead::Partial;
    if (DecodeBoxSizeAndType(bytes, header)) {
        if (buffer.sgetn(reinterpret_cast<char*>(bytes), kLargeSize) != kLargeSize) return HeaderRead::Partial;
        DecodeLargeBoxSize(bytes, header);
    }
    return HeaderRead::Complete;
}

// Moves past the rest of a box. False when the box is smaller than its size
// fields or too large to seek over: the walk ends there.
bool PassOver(ScanBuffer& buffer, const DecodedBoxHeader& header) {
    if (header.size < header.SizeFieldsLength()) return false;
    const std::uint64_t rest = header.size - header.SizeFieldsLength();
    if (rest > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return false;
    buffer.pubseekoff(static_cast<boost::iostreams::stream_offset>(rest), std::ios_base::cur, std::ios_base::in);
    return true;
}

// A size of 0 starts zero padding between boxes, except for media data,
// where it means "to the end of the file" in other writers' files.
// A 64-bit size of 0 is no padding: it is a box smaller than its header.
bool IsZeroPadding(const DecodedBoxHeader& header) {
    return !header.largeSize && header.size == 0 && header.type != FourCC("mdat");
}

std::uint64_t BufferLength(ScanBuffer& buffer) {
    const std::streampos end = buffer.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    const boost::iostreams::stream_offset length = boost::iostreams::position_to_offset(end);
    return length > 0 ? static_cast<std::uint64_t>(length) : 0;
}

// Bytes of the file a window at a time: the scan's small buffer would cost
// a seek and a read for every word of a long run of zeros.
class WindowedPeek {
public:
    explicit WindowedPeek(ScanBuffer& buffer) : buffer_(buffer) {}

    bool operator()(std::uint64_t at, std::uint8_t* destination, std::size_t count) {
        if (at < start_ || at - start_ + count > window_.size()) {
            buffer_.pubseekpos(static_cast<boost::iostreams::stream_offset>(at), std::ios_base::in);
            window_.resize(kWindow);
            const std::streamsize got = buffer_.sgetn(reinterpret_cast<char*>(window_.data()), kWindow);
            window_.resize(static_cast<std::size_t>(got > 0 ? got : 0));
            start_ = at;
            if (count > window_.size()) return false;
        }
        std::memcpy(destination, window_.data() + (at - start_), count);
        return true;
    }

private:
    static constexpr std::streamsize kWindow = 4096;
    ScanBuffer& buffer_;
    std::vector<std::uint8_t> window_;
    std::uint64_t start_ = 0;
};

// Moves the buffer to the box after the zero padding that starts at from;
// false when nothing but zeros follows. from must start with a zero word, so
// the box lies beyond it.
bool PassOverZeroPadding(ScanBuffer& buffer, std::uint64_t from) {
    const std::uint64_t length = BufferLength(buffer);
    WindowedPeek peek(buffer);
    const std::uint64_t start = FindBoxAfterZeros(from, length, std::ref(peek));
    buffer.pubseekpos(static_cast<boost::iostreams::stream_offset>(start), std::ios_base::in);
    return start < length;
}

std::uint64_t BufferPosition(ScanBuffer& buffer) {
    return static_cast<std::uint64_t>(
        boost::iostreams::position_to_offset(buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in)));
}

// Walks the top-level boxes from offset 0 and tells whether both the movie
// and the media data are there. Zero padding between boxes is passed over, as
// the box reader does.
bool HoldsMovieAndMediaData(ScanBuffer& buffer) {
    bool movie = false;
    bool mediaData = false;
    DecodedBoxHeader header;
    for (;;) {
        const std::uint64_t start = BufferPosition(buffer);
        if (ScanSizeFields(buffer, header) != HeaderRead::Complete) break;
        if (IsZeroPadding(header)) {
            if (!PassOverZeroPadding(buffer, start)) break;
            continue;
        }
        if (header.type == FourCC("mdat")) {
            if (header.size == 0) return false;
            mediaData = true;
        } else if (header.type == FourCC("moov")) {
            movie = true;
        } else if (!IsPassedOverAtTopLevel(header.type)) {
            return false;
        }
        if (!PassOver(buffer, header)) return false;
        if (movie && mediaData) return true;
    }
    return false;
}

EmbeddedFileTrailer ReadTrailer(ScanBuffer& buffer) {
    buffer.pubseekoff(-12, std::ios_base::end, std::ios_base::in);
    unsigned char bytes[12];
    if (buffer.sgetn(reinterpret_cast<char*>(bytes), 12) != 12) ThrowStreamFailure("bad read");
    if (BigEndian32(bytes) != FourCC("ORVL")) ThrowStreamFailure("bad format");
    EmbeddedFileTrailer trailer;
    trailer.startOffset = LittleEndian32(bytes + 4);
    trailer.length = LittleEndian32(bytes + 8);
    return trailer;
}

// The boxes from the start offset to the end of the file must add up to the
// length that the trailer gives.
void CheckEmbeddedBoxes(ScanBuffer& buffer, const EmbeddedFileTrailer& trailer) {
    buffer.pubseekpos(trailer.startOffset, std::ios_base::in);
    std::uint64_t sum = 0;
    DecodedBoxHeader header;
    for (;;) {
        const std::uint64_t start = BufferPosition(buffer);
        const HeaderRead read = ScanSizeFields(buffer, header);
        if (read == HeaderRead::Nothing) break;
        if (read == HeaderRead::Partial) ThrowStreamFailure("bad read");
        if (IsZeroPadding(header)) {
            // The media file's length includes its padding.
            const bool more = PassOverZeroPadding(buffer, start);
            sum += BufferPosition(buffer) - start;
            if (!more) break;
            continue;
        }
        sum += header.size;
        if (!PassOver(buffer, header)) break;
    }
    if (sum != trailer.length) ThrowStreamFailure("bad format");
}

}  // namespace

std::uint64_t LocateMediaFile(FileDescriptor& file, const std::string& path) {
    ScanBuffer buffer;
    // The walk reads nothing but 8- and 16-byte headers: a small buffer keeps
    // it from copying a block of media data for each.
    buffer.open(file, kScanBufferSize);
    buffer.set_auto_close(false);
    buffer.pubseekpos(0, std::ios_base::in);
    if (HoldsMovieAndMediaData(buffer)) return 0;
    const EmbeddedFileTrailer trailer = ReadTrailer(buffer);
    CheckEmbeddedBoxes(buffer, trailer);
    buffer.close();
    file.open(path, trailer.startOffset);
    return trailer.startOffset;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
