#include "mp4parser/MadeUpHeader.h"

#include <cmath>
#include <cstring>

#include "media/byte_order.h"
#include "media/media_packet.h"
#include "mp4parser/Codecs.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

namespace {

// Bytes of speech data per AMR frame type, the frame's header byte excluded.
const std::uint8_t kAmrFrameSizes[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, 0, 0, 0, 0, 0, 0, 5};

// Writes bit fields MSB first; each value is cut to its width.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : out_(out) {}
    void Put(std::uint32_t value, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            if (value >> i & 1) out_[bit_ / 8] |= static_cast<std::uint8_t>(0x80 >> (bit_ % 8));
            ++bit_;
        }
    }

private:
    std::uint8_t* out_;
    unsigned bit_ = 0;
};

// Milliseconds of a time in seconds, rounded to the nearest; times outside the
// 64-bit range are held at its ends instead of overflowing.
std::int64_t RoundedMilliseconds(double seconds) {
    const double ms = seconds * 1000 + 0.5;
    if (!(ms > -9.2e18)) return ms > 0 ? INT64_MAX : (std::isnan(ms) ? 0 : INT64_MIN);
    if (ms >= 9.2e18) return INT64_MAX;
    return static_cast<std::int64_t>(ms);
}

// Returns E, the extension length in 4-byte words.
// The audio extension of a made-up header that carries sample rate and channels:
// flag bits, frame count, first frame size, 24-bit rate, 8-bit channel count.
void PutAudioWithRate(BitWriter& bits, std::uint32_t flagBits, std::uint32_t frameCount, std::uint32_t frameSize,
                      const SampleEntry& entry) {
    bits.Put(flagBits, 8);
    bits.Put(frameCount, 8);
    bits.Put(frameSize, 16);
    bits.Put(entry.sampleRate, 24);
    bits.Put(entry.channelCount, 8);
}

unsigned WriteExtension(const MadeUpHeaderInput& input, std::uint8_t* extension) {
    const SampleEntry empty;
    const SampleEntry& entry = input.entry != nullptr ? *input.entry : empty;
    const std::uint32_t payload = input.payloadLength;
    BitWriter bits(extension);
    switch (input.mediaType) {
        case MEDIA_AAC:
            PutAudioWithRate(bits, 0x40, 1, payload, entry);
            return 2;
        case MEDIA_SAMR: {
            const std::uint32_t frameSize = 1 + kAmrFrameSizes[(input.firstPayloadByte >> 3) & 15];
            PutAudioWithRate(bits, 0xC0, payload / frameSize, frameSize, entry);
            return 2;
        }
        case MEDIA_PCMU:
        case MEDIA_PCMA:
            PutAudioWithRate(bits, 0xC0, 1, payload, entry);
            return 2;
        case MEDIA_G726:
            bits.Put(0xB0, 8);
            bits.Put(1, 8);
            bits.Put(payload, 16);
            bits.Put(entry.sampleSize * 8000u, 24);
            return 2;
        case MEDIA_G7221:
            bits.Put(0x80, 8);
            bits.Put(4, 8);
            bits.Put(payload / 4, 16);
            return 1;
        case MEDIA_G729A:
            bits.Put(0x80, 8);
            bits.Put(payload / 11, 8);
            bits.Put(11, 16);
            return 1;
        default:
            return 1;  // video and metadata: one zero word
    }
}

}  // namespace

std::size_t MakeUpHeaderBlock(const MadeUpHeaderInput& input, std::uint8_t (&block)[kMadeUpHeaderBlockSize]) {
    std::memset(block, 0, sizeof block);
    std::uint8_t* header = block + HeaderBlock::kPrefixSize;
    PutBigEndian(header + kFrameCodecOffset, HeaderCodecCode(input.mediaType), 4);
    if (input.mediaType < MEDIA_DMYV && !input.keyFrame) header[kFrameKindOffset] = 0x10;
    PutBigEndian(header + kFrameFlagsOffset, kDefaultFrameFlags, 4);

    const std::int64_t ms = RoundedMilliseconds(input.time);
    const std::uint64_t base = input.creationTime < kMovieEpochTo1970 ? kMovieEpochTo1970 : input.creationTime;
    const std::uint64_t seconds = base + static_cast<std::uint64_t>(ms / 1000) - kMovieEpochTo1970;
    PutBigEndian(header + kFrameSecondsOffset, static_cast<std::uint32_t>(seconds), 4);
    PutBigEndian(header + kFrameMillisecondsOffset, static_cast<std::uint16_t>(ms % 1000), 2);

    const unsigned words = WriteExtension(input, header + kFrameHeaderFixedSize);
    header[kFrameExtensionWordsOffset] = static_cast<std::uint8_t>(words);
    const std::uint32_t headerLength = kFrameHeaderFixedSize + 4 * words;
    PutBigEndian(block + HeaderBlock::kHeaderLengthOffset, headerLength, 4);
    return HeaderBlock::kPrefixSize + headerLength;
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
