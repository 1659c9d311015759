// Indexing of the live region: block pairs become packet records.

#include <exception>
#include <memory>

#include "media/byte_order.h"
#include "media/header_block.h"
#include "media/packet_record.h"
#include "BoxProbe.h"
#include "CodecConfiguration.h"
#include "Exceptions.h"
#include "ViewWhileRecImpl.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

// A box header needs 8 bytes; fewer written bytes cannot even be probed.
constexpr std::uint64_t kProbeSize = 8;
// Where an index record (a header block) keeps the frame header's fields.
constexpr std::size_t kRecordKindOffset = HeaderBlock::kPrefixSize + kFrameKindOffset;
constexpr std::size_t kRecordSecondsOffset = HeaderBlock::kPrefixSize + kFrameSecondsOffset;
constexpr std::size_t kRecordMillisecondsOffset = HeaderBlock::kPrefixSize + kFrameMillisecondsOffset;
// An index record must reach the end of the frame header's milliseconds to be
// a packet; shorter records stand for no packet.
constexpr std::uint32_t kMinimumRecordSize = kRecordMillisecondsOffset + 2;
}  // namespace

int ViewWhileRecImpl::UpdateIndex() {
    int added = 0;
    for (;;) {
        // A skipped pair or the creator may leave blockReader beyond the
        // written data: that too is data not written yet.
        if (!blockReader.IsAvailable(kProbeSize)) return added;
        const std::uint64_t start = blockReader.Position();
        ProbedBox probe;
        try {
            probe = ProbeBox(blockReader);
        } catch (const IOException&) {
            // A 64-bit size or an extended type that is not written yet.
            return added;
        }
        if (probe.Is("skip")) return added > 0 ? added : -1;

        WorkList list;
        try {
            ReadBlockPair(list);
        } catch (const std::exception&) {
            // Mostly a pair the recorder has not finished: try it again from
            // its start once more is written.
            blockReader.Seek(start);
            return added;
        }
        // All or nothing: a pair reaches the index only once fully decoded.
        packetIndex.insert(list.begin(), list.end());
        added += static_cast<int>(list.size());
    }
}

void ViewWhileRecImpl::ReadBlockPair(WorkList& list) {
    const TBlockHeader data = ReadBlockHeader(blockReader);
    if (data.kind & kKindSkippedPair) {
        // Its index block only tells where the next pair begins. Stopping at
        // that boundary lets the caller look for the terminator there, which
        // may follow a skipped pair as well as any other.
        indexReader.Seek(data.dataEnd);
        const TBlockHeader index = ReadBlockHeader(indexReader);
        blockReader.Seek(index.dataEnd);
        return;
    }
    if (data.kind & kKindVideo) {
        hasVideo = 1;
    } else if (data.kind & kKindAudio) {
        hasAudio = 1;
    }
    if (data.configLength != 0) {
        auto configuration = ReadCodecConfiguration(blockReader, data.codec, data.configLength);
        TCodecInfo& info = codecTable[data.codec];
        info.configLength = static_cast<std::uint32_t>(configuration.size());
        info.configuration = std::make_shared<const std::vector<std::uint8_t>>(std::move(configuration));
        info.width = data.width;
        info.height = data.height;
    }
    indexReader.Seek(data.dataEnd);
    const TBlockHeader index = ReadBlockHeader(indexReader);
    if (!index.IsIndexBlock() || index.count != data.count) ThrowMalformed();
    IndexBlockPackets(data, index, list);
}

void ViewWhileRecImpl::IndexBlockPackets(const TBlockHeader& data, const TBlockHeader& index, WorkList& list) {
    blockReader.Seek(data.dataStart);
    indexReader.Seek(index.dataStart);
    list.reserve(index.count);
    for (std::uint32_t i = 0; i < index.count; ++i) {
        const std::uint32_t dataSize = data.sizes[i];
        const std::uint32_t recordSize = index.sizes[i];
        if (recordSize < kMinimumRecordSize) {
            blockReader.Seek(blockReader.Position() + dataSize);
            indexReader.Seek(indexReader.Position() + recordSize);
            continue;
        }
        list.push_back(MakeRecord(data, dataSize, recordSize));
    }
    blockReader.Seek(index.dataEnd);
}

PacketIdxInfoPtr ViewWhileRecImpl::MakeRecord(const TBlockHeader& data, std::uint32_t dataSize,
                                              std::uint32_t recordSize) {
    auto info = std::make_shared<TPacketIdxInfo>();
    info->isVideo = (data.kind & kKindVideo) != 0;
    info->dataOffset = blockReader.Position();
    blockReader.Seek(info->dataOffset + dataSize);  // payloads are read only when output
    info->dataSize = dataSize;
    info->codec = data.codec;
    info->headerBlock = indexReader.ReadVector(recordSize);
    const std::uint8_t* record = info->headerBlock.data();
    info->time = std::uint64_t{BigEndian32(record + kRecordSecondsOffset)} * 1000 +
                 BigEndian16(record + kRecordMillisecondsOffset);
    info->isKeyFrame = (record[kRecordKindOffset] >> 4) == 0;
    info->sequence = nextSequence++;
    return info;
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
