// Packets handed out forwards and backwards, seeks by time, result codes.

#include <gtest/gtest.h>

#include <cstring>

#include "live_fixture.h"

namespace livetest {
namespace {

using live_writer::BlockPair;

// The facade's seek to a time later than any packet.
constexpr std::uint64_t kFarFuture = 0x000003E8FFFFFC17ull;

std::int32_t Output(ViewWhileRecImpl* reader, Seen* seen = nullptr) {
    TMediaPacket* packet = nullptr;
    const std::int32_t result = ViewWhileRec_OutputRawPacket(&packet, reader);
    if (result == 0 && seen) *seen = Describe(*packet);
    return result;
}

std::uint8_t NextId(ViewWhileRecImpl* reader) {
    Seen seen{0, 0};
    EXPECT_EQ(0, Output(reader, &seen));
    return seen.id;
}

using PacketOutputTest = LiveRecordingTest;

TEST_F(PacketOutputTest, NullArgumentsAreRejected) {
    ReaderPtr reader = OpenReader();
    TMediaPacket* packet = nullptr;
    ViewWhileRecImpl* opened = nullptr;
    std::uint64_t offset = 0;
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_OutputRawPacket(nullptr, reader.get()));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_OutputRawPacket(&packet, nullptr));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_Seek(nullptr, 0));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_Open(nullptr, 0, &opened));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_Open(path.c_str(), 0, nullptr));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_FindLiveRegion(nullptr, &offset));
    EXPECT_EQ(VWR_E_INVALID_ARG, ViewWhileRec_FindLiveRegion(path.c_str(), nullptr));
    ViewWhileRec_SetDirection(nullptr, -1);
    ViewWhileRec_SetVideoOnly(nullptr, true);
    ViewWhileRec_SetKeyFramesOnly(nullptr, true);
    ViewWhileRec_SetStepSeconds(nullptr, 2);
    ViewWhileRec_Close(nullptr);
    EXPECT_EQ(nullptr, packet);
    EXPECT_EQ(nullptr, opened);
}

TEST_F(PacketOutputTest, OpenAndFindTheLiveRegion) {
    ViewWhileRecImpl* reader = nullptr;
    const std::string missing = (folder / "missing.3gp").string();
    EXPECT_EQ(VWR_E_IO, ViewWhileRec_Open(missing.c_str(), 0, &reader));
    EXPECT_EQ(nullptr, reader);

    struct Case {
        Bytes start;
        std::int32_t result;
        std::uint64_t offset;
    };
    const Case cases[] = {
        {{}, VWR_S_NO_DATA, 0},
        {{0, 0, 0, 20, 'f', 't', 'y'}, VWR_S_NO_DATA, 0},
        {live_writer::FtypBox(), 0, 20},
        {{0, 0, 0, 1, 'f', 't', 'y', 'p', 0, 0, 0, 0}, VWR_S_NO_DATA, 0},  // 64-bit size still to come
        {{0, 0, 0, 1, 'f', 't', 'y', 'p', 0, 0, 0, 0, 0, 0, 0, 40}, 0, 40},
        {{0, 0, 0, 4, 'f', 't', 'y', 'p'}, VWR_E_BAD_FORMAT, 0},
        {{0, 0, 0, 20, 'm', 'o', 'o', 'v'}, VWR_E_BAD_FORMAT, 0},
        {{0, 0, 0, 40, 'u', 'u', 'i', 'd', 1, 2, 3, 4}, VWR_S_NO_DATA, 0},  // extended type still to come
    };
    const std::string file = (folder / "start.3gp").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.start));
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (!c.start.empty()) std::fwrite(c.start.data(), 1, c.start.size(), out);
        std::fclose(out);
        std::uint64_t offset = 0;
        EXPECT_EQ(c.result, ViewWhileRec_FindLiveRegion(file.c_str(), &offset));
        EXPECT_EQ(c.offset, offset);
    }
    std::uint64_t offset = 0;
    EXPECT_EQ(VWR_E_IO, ViewWhileRec_FindLiveRegion(missing.c_str(), &offset));
}

TEST_F(PacketOutputTest, PacketsThenNoDataThenEndOfRecording) {
    ReaderPtr reader = OpenReader();
    TMediaPacket* packet = reinterpret_cast<TMediaPacket*>(this);
    EXPECT_EQ(VWR_S_NO_DATA, ViewWhileRec_OutputRawPacket(&packet, reader.get()));
    EXPECT_EQ(reinterpret_cast<TMediaPacket*>(this), packet);  // left as it was

    writer->AppendPair(Pair({Video(0, true, 1), Video(40, false, 2)}));
    std::int32_t result = 0;
    EXPECT_EQ((std::vector<Seen>{{TimeMs(0), 1}, {TimeMs(40), 2}}), ReadAll(reader.get(), &result));
    EXPECT_EQ(VWR_S_NO_DATA, result);

    writer->AppendPair(Pair({Video(80, true, 3)}));
    writer->AppendTerminator();
    EXPECT_EQ((std::vector<std::uint8_t>{3}), Ids(ReadAll(reader.get(), &result)));
    EXPECT_EQ(VWR_S_END_OF_RECORDING, result);
    EXPECT_EQ(VWR_S_END_OF_RECORDING, Output(reader.get()));
}

// A terminator with a 64-bit size cut after its type: there is no data yet,
// and once the size is written the same boundary is probed again and the
// recording ends there.
TEST_F(PacketOutputTest, TerminatorWrittenInTwoStepsIsProbedAgainAtTheSameBoundary) {
    writer->AppendPair(Pair({Video(0, true, 1)}));
    const Bytes terminator = {0, 0, 0, 1, 's', 'k', 'i', 'p', 0, 0, 0, 0, 0, 0, 0, 16};
    const Bytes rest = writer->AppendPart(terminator, 12);
    ReaderPtr reader = OpenReader();
    // Its 64-bit size is not written yet: no data yet, not a failure.
    EXPECT_EQ(1, NextId(reader.get()));
    EXPECT_EQ(VWR_S_NO_DATA, Output(reader.get()));
    EXPECT_EQ(VWR_S_NO_DATA, Output(reader.get()));
    writer->AppendBytes(rest);
    EXPECT_EQ(VWR_S_END_OF_RECORDING, Output(reader.get()));
}

TEST_F(PacketOutputTest, DeliveredPacketCarriesItsHeaderAndStaysUntilTheNextOutput) {
    writer->AppendPair(Pair({Video(1250, true, 1), Video(1290, false, 2)}));
    ReaderPtr reader = OpenReader();
    TMediaPacket* first = nullptr;
    ASSERT_EQ(0, ViewWhileRec_OutputRawPacket(&first, reader.get()));
    EXPECT_EQ(MEDIA_H264, first->mediaType);
    EXPECT_EQ(kBaseSeconds + 1, first->seconds);
    EXPECT_EQ(250u, first->milliseconds);
    EXPECT_EQ(0u, first->frameType);
    EXPECT_EQ((Bytes{1, 0x11, 0x22}), Payload(*first));
    first->ops->AddRef(first);  // kept beyond the next output
    TMediaPacket* second = nullptr;
    ASSERT_EQ(0, ViewWhileRec_OutputRawPacket(&second, reader.get()));
    EXPECT_EQ(1u, second->frameType);
    EXPECT_EQ((Bytes{1, 0x11, 0x22}), Payload(*first));
    first->ops->Release(first);
}

TEST_F(PacketOutputTest, VideoOnlyInBothDirections) {
    writer->AppendPair(Pair({Video(0, true, 1), Video(40, false, 2), Video(80, false, 3)}));
    writer->AppendPair(Pair({Audio(10, 11), Audio(50, 12), Audio(100, 13)}, live_writer::kKindCodeAudio));
    writer->AppendTerminator();

    ReaderPtr all = OpenReader();
    EXPECT_EQ((std::vector<std::uint8_t>{1, 11, 2, 12, 3, 13}), Ids(ReadAll(all.get())));

    ReaderPtr forward = OpenReader();
    ViewWhileRec_SetVideoOnly(forward.get(), true);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3}), Ids(ReadAll(forward.get())));

    ReaderPtr backward = OpenReader();
    ViewWhileRec_SetVideoOnly(backward.get(), true);
    ViewWhileRec_SetDirection(backward.get(), -1);
    EXPECT_EQ(VWR_S_END_OF_RECORDING, ViewWhileRec_Seek(backward.get(), kFarFuture));
    std::int32_t result = 0;
    EXPECT_EQ((std::vector<std::uint8_t>{3, 2, 1}), Ids(ReadAll(backward.get(), &result)));
    EXPECT_EQ(VWR_E_AT_BEGIN, result);
    EXPECT_EQ(VWR_E_AT_BEGIN, Output(backward.get()));

    // Backward without a position starts at the last packet; key frames only.
    ReaderPtr keys = OpenReader();
    ViewWhileRec_SetDirection(keys.get(), -1);
    ViewWhileRec_SetKeyFramesOnly(keys.get(), true);
    EXPECT_EQ((std::vector<std::uint8_t>{13, 12, 11, 1}), Ids(ReadAll(keys.get(), &result)));
    EXPECT_EQ(VWR_E_AT_BEGIN, result);
}

TEST_F(PacketOutputTest, FarFutureBackwardSeekReturnsTheLastPacket) {
    std::vector<live_writer::LivePacket> packets;
    for (std::uint8_t i = 1; i <= 100; ++i) {
        packets.push_back(i % 10 == 0 ? Audio(i * 40, i) : Video(i * 40, i % 5 == 1, i));
        if (packets.size() == 7) {
            writer->AppendPair(Pair(packets));
            packets.clear();
        }
    }
    writer->AppendPair(Pair(packets));  // mixed kinds in one video block: isVideo comes from the block
    for (bool videoOnly : {false, true}) {
        SCOPED_TRACE(videoOnly ? "video only" : "every packet");
        ReaderPtr reader = OpenReader();
        ViewWhileRec_SetVideoOnly(reader.get(), videoOnly);
        ViewWhileRec_SetDirection(reader.get(), -1);
        EXPECT_EQ(VWR_S_NO_DATA, ViewWhileRec_Seek(reader.get(), kFarFuture));
        EXPECT_EQ(100, NextId(reader.get()));
        EXPECT_EQ(99, NextId(reader.get()));
    }

    // With the audio in its own block, video only skips it.
    Restart();
    writer->AppendPair(Pair({Video(0, true, 1), Video(40, false, 2)}));
    writer->AppendPair(Pair({Audio(60, 3)}, live_writer::kKindCodeAudio));
    writer->AppendTerminator();
    ReaderPtr reader = OpenReader();
    ViewWhileRec_SetVideoOnly(reader.get(), true);
    ViewWhileRec_SetDirection(reader.get(), -1);
    EXPECT_EQ(VWR_S_END_OF_RECORDING, ViewWhileRec_Seek(reader.get(), kFarFuture));
    EXPECT_EQ(2, NextId(reader.get()));
}

TEST_F(PacketOutputTest, ForwardSeekStartsAtTheKeyFrameBeforeTheTime) {
    writer->AppendPair(Pair({Video(0, true, 1), Video(1000, false, 2), Video(2000, true, 3), Video(3000, false, 4),
                             Video(4000, false, 5), Video(5000, true, 6), Video(6000, false, 8)}));
    writer->AppendPair(Pair({Audio(3500, 7)}, live_writer::kKindCodeAudio));
    ReaderPtr reader = OpenReader();
    struct Case {
        std::uint64_t time;
        std::uint8_t next;
    };
    const Case cases[] = {
        {TimeMs(4500), 3},  // between key frames 3 and 6, past dependent frames and audio
        {TimeMs(5000), 3},  // a key frame at the time itself is not before it
        {TimeMs(5001), 6},  {TimeMs(2500), 3},
        {TimeMs(1500), 1},  // no key frame after the first packet: the first packet
        {TimeMs(0), 1},     // before every packet
        {TimeMs(0) - 5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        EXPECT_EQ(0, ViewWhileRec_Seek(reader.get(), c.time));
        EXPECT_EQ(c.next, NextId(reader.get()));
    }
    // After every packet: the position is cleared and the next read is the first packet.
    EXPECT_EQ(VWR_S_NO_DATA, ViewWhileRec_Seek(reader.get(), TimeMs(9000)));
    EXPECT_EQ(1, NextId(reader.get()));
}

TEST_F(PacketOutputTest, BackwardSeekFindsTheTime) {
    writer->AppendPair(
        Pair({Video(0, true, 1), Video(40, false, 2), Video(40, false, 3), Video(80, true, 4), Video(120, false, 5)}));
    writer->AppendTerminator();
    ReaderPtr reader = OpenReader();
    ViewWhileRec_SetDirection(reader.get(), -1);
    ASSERT_EQ(VWR_S_END_OF_RECORDING, ViewWhileRec_Seek(reader.get(), kFarFuture));
    struct Case {
        std::uint64_t time;
        std::uint8_t next;
    };
    const Case cases[] = {
        {TimeMs(40), 3},   // the last packet at the time
        {TimeMs(60), 4},   // none at the time: the first one after it
        {TimeMs(100), 5},  // likewise, the last packet
        {TimeMs(80), 4},  {TimeMs(0), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        EXPECT_EQ(0, ViewWhileRec_Seek(reader.get(), c.time));
        EXPECT_EQ(c.next, NextId(reader.get()));
    }
    // Every packet is later: nothing changes, the seek ends with a positive code.
    EXPECT_EQ(0, ViewWhileRec_Seek(reader.get(), TimeMs(80)));
    EXPECT_EQ(VWR_S_END_OF_RECORDING, ViewWhileRec_Seek(reader.get(), TimeMs(0) - 1));
    EXPECT_EQ(4, NextId(reader.get()));
}

TEST_F(PacketOutputTest, StepSecondsJumpsToKeyVideoPackets) {
    std::vector<live_writer::LivePacket> video;
    std::vector<live_writer::LivePacket> audio;
    for (std::uint8_t i = 0; i < 20; ++i) {
        video.push_back(Video(i * 500, i % 3 == 0, i));  // key frames every 1.5 s
        audio.push_back(Audio(i * 500 + 250, 100 + i));
    }
    writer->AppendPair(Pair(video));
    writer->AppendPair(Pair(audio, live_writer::kKindCodeAudio));
    writer->AppendTerminator();

    ReaderPtr reader = OpenReader();
    ViewWhileRec_SetStepSeconds(reader.get(), 2);
    std::int32_t result = 0;
    // 0 ms, then the first key at or after 2000 (3 at 1500 is before), ...
    EXPECT_EQ((std::vector<std::uint8_t>{0, 6, 12, 18}), Ids(ReadAll(reader.get(), &result)));
    EXPECT_EQ(VWR_S_END_OF_RECORDING, result);

    ViewWhileRec_SetDirection(reader.get(), -1);
    EXPECT_EQ((std::vector<std::uint8_t>{12, 6, 0}), Ids(ReadAll(reader.get(), &result)));
    EXPECT_EQ(VWR_E_AT_BEGIN, result);
}

TEST_F(PacketOutputTest, H264PayloadUnitsGetStartCodes) {
    BlockPair pair = Pair({});
    pair.codec = live_writer::kCodecH264;
    pair.configuration = live_writer::EncodeH264Configuration({{0x67, 0x42}, {0x68}});
    pair.width = 640;
    pair.height = 360;
    const Bytes unit10(10, 0xA1);
    const Bytes unit20(20, 0xB2);
    pair.packets.push_back(
        live_writer::VideoPacket(kBaseSeconds, 0, true, live_writer::EncodeH264Payload({unit10, unit20})));
    Bytes tail = live_writer::EncodeH264Payload({{0xC3}});
    tail.insert(tail.end(), {0xEE, 0xEE, 0xEE});  // 4 bytes or fewer left: not a unit
    pair.packets.push_back(live_writer::VideoPacket(kBaseSeconds, 40, false, tail));
    writer->AppendPair(pair);
    ReaderPtr reader = OpenReader();

    TMediaPacket* packet = nullptr;
    ASSERT_EQ(0, ViewWhileRec_OutputRawPacket(&packet, reader.get()));
    ASSERT_EQ(38u, packet->payloadLength);
    Bytes expected = {0, 0, 0, 1};
    expected.insert(expected.end(), unit10.begin(), unit10.end());
    expected.insert(expected.end(), {0, 0, 0, 1});
    expected.insert(expected.end(), unit20.begin(), unit20.end());
    EXPECT_EQ(expected, Payload(*packet));
    EXPECT_EQ(640u, packet->width);
    EXPECT_EQ(360u, packet->height);

    ASSERT_EQ(0, ViewWhileRec_OutputRawPacket(&packet, reader.get()));
    ASSERT_EQ(8u, packet->payloadLength);
    EXPECT_EQ((Bytes{0, 0, 0, 1, 0xC3}),
              Bytes(packet->header + packet->headerLength, packet->header + packet->headerLength + 5));
}

TEST_F(PacketOutputTest, H264LengthBeyondThePacketIsBadFormat) {
    BlockPair pair = Pair({});
    pair.codec = live_writer::kCodecH264;
    for (std::uint32_t length : {11u, 1000u, 0xFFFFFFFFu}) {
        Bytes payload;
        frame_writer::PutU32(payload, 4);
        payload.insert(payload.end(), {1, 2, 3, 4});
        frame_writer::PutU32(payload, length);  // only 10 bytes follow
        payload.insert(payload.end(), 10, 0x55);
        pair.packets.push_back(live_writer::VideoPacket(kBaseSeconds, 0, true, payload));
    }
    writer->AppendPair(pair);
    ReaderPtr reader = OpenReader();
    TMediaPacket* packet = nullptr;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(VWR_E_BAD_FORMAT, ViewWhileRec_OutputRawPacket(&packet, reader.get()));
        EXPECT_EQ(nullptr, packet);
    }
}

TEST_F(PacketOutputTest, PacketAtTimeZeroIsAPositionLikeAnyOther) {
    writer->AppendPair(Pair({live_writer::VideoPacket(0, 0, true, {1}), live_writer::VideoPacket(1, 0, false, {2})}));
    writer->AppendTerminator();
    ReaderPtr reader = OpenReader();
    std::int32_t result = 0;
    EXPECT_EQ((std::vector<Seen>{{0, 1}, {1000, 2}}), ReadAll(reader.get(), &result));
    EXPECT_EQ(VWR_S_END_OF_RECORDING, result);

    ViewWhileRec_SetDirection(reader.get(), -1);
    EXPECT_EQ(1, NextId(reader.get()));
    EXPECT_EQ(VWR_E_AT_BEGIN, Output(reader.get()));
}

TEST_F(PacketOutputTest, RecordWhoseHeaderDoesNotFitIsAFailureNotACrash) {
    live_writer::LivePacket broken = Video(0, true, 1);
    broken.record[11] = 200;  // header length beyond the record
    writer->AppendPair(Pair({broken, Video(40, true, 2)}));
    ReaderPtr reader = OpenReader();
    TMediaPacket* packet = nullptr;
    EXPECT_EQ(VWR_E_EXCEPTION, ViewWhileRec_OutputRawPacket(&packet, reader.get()));
    EXPECT_EQ(nullptr, packet);
}

}  // namespace
}  // namespace livetest
