#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "box_builder.h"
#include "mp4parser/MP4Parser.h"
#include "tools/frame_header_writer/frame_header_writer.h"
#include "tools/recording_writer/camera_recording.h"
#include "tools/recording_writer/recording_writer.h"

using namespace ORVL::SDK::Brannock2;
using boxbuild::Bytes;

namespace {

const Bytes kSps = {0x67, 0x42, 0x00, 0x1E};
const Bytes kPps = {0x68, 0xCE, 0x3C, 0x80};
const Bytes kStartCode = {0, 0, 0, 1};

Bytes Cat(std::initializer_list<Bytes> parts) { return boxbuild::Cat(parts); }

// An avcC body with one sequence and one picture parameter set.
Bytes AvcConfig(std::uint8_t lengthSizeMinusOne) {
    return Cat(
        {{1, 0x42, 0, 0x1E, static_cast<std::uint8_t>(0xFC | lengthSizeMinusOne), 0xE1, 0, 4}, kSps, {1, 0, 4}, kPps});
}

const Bytes kStoredSets = Cat({kStartCode, kSps, kStartCode, kPps});

std::string WriteRecording(const std::string& name, const recording_writer::Recording& recording) {
    const std::string path = boxbuild::TempPath(name);
    recording_writer::WriteRecording(recording, path);
    return path;
}

recording_writer::Track TrackOf(const std::string& type, std::vector<Bytes> payloads, std::uint32_t trackId = 1) {
    recording_writer::Track t;
    t.trackId = trackId;
    t.entry.type = type;
    t.timescale = 1000;
    t.durations = {40};
    t.payloads = std::move(payloads);
    return t;
}

std::string OneTrackFile(const recording_writer::Track& track) {
    recording_writer::Recording recording;
    recording.tracks = {track};
    return WriteRecording("one.3gp", recording);
}

Bytes Payload(const TMediaPacket* packet) {
    return Bytes(packet->header + packet->headerLength, packet->header + packet->headerLength + packet->payloadLength);
}

Bytes HeaderBytes(const TMediaPacket* packet, std::size_t from, std::size_t to) {
    return Bytes(packet->header + from, packet->header + to);
}

// Splits a length-prefixed sample into its units.
std::vector<Bytes> UnitsOf(const Bytes& sample, unsigned lengthSize) {
    std::vector<Bytes> units;
    std::size_t at = 0;
    while (at < sample.size()) {
        std::uint32_t length = 0;
        for (unsigned i = 0; i < lengthSize; ++i) length = length << 8 | sample[at++];
        units.emplace_back(sample.begin() + at, sample.begin() + at + length);
        at += length;
    }
    return units;
}

TEST(ReadingTest, KeyFrameUnitOrders) {
    struct Case {
        const char* name;
        bool keyFrame;
        unsigned lengthSize;
        std::vector<std::pair<std::uint8_t, std::uint32_t>> units;
        std::vector<int> plan;  // unit indexes in output order; -1: the stored parameter sets
    };
    const Case cases[] = {
        {"SEI, IDR", true, 4, {{6, 3}, {5, 6}}, {-1, 0, 1}},
        {"own SPS, PPS, IDR", true, 4, {{7, 4}, {8, 3}, {5, 6}}, {0, 1, 2}},
        {"in-band PPS dropped", true, 4, {{8, 3}, {5, 6}}, {-1, 1}},
        {"delimiter first", true, 4, {{9, 2}, {5, 6}, {1, 3}}, {0, -1, 1, 2}},
        {"SPS after the sets is dropped", true, 4, {{6, 2}, {7, 4}, {5, 6}}, {-1, 0, 2}},
        {"prefix unit", true, 2, {{14, 4}, {5, 6}}, {-1, 0, 1}},
        {"non-key, 2-byte lengths", false, 2, {{1, 5}, {1, 3}}, {0, 1}},
        {"non-key, 1-byte lengths", false, 1, {{1, 5}, {5, 3}}, {0, 1}},
        // An empty unit is a bare start code, in either pass.
        {"non-key, empty unit", false, 4, {{1, 5}, {0, 0}, {1, 3}}, {0, 1, 2}},
        {"empty unit before the IDR", true, 4, {{0, 0}, {5, 6}}, {0, -1, 1}},
        {"empty unit after the IDR", true, 2, {{6, 2}, {5, 6}, {0, 0}}, {-1, 0, 1, 2}},
    };
    for (const Case& c : cases) {
        const Bytes sample = boxbuild::NalSample(c.lengthSize, c.units);
        recording_writer::Track track = TrackOf("avc1", {sample, sample});
        track.entry.config = AvcConfig(static_cast<std::uint8_t>(c.lengthSize == 4 ? 3 : c.lengthSize - 1));
        track.writeStss = true;
        track.syncSamples = c.keyFrame ? std::vector<std::uint32_t>{1} : std::vector<std::uint32_t>{2};
        MP4Parser parser(OneTrackFile(track));
        const std::vector<Bytes> units = UnitsOf(sample, c.lengthSize);
        Bytes expected;
        for (int index : c.plan)
            expected = index < 0 ? Cat({expected, kStoredSets}) : Cat({expected, kStartCode, units[index]});
        const TMediaPacket* packet = parser.Read();
        ASSERT_NE(packet, nullptr) << c.name;
        EXPECT_EQ(Payload(packet), expected) << c.name;
        EXPECT_EQ(packet->frameType, c.keyFrame ? 0u : 1u) << c.name;
    }
}

TEST(ReadingTest, TwoByteLengthsBecomeStartCodes) {
    const Bytes sample = {0, 5, 1, 2, 3, 4, 5, 0, 3, 6, 7, 8};
    recording_writer::Track track = TrackOf("avc1", {sample});
    track.entry.config = AvcConfig(1);
    track.writeStss = true;
    track.syncSamples = {};
    MP4Parser parser(OneTrackFile(track));
    const TMediaPacket* packet = parser.Read();
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(Payload(packet), (Bytes{0, 0, 0, 1, 1, 2, 3, 4, 5, 0, 0, 0, 1, 6, 7, 8}));
}

TEST(ReadingTest, HevcKeyFramesStartWithTheParameterSets) {
    const Bytes vps = {0x40, 0x01, 0x0C};
    const Bytes sps = {0x42, 0x01, 0x01, 0x01};
    Bytes config(22, 0);
    config[21] = 0xFC | 3;
    config = Cat({config, {2, 0x20, 0, 1, 0, 3}, vps, {0x21, 0, 1, 0, 4}, sps});
    const Bytes sample = {0, 0, 0, 3, 0x26, 0x01, 0xAF};
    recording_writer::Track track = TrackOf("hvc1", {sample, sample});
    track.entry.config = config;
    track.writeStss = true;
    track.syncSamples = {1};
    MP4Parser parser(OneTrackFile(track));
    EXPECT_EQ(Payload(parser.Read()), Cat({kStartCode, vps, kStartCode, sps, kStartCode, {0x26, 0x01, 0xAF}}));
    EXPECT_EQ(Payload(parser.Read()), Cat({kStartCode, {0x26, 0x01, 0xAF}}));
}

// 1-byte lengths of 1-byte units: every 2 bytes become 5, far beyond the
// buffer that the sample size alone suggests.
TEST(ReadingTest, ManyShortUnitsGrowTheSampleBuffer) {
    std::vector<std::pair<std::uint8_t, std::uint32_t>> units(3000, {1, 1});
    const Bytes sample = boxbuild::NalSample(1, units);
    recording_writer::Track track = TrackOf("avc1", {sample});
    track.entry.config = AvcConfig(0);
    track.writeStss = true;
    MP4Parser parser(OneTrackFile(track));
    const TMediaPacket* packet = parser.Read();
    ASSERT_NE(packet, nullptr);
    ASSERT_EQ(packet->payloadLength, 3000u * 5);
    const Bytes payload = Payload(packet);
    for (std::size_t i = 0; i < 3000; ++i)
        ASSERT_EQ(Bytes(payload.begin() + 5 * i, payload.begin() + 5 * i + 5), (Bytes{0, 0, 0, 1, 1}));
}

// Empty units with 1-byte lengths: every byte becomes a 4-byte start code.
TEST(ReadingTest, ManyEmptyUnitsGrowTheSampleBuffer) {
    recording_writer::Track track = TrackOf("avc1", {Bytes(3000, 0)});
    track.entry.config = AvcConfig(0);
    track.writeStss = true;
    MP4Parser parser(OneTrackFile(track));
    const TMediaPacket* packet = parser.Read();
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(packet->payloadLength, 3000u * 4);
}

TEST(ReadingTest, UnitLengthsThatDoNotFitFailThatSampleOnly) {
    struct Case {
        const char* name;
        Bytes broken;
    };
    const Case cases[] = {
        {"unit runs past the sample", {0, 0, 0, 40, 1, 2, 3}},
        {"length field cut by the sample's end", {0, 0, 0, 1, 1, 0, 0}},
        {"key-frame pass runs past the sample", {0, 0, 0, 2, 5}},
    };
    for (const Case& c : cases) {
        const Bytes good = {0, 0, 0, 2, 1, 9};
        recording_writer::Track track = TrackOf("avc1", {good, c.broken, good});
        track.entry.config = AvcConfig(3);
        track.writeStss = true;
        track.syncSamples = {2};
        MP4Parser parser(OneTrackFile(track));
        ASSERT_NE(parser.Read(), nullptr) << c.name;
        try {
            parser.Read();
            ADD_FAILURE() << c.name << ": no failure";
        } catch (const MP4Parser::bad_format& e) {
            EXPECT_STREQ(e.what(), "bad unit length") << c.name;
        }
        const TMediaPacket* next = parser.Read();
        ASSERT_NE(next, nullptr) << c.name;
        EXPECT_EQ(Payload(next), (Bytes{0, 0, 0, 1, 1, 9})) << c.name;
        EXPECT_EQ(parser.Read(), nullptr) << c.name;
    }
}

TEST(ReadingTest, AudioHeadersAreMadeUpFromTheSampleEntry) {
    struct Case {
        const char* type;
        std::uint32_t sampleRate;
        std::uint16_t channels;
        std::uint16_t sampleSize;
        std::size_t payloadSize;
        std::uint8_t firstByte;
        std::uint32_t mediaType;
        Bytes extension;
        std::uint32_t frameCount;
    };
    const Case cases[] = {
        {"mp4a", 48000, 2, 16, 300, 0x21, 0x400, {0x40, 0x01, 0x01, 0x2C, 0x00, 0xBB, 0x80, 0x02}, 1},
        {"samr", 8000, 1, 16, 320, 0x3C, 0x1000, {0xC0, 10, 0x00, 32, 0x00, 0x1F, 0x40, 0x01}, 10},
        {"samr", 8000, 1, 16, 14 * 3, 0x08, 0x1000, {0xC0, 3, 0x00, 0x0E, 0x00, 0x1F, 0x40, 0x01}, 3},
        {"ulaw", 8000, 1, 16, 320, 0, 0x2000, {0xC0, 1, 0x01, 0x40, 0x00, 0x1F, 0x40, 0x01}, 1},
        {"alaw", 16000, 2, 16, 256, 0, 0x4000, {0xC0, 1, 0x01, 0x00, 0x00, 0x3E, 0x80, 0x02}, 1},
        {"g726", 8000, 1, 4, 200, 0, 0x8000, {0xB0, 1, 0x00, 0xC8, 0x00, 0x7D, 0x00, 0x00}, 1},
        {"g722", 16000, 1, 16, 160, 0, 256, {0x80, 4, 0x00, 40}, 4},
        {"g729", 8000, 1, 16, 110, 0, 512, {0x80, 10, 0x00, 11}, 10},
    };
    for (const Case& c : cases) {
        Bytes payload(c.payloadSize, 0x55);
        if (!payload.empty()) payload[0] = c.firstByte;
        recording_writer::Track track = TrackOf(c.type, {payload});
        track.handler = "soun";
        track.entry.sampleRate = c.sampleRate;
        track.entry.channels = c.channels;
        track.entry.sampleSize = c.sampleSize;
        MP4Parser parser(OneTrackFile(track));
        const TMediaPacket* packet = parser.Read();
        ASSERT_NE(packet, nullptr) << c.type;
        EXPECT_EQ(packet->mediaType, c.mediaType) << c.type;
        EXPECT_EQ(packet->headerLength, 20 + c.extension.size()) << c.type;
        EXPECT_EQ(HeaderBytes(packet, 20, 20 + c.extension.size()), c.extension) << c.type;
        EXPECT_EQ(packet->frameCount, c.frameCount) << c.type;
        EXPECT_EQ(Payload(packet), payload) << c.type;
    }
}

TEST(ReadingTest, MadeUpTimesRoundToMillisecondsFromTheCreationTime) {
    struct Case {
        const char* name;
        std::uint64_t creationTime;
        std::uint32_t delta;  // in 1/10000 s: the second sample's time
        std::int32_t seconds;
        std::uint32_t milliseconds;
    };
    const Case cases[] = {
        {"rounded up", 0, 12346, 1, 235},
        {"rounded down", 0, 12344, 1, 234},
        {"creation time 0 gives the sample time", 0, 25000, 2, 500},
        {"creation time before 1970 counts as 1970", 1000, 25000, 2, 500},
        {"creation time in 2012", recording_writer::MovieTimeFromUnix(1330769700), 9996, 1330769701, 0},
    };
    for (const Case& c : cases) {
        recording_writer::Track track = TrackOf("avc1", {{0, 0, 0, 1, 1}, {0, 0, 0, 1, 1}});
        track.timescale = 10000;
        track.durations = {c.delta};
        track.creationTime = c.creationTime;
        MP4Parser parser(OneTrackFile(track));
        parser.Read();
        const TMediaPacket* packet = parser.Read();
        ASSERT_NE(packet, nullptr) << c.name;
        EXPECT_EQ(packet->utcSeconds, c.seconds) << c.name;
        EXPECT_EQ(packet->milliseconds, c.milliseconds) << c.name;
        EXPECT_EQ(packet->mediaType, 8u) << c.name;
        EXPECT_EQ(packet->flagBit21, 1u) << c.name;
        EXPECT_EQ(packet->zoneOffset, 0) << c.name;
        EXPECT_EQ(packet->headerLength, 24u) << c.name;
        EXPECT_EQ(packet->width, 320u) << c.name;
        EXPECT_EQ(packet->height, 240u) << c.name;
    }
}

// Two raw tracks whose samples carry (track, sample) and share every time.
std::string TiedTracksFile() {
    recording_writer::Recording recording;
    for (std::uint8_t t = 0; t < 2; ++t) {
        std::vector<Bytes> payloads;
        for (std::uint8_t s = 0; s < 3; ++s) payloads.push_back({t, s});
        recording_writer::Track track = TrackOf("ulaw", payloads, t + 1u);
        track.handler = "soun";
        recording.tracks.push_back(track);
    }
    return WriteRecording("tied.3gp", recording);
}

Bytes NextPayload(TMediaPacket* packet) { return packet == nullptr ? Bytes{} : Payload(packet); }

TEST(ReadingTest, TiesGoToTheEarlierTrackInBothDirections) {
    MP4Parser parser(TiedTracksFile());
    const std::vector<Bytes> forward = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}, {}};
    for (const Bytes& expected : forward) EXPECT_EQ(NextPayload(parser.Read()), expected);
    EXPECT_EQ(parser.ReadBackward(), nullptr);  // every cursor is past its end

    parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
    const std::vector<Bytes> backward = {{0, 2}, {1, 2}, {0, 1}, {1, 1}, {0, 0}, {1, 0}, {}, {}};
    for (const Bytes& expected : backward) EXPECT_EQ(NextPayload(parser.ReadBackward()), expected);
}

TEST(ReadingTest, SeekingPlacesCursorsAtOrBeforeATime) {
    MP4Parser parser(TiedTracksFile());
    parser.SeekToTime(0, 50);  // between the first (0 ms) and second (40 ms) samples
    EXPECT_EQ(NextPayload(parser.Read()), (Bytes{0, 1}));
    parser.SeekToTime(0, 40);
    EXPECT_EQ(NextPayload(parser.ReadBackward()), (Bytes{0, 1}));
    EXPECT_EQ(NextPayload(parser.ReadBackward()), (Bytes{1, 1}));
}

TEST(ReadingTest, DisabledTracksAreSteppedOver) {
    MP4Parser parser(TiedTracksFile());
    parser.TrackCursors()[0].enabled = 0;
    const std::vector<Bytes> forward = {{1, 0}, {1, 1}, {1, 2}, {}};
    for (const Bytes& expected : forward) EXPECT_EQ(NextPayload(parser.Read()), expected);
    parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
    EXPECT_EQ(NextPayload(parser.ReadBackward()), (Bytes{1, 2}));
}

TEST(ReadingTest, HeaderTrackSuppliesTheCameraHeaders) {
    recording_writer::CameraRecordingOptions options;
    options.seconds = 2;
    options.audio = "amr";
    options.startUtc = 1330769700;
    options.startMilliseconds = 500;
    options.zoneIndex = 80;
    options.daylightSaving = true;
    options.extraData = frame_writer::DaylightSavingElement(true);
    MP4Parser parser(WriteRecording("camera.3gp", recording_writer::CameraRecording(options)));
    const TMediaPacket* first = parser.Read();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->mediaType, 8u);
    EXPECT_EQ(first->utcSeconds, 1330769700);
    EXPECT_EQ(first->milliseconds, 500u);
    EXPECT_EQ(first->zoneOffset, 28800);
    EXPECT_EQ(first->dstAdjust, -3600);
    EXPECT_EQ(first->extraDataLength, 4 + options.extraData.size());
    EXPECT_EQ(first->extraData[4], frame_writer::kDaylightSavingTag);
    parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
    const TMediaPacket* last = parser.ReadBackward();
    ASSERT_NE(last, nullptr);
    EXPECT_GE(last->utcSeconds, 1330769701);
}

// A stored header longer than its extension: the packet is still delivered,
// its surplus counted as payload after the sample and zeroed.
TEST(ReadingTest, StoredHeaderLongerThanItsExtensionStillGivesThePacket) {
    recording_writer::Track video = TrackOf("avc1", {{0, 0, 0, 1, 1}, {0, 0, 0, 1, 1}});
    frame_writer::FrameHeader header = frame_writer::VideoHeader("h264", 100, 0);
    Bytes encoded = header.Encode();
    ASSERT_EQ(encoded.size(), 24u);
    encoded.resize(28, 0xAA);  // H says 28 bytes, E says 24
    frame_writer::HeaderBlockParts parts;
    parts.header = encoded;
    const Bytes block = frame_writer::EncodeHeaderBlock(parts);
    recording_writer::Track headerTrack = TrackOf("lumo", {block, block}, 2);
    headerTrack.handler = "lumo";
    recording_writer::Recording recording;
    recording.tracks = {video, headerTrack};
    MP4Parser parser(WriteRecording("longheader.3gp", recording));
    ASSERT_EQ(parser.TrackCursors().at(0).headerTrack, 1);
    for (int i = 0; i < 2; ++i) {
        const TMediaPacket* packet = parser.Read();
        ASSERT_NE(packet, nullptr);
        EXPECT_EQ(packet->mediaType, 8u);
        EXPECT_EQ(packet->utcSeconds, 100);
        EXPECT_EQ(packet->headerLength, 24u);
        EXPECT_EQ(Payload(packet), (Bytes{0, 0, 0, 1, 1, 0, 0, 0, 0}));
    }
    EXPECT_EQ(parser.Read(), nullptr);
}

// Samples without a time cannot be placed among the others: they are not
// delivered in either direction.
TEST(ReadingTest, SamplesWithoutTimesAreNotDelivered) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> stts;
        std::uint32_t timescale;
        std::vector<Bytes> forward;
        std::vector<Bytes> backward;
    };
    const Case cases[] = {
        {"all timed", {{3, 40}}, 1000, {{0}, {1}, {2}}, {{2}, {1}, {0}}},
        {"stts covers two of three", {{2, 40}}, 1000, {{0}, {1}}, {{1}, {0}}},
        {"mdhd timescale 0", {{3, 40}}, 0, {}, {}},
    };
    for (const Case& c : cases) {
        boxbuild::TrackSpec track;
        track.sampleEntry = boxbuild::AudioEntry("ulaw", 1, 16, 8000, {});
        track.handler = "soun";
        track.samples = {{0}, {1}, {2}};
        track.sttsRuns = c.stts;
        track.timescale = c.timescale;
        boxbuild::MovieSpec movie;
        movie.tracks = {track};
        MP4Parser parser(boxbuild::WriteTempFile("untimed.3gp", boxbuild::MovieFile(movie)));
        ASSERT_EQ(parser.TrackCursors().at(0).sampleCount, 3) << c.name;
        std::vector<Bytes> forward;
        while (TMediaPacket* packet = parser.Read()) forward.push_back(Payload(packet));
        EXPECT_EQ(forward, c.forward) << c.name;
        parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
        std::vector<Bytes> backward;
        while (TMediaPacket* packet = parser.ReadBackward()) backward.push_back(Payload(packet));
        EXPECT_EQ(backward, c.backward) << c.name;
    }
}

// A track whose sizes claim more than the file holds fails its own reads
// only; the other tracks read as ever.
TEST(ReadingTest, SizesBeyondTheFileFailOnlyTheirOwnTrack) {
    struct Case {
        const char* name;
        Bytes stsz;
        const char* failure;
    };
    const Case cases[] = {
        {"constant size", boxbuild::FullBox("stsz", 0, 0, boxbuild::Writer().U32(1000000).U32(2)), "bad read"},
        {"one huge size", boxbuild::FullBox("stsz", 0, 0, boxbuild::Writer().U32(0).U32(2).U32(1).U32(0xFFFFFFF0)),
         "bad read"},
    };
    for (const Case& c : cases) {
        boxbuild::TrackSpec kept;
        kept.sampleEntry = boxbuild::AudioEntry("ulaw", 1, 16, 8000, {});
        kept.samples = {{1}, {2}};
        boxbuild::TrackSpec claiming = kept;
        claiming.trackId = 2;
        claiming.samples = {{9}, {9}};
        claiming.extraStblChildren = c.stsz;
        boxbuild::MovieSpec movie;
        movie.tracks = {kept, claiming};
        MP4Parser parser(boxbuild::WriteTempFile("claims.3gp", boxbuild::MovieFile(movie)));
        ASSERT_EQ(parser.TrackCursors().size(), 2u) << c.name;
        parser.TrackCursors()[1].enabled = 0;
        std::vector<Bytes> forward;
        while (TMediaPacket* packet = parser.Read()) forward.push_back(Payload(packet));
        EXPECT_EQ(forward, (std::vector<Bytes>{{1}, {2}})) << c.name;
        parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
        TMediaPacket* last = parser.ReadBackward();
        ASSERT_NE(last, nullptr) << c.name;
        EXPECT_EQ(Payload(last), (Bytes{2})) << c.name;

        parser.TrackCursors()[0].enabled = 0;
        parser.TrackCursors()[1].enabled = 1;
        parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
        try {
            parser.ReadBackward();
            FAIL() << c.name << ": no failure";
        } catch (const std::ios_base::failure& e) {
            EXPECT_STREQ(e.what(), c.failure) << c.name;
        }
    }
}

// A sample whose chunk offset points past the end of the file.
TEST(ReadingTest, MissingSampleDataIsEndOfFile) {
    boxbuild::TrackSpec track;
    track.sampleEntry = boxbuild::AudioEntry("ulaw", 1, 16, 8000, {});
    track.samples = {{1, 2, 3}};
    track.chunkOffsetBias = 1000;
    boxbuild::MovieSpec movie;
    movie.tracks = {track};
    MP4Parser parser(boxbuild::WriteTempFile("cut.3gp", boxbuild::MovieFile(movie)));
    try {
        parser.Read();
        FAIL() << "no failure";
    } catch (const std::ios_base::failure& e) {
        EXPECT_STREQ(e.what(), "end of file");
    }
}

}  // namespace
