#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Encodes camera frame headers, their extensions, tag lists, header blocks
// and extra data, so that recording writers and tests can make the bytes a
// reader expects in one line, e.g.
//
//   auto block = frame_writer::EncodeHeaderBlock(
//       frame_writer::FrameHeader("h264").Time(1330769700, 500).Zone(80).DaylightSaving(),
//       1000, frame_writer::DaylightSavingElement(true));
//
// Every multi-byte integer is written big-endian; extension bits MSB first.

namespace frame_writer {

using Bytes = std::vector<uint8_t>;

// Writes bit fields MSB first; Finish pads the last byte with zero bits.
class BitWriter {
public:
    void Put(uint32_t value, unsigned bits);  // the low `bits` bits of value, bits <= 32
    void PutBytes(const Bytes& bytes);        // byte-aligned or not, 8 bits each
    size_t BitCount() const { return bitCount_; }
    Bytes Finish() const;

private:
    Bytes bytes_;
    size_t bitCount_ = 0;
};

// A motion window of the fixed video extension (coordinates are 10 bits).
struct MotionWindow {
    bool enabled = false;
    bool flag = false;
    uint8_t level = 0;  // 7 bits
    std::array<uint16_t, 4> coords{};
};

// One entry of tag 17 (coordinates are 16 bits). window is 1-3 for a real
// window; any other number makes an entry that readers skip.
struct WindowEntry {
    uint8_t window = 1;
    bool flag = false;
    uint8_t level = 0;
    std::array<uint16_t, 4> coords{};
};

// One entry of tag 20.
struct MotionTrigger {
    uint8_t index = 0;
    bool flag = false;
    uint8_t level = 0;
    std::array<uint16_t, 8> values{};
};

// A tag list: each tag is written with the length that matches its body.
class TagList {
public:
    TagList& Tag16(const std::array<int16_t, 6>& values);
    TagList& Tag17(const std::vector<WindowEntry>& entries);
    // One skipped byte, then the value bytes (little-endian number, at most 4
    // of them are used by readers).
    TagList& Tag18(const Bytes& valueBytes, uint8_t skipped = 0);
    TagList& Tag20(const std::vector<MotionTrigger>& triggers);
    TagList& Tag24(bool value);
    TagList& Tag224();
    TagList& Tag225();
    TagList& Tag227();
    // Any tag number with any body, in the shortest form that fits.
    TagList& Tag(uint32_t number, const Bytes& body);
    // Bytes as they are (for malformed lists).
    TagList& Raw(const Bytes& bytes);

    bool Empty() const { return bytes_.empty(); }
    const Bytes& Encode() const { return bytes_; }

private:
    Bytes bytes_;
};

// The length field of a tag as readers decode it (shortest form).
Bytes EncodeTagLength(uint32_t length);
// The number field of a tag below 0xC0's short forms.
Bytes EncodeTagNumber(uint32_t number);

// The video extension: three windows, the extra bit, four zero bits, then -
// when tags are given - zero bytes up to a word boundary and the tag list, so
// that the list ends exactly at the end of the extension.
struct VideoExtension {
    std::array<MotionWindow, 3> windows{};
    bool extraBit = false;
    TagList tags;
    bool tagList = false;  // write the tag part even when the list is empty
};
Bytes EncodeVideoExtension(const VideoExtension& extension);

// The audio extension. frameSizes holds the first frame's size and, when
// sizes vary and frameCount > 1, the further sizes; missing ones are zero.
struct AudioExtension {
    bool constantFrameSize = false;   // A
    bool hasRateAndChannels = false;  // B
    uint32_t sampleRate = 0;          // 24 bits
    uint8_t channels = 0;
    bool hasBitRate = false;  // C
    uint32_t bitRate = 0;     // 24 bits
    bool flagD = false;
    uint8_t frameCount = 1;
    std::vector<uint16_t> frameSizes;
};
Bytes EncodeAudioExtension(const AudioExtension& extension);

// A camera frame header. Defaults: key frame, the flags that made-up headers
// carry (zone 48, bit 21), an empty extension.
class FrameHeader {
public:
    explicit FrameHeader(const std::string& codec = "h264");

    FrameHeader& Codec(const std::string& codec);  // exactly 4 characters
    FrameHeader& KeyFrame(bool key = true);        // frame kind 0 or 1
    FrameHeader& FrameKind(uint8_t kind);          // high nibble of byte 8
    FrameHeader& HeaderNibble(uint8_t nibble);     // low nibble of byte 8
    FrameHeader& Flags(uint32_t flags);
    FrameHeader& Zone(uint8_t zoneIndex);  // 0-127, 48 = UTC, steps of 15 min
    FrameHeader& DaylightSaving(bool on = true);
    FrameHeader& Time(uint32_t seconds, uint16_t milliseconds = 0);
    // Sets the extension and, when it has a tag part, flags bit 3.
    FrameHeader& Video(const VideoExtension& extension);
    FrameHeader& Audio(const AudioExtension& extension);
    // Any extension bytes; zero-padded to whole words.
    FrameHeader& Extension(const Bytes& bytes);
    // Writes this E instead of the extension's word count (malformed headers).
    FrameHeader& ExtensionWords(uint8_t words);
    // Total-length field = header length + payloadLength - 4.
    FrameHeader& PayloadLength(uint32_t payloadLength);

    uint32_t flags() const { return flags_; }
    // 20 + 4 x E bytes.
    Bytes Encode() const;

private:
    std::string codec_;
    uint8_t kind_ = 0;
    uint32_t flags_;
    uint32_t seconds_ = 0;
    uint16_t milliseconds_ = 0;
    Bytes extension_;
    int extensionWords_ = -1;
    uint32_t payloadLength_ = 0;
};

// A video header as the file reader makes one up: default flags and one
// all-zero extension word.
FrameHeader VideoHeader(const std::string& codec, uint32_t seconds, uint16_t milliseconds, bool keyFrame = true);

// Header block: words 0 and 4 (unused by readers), H, X, header, extra data.
struct HeaderBlockParts {
    uint32_t word0 = 0;
    uint32_t word4 = 0;
    Bytes header;
    Bytes extraData;
    // Write these instead of the real lengths (malformed blocks).
    int64_t headerLengthField = -1;
    int64_t extraDataLengthField = -1;
};
Bytes EncodeHeaderBlock(const HeaderBlockParts& parts);
Bytes EncodeHeaderBlock(const FrameHeader& header, uint32_t payloadLength, const Bytes& extraData = {});

// Extra data is a sequence of elements: tag byte, length, body. Lengths up to
// 0x80 take one byte; longer ones use the 0x81 forms that readers walk.
// Throws std::invalid_argument for a length those forms cannot express.
Bytes ExtraDataElement(uint8_t tag, const Bytes& body);
// The daylight-saving element (tag byte 0x61): its bytes at offsets 12 and 13
// from the tag byte say whether daylight saving is in effect.
Bytes DaylightSavingElement(bool inEffect);
Bytes DaylightSavingElement(uint8_t byte12, uint8_t byte13);
constexpr uint8_t kDaylightSavingTag = 0x61;

Bytes Concat(const std::vector<Bytes>& parts);
void PutU16(Bytes& out, uint16_t value);
void PutU24(Bytes& out, uint32_t value);
void PutU32(Bytes& out, uint32_t value);

}  // namespace frame_writer
