#pragma once

#include "media/media_packet.h"
#include "tools/frame_header_writer/frame_header_writer.h"

// Builds a packet from a writer-made header and holds its reference.
inline MediaPacketRef BuildPacket(const frame_writer::FrameHeader& header, uint32_t payloadLength = 0,
                                  const frame_writer::Bytes& extraData = {}) {
    const frame_writer::Bytes block = frame_writer::EncodeHeaderBlock(header, payloadLength, extraData);
    return MediaPacketRef(BuildMediaPacket(block.data(), block.size(), payloadLength));
}

inline frame_writer::FrameHeader H264(uint32_t seconds = 1330769700, uint16_t ms = 0) {
    return frame_writer::VideoHeader("h264", seconds, ms);
}
