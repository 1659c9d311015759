#include "box_walk.h"
#include "tools/recording_writer/codec_config.h"
#include "tools/recording_writer/recording_writer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace rw = recording_writer;
using writertest::Box;
using writertest::Children;
using writertest::Find;
using writertest::Types;
using writertest::U32;

namespace {

rw::Track SmallTrack(std::uint32_t id, std::uint32_t samples) {
    rw::Track t;
    t.trackId = id;
    t.handler = "soun";
    t.timescale = 8000;
    t.entry.type = "ulaw";
    t.durations = {800};
    for (std::uint32_t i = 0; i < samples; ++i) {
        t.payloads.push_back(std::vector<std::uint8_t>(10 + i, static_cast<std::uint8_t>(id * 16 + i)));
    }
    return t;
}

// The body of a full box's table found under the first trak's stbl.
std::vector<std::uint32_t> TableWords(const std::vector<std::uint8_t>& file, const std::string& type,
                                      std::size_t track = 0) {
    const auto trak = Find(file, 0, file.size(), {"moov", "trak"}, track);
    const auto box = Find(file, trak->BodyStart(), trak->End(), {"mdia", "minf", "stbl", type});
    std::vector<std::uint32_t> words;
    if (!box) return words;
    for (std::size_t at = box->BodyStart() + 4; at + 4 <= box->End(); at += 4) words.push_back(U32(file, at));
    return words;
}

}  // namespace

TEST(RecordingWriter, TopLevelOrderFollowsThePieces) {
    rw::Recording r;
    r.tracks.push_back(SmallTrack(1, 3));
    const std::vector<std::uint8_t> uuid = rw::MakeBox("uuid", std::vector<std::uint8_t>(16, 0xAB));
    struct Case {
        std::vector<rw::Piece> pieces;
        std::vector<std::string> types;
    } cases[] = {
        {{}, {"ftyp", "mdat", "moov"}},
        {{rw::Piece::Ftyp(), rw::Piece::Moov(), rw::Piece::Mdat()}, {"ftyp", "moov", "mdat"}},
        {{rw::Piece::Ftyp(), rw::Piece::ZeroWords(2), rw::Piece::Box(uuid), rw::Piece::Mdat(), rw::Piece::Moov()},
         {"ftyp", "uuid", "mdat", "moov"}},
    };
    for (const Case& c : cases) {
        r.pieces = c.pieces;
        rw::Layout layout;
        const auto file = rw::BuildRecording(r, &layout);
        EXPECT_EQ(Types(Children(file, 0, file.size())), c.types);
        // Every sample lies where the layout says, in every order.
        for (std::uint32_t i = 0; i < 3; ++i) {
            const auto& payload = r.tracks[0].payloads[i];
            ASSERT_LE(layout.sampleOffsets[0][i] + payload.size(), file.size());
            EXPECT_EQ(0, std::memcmp(&file[layout.sampleOffsets[0][i]], payload.data(), payload.size()));
        }
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[layout.moovOffset + 4]), 4), "moov");
    }
}

TEST(RecordingWriter, ChunkOffsetsPointAtTheSamples) {
    rw::Recording r;
    r.tracks.push_back(SmallTrack(1, 8));
    r.tracks[0].samplesPerChunk = {3, 3, 1};
    r.tracks.push_back(SmallTrack(2, 4));
    for (bool co64 : {false, true}) {
        for (bool moovFirst : {false, true}) {
            r.co64 = co64;
            r.pieces = moovFirst ? std::vector<rw::Piece>{rw::Piece::Ftyp(), rw::Piece::Moov(), rw::Piece::Mdat()}
                                 : std::vector<rw::Piece>{};
            rw::Layout layout;
            const auto file = rw::BuildRecording(r, &layout);
            // stsc runs (first chunk, samples per chunk, description): (1,3,1), (3,1,1).
            EXPECT_EQ(TableWords(file, "stsc"), (std::vector<std::uint32_t>{2, 1, 3, 1, 3, 1, 1}));
            const auto offsets = TableWords(file, co64 ? "co64" : "stco");
            ASSERT_EQ(offsets.at(0), 4u);  // chunks: 3 + 3 + 1 + 1
            const auto at = [&](std::size_t chunk) {
                return co64 ? (static_cast<std::uint64_t>(offsets[1 + 2 * chunk]) << 32) | offsets[2 + 2 * chunk]
                            : offsets[1 + chunk];
            };
            EXPECT_EQ(at(0), layout.sampleOffsets[0][0]);
            EXPECT_EQ(at(1), layout.sampleOffsets[0][3]);
            EXPECT_EQ(at(2), layout.sampleOffsets[0][6]);
            EXPECT_EQ(at(3), layout.sampleOffsets[0][7]);
            // Samples of one chunk follow one another.
            EXPECT_EQ(layout.sampleOffsets[0][1], layout.sampleOffsets[0][0] + 10);
        }
    }
}

TEST(RecordingWriter, SampleTablesCompressRuns) {
    rw::Recording r;
    rw::Track t = SmallTrack(1, 5);
    t.durations = {10, 10, 20, 20, 20};
    t.compositionOffsets = {0, 40, 40, 0, 0};
    t.writeStss = true;
    t.syncSamples = {1, 4};
    t.edits = {{1000, -1}, {500, 0}};
    r.tracks.push_back(t);
    const auto file = rw::BuildRecording(r);
    EXPECT_EQ(TableWords(file, "stts"), (std::vector<std::uint32_t>{2, 2, 10, 3, 20}));
    EXPECT_EQ(TableWords(file, "ctts"), (std::vector<std::uint32_t>{3, 1, 0, 2, 40, 2, 0}));
    EXPECT_EQ(TableWords(file, "stss"), (std::vector<std::uint32_t>{2, 1, 4}));
    EXPECT_EQ(TableWords(file, "stsz"), (std::vector<std::uint32_t>{0, 5, 10, 11, 12, 13, 14}));
    const auto elst = Find(file, 0, file.size(), {"moov", "trak", "edts", "elst"});
    ASSERT_TRUE(elst);
    EXPECT_EQ(U32(file, elst->BodyStart() + 4), 2u);
    EXPECT_EQ(U32(file, elst->BodyStart() + 12), 0xFFFFFFFFu);  // empty edit
}

TEST(RecordingWriter, VersionOneHeadersCarry64BitTimes) {
    rw::Recording r;
    r.headerVersion = 1;
    r.creationTime = 0x1'0000'0002ull;
    r.tracks.push_back(SmallTrack(1, 2));
    r.tracks[0].creationTime = 0x1'0000'0005ull;
    const auto file = rw::BuildRecording(r);
    const auto mvhd = Find(file, 0, file.size(), {"moov", "mvhd"});
    const auto mdhd = Find(file, 0, file.size(), {"moov", "trak", "mdia", "mdhd"});
    ASSERT_TRUE(mvhd && mdhd);
    EXPECT_EQ(file[mvhd->BodyStart()], 1);
    EXPECT_EQ(writertest::U64(file, mvhd->BodyStart() + 4), 0x1'0000'0002ull);
    EXPECT_EQ(U32(file, mvhd->BodyStart() + 20), 1000u);  // timescale after the two 8-byte times
    EXPECT_EQ(writertest::U64(file, mdhd->BodyStart() + 4), 0x1'0000'0005ull);
    EXPECT_EQ(U32(file, mdhd->BodyStart() + 20), 8000u);
    EXPECT_EQ(mvhd->size, 120u);
}

TEST(RecordingWriter, LargeMdatSizeCoversTheData) {
    rw::Recording r;
    r.tracks.push_back(SmallTrack(1, 3));
    r.mdatSize = rw::MdatSize::Large;
    const auto file = rw::BuildRecording(r);
    const auto boxes = Children(file, 0, file.size());
    ASSERT_EQ(Types(boxes), (std::vector<std::string>{"ftyp", "mdat", "moov"}));
    EXPECT_EQ(U32(file, boxes[1].start), 1u);
    EXPECT_EQ(boxes[1].size, 16u + 10 + 11 + 12);
}

TEST(RecordingWriter, EmbeddedFormEndsWithItsTrailer) {
    rw::Recording r;
    r.tracks.push_back(SmallTrack(1, 3));
    r.embedded = true;
    rw::Layout layout;
    const auto file = rw::BuildRecording(r, &layout);
    ASSERT_EQ(layout.mediaFileOffset, 200u);
    ASSERT_GE(file.size(), 12u);
    const std::uint8_t* trailer = &file[file.size() - 12];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(trailer), 4), "ORVL");
    const auto le = [&](int at) {
        return static_cast<std::uint32_t>(trailer[at]) | trailer[at + 1] << 8 | trailer[at + 2] << 16 |
               static_cast<std::uint32_t>(trailer[at + 3]) << 24;
    };
    EXPECT_EQ(le(4), 200u);
    EXPECT_EQ(le(8), file.size() - 200);
    // The media file's boxes add up to the stored length; the trailer is inside the last one.
    const auto boxes = Children(file, 200, file.size());
    std::uint64_t sum = 0;
    for (const Box& b : boxes) sum += b.size;
    EXPECT_EQ(sum, le(8));
    EXPECT_EQ(boxes.back().End(), file.size());
    // The first eight bytes are no box type that the top level knows.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[4]), 4), "RIFX");

    r.embedding.magic = "XXXX";
    r.embedding.storedLengthAdjust = -1;
    const auto bad = rw::BuildRecording(r);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bad[bad.size() - 12]), 4), "XXXX");
    EXPECT_EQ(bad[bad.size() - 4], static_cast<std::uint8_t>((bad.size() - 200 - 1) & 0xFF));
}

TEST(RecordingWriter, MadeUpVideoSamplesAreLengthPrefixedUnits) {
    struct Case {
        const char* type;
        std::vector<std::uint8_t> config;
        std::uint32_t lengthSize;
        std::uint8_t keyHeader;
        std::uint8_t otherHeader;
    } cases[] = {
        {"avc1", {}, 4, 0x65, 0x41},
        {"avc1", rw::AvcConfig({rw::H264SequenceSet(320, 240)}, {rw::H264PictureSet()}, 1), 2, 0x65, 0x41},
        {"hvc1", {}, 4, 0x26, 0x02},
        {"hev1", rw::HevcConfig(rw::HevcVideoSet(), rw::HevcSequenceSet(64, 64), rw::HevcPictureSet(), 0), 1, 0x26,
         0x02},
    };
    for (const Case& c : cases) {
        rw::Track t;
        t.entry.type = c.type;
        t.entry.config = c.config;
        t.sizes = {200, 50};
        t.writeStss = true;
        t.syncSamples = {1};
        for (std::uint32_t i = 0; i < 2; ++i) {
            const auto sample = rw::MakeSamplePayload(t, i);
            ASSERT_EQ(sample.size(), t.sizes[i]) << c.type;
            std::uint32_t length = 0;
            for (std::uint32_t k = 0; k < c.lengthSize; ++k) length = length << 8 | sample[k];
            EXPECT_EQ(length, t.sizes[i] - c.lengthSize) << c.type;
            EXPECT_EQ(sample[c.lengthSize], i == 0 ? c.keyHeader : c.otherHeader) << c.type;
        }
    }
}

TEST(RecordingWriter, LongSamplesSplitIntoUnitsThatTheLengthFieldHolds) {
    rw::Track t;
    t.entry.type = "avc1";
    t.entry.config = rw::AvcConfig({rw::H264SequenceSet(320, 240)}, {rw::H264PictureSet()}, 0);
    t.sizes = {600};
    const auto sample = rw::MakeSamplePayload(t, 0);
    ASSERT_EQ(sample.size(), 600u);
    std::size_t at = 0;
    int units = 0;
    while (at < sample.size() && sample[at] != 0) {
        at += 1 + sample[at];
        ++units;
    }
    EXPECT_GE(units, 3);
    EXPECT_LE(at, sample.size());
}

TEST(RecordingWriter, AvcConfigAnnouncesItsSets) {
    const auto sps = rw::H264SequenceSet(352, 288);
    const auto pps = rw::H264PictureSet();
    const auto config = rw::AvcConfig({sps}, {pps}, 1);
    ASSERT_GE(config.size(), 6u);
    EXPECT_EQ(config[4] & 3, 1);
    EXPECT_EQ(config[5] & 0x1F, 1);
    EXPECT_EQ(rw::AvcLengthSize(config), 2u);
    EXPECT_EQ((config[6] << 8) | config[7], static_cast<int>(sps.size()));
    EXPECT_EQ(config[8 + sps.size()], 1);  // one picture set
    const auto hevc = rw::HevcConfig(rw::HevcVideoSet(), rw::HevcSequenceSet(64, 64), rw::HevcPictureSet(), 1);
    EXPECT_EQ(hevc[22], 3);
    EXPECT_EQ(rw::HevcLengthSize(hevc), 2u);
}
