#include "media/media_packet.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>

#include <boost/thread/tss.hpp>

#include "media/frame_header.h"

// Block of one packet: reference count, size in 8-byte units, the record,
// the extra data, a gap, the header (placed so that the payload after it
// starts on a 16-byte boundary), the payload, 16 zero bytes, the
// motion-trigger entries.

namespace {

using RefCount = std::atomic<uint32_t>;
static_assert(sizeof(RefCount) == 4 && RefCount::is_always_lock_free,
              "the reference count is one lock-free 32-bit word");

constexpr size_t kBlockAlignment = 16;
constexpr size_t kRecordOffset = 8;  // after the count and the size word
constexpr size_t kZeroTail = 16;
// Slack the design adds to every block beyond the sum of its parts.
constexpr size_t kSlack = 259;
static_assert(kRecordOffset % alignof(TMediaPacket) == 0, "record alignment");
static_assert(alignof(TMotionTriggerInfoEx) <= 4, "entries sit on a word boundary");

size_t RoundUp(size_t value, size_t unit) { return (value + unit - 1) / unit * unit; }

uint8_t* BlockOf(TMediaPacket* packet) { return reinterpret_cast<uint8_t*>(packet) - kRecordOffset; }
RefCount& CountOf(uint8_t* block) { return *std::launder(reinterpret_cast<RefCount*>(block)); }

void FreeBlock(uint8_t* block) {
    CountOf(block).~RefCount();
    ::operator delete (block, std::align_val_t{kBlockAlignment});
}

int AddRefPacket(TMediaPacket* packet) {
    if (packet) CountOf(BlockOf(packet)).fetch_add(1, std::memory_order_relaxed);
    return 0;
}

int ReleasePacket(TMediaPacket* packet) {
    if (!packet) return 0;
    uint8_t* block = BlockOf(packet);
    if (CountOf(block).fetch_sub(1, std::memory_order_acq_rel) == 1) {
        packet->~TMediaPacket();
        FreeBlock(block);
    }
    return 0;
}

const TMediaPacketOps kPacketOps = {&AddRefPacket, &ReleasePacket};

// Offsets inside the block (its start is 16-byte aligned, so offsets and
// addresses agree modulo 16).
struct BlockLayout {
    size_t extraData;
    size_t header;
    size_t zeroBegin;
    size_t zeroEnd;
    size_t triggers;
    size_t total;
};

BlockLayout PlanBlock(uint32_t headerLength, uint32_t extraLength, uint32_t payloadLength, size_t triggerCount) {
    BlockLayout l{};
    l.extraData = kRecordOffset + sizeof(TMediaPacket);
    const size_t extraEnd = l.extraData + 4 + extraLength;
    l.header = RoundUp(extraEnd + headerLength, kBlockAlignment) - headerLength;
    const size_t payloadEnd = l.header + headerLength + payloadLength;
    // 16 zero bytes start at the last whole word of header and payload, and
    // the motion-trigger entries follow them; that word's offset is a
    // multiple of 4 when the header's length is, as the entries need. Where no
    // entries follow, the zeros run on to 16 bytes past the payload, so a
    // decoder may read a little past its end.
    l.zeroBegin = l.header + ((size_t{headerLength} + payloadLength) & ~size_t{3});
    // A malformed block's header length need not be a multiple of 4: the
    // entries then start at the next boundary they may be read at, and the
    // zeros run on to it.
    l.triggers = RoundUp(l.zeroBegin + kZeroTail, alignof(TMotionTriggerInfoEx));
    l.zeroEnd = triggerCount != 0 ? l.triggers : payloadEnd + kZeroTail;
    // The size is the sum of the parts: count and size words, record, extra
    // data, gap, header, payload, zeros, entries and the slack.
    const size_t parts = std::max(payloadEnd + kZeroTail, l.triggers) + triggerCount * sizeof(TMotionTriggerInfoEx);
    l.total = RoundUp(parts + kSlack, 8);
    return l;
}

struct BlockDeleter {
    void operator()(uint8_t* block) const { FreeBlock(block); }
};
using BlockHolder = std::unique_ptr<uint8_t, BlockDeleter>;

BlockHolder AllocateBlock(size_t size) {
    auto* block = static_cast<uint8_t*>(::operator new (size, std::align_val_t{kBlockAlignment}));
    new (block) RefCount(1);
    const uint32_t units = static_cast<uint32_t>(std::min<size_t>(size / 8, UINT32_MAX));
    std::memcpy(block + 4, &units, sizeof units);
    return BlockHolder(block);
}

// The builder's list of motion-trigger entries, one per thread, refilled by
// every build; kept for the thread's life so that its capacity is reused.
std::vector<TMotionTriggerInfoEx>& BuilderMotionTriggers() {
    static boost::thread_specific_ptr<std::vector<TMotionTriggerInfoEx>> list;
    if (!list.get()) list.reset(new std::vector<TMotionTriggerInfoEx>());
    return *list;
}

}  // namespace

const std::vector<TMotionTriggerInfoEx>& ThreadMotionTriggers() { return BuilderMotionTriggers(); }

TMediaPacket* BuildMediaPacket(const uint8_t* headerBlock, size_t headerBlockSize, uint32_t payloadLength) {
    const HeaderBlock source(headerBlock, headerBlockSize);
    const uint32_t headerLength = source.HeaderLength();
    const uint32_t extraLength = source.ExtraDataLength();
    CheckFrameHeaderSize(source.Header(), headerLength);
    if (uint64_t{headerLength} + payloadLength - 4 > std::numeric_limits<uint32_t>::max()) {
        throw std::runtime_error("payload too long");
    }

    std::vector<TMotionTriggerInfoEx>& triggers = BuilderMotionTriggers();
    CollectMotionTriggers(source.Header(), headerLength, triggers);
    const size_t triggerCount = triggers.size();
    const BlockLayout layout = PlanBlock(headerLength, extraLength, payloadLength, triggerCount);
    BlockHolder block = AllocateBlock(layout.total);
    uint8_t* base = block.get();

    auto* packet = new (base + kRecordOffset) TMediaPacket{};
    packet->extraData = base + layout.extraData;
    PutBigEndian32(packet->extraData, extraLength);
    if (extraLength) std::memcpy(packet->extraData + 4, source.ExtraData(), extraLength);
    packet->extraDataLength = extraLength + 4;
    packet->recordSize = sizeof(TMediaPacket);
    packet->ops = &kPacketOps;

    packet->header = base + layout.header;
    std::memcpy(packet->header, source.Header(), headerLength);
    PutBigEndian32(packet->header, headerLength + payloadLength - 4);
    std::memset(base + layout.zeroBegin, 0, layout.zeroEnd - layout.zeroBegin);

    ParseFrameHeader(packet);

    packet->motionTriggerCount = static_cast<uint8_t>(triggerCount);
    if (triggerCount) {
        auto* entries = reinterpret_cast<TMotionTriggerInfoEx*>(base + layout.triggers);
        std::uninitialized_copy(triggers.begin(), triggers.end(), entries);
        packet->motionTriggers = entries;
    }
    // The builder's reference becomes the caller's.
    block.release();
    return packet;
}

TMediaPacket* BuildMediaPacket(const uint8_t* headerBlock, uint32_t payloadLength) {
    const uint64_t size = HeaderBlock::kPrefixSize +
                          uint64_t{BigEndian32(headerBlock + HeaderBlock::kHeaderLengthOffset)} +
                          BigEndian32(headerBlock + HeaderBlock::kExtraDataLengthOffset);
    if (size > std::numeric_limits<size_t>::max()) throw std::runtime_error("header block too short");
    return BuildMediaPacket(headerBlock, static_cast<size_t>(size), payloadLength);
}

// ---- MediaPacketRef ----

MediaPacketRef MediaPacketRef::Share(TMediaPacket* packet) {
    if (packet) packet->ops->AddRef(packet);
    return MediaPacketRef(packet);
}

MediaPacketRef::MediaPacketRef(const MediaPacketRef& other) : packet_(other.packet_) {
    if (packet_) packet_->ops->AddRef(packet_);
}

MediaPacketRef& MediaPacketRef::operator=(const MediaPacketRef& other) {
    if (this != &other) reset(Share(other.packet_).release());
    return *this;
}

MediaPacketRef& MediaPacketRef::operator=(MediaPacketRef&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

void MediaPacketRef::reset(TMediaPacket* adopted) {
    TMediaPacket* old = std::exchange(packet_, adopted);
    if (old) old->ops->Release(old);
}
