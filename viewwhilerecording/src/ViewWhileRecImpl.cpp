// Navigation of the packet index and the output of packets.

#include "ViewWhileRecImpl.h"

#include <cstring>
#include <iterator>
#include <limits>

#include "media/byte_cursor.h"
#include "media/byte_order.h"
#include "media/start_code.h"
#include "Exceptions.h"
#include "ViewWhileRec.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

constexpr std::size_t kLengthPrefixSize = 4;
static_assert(kLengthPrefixSize == kUnitStartCodeLength, "a unit's start code takes its length's place");

// A unit length that runs past its packet makes the packet malformed.
struct FailPastPacketEnd {
    [[noreturn]] static void Shortfall() { ThrowMalformed(); }
};

}  // namespace

ViewWhileRecImpl::ViewWhileRecImpl(GrowingFileReader blockReader, GrowingFileReader indexReader,
                                   GrowingFileReader payloadReader, std::uint64_t liveRegionStart)
    : blockReader(std::move(blockReader)),
      indexReader(std::move(indexReader)),
      payloadReader(std::move(payloadReader)) {
    this->blockReader.Seek(liveRegionStart);
}

PacketKey ViewWhileRecImpl::SearchKey(std::uint64_t time) const {
    // Backward, every packet of that time lies below the key; forward, above.
    return {time, Backward() ? std::numeric_limits<std::uint32_t>::max() : 0u};
}

void ViewWhileRecImpl::SetPosition(const TPacketIdxInfo& info) {
    hasPosition = true;
    currentTime = info.time;
    currentSequence = info.sequence;
}

std::int32_t ViewWhileRecImpl::Step(Node& node) const {
    if (Backward()) {
        if (node == packetIndex.begin()) return VWR_E_AT_BEGIN;
        --node;
        return 0;
    }
    ++node;
    return node == packetIndex.end() ? VWR_S_NO_DATA : 0;
}

bool ViewWhileRecImpl::Accepts(const TPacketIdxInfo& info) const {
    if ((keyFramesOnly || stepSeconds) && !info.isKeyFrame) return false;
    if ((videoOnly || stepSeconds) && !info.isVideo) return false;
    return true;
}

std::int32_t ViewWhileRecImpl::FindByStep(Node& node) const {
    // Any direction other than -1 reads forward, so only its sign counts.
    const std::uint64_t stepMs = std::uint64_t{stepSeconds} * 1000;
    std::uint64_t target = currentTime + stepMs;
    if (Backward()) target = currentTime > stepMs ? currentTime - stepMs : 0;  // before 0 is before everything

    const PacketKey key = SearchKey(target);
    const Node lo = packetIndex.lower_bound(key);
    const Node up = packetIndex.upper_bound(key);
    if (lo != up) {
        node = lo;
        return 0;
    }
    if (lo == packetIndex.begin()) return VWR_E_AT_BEGIN;
    if (lo == packetIndex.end()) return VWR_S_NO_DATA;
    node = Backward() ? std::prev(lo) : lo;
    return 0;
}

std::int32_t ViewWhileRecImpl::FindNext(Node& node) const {
    Node current = packetIndex.end();
    if (hasPosition) current = packetIndex.find(PacketKey{currentTime, currentSequence});
    if (current == packetIndex.end()) {
        node = Backward() ? std::prev(packetIndex.end()) : packetIndex.begin();
    } else if (stepSeconds == 0) {
        node = current;
        if (const std::int32_t r = Step(node)) return r;
    } else {
        if (const std::int32_t r = FindByStep(node)) return r;
    }
    while (!Accepts(**node)) {
        if (const std::int32_t r = Step(node)) return r;
    }
    return 0;
}

std::int32_t ViewWhileRecImpl::OutputNext() {
    if (packetIndex.empty()) return VWR_S_NO_DATA;
    Node node;
    if (const std::int32_t r = FindNext(node)) return r;
    // The reader keeps exactly one reference, to the newest packet.
    currentPacket = MediaPacketRef(ReadPacketData(**node));
    SetPosition(**node);
    return 0;
}

void ViewWhileRecImpl::SetFromForwardSearch(Node c) {
    // The latest key video packet before the target, so that decoding can
    // start there; the first packet when there is none.
    for (;;) {
        const TPacketIdxInfo& next = **std::next(c);
        if (next.isKeyFrame && next.isVideo) {
            SetPosition(**c);
            return;
        }
        if (c == packetIndex.begin()) {
            ClearPosition();
            return;
        }
        --c;
    }
}

std::int32_t ViewWhileRecImpl::SeekTo(std::uint64_t time) {
    const PacketKey key = SearchKey(time);
    const Node lo = packetIndex.lower_bound(key);
    if (lo != packetIndex.upper_bound(key)) {
        if (Backward()) {
            SeekBackwardOnKey(lo);
        } else {
            SeekForwardOnKey(lo);
        }
        return 0;
    }
    // No packet has the key itself; lo is the first one after it.
    if (lo == packetIndex.end()) {
        // Every packet is earlier: what is not indexed yet may be later.
        ClearPosition();
        return VWR_S_NO_DATA;
    }
    if (lo == packetIndex.begin()) {
        // Every packet is later: backward there is nothing to go to.
        if (Backward()) return VWR_E_AT_BEGIN;
        ClearPosition();
        return 0;
    }
    if (Backward()) {
        SeekBackwardBetween(lo, time);
    } else {
        SeekForwardBetween(lo);
    }
    return 0;
}

// lo is the last packet of the time (the key's sequence is the largest): the
// next backward read returns it, or, when lo is the last packet, starts from
// the last packet.
void ViewWhileRecImpl::SeekBackwardOnKey(Node lo) {
    const Node next = std::next(lo);
    if (next == packetIndex.end()) {
        ClearPosition();
    } else {
        SetPosition(**next);
    }
}

// lo is the first packet of the time (the key's sequence is 0): the next
// forward read returns the latest key video packet up to lo itself, or the
// first packet when there is none.
void ViewWhileRecImpl::SeekForwardOnKey(Node lo) {
    if (lo == packetIndex.begin()) {
        ClearPosition();
    } else {
        SetFromForwardSearch(std::prev(lo));
    }
}

// lo, neither the first nor past the end, is the first packet after the key:
// the next backward read returns the last packet of the time, or lo when no
// packet has the time.
void ViewWhileRecImpl::SeekBackwardBetween(Node lo, std::uint64_t time) {
    if ((*std::prev(lo))->time == time) {
        SetPosition(**lo);
        return;
    }
    const Node next = std::next(lo);
    if (next == packetIndex.end()) {
        ClearPosition();
    } else {
        SetPosition(**next);
    }
}

// lo, neither the first nor past the end, is the first packet at or after
// the time: the next forward read returns the latest key video packet before
// lo, or the first packet when there is none.
void ViewWhileRecImpl::SeekForwardBetween(Node lo) {
    const Node c = std::prev(lo);
    if (c == packetIndex.begin()) {
        ClearPosition();
    } else {
        SetFromForwardSearch(std::prev(c));
    }
}

TMediaPacket* ViewWhileRecImpl::ReadPacketData(const TPacketIdxInfo& info) {
    payloadReader.Seek(info.dataOffset);
    // The size comes from the file: make sure the bytes are there before the
    // packet is allocated for them.
    payloadReader.RequireAvailable(info.dataSize);
    const std::vector<std::uint8_t>& block = info.headerBlock;
    MediaPacketRef packet(BuildMediaPacket(block.data(), block.size(), info.dataSize));
    std::uint8_t* payload = packet->header + BigEndian32(block.data() + HeaderBlock::kHeaderLengthOffset);
    if (info.codec == kCodecH264) {
        ReadH264Payload(payload, info.dataSize);
    } else {
        payloadReader.ReadBytes(payload, info.dataSize);
    }
    const TCodecInfo& codec = codecTable[info.codec];
    packet->width = codec.width;
    packet->height = codec.height;
    return packet.release();
}

void ViewWhileRecImpl::ReadH264Payload(std::uint8_t* dest, std::uint32_t dataSize) {
    // Length-prefixed units become start-code units of the same total size:
    // each start code is written over its unit's length.
    payloadReader.ReadBytes(dest, dataSize);
    ByteCursor<FailPastPacketEnd> units(dest, dest + dataSize);
    while (units.Remaining() > kLengthPrefixSize) {
        std::uint8_t* prefix = dest + units.Position();
        units.Skip(units.ReadU32());
        std::memcpy(prefix, kUnitStartCode, kUnitStartCodeLength);
    }
    std::memset(dest + units.Position(), 0, units.Remaining());  // a tail too short for a unit is no payload
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
