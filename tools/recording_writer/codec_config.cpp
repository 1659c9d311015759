#include "codec_config.h"

#include "bit_writer.h"

namespace recording_writer {
namespace {

void PutU16(Bytes& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

Bytes WithNalHeader(std::initializer_list<std::uint8_t> header, const BitWriter& bits) {
    Bytes out(header);
    const Bytes body = EscapeNalBody(bits.Data());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Main profile, level 3.1, progressive frames, no sub-layers.
void HevcProfileTierLevel(BitWriter& w) {
    w.Bits(0, 2);            // profile space
    w.Flag(false);           // tier
    w.Bits(1, 5);            // Main
    w.Bits(0x60000000, 32);  // compatible with Main and Main 10
    w.Flag(true);            // progressive source
    w.Flag(false);           // interlaced source
    w.Flag(false);           // non-packed constraint
    w.Flag(true);            // frame only
    w.Bits(0, 32);           // reserved zero bits (44 in all)
    w.Bits(0, 12);
    w.Bits(93, 8);  // level 3.1
}

std::uint32_t MacroblocksFor(std::uint32_t pixels) { return (pixels + 15) / 16; }

}  // namespace

Bytes AvcConfig(const std::vector<Bytes>& sequenceSets, const std::vector<Bytes>& pictureSets,
                std::uint8_t lengthSizeMinusOne) {
    Bytes out;
    const Bytes* first = sequenceSets.empty() ? nullptr : &sequenceSets.front();
    out.push_back(1);
    out.push_back(first && first->size() > 1 ? (*first)[1] : 66);
    out.push_back(first && first->size() > 2 ? (*first)[2] : 0);
    out.push_back(first && first->size() > 3 ? (*first)[3] : 30);
    out.push_back(static_cast<std::uint8_t>(0xFC | (lengthSizeMinusOne & 3)));
    out.push_back(static_cast<std::uint8_t>(0xE0 | (sequenceSets.size() & 0x1F)));
    for (const Bytes& set : sequenceSets) {
        PutU16(out, set.size());
        out.insert(out.end(), set.begin(), set.end());
    }
    out.push_back(static_cast<std::uint8_t>(pictureSets.size()));
    for (const Bytes& set : pictureSets) {
        PutU16(out, set.size());
        out.insert(out.end(), set.begin(), set.end());
    }
    return out;
}

Bytes HevcConfig(const Bytes& videoSet, const Bytes& sequenceSet, const Bytes& pictureSet,
                 std::uint8_t lengthSizeMinusOne) {
    Bytes out{1,    0x01, 0x60, 0x00, 0x00, 0x00,  // version, Main profile, compatibility flags
              0x90, 0x00, 0x00, 0x00, 0x00, 0x00,  // progressive, frame only
              93,                                  // level 3.1
              0xF0, 0x00, 0xFC, 0xFD, 0xF8, 0xF8,  // segmentation, parallelism, 4:2:0, 8 bits
              0x00, 0x00};                         // average frame rate
    out.push_back(static_cast<std::uint8_t>(0x0C | (lengthSizeMinusOne & 3)));
    out.push_back(3);
    const std::pair<std::uint8_t, const Bytes*> arrays[] = {{32, &videoSet}, {33, &sequenceSet}, {34, &pictureSet}};
    for (const auto& [type, set] : arrays) {
        out.push_back(static_cast<std::uint8_t>(0x80 | type));
        PutU16(out, 1);
        PutU16(out, set->size());
        out.insert(out.end(), set->begin(), set->end());
    }
    return out;
}

Bytes AmrConfig() { return {'t', 'l', 'v', '2', 0, 0x81, 0xFF, 0, 1}; }

Bytes H263Config() { return {'t', 'l', 'v', '2', 0, 10, 0}; }

Bytes AacConfig(std::uint32_t sampleRate, std::uint16_t channels) {
    static const std::uint32_t rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                          22050, 16000, 12000, 11025, 8000,  7350};
    std::uint32_t index = 11;
    for (std::uint32_t i = 0; i < 13; ++i) {
        if (rates[i] == sampleRate) {
            index = i;
        }
    }
    BitWriter w;
    w.Bits(2, 5);  // AAC-LC
    w.Bits(index, 4);
    w.Bits(channels & 0xF, 4);
    w.Bits(0, 3);
    return w.Data();
}

Bytes H264SequenceSet(std::uint16_t width, std::uint16_t height) {
    const std::uint32_t mbWidth = MacroblocksFor(width);
    const std::uint32_t mbHeight = MacroblocksFor(height);
    BitWriter w;
    w.Unsigned(0);  // sequence set id
    w.Unsigned(0);  // log2 of the largest frame number - 4
    w.Unsigned(2);  // picture order from the frame number
    w.Unsigned(1);  // reference frames
    w.Flag(false);  // no gaps in frame numbers
    w.Unsigned(mbWidth - 1);
    w.Unsigned(mbHeight - 1);
    w.Flag(true);  // frames only
    w.Flag(true);  // direct 8x8 inference
    const std::uint32_t cropRight = (mbWidth * 16 - width) / 2;
    const std::uint32_t cropBottom = (mbHeight * 16 - height) / 2;
    w.Flag(cropRight != 0 || cropBottom != 0);
    if (cropRight != 0 || cropBottom != 0) {
        w.Unsigned(0);
        w.Unsigned(cropRight);
        w.Unsigned(0);
        w.Unsigned(cropBottom);
    }
    w.Flag(false);  // no VUI
    w.TrailingBits();
    return WithNalHeader({0x67, 66, 0xC0, 30}, w);
}

Bytes H264PictureSet() {
    BitWriter w;
    w.Unsigned(0);  // picture set id
    w.Unsigned(0);  // sequence set id
    w.Flag(false);  // CAVLC
    w.Flag(false);
    w.Unsigned(0);  // one slice group
    w.Unsigned(0);
    w.Unsigned(0);
    w.Flag(false);
    w.Bits(0, 2);
    w.Signed(0);
    w.Signed(0);
    w.Signed(0);
    w.Flag(true);  // deblocking control present, so slices can switch it off
    w.Flag(false);
    w.Flag(false);
    w.TrailingBits();
    return WithNalHeader({0x68}, w);
}

Bytes HevcVideoSet() {
    BitWriter w;
    w.Bits(0, 4);  // id
    w.Flag(true);  // base layer internal
    w.Flag(true);  // base layer available
    w.Bits(0, 6);  // one layer
    w.Bits(0, 3);  // one sub-layer
    w.Flag(true);  // temporal id nesting
    w.Bits(0xFFFF, 16);
    HevcProfileTierLevel(w);
    w.Flag(true);  // sub-layer ordering info
    w.Unsigned(0);
    w.Unsigned(0);
    w.Unsigned(0);
    w.Bits(0, 6);   // max layer id
    w.Unsigned(0);  // one layer set
    w.Flag(false);  // no timing info
    w.Flag(false);  // no extension
    w.TrailingBits();
    return WithNalHeader({0x40, 0x01}, w);
}

Bytes HevcSequenceSet(std::uint16_t width, std::uint16_t height) {
    BitWriter w;
    w.Bits(0, 4);  // video set id
    w.Bits(0, 3);  // one sub-layer
    w.Flag(true);
    HevcProfileTierLevel(w);
    w.Unsigned(0);  // id
    w.Unsigned(1);  // 4:2:0
    w.Unsigned((width + 7u) / 8u * 8u);
    w.Unsigned((height + 7u) / 8u * 8u);
    w.Flag(false);  // no conformance window
    w.Unsigned(0);  // 8-bit luma
    w.Unsigned(0);  // 8-bit chroma
    w.Unsigned(4);  // picture order count lsb: 8 bits
    w.Flag(true);
    w.Unsigned(0);
    w.Unsigned(0);
    w.Unsigned(0);
    w.Unsigned(0);  // 8x8 coding blocks
    w.Unsigned(1);  // 16x16 coding tree blocks
    w.Unsigned(0);  // 4x4 transform blocks
    w.Unsigned(2);  // up to 16x16
    w.Unsigned(0);
    w.Unsigned(0);
    w.Flag(false);  // scaling lists
    w.Flag(false);  // asymmetric motion partitions
    w.Flag(false);  // sample adaptive offset
    w.Flag(false);  // PCM
    w.Unsigned(0);  // short-term reference sets
    w.Flag(false);  // long-term references
    w.Flag(false);  // temporal motion vector prediction
    w.Flag(false);  // strong intra smoothing
    w.Flag(false);  // VUI
    w.Flag(false);  // extension
    w.TrailingBits();
    return WithNalHeader({0x42, 0x01}, w);
}

Bytes HevcPictureSet() {
    BitWriter w;
    w.Unsigned(0);
    w.Unsigned(0);
    w.Flag(false);
    w.Flag(false);
    w.Bits(0, 3);
    w.Flag(false);
    w.Flag(false);
    w.Unsigned(0);
    w.Unsigned(0);
    w.Signed(0);
    for (int i = 0; i < 3; ++i) {
        w.Flag(false);  // constrained intra, transform skip, cu qp delta
    }
    w.Signed(0);
    w.Signed(0);
    for (int i = 0; i < 10; ++i) {
        w.Flag(false);  // slice chroma offsets .. lists modification
    }
    w.Unsigned(0);
    w.Flag(false);
    w.Flag(false);
    w.TrailingBits();
    return WithNalHeader({0x44, 0x01}, w);
}

std::uint32_t AvcLengthSize(const Bytes& avcConfig) {
    if (avcConfig.size() < 5) {
        return 4;
    }
    const std::uint32_t field = avcConfig[4] & 3u;
    return field == 0 ? 1 : field == 1 ? 2 : 4;
}

std::uint32_t HevcLengthSize(const Bytes& hevcConfig) {
    if (hevcConfig.size() <= 21) {
        return 4;
    }
    const std::uint32_t field = hevcConfig[21] & 3u;
    return field == 0 ? 1 : field == 1 ? 2 : 4;
}

}  // namespace recording_writer
