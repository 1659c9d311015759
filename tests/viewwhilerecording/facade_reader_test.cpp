// The parser facade driving a live reader, as the indexing would drive it.

#include <gtest/gtest.h>

#include "live_fixture.h"
#include "media/parsers.h"

namespace livetest {
namespace {

using FacadeReaderTest = LiveRecordingTest;

CParsers::ViewWhileRecReader OpenForFacade(const std::string& path, std::uint64_t offset) {
    ViewWhileRecImpl* reader = nullptr;
    EXPECT_EQ(0, ViewWhileRec_Open(path.c_str(), offset, &reader));
    return CParsers::ViewWhileRecReader(reader);
}

TEST_F(FacadeReaderTest, FirstPacketThenFarFutureSeekGivesTheLastVideoPacket) {
    for (bool finished : {false, true}) {
        SCOPED_TRACE(finished ? "terminator written" : "still recording");
        Restart();
        writer->AppendPair(Pair({Audio(0, 20)}, live_writer::kKindCodeAudio));
        writer->AppendPair(Pair({Video(10, true, 1), Video(50, false, 2), Video(90, false, 3)}));
        writer->AppendPair(Pair({Audio(100, 21)}, live_writer::kKindCodeAudio));
        if (finished) writer->AppendTerminator();

        ::testing::internal::CaptureStderr();
        CParsers facade(OpenForFacade(path, writer->LiveRegionOffset()));
        ASSERT_TRUE(facade.IsOpened());
        facade.FilterTracks();
        TMediaPacket* first = facade.Read();
        ASSERT_NE(nullptr, first);
        EXPECT_EQ(1, Describe(*first).id);
        EXPECT_EQ(finished ? VWR_S_END_OF_RECORDING : VWR_S_NO_DATA, facade.SeekBackward());
        TMediaPacket* last = facade.ReadBackward();
        ASSERT_NE(nullptr, last);
        EXPECT_EQ((Seen{TimeMs(90), 3}), Describe(*last));
        EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
    }
}

TEST_F(FacadeReaderTest, FailureCodesAreReportedAndGiveNoPacket) {
    live_writer::BlockPair pair = Pair({});
    pair.codec = live_writer::kCodecH264;
    Bytes payload;
    frame_writer::PutU32(payload, 50);  // only 2 bytes follow
    payload.insert(payload.end(), {1, 2});
    pair.packets.push_back(live_writer::VideoPacket(kBaseSeconds, 0, true, payload));
    writer->AppendPair(pair);

    CParsers facade(OpenForFacade(path, writer->LiveRegionOffset()));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(nullptr, facade.Read());
    EXPECT_EQ(VWR_S_NO_DATA, facade.SeekBackward());
    EXPECT_EQ(nullptr, facade.ReadBackward());
    EXPECT_EQ(
        "CParsers::Read - ViewWhileRec_OutputRawPacket failed scRet: 0x 80432201\n"
        "CParsers::ReadBackward - ViewWhileRec_OutputRawPacket failed scRet: 0x 80432201\n",
        ::testing::internal::GetCapturedStderr());
}

// A terminator cut inside its 64-bit size is data not written yet: the seek
// to the end hands back "no data" and the facade reports no failure.
TEST_F(FacadeReaderTest, SeekToTheEndBeforeTheTerminatorIsWholeIsNoData) {
    writer->AppendPair(Pair({Video(0, true, 1)}));
    writer->AppendPart({0, 0, 0, 1, 's', 'k', 'i', 'p', 0, 0, 0, 0, 0, 0, 0, 16}, 12);
    CParsers facade(OpenForFacade(path, writer->LiveRegionOffset()));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(VWR_S_NO_DATA, facade.SeekBackward());
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
}

TEST_F(FacadeReaderTest, ReadingBackPastTheFirstPacketIsReported) {
    writer->AppendPair(Pair({Video(0, true, 1)}));
    CParsers facade(OpenForFacade(path, writer->LiveRegionOffset()));
    ::testing::internal::CaptureStderr();
    ASSERT_NE(nullptr, facade.ReadBackward());
    EXPECT_EQ(nullptr, facade.ReadBackward());
    EXPECT_EQ("CParsers::ReadBackward - ViewWhileRec_OutputRawPacket failed scRet: 0x 80432204\n",
              ::testing::internal::GetCapturedStderr());
}

}  // namespace
}  // namespace livetest
