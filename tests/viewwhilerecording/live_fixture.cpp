#include "live_fixture.h"

#include <ostream>

namespace livetest {

live_writer::LivePacket Video(std::uint32_t offsetMs, bool key, std::uint8_t id) {
    return live_writer::VideoPacket(kBaseSeconds + offsetMs / 1000, offsetMs % 1000, key, {id, 0x11, 0x22});
}

live_writer::LivePacket Audio(std::uint32_t offsetMs, std::uint8_t id) {
    return live_writer::AudioPacket(kBaseSeconds + offsetMs / 1000, offsetMs % 1000, {id, 0x33});
}

live_writer::BlockPair Pair(std::vector<live_writer::LivePacket> packets, std::uint32_t kindCode) {
    live_writer::BlockPair pair;
    pair.kindCode = kindCode;
    pair.codec =
        kindCode == live_writer::kKindCodeAudio ? live_writer::CodecCode("PCMU") : live_writer::CodecCode("JPEG");
    pair.packets = std::move(packets);
    return pair;
}

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << "{" << seen.timeMs << ", id " << int(seen.id) << "}";
}

std::vector<std::uint8_t> Payload(const TMediaPacket& packet) {
    const std::uint8_t* start = packet.header + packet.headerLength;
    return std::vector<std::uint8_t>(start, start + packet.payloadLength);
}

Seen Describe(const TMediaPacket& packet) {
    const auto payload = Payload(packet);
    return {std::uint64_t{packet.seconds} * 1000 + packet.milliseconds, payload.empty() ? std::uint8_t{0} : payload[0]};
}

std::vector<Seen> ReadAll(ViewWhileRecImpl* reader, std::int32_t* lastResult) {
    std::vector<Seen> seen;
    for (;;) {
        TMediaPacket* packet = nullptr;
        const std::int32_t result = ViewWhileRec_OutputRawPacket(&packet, reader);
        if (result != 0) {
            if (lastResult) *lastResult = result;
            return seen;
        }
        seen.push_back(Describe(*packet));
    }
}

std::vector<std::uint8_t> Ids(const std::vector<Seen>& seen) {
    std::vector<std::uint8_t> ids;
    for (const Seen& s : seen) ids.push_back(s.id);
    return ids;
}

void LiveRecordingTest::SetUp() {
    folder = boost::filesystem::temp_directory_path() / boost::filesystem::unique_path("live-%%%%-%%%%-%%%%");
    boost::filesystem::create_directories(folder);
    path = (folder / "00000001_2012-03-03_101500.3gp").string();
    writer = std::make_unique<live_writer::LiveRecordingWriter>(path);
}

void LiveRecordingTest::TearDown() {
    writer.reset();
    boost::system::error_code ignored;
    boost::filesystem::remove_all(folder, ignored);
}

void LiveRecordingTest::Restart() {
    writer.reset();
    writer = std::make_unique<live_writer::LiveRecordingWriter>(path);
}

ReaderPtr LiveRecordingTest::OpenReader() {
    ViewWhileRecImpl* reader = nullptr;
    EXPECT_EQ(0, ViewWhileRec_Open(path.c_str(), writer->LiveRegionOffset(), &reader));
    return ReaderPtr(reader);
}

}  // namespace livetest
