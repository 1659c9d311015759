// Made-up sample content for tracks that give only sizes: H.264 samples are
// decodable grey pictures (so that other tools read them without complaint),
// the other codecs carry units or frames of the right form.

#include "bit_writer.h"
#include "codec_config.h"
#include "recording_writer.h"

#include <algorithm>

namespace recording_writer {
namespace {

std::uint32_t Macroblocks(const SampleEntry& entry) {
    return ((entry.width + 15u) / 16u) * ((entry.height + 15u) / 16u);
}

// Frames since the last key frame, which numbers the pictures of a group.
std::uint32_t FramesSinceKeyFrame(const Track& track, std::uint32_t index) {
    std::uint32_t distance = 0;
    while (index > 0 && !track.IsSync(index)) {
        --index;
        ++distance;
    }
    return distance;
}

// A key picture of flat grey macroblocks (intra 16x16, DC prediction, no residual).
Bytes H264KeySlice(std::uint32_t macroblocks, std::uint32_t pictureId) {
    BitWriter w;
    w.Unsigned(0);  // first macroblock
    w.Unsigned(7);  // I slice
    w.Unsigned(0);  // picture set
    w.Bits(0, 4);   // frame number
    w.Unsigned(pictureId & 0xFFFF);
    w.Flag(false);  // no output of prior pictures
    w.Flag(false);  // not long-term
    w.Signed(0);    // qp delta
    w.Unsigned(1);  // no deblocking
    for (std::uint32_t i = 0; i < macroblocks; ++i) {
        w.Unsigned(3);  // intra 16x16, DC, no coded blocks
        w.Unsigned(0);  // chroma DC prediction
        w.Signed(0);    // qp delta
        w.Bits(1, 1);   // no DC coefficients
    }
    w.TrailingBits();
    Bytes out{0x65};
    const Bytes body = EscapeNalBody(w.Data());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A picture that repeats its reference: every macroblock skipped.
Bytes H264SkipSlice(std::uint32_t macroblocks, std::uint32_t frameNumber) {
    BitWriter w;
    w.Unsigned(0);
    w.Unsigned(5);  // P slice
    w.Unsigned(0);
    w.Bits(frameNumber & 15u, 4);
    w.Flag(false);  // no reference count override
    w.Flag(false);  // no list modification
    w.Flag(false);  // sliding-window marking
    w.Signed(0);
    w.Unsigned(1);
    w.Unsigned(macroblocks);  // skip run over the whole picture
    w.TrailingBits();
    Bytes out{0x41};
    const Bytes body = EscapeNalBody(w.Data());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void PutLength(Bytes& out, std::uint32_t length, std::uint32_t lengthSize) {
    for (std::uint32_t i = lengthSize; i-- > 0;) {
        out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
}

// Fills `size` bytes with NAL units of the given first bytes, split where one
// length field cannot hold the rest; a unit that fits is zero-padded.
Bytes LengthPrefixedUnits(const Bytes& unit, const Bytes& header, std::uint32_t size, std::uint32_t lengthSize) {
    Bytes out;
    out.reserve(size);
    const std::uint64_t largest = lengthSize >= 4 ? 0xFFFFFFFFull : (1ull << (8 * lengthSize)) - 1;
    const bool fits = size >= lengthSize + unit.size() && size - lengthSize <= largest;
    if (fits) {
        PutLength(out, size - lengthSize, lengthSize);
        out.insert(out.end(), unit.begin(), unit.end());
        out.resize(size, 0);
        return out;
    }
    while (out.size() + lengthSize + header.size() <= size) {
        const std::uint64_t room = size - out.size() - lengthSize;
        const std::uint32_t length = static_cast<std::uint32_t>(std::min<std::uint64_t>(room, largest));
        PutLength(out, length, lengthSize);
        const std::size_t end = out.size() + length;
        out.insert(out.end(), header.begin(), header.end());
        out.resize(end, 0x5A);
    }
    out.resize(size, 0);
    return out;
}

Bytes AmrFrames(std::uint32_t size) {
    Bytes out(size, 0);
    for (std::uint32_t at = 0; at + 32 <= size; at += 32) {
        out[at] = 0x3C;  // mode 7 (12.2 kbit/s), 31 bytes of speech data follow
    }
    return out;
}

// One silent AAC-LC frame per channel element: a channel with no scale-factor
// bands, then the end element; the rest of the sample is zero.
Bytes SilentAac(std::uint32_t size, std::uint16_t channels) {
    BitWriter w;
    const bool pair = channels == 2;
    w.Bits(pair ? 1 : 0, 3);  // single or pair channel element
    w.Bits(0, 4);
    if (pair) {
        w.Flag(false);  // no common window
    }
    for (int channel = 0; channel < (pair ? 2 : 1); ++channel) {
        w.Bits(100, 8);                // global gain
        w.Bits(0, 1 + 2 + 1 + 6 + 1);  // long window, no bands, no prediction
        w.Bits(0, 3);                  // no pulse, TNS or gain-control data
    }
    w.Bits(7, 3);  // end
    Bytes out = w.Data();
    out.resize(size);
    return out;
}

Bytes Pattern(std::uint32_t size, std::uint32_t index, std::uint8_t fill) {
    Bytes out(size, fill);
    if (!out.empty()) {
        out[0] = static_cast<std::uint8_t>(index);
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> MakeSamplePayload(const Track& track, std::uint32_t index) {
    const std::uint32_t size = track.SampleSize(index);
    const SampleEntry& entry = track.entry;
    const bool key = track.IsSync(index);
    if (entry.type == "avc1") {
        const std::uint32_t lengthSize = entry.config.empty() ? 4 : AvcLengthSize(entry.config);
        const std::uint32_t macroblocks = Macroblocks(entry);
        const Bytes unit =
            key ? H264KeySlice(macroblocks, index) : H264SkipSlice(macroblocks, FramesSinceKeyFrame(track, index));
        return LengthPrefixedUnits(unit, Bytes{unit[0]}, size, lengthSize);
    }
    if (entry.type == "hvc1" || entry.type == "hev1") {
        const std::uint32_t lengthSize = entry.config.empty() ? 4 : HevcLengthSize(entry.config);
        const Bytes header = key ? Bytes{0x26, 0x01} : Bytes{0x02, 0x01};  // IDR_W_RADL, TRAIL_R
        return LengthPrefixedUnits(header, header, size, lengthSize);
    }
    if (entry.type == "samr") {
        return AmrFrames(size);
    }
    if (entry.type == "mp4a" && entry.config.empty()) {
        return SilentAac(size, entry.channels);
    }
    if (entry.type == "ulaw") {
        return Bytes(size, 0xFF);
    }
    if (entry.type == "alaw") {
        return Bytes(size, 0xD5);
    }
    return Pattern(size, index, 0x33);
}

}  // namespace recording_writer
