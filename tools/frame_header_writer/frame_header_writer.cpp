#include "tools/frame_header_writer/frame_header_writer.h"

#include <algorithm>
#include <stdexcept>

namespace frame_writer {

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU24(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void PutU32(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 24));
    PutU24(out, value);
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// ---- BitWriter ----

void BitWriter::Put(uint32_t value, unsigned bits) {
    if (bits > 32) throw std::invalid_argument("bit field wider than 32 bits");
    for (unsigned i = bits; i-- > 0;) {
        if (bitCount_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1u) bytes_.back() |= static_cast<uint8_t>(0x80u >> (bitCount_ % 8));
        ++bitCount_;
    }
}

void BitWriter::PutBytes(const Bytes& bytes) {
    for (uint8_t b : bytes) Put(b, 8);
}

Bytes BitWriter::Finish() const { return bytes_; }

// ---- tag list ----

namespace {

// Big-endian bytes of value, as few as hold it (at least one).
Bytes MinimalBigEndian(uint32_t value) {
    Bytes out;
    int n = value > 0xFFFFFF ? 4 : value > 0xFFFF ? 3 : value > 0xFF ? 2 : 1;
    for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}

}  // namespace

Bytes EncodeTagLength(uint32_t length) {
    if (length < 0x80) return {static_cast<uint8_t>(length)};
    Bytes value = MinimalBigEndian(length);
    Bytes out{static_cast<uint8_t>(0x80 | value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

Bytes EncodeTagNumber(uint32_t number) {
    if (number < 0x80) return {static_cast<uint8_t>(number)};
    Bytes value = MinimalBigEndian(number);
    Bytes out{static_cast<uint8_t>(0x80 | value.size())};
    out.insert(out.end(), value.begin(), value.end());
    return out;
}

TagList& TagList::Tag(uint32_t number, const Bytes& body) {
    if (number >= 0xE0 && number <= 0xFF && body.empty()) return Raw({static_cast<uint8_t>(number)});
    if (number >= 0xC0 && number < 0xE0 && body.size() == 1) {
        return Raw({static_cast<uint8_t>(number), body[0]});
    }
    Raw(EncodeTagNumber(number));
    Raw(EncodeTagLength(static_cast<uint32_t>(body.size())));
    return Raw(body);
}

TagList& TagList::Raw(const Bytes& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

TagList& TagList::Tag16(const std::array<int16_t, 6>& values) {
    Bytes body;
    for (int16_t v : values) PutU16(body, static_cast<uint16_t>(v));
    return Tag(16, body);
}

TagList& TagList::Tag17(const std::vector<WindowEntry>& entries) {
    if (entries.size() > 255) throw std::invalid_argument("tag 17 holds at most 255 entries");
    Bytes body{static_cast<uint8_t>(entries.size())};
    for (const WindowEntry& e : entries) {
        body.push_back(e.window);
        body.push_back(static_cast<uint8_t>((e.flag ? 0x80 : 0) | (e.level & 0x7F)));
        for (uint16_t c : e.coords) PutU16(body, c);
    }
    return Tag(17, body);
}

TagList& TagList::Tag18(const Bytes& valueBytes, uint8_t skipped) {
    Bytes body(1 + valueBytes.size());
    body[0] = skipped;
    std::copy(valueBytes.begin(), valueBytes.end(), body.begin() + 1);
    return Tag(18, body);
}

TagList& TagList::Tag20(const std::vector<MotionTrigger>& triggers) {
    if (triggers.size() > 255) throw std::invalid_argument("tag 20 holds at most 255 entries");
    Bytes body{static_cast<uint8_t>(triggers.size())};
    for (const MotionTrigger& t : triggers) {
        body.push_back(t.index);
        body.push_back(static_cast<uint8_t>((t.flag ? 0x80 : 0) | (t.level & 0x7F)));
        for (uint16_t v : t.values) PutU16(body, v);
    }
    return Tag(20, body);
}

TagList& TagList::Tag24(bool value) { return Tag(24, {static_cast<uint8_t>(value ? 0x80 : 0)}); }
TagList& TagList::Tag224() { return Tag(224, {}); }
TagList& TagList::Tag225() { return Tag(225, {}); }
TagList& TagList::Tag227() { return Tag(227, {}); }

// ---- extensions ----

Bytes EncodeVideoExtension(const VideoExtension& extension) {
    BitWriter bits;
    for (const MotionWindow& w : extension.windows) {
        bits.Put(w.enabled ? 1 : 0, 1);
        if (!w.enabled) continue;
        bits.Put(w.flag ? 1 : 0, 1);
        bits.Put(w.level, 7);
        for (uint16_t c : w.coords) bits.Put(c, 10);
    }
    bits.Put(extension.extraBit ? 1 : 0, 1);
    bits.Put(0, 4);
    Bytes out = bits.Finish();
    if (extension.tagList || !extension.tags.Empty()) {
        // Readers skip zero bytes before the list, so the padding goes in front
        // and the list ends exactly at the end of the extension.
        const Bytes& tags = extension.tags.Encode();
        size_t used = out.size() + tags.size();
        out.resize(out.size() + (4 - used % 4) % 4, 0);
        out.insert(out.end(), tags.begin(), tags.end());
    }
    return out;
}

Bytes EncodeAudioExtension(const AudioExtension& extension) {
    BitWriter bits;
    bits.Put(extension.constantFrameSize ? 1 : 0, 1);
    bits.Put(extension.hasRateAndChannels ? 1 : 0, 1);
    bits.Put(extension.hasBitRate ? 1 : 0, 1);
    bits.Put(extension.flagD ? 1 : 0, 1);
    bits.Put(0, 4);
    bits.Put(extension.frameCount, 8);
    size_t sizes = 1;
    if (!extension.constantFrameSize && extension.frameCount > 1) sizes = extension.frameCount;
    for (size_t i = 0; i < sizes; ++i) {
        bits.Put(i < extension.frameSizes.size() ? extension.frameSizes[i] : 0, 16);
    }
    if (extension.hasRateAndChannels) {
        bits.Put(extension.sampleRate, 24);
        bits.Put(extension.channels, 8);
    }
    if (extension.hasBitRate) bits.Put(extension.bitRate, 24);
    return bits.Finish();
}

// ---- frame header ----

FrameHeader::FrameHeader(const std::string& codec) : flags_(0x00201304u) { Codec(codec); }

FrameHeader& FrameHeader::Codec(const std::string& codec) {
    if (codec.size() != 4) throw std::invalid_argument("codec code must have 4 characters");
    codec_ = codec;
    return *this;
}

FrameHeader& FrameHeader::KeyFrame(bool key) { return FrameKind(key ? 0 : 1); }

FrameHeader& FrameHeader::FrameKind(uint8_t kind) {
    kind_ = static_cast<uint8_t>((kind_ & 0x0F) | (kind << 4));
    return *this;
}

FrameHeader& FrameHeader::HeaderNibble(uint8_t nibble) {
    kind_ = static_cast<uint8_t>((kind_ & 0xF0) | (nibble & 0x0F));
    return *this;
}

FrameHeader& FrameHeader::Flags(uint32_t flags) {
    flags_ = flags;
    return *this;
}

FrameHeader& FrameHeader::Zone(uint8_t zoneIndex) {
    flags_ = (flags_ & ~(0x7Fu << 4)) | (uint32_t{zoneIndex & 0x7Fu} << 4);
    return *this;
}

FrameHeader& FrameHeader::DaylightSaving(bool on) {
    flags_ = on ? flags_ | (1u << 11) : flags_ & ~(1u << 11);
    return *this;
}

FrameHeader& FrameHeader::Time(uint32_t seconds, uint16_t milliseconds) {
    seconds_ = seconds;
    milliseconds_ = milliseconds;
    return *this;
}

FrameHeader& FrameHeader::Video(const VideoExtension& extension) {
    if (extension.tagList || !extension.tags.Empty()) flags_ |= 1u << 3;
    return Extension(EncodeVideoExtension(extension));
}

FrameHeader& FrameHeader::Audio(const AudioExtension& extension) { return Extension(EncodeAudioExtension(extension)); }

FrameHeader& FrameHeader::Extension(const Bytes& bytes) {
    extension_ = bytes;
    extension_.resize((extension_.size() + 3) / 4 * 4, 0);
    if (extension_.size() / 4 > 255) throw std::invalid_argument("extension longer than 255 words");
    return *this;
}

FrameHeader& FrameHeader::ExtensionWords(uint8_t words) {
    extensionWords_ = words;
    return *this;
}

FrameHeader& FrameHeader::PayloadLength(uint32_t payloadLength) {
    payloadLength_ = payloadLength;
    return *this;
}

Bytes FrameHeader::Encode() const {
    Bytes out;
    uint32_t headerLength = static_cast<uint32_t>(20 + extension_.size());
    PutU32(out, headerLength + payloadLength_ - 4);
    out.insert(out.end(), codec_.begin(), codec_.end());
    out.push_back(kind_);
    PutU32(out, flags_);
    PutU32(out, seconds_);
    PutU16(out, milliseconds_);
    out.push_back(static_cast<uint8_t>(extensionWords_ >= 0 ? extensionWords_ : extension_.size() / 4));
    out.insert(out.end(), extension_.begin(), extension_.end());
    return out;
}

FrameHeader VideoHeader(const std::string& codec, uint32_t seconds, uint16_t milliseconds, bool keyFrame) {
    FrameHeader header(codec);
    header.Time(seconds, milliseconds).KeyFrame(keyFrame).Extension(Bytes(4, 0));
    return header;
}

// ---- header block and extra data ----

Bytes EncodeHeaderBlock(const HeaderBlockParts& parts) {
    Bytes out;
    PutU32(out, parts.word0);
    PutU32(out, parts.word4);
    PutU32(out, parts.headerLengthField >= 0 ? static_cast<uint32_t>(parts.headerLengthField)
                                             : static_cast<uint32_t>(parts.header.size()));
    PutU32(out, parts.extraDataLengthField >= 0 ? static_cast<uint32_t>(parts.extraDataLengthField)
                                                : static_cast<uint32_t>(parts.extraData.size()));
    out.insert(out.end(), parts.header.begin(), parts.header.end());
    out.insert(out.end(), parts.extraData.begin(), parts.extraData.end());
    return out;
}

Bytes EncodeHeaderBlock(const FrameHeader& header, uint32_t payloadLength, const Bytes& extraData) {
    HeaderBlockParts parts;
    parts.header = FrameHeader(header).PayloadLength(payloadLength).Encode();
    parts.extraData = extraData;
    return EncodeHeaderBlock(parts);
}

Bytes ExtraDataElement(uint8_t tag, const Bytes& body) {
    const uint64_t length = body.size();
    Bytes out{tag};
    if (length <= 0x80) {
        out.push_back(static_cast<uint8_t>(length));
    } else {
        // 0x81 form: the next byte is the length; while the value reached is at
        // least 0x82, 0x83, 0x84 one more byte adds the next 8 bits. Encode by
        // walking the same steps a reader takes.
        out.push_back(0x81);
        uint64_t value = length & 0xFF;
        out.push_back(static_cast<uint8_t>(value));
        for (unsigned k = 1; k <= 3 && value >= 0x81 + k; ++k) {
            uint8_t b = static_cast<uint8_t>(length >> (8 * k));
            out.push_back(b);
            value += uint64_t{b} << (8 * k);
        }
        if (value != length) throw std::invalid_argument("extra-data element length cannot be expressed");
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes DaylightSavingElement(uint8_t byte12, uint8_t byte13) {
    // Tag byte, length byte, then twelve body bytes: offsets 12 and 13 from
    // the tag byte are the last two.
    Bytes body(12, 0);
    body[10] = byte12;
    body[11] = byte13;
    return ExtraDataElement(kDaylightSavingTag, body);
}

Bytes DaylightSavingElement(bool inEffect) { return DaylightSavingElement(0, inEffect ? 1 : 0); }

}  // namespace frame_writer
