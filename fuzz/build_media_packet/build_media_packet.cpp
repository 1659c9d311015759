// Builds a packet from arbitrary header-block bytes. The block's first word
// (unused by the builder) chooses the payload length, kept small so that
// the run explores headers rather than allocations.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "media/media_packet.h"

namespace {

uint32_t PayloadLengthOf(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    return (uint32_t{data[2]} << 8 | data[3]) & 0x3FFF;
}

// Touches everything a reader may touch, so that ASan sees any byte the
// packet points to outside its block.
void UsePacket(TMediaPacket* p) {
    std::memset(p->header + p->headerLength, 0xAB, p->payloadLength);
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < 16; ++i) sink ^= p->header[p->headerLength + p->payloadLength + i];
    for (uint32_t i = 0; i < p->extraDataLength; ++i) sink ^= p->extraData[i];
    for (uint32_t i = 0; i < p->tagAreaLength; ++i) sink ^= p->tagArea[i];
    for (uint8_t i = 0; i < p->motionTriggerCount; ++i) sink ^= p->motionTriggers[i].level;
    p->ops->AddRef(p);
    p->ops->Release(p);
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        MediaPacketRef packet(BuildMediaPacket(data, size, PayloadLengthOf(data, size)));
        UsePacket(packet.get());
    } catch (const std::runtime_error&) {
        // Malformed blocks are expected to be refused.
    }
    return 0;
}
