// A reader follows a recording while another thread is still writing it.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "live_fixture.h"

namespace livetest {
namespace {

Bytes IdPayload(std::uint32_t id) {
    Bytes payload;
    frame_writer::PutU32(payload, id);
    return payload;
}

std::uint32_t IdOf(const TMediaPacket& packet) {
    const Bytes payload = Payload(packet);
    if (payload.size() < 4) return 0xFFFFFFFF;
    return std::uint32_t{payload[0]} << 24 | std::uint32_t{payload[1]} << 16 | std::uint32_t{payload[2]} << 8 |
           payload[3];
}

using LiveFollowTest = LiveRecordingTest;

// The recorder writes pairs in random slices, with skipped pairs and short
// records among them; every packet it writes reaches the reader exactly once,
// in order, and the terminator ends the reading.
TEST_F(LiveFollowTest, EveryPacketWrittenIsDeliveredOnceInOrder) {
    constexpr int kPairs = 150;
    std::vector<std::uint32_t> written;
    std::vector<Bytes> pairs;
    std::mt19937 random(20120303);
    std::uint32_t id = 0;
    std::uint32_t timeMs = 0;
    for (int p = 0; p < kPairs; ++p) {
        if (p % 17 == 5) pairs.push_back(live_writer::EncodeSkippedPair(Pair({Video(timeMs, true, 0)})));
        std::vector<live_writer::LivePacket> packets;
        const int count = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < count; ++i) {
            timeMs += 20;
            if (random() % 9 == 0) {
                packets.push_back(live_writer::ShortRecord(random() % 35, IdPayload(0xDEAD)));
                continue;
            }
            live_writer::LivePacket packet = Video(timeMs, i == 0, 0);
            packet.payload = IdPayload(++id);
            packet.record =
                live_writer::VideoPacket(kBaseSeconds + timeMs / 1000, timeMs % 1000, i == 0, packet.payload).record;
            packets.push_back(packet);
            written.push_back(id);
        }
        pairs.push_back(live_writer::EncodeBlockPair(Pair(packets)));
    }

    ReaderPtr reader = OpenReader();
    // The recording ends only once the reader has caught up with it at least
    // once, however slow reading is on the machine.
    std::atomic<bool> readerWaited{false};
    std::atomic<bool> recordingEnded{false};
    std::thread recorder([&] {
        std::mt19937 slicing(7);
        for (const Bytes& pair : pairs) {
            Bytes rest = pair;
            while (!rest.empty()) {
                rest = writer->AppendPart(rest, 1 + slicing() % 40);
                if (slicing() % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        while (!readerWaited) std::this_thread::yield();
        writer->AppendTerminator();
        recordingEnded = true;
    });

    // The reader waits as long as the recorder writes, however slow either
    // is; once the recording has ended (every write is flushed), a reader
    // that still finds nothing would never end.
    constexpr int kPollsAfterTheEnd = 1000;
    std::vector<std::uint32_t> delivered;
    int polls = 0;
    int pollsAfterTheEnd = 0;
    std::int32_t result = 0;
    for (;;) {
        TMediaPacket* packet = nullptr;
        const bool ended = recordingEnded;
        result = ViewWhileRec_OutputRawPacket(&packet, reader.get());
        if (result == 0) {
            delivered.push_back(IdOf(*packet));
        } else if (result == VWR_S_NO_DATA && (!ended || pollsAfterTheEnd++ < kPollsAfterTheEnd)) {
            ++polls;
            readerWaited = true;
            std::this_thread::yield();
        } else {
            break;
        }
    }
    readerWaited = true;  // a reader that stopped early must not keep the recorder waiting
    recorder.join();
    EXPECT_EQ(VWR_S_END_OF_RECORDING, result);
    EXPECT_EQ(written, delivered);
    EXPECT_GT(polls, 0) << "the reader never waited for the recorder";
}

}  // namespace
}  // namespace livetest
