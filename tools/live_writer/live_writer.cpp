#include "tools/live_writer/live_writer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace live_writer {

namespace {

constexpr uint8_t kFrameKindDependent = 1;

bool HasVideoBit(uint32_t kindCode) { return (kindCode % 32) == 0; }

Bytes EncodeIndexBlock(const BlockPair& pair) {
    BlockHeaderFields index;
    index.codec = pair.indexCodec;
    Bytes records;
    for (const LivePacket& packet : pair.packets) {
        index.sizes.push_back(static_cast<uint32_t>(packet.record.size()));
        records.insert(records.end(), packet.record.begin(), packet.record.end());
    }
    for (uint32_t i = 0; i < pair.extraIndexRecords; ++i) index.sizes.push_back(0);
    return frame_writer::Concat({EncodeBlockHeader(index), records});
}

Bytes EncodeDataBlock(const BlockPair& pair) {
    BlockHeaderFields data;
    data.kindCode = pair.kindCode;
    data.codec = pair.codec;
    data.configLength = static_cast<uint32_t>(pair.configuration.size());
    data.width = pair.width;
    data.height = pair.height;
    Bytes payloads;
    for (const LivePacket& packet : pair.packets) {
        data.sizes.push_back(static_cast<uint32_t>(packet.payload.size()));
        payloads.insert(payloads.end(), packet.payload.begin(), packet.payload.end());
    }
    return frame_writer::Concat({EncodeBlockHeader(data), pair.configuration, payloads});
}

}  // namespace

uint32_t CodecCode(const std::string& fourCharacters) {
    if (fourCharacters.size() != 4) throw std::invalid_argument("codec code needs 4 characters");
    uint32_t code = 0;
    for (int i = 3; i >= 0; --i) code = code << 8 | static_cast<uint8_t>(fourCharacters[i]);
    return code;
}

void PutUE(frame_writer::BitWriter& bits, uint32_t value) {
    const uint64_t coded = uint64_t{value} + 1;
    unsigned width = 0;
    while ((coded >> width) > 1) ++width;
    bits.Put(0, width);
    bits.Put(1, 1);
    bits.Put(static_cast<uint32_t>(coded), width);  // the low `width` bits
}

Bytes EncodeBlockHeader(const BlockHeaderFields& fields) {
    frame_writer::BitWriter bits;
    PutUE(bits, fields.kindCode);
    bits.Put(fields.codec, 32);
    PutUE(bits, static_cast<uint32_t>(fields.sizes.size()));
    for (uint32_t size : fields.sizes) PutUE(bits, size);
    if (fields.codec != kCodecLumo) {
        PutUE(bits, fields.configLength);
        if (HasVideoBit(fields.kindCode)) {
            PutUE(bits, fields.width);
            PutUE(bits, fields.height);
        }
    }
    return bits.Finish();
}

Bytes EncodeH264Configuration(const std::vector<Bytes>& parameterSets) {
    if (parameterSets.empty() || parameterSets.size() > 256) {
        throw std::invalid_argument("H264 configuration holds 1 to 256 parameter sets");
    }
    Bytes out;
    for (size_t i = 0; i < parameterSets.size(); ++i) {
        frame_writer::PutU16(out, static_cast<uint16_t>(parameterSets[i].size()));
        out.insert(out.end(), parameterSets[i].begin(), parameterSets[i].end());
        if (i == 0) out.push_back(static_cast<uint8_t>(parameterSets.size() - 1));  // further sets
    }
    return out;
}

Bytes EncodeH264Payload(const std::vector<Bytes>& units) {
    Bytes out;
    for (const Bytes& unit : units) {
        frame_writer::PutU32(out, static_cast<uint32_t>(unit.size()));
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

LivePacket VideoPacket(uint32_t seconds, uint16_t milliseconds, bool keyFrame, const Bytes& payload,
                       const std::string& frameCodec) {
    frame_writer::FrameHeader header = frame_writer::VideoHeader(frameCodec, seconds, milliseconds, keyFrame);
    if (!keyFrame) header.FrameKind(kFrameKindDependent);
    const auto size = static_cast<uint32_t>(payload.size());
    return {payload, frame_writer::EncodeHeaderBlock(header, size)};
}

LivePacket AudioPacket(uint32_t seconds, uint16_t milliseconds, const Bytes& payload) {
    frame_writer::AudioExtension audio;
    audio.frameCount = 1;
    audio.frameSizes = {static_cast<uint16_t>(payload.size())};
    const frame_writer::FrameHeader header = frame_writer::FrameHeader("PCMU").Time(seconds, milliseconds).Audio(audio);
    return {payload, frame_writer::EncodeHeaderBlock(header, static_cast<uint32_t>(payload.size()))};
}

LivePacket ShortRecord(uint32_t recordSize, const Bytes& payload) { return {payload, Bytes(recordSize, 0xA5)}; }

Bytes EncodeBlockPair(const BlockPair& pair) {
    return frame_writer::Concat({EncodeDataBlock(pair), EncodeIndexBlock(pair)});
}

Bytes EncodeSkippedPair(BlockPair pair) {
    pair.kindCode = kKindCodeSkipped;
    return EncodeBlockPair(pair);
}

Bytes TerminatorBox() { return {0, 0, 0, 8, 's', 'k', 'i', 'p'}; }

Bytes FtypBox() {
    Bytes out;
    frame_writer::PutU32(out, 20);
    for (char c : std::string("ftyp3gp6")) out.push_back(static_cast<uint8_t>(c));
    frame_writer::PutU32(out, 0x100);
    for (char c : std::string("isom")) out.push_back(static_cast<uint8_t>(c));
    return out;
}

LiveRecordingWriter::LiveRecordingWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (!file_) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    AppendBytes(FtypBox());
    liveRegionOffset_ = size_;
}

void LiveRecordingWriter::AppendBytes(const Bytes& bytes) {
    if (bytes.empty()) return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size() || std::fflush(file_.get()) != 0) {
        throw std::runtime_error(std::string("cannot append to the recording: ") + std::strerror(errno));
    }
    size_ += bytes.size();
}

Bytes LiveRecordingWriter::AppendPart(const Bytes& bytes, size_t count) {
    if (count > bytes.size()) count = bytes.size();
    AppendBytes(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)));
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(count), bytes.end());
}

}  // namespace live_writer
