// Writes a sample recording that is "still being recorded": its leading ftyp
// box, then block pairs of H264 video and PCMU audio, a skipped pair and a
// short record; by default the terminator follows.
//
//   make_live_recording PATH [--pairs N] [--stop-in-pair] [--no-terminator]

#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/live_writer/live_writer.h"

namespace {

constexpr uint32_t kStartSeconds = 1330769700;

live_writer::BlockPair VideoPair(int index) {
    live_writer::BlockPair pair;
    pair.codec = live_writer::kCodecH264;
    pair.configuration = live_writer::EncodeH264Configuration({{0x67, 0x42, 0x00, 0x1E}, {0x68, 0xCE, 0x38, 0x80}});
    pair.width = 640;
    pair.height = 360;
    for (int i = 0; i < 3; ++i) {
        const uint32_t ms = static_cast<uint32_t>(index * 120 + i * 40);
        const live_writer::Bytes payload = live_writer::EncodeH264Payload(
            {{0x65, static_cast<uint8_t>(index)}, {0x06, static_cast<uint8_t>(i), 0x80}});
        pair.packets.push_back(live_writer::VideoPacket(kStartSeconds + ms / 1000, ms % 1000, i == 0, payload));
    }
    pair.packets.push_back(live_writer::ShortRecord(19, {0xFF}));
    return pair;
}

live_writer::BlockPair AudioPair(int index) {
    live_writer::BlockPair pair;
    pair.kindCode = live_writer::kKindCodeAudio;
    pair.codec = live_writer::CodecCode("PCMU");
    const uint32_t ms = static_cast<uint32_t>(index * 120 + 20);
    pair.packets.push_back(live_writer::AudioPacket(kStartSeconds + ms / 1000, ms % 1000, {0x7F, 0x7E, 0x7D, 0x7C}));
    return pair;
}

int Usage() {
    std::cerr << "usage: make_live_recording PATH [--pairs N] [--stop-in-pair] [--no-terminator]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string path = argv[1];
    int pairs = 4;
    bool stopInPair = false;
    bool terminator = true;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--pairs" && i + 1 < argc) {
            pairs = std::atoi(argv[++i]);
        } else if (arg == "--stop-in-pair") {
            stopInPair = true;
        } else if (arg == "--no-terminator") {
            terminator = false;
        } else {
            return Usage();
        }
    }
    try {
        live_writer::LiveRecordingWriter writer(path);
        for (int i = 0; i < pairs; ++i) {
            writer.AppendPair(VideoPair(i));
            writer.AppendPair(AudioPair(i));
            if (i == 1) writer.AppendSkippedPair(VideoPair(99));
        }
        if (stopInPair) {
            const live_writer::Bytes next = live_writer::EncodeBlockPair(VideoPair(pairs));
            writer.AppendPart(next, next.size() / 2);
        } else if (terminator) {
            writer.AppendTerminator();
        }
        std::cout << path << ": " << writer.Size() << " bytes, live region at " << writer.LiveRegionOffset() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "make_live_recording: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
