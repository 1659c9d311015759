#pragma once

// The packets found so far in a growing recording, ordered by time.

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

// One indexed packet: where its payload lies and the header record that the
// packet is built from.
struct TPacketIdxInfo {
    std::uint64_t time = 0;      // recorded seconds * 1000 + milliseconds, no zone correction
    std::uint32_t sequence = 0;  // order of indexing; breaks ties between equal times
    bool isKeyFrame = false;
    bool isVideo = false;
    std::uint64_t dataOffset = 0;
    std::uint32_t dataSize = 0;
    std::uint32_t codec = 0;
    std::vector<std::uint8_t> headerBlock;  // the whole index record
};

using PacketIdxInfoPtr = std::shared_ptr<const TPacketIdxInfo>;

struct PacketKey {
    std::uint64_t time;
    std::uint32_t sequence;
};

// Orders records and bare keys alike by (time, sequence), both unsigned.
struct PacketKeyLess {
    using is_transparent = void;
    static PacketKey KeyOf(const PacketKey& key) { return key; }
    static PacketKey KeyOf(const PacketIdxInfoPtr& info) { return {info->time, info->sequence}; }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
        const PacketKey x = KeyOf(a);
        const PacketKey y = KeyOf(b);
        return x.time < y.time || (x.time == y.time && x.sequence < y.sequence);
    }
};

// Unique by key; inserting a present key keeps the present record. It only
// grows while the reader lives.
using PacketIndex = std::set<PacketIdxInfoPtr, PacketKeyLess>;

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
