// Indexing of block pairs as the recorder appends them.

#include <gtest/gtest.h>

#include "live_fixture.h"

namespace livetest {
namespace {

using live_writer::BlockPair;
using live_writer::LivePacket;

std::vector<std::uint32_t> Sequences(const ViewWhileRecImpl& reader) {
    std::vector<std::uint32_t> out;
    for (const auto& info : reader.Index()) out.push_back(info->sequence);
    return out;
}

std::vector<std::uint64_t> Times(const ViewWhileRecImpl& reader) {
    std::vector<std::uint64_t> out;
    for (const auto& info : reader.Index()) out.push_back(info->time);
    return out;
}

using UpdateIndexTest = LiveRecordingTest;

TEST_F(UpdateIndexTest, IndexesCompletePairsWithTheirRecordFields) {
    writer->AppendPair(Pair({Video(0, true, 1), Video(40, false, 2)}));
    writer->AppendPair(Pair({Audio(20, 3)}, live_writer::kKindCodeAudio));
    ReaderPtr reader = OpenReader();
    EXPECT_EQ(3, reader->UpdateIndex());
    EXPECT_EQ(0, reader->UpdateIndex());
    EXPECT_EQ((std::vector<std::uint64_t>{TimeMs(0), TimeMs(20), TimeMs(40)}), Times(*reader));
    const auto& first = **reader->Index().begin();
    EXPECT_TRUE(first.isKeyFrame);
    EXPECT_TRUE(first.isVideo);
    EXPECT_EQ(3u, first.dataSize);
    EXPECT_EQ(live_writer::CodecCode("JPEG"), first.codec);
    const auto& audio = **std::next(reader->Index().begin());
    EXPECT_FALSE(audio.isVideo);
    EXPECT_EQ(2u, audio.sequence);
    EXPECT_TRUE(reader->HasVideo());
    EXPECT_TRUE(reader->HasAudio());
}

TEST_F(UpdateIndexTest, GrowthOfFewerThanEightBytesIsNotRead) {
    const auto pair = live_writer::EncodeBlockPair(Pair({Video(0, true, 1)}));
    ReaderPtr reader = OpenReader();
    EXPECT_EQ(0, reader->UpdateIndex());
    const auto rest = writer->AppendPart(pair, 7);
    EXPECT_EQ(0, reader->UpdateIndex());
    writer->AppendBytes(rest);
    EXPECT_EQ(1, reader->UpdateIndex());
}

// Every place the recorder can stop inside a skipped pair and the pair after
// it: the packets before are indexed, the cut pair is not, and it is indexed
// once completed.
TEST_F(UpdateIndexTest, PairCutAnywhereIsIndexedOnceCompleted) {
    const BlockPair before = Pair({Video(0, true, 1), Video(40, false, 2)});
    const auto cutPair = frame_writer::Concat(
        {live_writer::EncodeSkippedPair(Pair({Video(60, true, 9)})),
         live_writer::EncodeBlockPair(Pair({Video(80, true, 3), Audio(90, 4), Video(120, false, 5)}))});
    for (std::size_t cut = 0; cut < cutPair.size(); ++cut) {
        SCOPED_TRACE("cut after byte " + std::to_string(cut));
        Restart();
        writer->AppendPair(before);
        const auto rest = writer->AppendPart(cutPair, cut);
        ReaderPtr reader = OpenReader();
        ASSERT_EQ(2, reader->UpdateIndex());
        ASSERT_EQ(0, reader->UpdateIndex());
        writer->AppendBytes(rest);
        writer->AppendTerminator();
        ASSERT_EQ(3, reader->UpdateIndex());
        ASSERT_EQ(-1, reader->UpdateIndex());
        EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3, 4, 5}), Ids(ReadAll(reader.get())));
    }
}

TEST_F(UpdateIndexTest, ReaderOpenedBeforeTheLiveRegionIsWrittenWaits) {
    std::FILE* file = std::fopen(path.c_str(), "wb");  // the recorder has not even written the ftyp box
    std::fclose(file);
    ReaderPtr reader = OpenReader();
    EXPECT_EQ(0, reader->UpdateIndex());
    EXPECT_EQ(VWR_S_NO_DATA, ViewWhileRec_Seek(reader.get(), TimeMs(0)));
    live_writer::LiveRecordingWriter late(path);
    late.AppendPair(Pair({Video(0, true, 1)}));
    EXPECT_EQ(1, reader->UpdateIndex());
}

TEST_F(UpdateIndexTest, SkippedPairsArePassedOver) {
    BlockPair skipped = Pair({Video(0, true, 7), Video(40, true, 8)});
    skipped.indexCodec = live_writer::CodecCode("JUNK");  // never validated
    writer->AppendSkippedPair(skipped);
    writer->AppendPair(Pair({Video(500, true, 1)}));
    writer->AppendSkippedPair(Pair({Video(600, true, 9)}));
    writer->AppendSkippedPair(Pair({Video(700, true, 9)}));
    writer->AppendPair(Pair({Video(800, true, 2)}));
    writer->AppendSkippedPair(Pair({Video(900, true, 9)}));
    writer->AppendTerminator();
    ReaderPtr reader = OpenReader();
    EXPECT_EQ(2, reader->UpdateIndex());
    EXPECT_EQ(-1, reader->UpdateIndex());  // the terminator after a skipped pair is found
    EXPECT_EQ((std::vector<std::uint32_t>{0, 1}), Sequences(*reader));
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2}), Ids(ReadAll(reader.get())));
}

// Records too short to carry a packet's time stand for no packet: their
// payload is passed over and no sequence number is used.
TEST_F(UpdateIndexTest, ShortRecordsArePassedOver) {
    for (std::uint32_t size : {0u, 1u, 19u, 20u, 34u}) {
        SCOPED_TRACE("record of " + std::to_string(size) + " bytes");
        Restart();
        writer->AppendPair(
            Pair({Video(0, true, 1), live_writer::ShortRecord(size, {0xEE, 0xEE}), Video(40, false, 2)}));
        ReaderPtr reader = OpenReader();
        EXPECT_EQ(2, reader->UpdateIndex());
        EXPECT_EQ((std::vector<std::uint32_t>{0, 1}), Sequences(*reader));
        EXPECT_EQ((std::vector<std::uint8_t>{1, 2}), Ids(ReadAll(reader.get())));
    }
}

TEST_F(UpdateIndexTest, TerminatorEndsTheLiveRegion) {
    ReaderPtr reader = OpenReader();
    writer->AppendPair(Pair({Video(0, true, 1), Video(40, false, 2)}));
    writer->AppendTerminator();
    writer->AppendPair(Pair({Video(80, true, 3)}));  // never reached
    EXPECT_EQ(2, reader->UpdateIndex());
    EXPECT_EQ(-1, reader->UpdateIndex());
    EXPECT_EQ(-1, reader->UpdateIndex());
    EXPECT_EQ(2u, reader->Index().size());
}

TEST_F(UpdateIndexTest, KindCodesDecideVideoAndAudio) {
    struct Case {
        std::uint32_t kindCode;
        bool isVideo, hasVideo, hasAudio;
    };
    const Case cases[] = {
        {0, true, true, false},    {1, false, false, true}, {8, false, false, false},
        {31, false, false, false}, {32, true, true, false}, {33, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("kind code " + std::to_string(c.kindCode));
        Restart();
        BlockPair pair = Pair({Video(0, true, 1)});
        pair.kindCode = c.kindCode;
        writer->AppendPair(pair);
        ReaderPtr reader = OpenReader();
        ASSERT_EQ(1, reader->UpdateIndex());
        EXPECT_EQ(c.isVideo, (*reader->Index().begin())->isVideo);
        EXPECT_EQ(c.hasVideo, reader->HasVideo());
        EXPECT_EQ(c.hasAudio, reader->HasAudio());
    }
}

// A pair that is malformed for good stops indexing there: nothing after it is
// ever reached, also once more is written.
TEST_F(UpdateIndexTest, MalformedPairStopsIndexing) {
    const auto goodPair = live_writer::EncodeBlockPair(Pair({Video(0, true, 1)}));
    auto wrongCode = Pair({Video(40, true, 2)});
    wrongCode.indexCodec = live_writer::CodecCode("LUMA");
    auto countMismatch = Pair({Video(40, true, 2)});
    countMismatch.extraIndexRecords = 1;
    // A kind code that starts with 32 zero bits.
    const Bytes tooManyZeros = {0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    auto oversizedSets = Pair({Video(40, true, 2)});
    oversizedSets.codec = live_writer::kCodecH264;
    oversizedSets.configuration = {0x02, 0x58, 0x67};  // a 600-byte set in 3 bytes

    const std::vector<std::pair<std::string, Bytes>> malformed = {
        {"index code", live_writer::EncodeBlockPair(wrongCode)},
        {"count mismatch", live_writer::EncodeBlockPair(countMismatch)},
        {"32 leading zeros", tooManyZeros},
        {"parameter sets beyond the configuration", live_writer::EncodeBlockPair(oversizedSets)},
    };
    for (const auto& [name, bytes] : malformed) {
        SCOPED_TRACE(name);
        Restart();
        writer->AppendBytes(goodPair);
        writer->AppendBytes(bytes);
        writer->AppendBytes(std::vector<std::uint8_t>(700, 0));
        writer->AppendPair(Pair({Video(80, true, 3)}));
        writer->AppendTerminator();
        ReaderPtr reader = OpenReader();
        EXPECT_EQ(1, reader->UpdateIndex());
        EXPECT_EQ(0, reader->UpdateIndex());
        std::int32_t result = 0;
        EXPECT_EQ((std::vector<std::uint8_t>{1}), Ids(ReadAll(reader.get(), &result)));
        EXPECT_EQ(VWR_S_NO_DATA, result);
    }
}

TEST_F(UpdateIndexTest, H264ConfigurationBecomesStartCodeUnits) {
    BlockPair pair = Pair({Video(0, true, 1)});
    pair.codec = live_writer::kCodecH264;
    pair.configuration = live_writer::EncodeH264Configuration({{0x67, 0x42}, {0x68, 0xCE, 0x38}, {0x06}});
    pair.width = 1920;
    pair.height = 1080;
    pair.packets[0].payload = live_writer::EncodeH264Payload({{1}});
    writer->AppendPair(pair);
    ReaderPtr reader = OpenReader();
    ASSERT_EQ(1, reader->UpdateIndex());
    const auto& codec = reader->Codecs().at(live_writer::kCodecH264);
    const Bytes expected = {0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xCE, 0x38, 0, 0, 0, 1, 0x06};
    EXPECT_EQ(expected, *codec.configuration);
    EXPECT_EQ(expected.size(), codec.configLength);
    EXPECT_EQ(1920, codec.width);
    EXPECT_EQ(1080, codec.height);
}

TEST_F(UpdateIndexTest, EqualTimesAreOrderedBySequence) {
    writer->AppendPair(Pair({Video(40, true, 1), Video(40, false, 2)}));
    writer->AppendPair(Pair({Video(0, true, 3), Video(40, false, 4)}));
    ReaderPtr reader = OpenReader();
    EXPECT_EQ(4, reader->UpdateIndex());
    EXPECT_EQ((std::vector<std::uint8_t>{3, 1, 2, 4}), Ids(ReadAll(reader.get())));
    EXPECT_EQ((std::vector<std::uint32_t>{2, 0, 1, 3}), Sequences(*reader));
}

}  // namespace
}  // namespace livetest
