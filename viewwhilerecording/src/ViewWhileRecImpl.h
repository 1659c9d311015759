#pragma once

// The reader of a recording that is still being written: it indexes the block
// pairs of the live region as they appear and hands out their packets in time
// order, forwards or backwards, from a position or from a time.

#include <cstdint>
#include <vector>

#include "media/media_packet.h"

#include "BlockHeader.h"
#include "CodecTable.h"
#include "GrowingFileReader.h"
#include "PacketIndex.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class ViewWhileRecImpl {
public:
    // The three readers must be open on the same file; blockReader is moved
    // to liveRegionStart, the first data block.
    ViewWhileRecImpl(GrowingFileReader blockReader, GrowingFileReader indexReader, GrowingFileReader payloadReader,
                     std::uint64_t liveRegionStart);
    ViewWhileRecImpl(const ViewWhileRecImpl&) = delete;
    ViewWhileRecImpl& operator=(const ViewWhileRecImpl&) = delete;

    // Indexes every block pair written since the last call. Returns the number
    // of packets added; 0 when no further complete pair is written; -1 when
    // the terminator is reached and nothing was added. A pair that fails to
    // decode is tried again from its start by the next call.
    int UpdateIndex();

    // Result-code steps of the entry points; see ViewWhileRec.h.
    std::int32_t OutputNext();
    std::int32_t SeekTo(std::uint64_t time);

    void SetKeyFramesOnly(bool on) { keyFramesOnly = on ? 1 : 0; }
    void SetVideoOnly(bool on) { videoOnly = on ? 1 : 0; }
    void SetStepSeconds(std::uint16_t seconds) { stepSeconds = seconds; }
    void SetDirection(std::int16_t value) { direction = value; }

    TMediaPacket* CurrentPacket() const { return currentPacket.get(); }
    const PacketIndex& Index() const { return packetIndex; }
    const CodecTable& Codecs() const { return codecTable; }
    bool HasVideo() const { return hasVideo != 0; }
    bool HasAudio() const { return hasAudio != 0; }

private:
    using Node = PacketIndex::const_iterator;
    using WorkList = std::vector<PacketIdxInfoPtr>;

    // Indexing steps.
    void ReadBlockPair(WorkList& list);
    void IndexBlockPackets(const TBlockHeader& data, const TBlockHeader& index, WorkList& list);
    PacketIdxInfoPtr MakeRecord(const TBlockHeader& data, std::uint32_t dataSize, std::uint32_t recordSize);

    // Navigation steps.
    bool Backward() const { return direction == -1; }
    PacketKey SearchKey(std::uint64_t time) const;
    std::int32_t Step(Node& node) const;
    std::int32_t FindNext(Node& node) const;
    std::int32_t FindByStep(Node& node) const;
    bool Accepts(const TPacketIdxInfo& info) const;
    void SetPosition(const TPacketIdxInfo& info);
    void ClearPosition() {
        hasPosition = false;
        currentTime = 0;
    }
    void SetFromForwardSearch(Node c);
    // SeekTo's cases, by direction and by whether a packet has the search key.
    void SeekBackwardOnKey(Node lo);
    void SeekForwardOnKey(Node lo);
    void SeekBackwardBetween(Node lo, std::uint64_t time);
    void SeekForwardBetween(Node lo);
    TMediaPacket* ReadPacketData(const TPacketIdxInfo& info);
    void ReadH264Payload(std::uint8_t* dest, std::uint32_t dataSize);

    // Declared in the order of destruction's reverse: the readers close their
    // streams first, then the codec table and the index go, and the last
    // packet is released at the very end.
    MediaPacketRef currentPacket;
    PacketIndex packetIndex;
    std::uint64_t currentTime = 0;
    std::uint32_t currentSequence = 0;
    CodecTable codecTable;
    GrowingFileReader blockReader;
    GrowingFileReader indexReader;
    GrowingFileReader payloadReader;
    std::uint8_t hasVideo = 0;
    std::uint8_t hasAudio = 0;
    std::uint8_t keyFramesOnly = 0;
    std::uint8_t videoOnly = 0;
    std::uint16_t stepSeconds = 0;
    std::int16_t direction = 1;
    std::uint32_t nextSequence = 0;
    // Kept apart from currentTime so that a packet recorded at time 0 is a
    // position like any other.
    bool hasPosition = false;
};

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
