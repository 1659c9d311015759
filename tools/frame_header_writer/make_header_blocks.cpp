// Writes a set of example header blocks, one file each, into a folder: the
// seed corpus of the packet-builder fuzz target. The first word of each
// block (unused by readers) carries the payload length the target builds
// the packet with.
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tools/frame_header_writer/frame_header_writer.h"

using namespace frame_writer;

namespace {

Bytes Block(const FrameHeader& header, uint32_t payloadLength, const Bytes& extraData = {}) {
    HeaderBlockParts parts;
    parts.word0 = payloadLength;
    parts.header = FrameHeader(header).PayloadLength(payloadLength).Encode();
    parts.extraData = extraData;
    return EncodeHeaderBlock(parts);
}

std::vector<std::pair<std::string, Bytes>> Examples() {
    const uint32_t t = 1330769700;
    VideoExtension tagged;
    tagged.windows[0] = {true, true, 20, {10, 20, 300, 400}};
    tagged.extraBit = true;
    tagged.tags.Tag16({1, 2, 3, 4, 5, 6})
        .Tag17({{2, true, 50, {1, 2, 3, 4}}, {4, false, 0, {}}})
        .Tag18({0x34, 0x12})
        .Tag20({{1, true, 9, {1, 2, 3, 4, 5, 6, 7, 8}}, {2, false, 3, {}}})
        .Tag24(true)
        .Tag(0x1234, Bytes(3, 7))
        .Tag224()
        .Tag227();
    AudioExtension aac;
    aac.hasRateAndChannels = true;
    aac.sampleRate = 48000;
    aac.channels = 2;
    aac.frameSizes = {300};
    AudioExtension amr;
    amr.constantFrameSize = true;
    amr.hasRateAndChannels = true;
    amr.sampleRate = 8000;
    amr.channels = 1;
    amr.frameCount = 10;
    amr.frameSizes = {32};
    AudioExtension varying;
    varying.hasBitRate = true;
    varying.bitRate = 64000;
    varying.flagD = true;
    varying.frameCount = 3;
    varying.frameSizes = {10, 20, 30};
    const Bytes extra = Concat({ExtraDataElement(0x10, Bytes(5, 1)), DaylightSavingElement(true)});
    return {
        {"h264_made_up", Block(VideoHeader("h264", t, 500), 100)},
        {"h264_zone80_dst", Block(VideoHeader("h264", t, 0).Zone(80).DaylightSaving(), 64, extra)},
        {"hevc_tags", Block(FrameHeader("hevc").Time(t, 1).Video(tagged), 40)},
        {"dmyv_delta", Block(VideoHeader("DMYV", t, 999, false).HeaderNibble(3).Flags(0x00FE1304), 16)},
        {"aac", Block(FrameHeader("aac ").Time(t).Audio(aac), 300)},
        {"samr", Block(FrameHeader("SAMR").Time(t).Audio(amr), 320)},
        {"g726_varying", Block(FrameHeader("G726").Time(t).Audio(varying), 60)},
        {"metx", Block(FrameHeader("metx").Time(t).Extension(Bytes(4, 0)), 12)},
        {"audio_no_extension", Block(FrameHeader("7221").Time(t), 8)},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_header_blocks <folder>\n");
        return 2;
    }
    for (const auto& [name, bytes] : Examples()) {
        std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
