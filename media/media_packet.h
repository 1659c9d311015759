#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "media/header_block.h"
#include "media/packet_record.h"

// The builder of the packet record that every media reader hands out. One
// heap block holds the reference count, the record, the extra data, the camera
// frame header, the payload (16-byte aligned, followed by 16 zero bytes) and
// the motion-trigger entries, so a packet costs one allocation and one release.

// Builds a packet from a header block and leaves payloadLength bytes at
// header + headerLength for the caller to fill. The packet holds one
// reference for the caller. headerBlockSize bounds every read of the block.
// Throws std::runtime_error for a malformed block or header ("end of stream"
// when the header's extension runs out) and std::bad_alloc.
TMediaPacket* BuildMediaPacket(const uint8_t* headerBlock, size_t headerBlockSize, uint32_t payloadLength);

// The same for a block that is trusted to hold the header and extra data that
// its prefix announces (16 + H + X bytes), for callers that hold whole blocks.
TMediaPacket* BuildMediaPacket(const uint8_t* headerBlock, uint32_t payloadLength);

// The motion-trigger entries that the last build on the calling thread
// collected. The list is the thread's own, created on its first use and
// destroyed when the thread ends, so readers on other threads never share it.
const std::vector<TMotionTriggerInfoEx>& ThreadMotionTriggers();

// Holds one reference to a packet and releases it when it goes.
class MediaPacketRef {
public:
    MediaPacketRef() = default;
    // Takes over a reference the caller already owns (e.g. a built packet).
    explicit MediaPacketRef(TMediaPacket* adopted) : packet_(adopted) {}
    // Takes a new reference of its own.
    static MediaPacketRef Share(TMediaPacket* packet);

    MediaPacketRef(const MediaPacketRef& other);
    MediaPacketRef& operator=(const MediaPacketRef& other);
    MediaPacketRef(MediaPacketRef&& other) noexcept : packet_(other.packet_) { other.packet_ = nullptr; }
    MediaPacketRef& operator=(MediaPacketRef&& other) noexcept;
    ~MediaPacketRef() { reset(); }

    TMediaPacket* get() const { return packet_; }
    TMediaPacket* operator->() const { return packet_; }
    TMediaPacket& operator*() const { return *packet_; }
    explicit operator bool() const { return packet_ != nullptr; }

    // Releases the held reference and adopts another one (or none).
    void reset(TMediaPacket* adopted = nullptr);
    // Gives the held reference to the caller.
    TMediaPacket* release() { return std::exchange(packet_, nullptr); }

private:
    TMediaPacket* packet_ = nullptr;
};
