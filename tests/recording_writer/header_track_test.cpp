#include "tools/frame_header_writer/frame_header_writer.h"
#include "tools/recording_writer/camera_recording.h"

#include <gtest/gtest.h>

namespace rw = recording_writer;

namespace {

std::uint32_t Word(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) << 24 | static_cast<std::uint32_t>(b.at(at + 1)) << 16 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 8 | b.at(at + 3);
}

// Fields of one header block as a reader sees them.
struct Block {
    std::uint32_t headerLength, extraLength, totalLength, flags, seconds;
    std::uint16_t milliseconds;
    std::string codec;
    std::uint8_t kindByte;
    std::vector<std::uint8_t> extra;
};

Block Decode(const std::vector<std::uint8_t>& b) {
    Block k;
    k.headerLength = Word(b, 8);
    k.extraLength = Word(b, 12);
    k.totalLength = Word(b, 16);
    k.codec.assign(reinterpret_cast<const char*>(&b.at(20)), 4);
    k.kindByte = b.at(24);
    k.flags = Word(b, 25);
    k.seconds = Word(b, 29);
    k.milliseconds = static_cast<std::uint16_t>(b.at(33) << 8 | b.at(34));
    k.extra.assign(b.begin() + 16 + k.headerLength, b.end());
    return k;
}

}  // namespace

TEST(HeaderTrack, OneBlockPerSampleWithTheCameraTime) {
    rw::CameraRecordingOptions o;
    o.seconds = 2;
    o.startUtc = 1330769700;
    o.startMilliseconds = 250;
    o.zoneIndex = 80;
    o.daylightSaving = true;
    o.extraData = frame_writer::DaylightSavingElement(true);
    const rw::Recording r = rw::CameraRecording(o);
    ASSERT_EQ(r.tracks.size(), 4u);
    const rw::Track& video = r.tracks[0];
    const rw::Track& header = r.tracks[1];
    EXPECT_EQ(header.handler, "lumo");
    EXPECT_EQ(header.trackId, 2u);
    ASSERT_EQ(header.SampleCount(), video.SampleCount());
    EXPECT_EQ(video.SampleCount(), 50u);

    const std::uint32_t camera = 1330769700 + (80 - 48) * 900 + 3600;
    struct Case {
        std::uint32_t sample, seconds, milliseconds;
        bool key;
    } cases[] = {
        {0, camera, 250, true}, {1, camera, 290, false}, {37, camera + 1, 730, false}, {25, camera + 1, 250, true}};
    for (const Case& c : cases) {
        const Block k = Decode(header.payloads[c.sample]);
        EXPECT_EQ(k.codec, "h264");
        EXPECT_EQ(k.headerLength, 24u);
        EXPECT_EQ(k.totalLength, 24u + video.SampleSize(c.sample) - 4);
        EXPECT_EQ(k.seconds, c.seconds) << c.sample;
        EXPECT_EQ(k.milliseconds, c.milliseconds) << c.sample;
        EXPECT_EQ(k.kindByte >> 4, c.key ? 0 : 1) << c.sample;
        EXPECT_EQ((k.flags >> 4) & 0x7F, 80u);
        EXPECT_TRUE(k.flags & 0x800);
        EXPECT_EQ(k.extraLength, k.extra.size());
        ASSERT_GE(k.extra.size(), 14u);
        EXPECT_EQ(k.extra[0], 0x61);
        EXPECT_TRUE(k.extra[12] != 0 || k.extra[13] != 0);
    }
    // The audio header carries the sample rate and channels in its extension.
    const Block audio = Decode(r.tracks[3].payloads[0]);
    EXPECT_EQ(audio.codec, "aac ");
    EXPECT_EQ(audio.headerLength, 28u);
    EXPECT_EQ(r.tracks[2].trackId, 6u);
}

TEST(HeaderTrack, CameraClockFollowsZoneAndDaylightSaving) {
    EXPECT_EQ(rw::CameraClockSeconds(1000000, 48, false), 1000000u);
    EXPECT_EQ(rw::CameraClockSeconds(1000000, 16, false), 1000000u - 28800);
    EXPECT_EQ(rw::CameraClockSeconds(1000000, 80, true), 1000000u + 28800 + 3600);
}

TEST(HeaderTrack, WithoutHeaderTracksOnlyMediaTracksRemain) {
    rw::CameraRecordingOptions o;
    o.seconds = 1;
    o.headerTracks = false;
    o.audio = "amr";
    const rw::Recording r = rw::CameraRecording(o);
    ASSERT_EQ(r.tracks.size(), 2u);
    EXPECT_EQ(r.tracks[1].entry.type, "samr");
    const auto sample = rw::MakeSamplePayload(r.tracks[1], 0);
    ASSERT_EQ(sample.size(), 320u);
    EXPECT_EQ(sample[0], 0x3C);
    EXPECT_EQ(sample[32], 0x3C);
}
