#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tools/frame_header_writer/frame_header_writer.h"

// Writes the live region of a recording that is still being recorded: a
// leading "ftyp" box, then block pairs (a data block with Exp-Golomb coded
// header, codec configuration and payloads, then a "LUMO" index block with one
// header-block record per payload), skipped pairs, short records and the
// "skip" terminator. A pair can be written in parts, so that a reader
// following the file meets it half written, e.g.
//
//   live_writer::LiveRecordingWriter writer(path);
//   live_writer::BlockPair pair;
//   pair.packets.push_back(live_writer::VideoPacket(1330769700, 0, true, {1, 2, 3}));
//   writer.AppendPair(pair);
//   writer.AppendTerminator();

namespace live_writer {

using Bytes = frame_writer::Bytes;

// Four-character codes with their first character in the least significant byte.
uint32_t CodecCode(const std::string& fourCharacters);
constexpr uint32_t kCodecH264 = 0x34363248;  // "H264"
constexpr uint32_t kCodecLumo = 0x4F4D554C;  // "LUMO", the index block's code

// Block kind codes k; the block's kind is 1 << (k mod 32).
constexpr uint32_t kKindCodeVideo = 0;    // 0x01
constexpr uint32_t kKindCodeAudio = 1;    // 0x02
constexpr uint32_t kKindCodeSkipped = 6;  // 0x40

// Appends an unsigned Exp-Golomb code: z zero bits, a one, z bits.
void PutUE(frame_writer::BitWriter& bits, uint32_t value);

// The fields of one block header, in bit-string order. configLength, width and
// height are written only for data blocks (codec other than LUMO), width and
// height only when the kind has bit 0.
struct BlockHeaderFields {
    uint32_t kindCode = kKindCodeVideo;
    uint32_t codec = 0;
    std::vector<uint32_t> sizes;
    uint32_t configLength = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};
Bytes EncodeBlockHeader(const BlockHeaderFields& fields);

// H264 configuration: u16 length and the first set, u8 count of further sets,
// then u16 length and set for each.
Bytes EncodeH264Configuration(const std::vector<Bytes>& parameterSets);
// H264 payload: each unit behind its big-endian u32 length.
Bytes EncodeH264Payload(const std::vector<Bytes>& units);

// One payload and its index record.
struct LivePacket {
    Bytes payload;
    Bytes record;  // a header block; fewer than 20 bytes stand for no packet
};
// A video packet ("h264" frame header by default) at seconds.milliseconds.
LivePacket VideoPacket(uint32_t seconds, uint16_t milliseconds, bool keyFrame, const Bytes& payload,
                       const std::string& frameCodec = "h264");
// An audio packet with a "PCMU" frame header.
LivePacket AudioPacket(uint32_t seconds, uint16_t milliseconds, const Bytes& payload);
// A record of recordSize bytes that is no packet for a reader (under 35 bytes).
LivePacket ShortRecord(uint32_t recordSize, const Bytes& payload);

struct BlockPair {
    uint32_t kindCode = kKindCodeVideo;
    uint32_t codec = kCodecH264;
    Bytes configuration;  // written as it stands; its length is configLength
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<LivePacket> packets;
    // For malformed pairs: the index block's code and extra records that only
    // the index block counts.
    uint32_t indexCodec = kCodecLumo;
    uint32_t extraIndexRecords = 0;
};
Bytes EncodeBlockPair(const BlockPair& pair);
// The same pair marked as skipped (kind 0x40): readers pass it over.
Bytes EncodeSkippedPair(BlockPair pair);

// The terminator: an 8-byte box of type "skip".
Bytes TerminatorBox();
// The leading box of a recording, whose end is where the live region starts.
Bytes FtypBox();

// Appends to a recording file, flushing after every write so that a reader
// on another stream sees each part at once.
class LiveRecordingWriter {
public:
    // Creates (or empties) the file and writes the leading "ftyp" box.
    explicit LiveRecordingWriter(const std::string& path);

    uint64_t LiveRegionOffset() const { return liveRegionOffset_; }
    uint64_t Size() const { return size_; }

    void AppendBytes(const Bytes& bytes);
    void AppendPair(const BlockPair& pair) { AppendBytes(EncodeBlockPair(pair)); }
    void AppendSkippedPair(const BlockPair& pair) { AppendBytes(EncodeSkippedPair(pair)); }
    void AppendTerminator() { AppendBytes(TerminatorBox()); }
    // Writes the first `count` bytes of `bytes` and returns the rest, to be
    // written later with AppendBytes: the recorder stopped in the middle.
    Bytes AppendPart(const Bytes& bytes, size_t count);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    uint64_t size_ = 0;
    uint64_t liveRegionOffset_ = 0;
};

}  // namespace live_writer
