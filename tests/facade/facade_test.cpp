#include "media/media_packet.h"
#include "media/parsers.h"
#include "tools/frame_header_writer/frame_header_writer.h"
#include "tools/recording_writer/camera_recording.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace rw = recording_writer;
namespace fs = boost::filesystem;

namespace {

const std::uint32_t kStart = 1330769700;  // 2012-03-03 10:15:00 UTC

class FacadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / fs::unique_path("facade-%%%%%%");
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string Write(const rw::Recording& r, const std::string& name = "rec.3gp") {
        const std::string path = (folder_ / name).string();
        rw::WriteRecording(r, path);
        return path;
    }

    fs::path folder_;
};

// One ulaw sample per track; the track's creation time tells the packets apart:
// a packet's seconds are kStart + the track id.
rw::Recording OneSamplePerTrack(const std::vector<std::uint32_t>& ids) {
    rw::Recording r;
    for (std::uint32_t id : ids) {
        rw::Track t;
        t.trackId = id;
        t.handler = "soun";
        t.timescale = 8000;
        t.entry.type = "ulaw";
        t.creationTime = rw::MovieTimeFromUnix(kStart + id);
        t.durations = {800};
        t.sizes = {800};
        r.tracks.push_back(t);
    }
    return r;
}

std::set<std::uint32_t> ReadTrackIds(CParsers& facade) {
    std::set<std::uint32_t> ids;
    while (TMediaPacket* p = facade.Read()) {
        ids.insert(static_cast<std::uint32_t>(p->utcSeconds) - kStart);
    }
    return ids;
}

std::uint64_t Ms(const TMediaPacket* p) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(p->utcSeconds)) * 1000 + p->milliseconds;
}

}  // namespace

TEST_F(FacadeTest, MissingFileGivesOneErrorLineAndNothingElse) {
    const std::string path = (folder_ / "missing.3gp").string();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    {
        CParsers facade(path);
        EXPECT_FALSE(facade.IsOpened());
        facade.FilterTracks();
        EXPECT_EQ(facade.Read(), nullptr);
        EXPECT_EQ(facade.SeekBackward(), -1);
        EXPECT_EQ(facade.ReadBackward(), nullptr);
    }
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(err, "CParsers::CParsers - isom parser open file: " + path + " failed: failed opening file\n");
}

TEST_F(FacadeTest, MalformedFilesAreReportedWithTheParsersText) {
    const auto unknownBox = rw::Piece::Box(rw::MakeBox("abcd", std::vector<std::uint8_t>(8, 0)));
    struct Case {
        const char* name;
        std::vector<rw::Piece> pieces;
        bool embedded;
        std::int64_t lengthAdjust;
        const char* message;
    } cases[] = {
        // Without moov and mdat up front the file must carry the trailer.
        {"foreign.3gp", {unknownBox, rw::Piece::Ftyp(), rw::Piece::Mdat(), rw::Piece::Moov()}, false, 0, "bad format"},
        {"unknown.3gp",
         {unknownBox, rw::Piece::Ftyp(), rw::Piece::Mdat(), rw::Piece::Moov()},
         true,
         0,
         "unrecognized box"},
        {"length.3gp", {}, true, -1, "bad format"},
        {"nomdat.3gp", {rw::Piece::Ftyp(), rw::Piece::Moov()}, true, 0, "end of file"},
    };
    for (const Case& c : cases) {
        rw::Recording r = OneSamplePerTrack({1});
        r.pieces = c.pieces;
        r.embedded = c.embedded;
        r.embedding.storedLengthAdjust = c.lengthAdjust;
        const std::string path = Write(r, c.name);
        ::testing::internal::CaptureStderr();
        CParsers facade(path);
        EXPECT_FALSE(facade.IsOpened());
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "CParsers::CParsers - isom parser open file: " + path + " failed: " + c.message + "\n");
    }
    // The same recording, embedded with a sound trailer, opens and reads.
    rw::Recording r = OneSamplePerTrack({1});
    r.embedded = true;
    CParsers facade(Write(r, "embedded.3gp"));
    ASSERT_TRUE(facade.IsOpened());
    const TMediaPacket* p = facade.Read();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<std::uint32_t>(p->utcSeconds), kStart + 1);
}

TEST_F(FacadeTest, FilterKeepsTrackIds1And6To8ModuloThirtyTwo) {
    struct Case {
        std::vector<std::uint32_t> ids;
        std::set<std::uint32_t> read;
    } cases[] = {
        {{1, 6, 7, 8, 33, 0, 2, 5, 9, 32}, {1, 6, 7, 8, 33}},
        {{1, 2}, {1}},
        {{2}, {}},
        {{38, 39, 40, 41, 64, 65}, {38, 39, 40, 65}},
    };
    for (const Case& c : cases) {
        const std::string path = Write(OneSamplePerTrack(c.ids));
        CParsers facade(path);
        ASSERT_TRUE(facade.IsOpened());
        facade.FilterTracks();
        EXPECT_EQ(ReadTrackIds(facade), c.read);
    }
    // Without the filter every track is read.
    CParsers unfiltered(Write(OneSamplePerTrack({2, 5})));
    EXPECT_EQ(ReadTrackIds(unfiltered), (std::set<std::uint32_t>{2, 5}));
}

TEST_F(FacadeTest, SeekBackwardThenReadBackwardGivesTheLastPacket) {
    rw::CameraRecordingOptions o;
    o.seconds = 3;
    o.startUtc = kStart;
    o.startMilliseconds = 0;
    o.zoneIndex = 80;
    o.daylightSaving = true;
    o.extraData = frame_writer::DaylightSavingElement(true);
    const std::string path = Write(rw::CameraRecording(o));

    ::testing::internal::CaptureStderr();
    CParsers facade(path);
    ASSERT_TRUE(facade.IsOpened());
    facade.FilterTracks();
    const TMediaPacket* first = facade.Read();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->mediaType, MEDIA_H264);
    EXPECT_EQ(Ms(first), std::uint64_t{kStart} * 1000);
    EXPECT_EQ(first->zoneOffset, 28800);
    EXPECT_EQ(first->dstAdjust, -3600);
    // The header block's extra data reaches the packet, where the indexing
    // looks for the daylight-saving element.
    ASSERT_EQ(first->extraDataLength, 4 + o.extraData.size());
    EXPECT_EQ(std::vector<std::uint8_t>(first->extraData + 4, first->extraData + first->extraDataLength), o.extraData);
    EXPECT_EQ(facade.SeekBackward(), 0);
    // 75 video frames of 40 ms end after the last of 24 AAC packets of 128 ms.
    const TMediaPacket* last = facade.ReadBackward();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->mediaType, MEDIA_H264);
    EXPECT_EQ(Ms(last), std::uint64_t{kStart} * 1000 + 74 * 40);
    // Then the packets of both tracks in backward time order.
    const TMediaPacket* audio = facade.ReadBackward();
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->mediaType, MEDIA_AAC);
    EXPECT_EQ(Ms(audio), std::uint64_t{kStart} * 1000 + 23 * 128);
    const TMediaPacket* before = facade.ReadBackward();
    ASSERT_NE(before, nullptr);
    EXPECT_EQ(before->mediaType, MEDIA_H264);
    EXPECT_EQ(Ms(before), std::uint64_t{kStart} * 1000 + 73 * 40);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(FacadeTest, ReadingPastEitherEndGivesNullQuietly) {
    const std::string path = Write(OneSamplePerTrack({1}));
    ::testing::internal::CaptureStderr();
    CParsers facade(path);
    facade.FilterTracks();
    EXPECT_NE(facade.Read(), nullptr);
    EXPECT_EQ(facade.Read(), nullptr);
    EXPECT_EQ(facade.Read(), nullptr);
    EXPECT_EQ(facade.SeekBackward(), 0);
    EXPECT_NE(facade.ReadBackward(), nullptr);
    EXPECT_EQ(facade.ReadBackward(), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(FacadeTest, FileWithoutSamplesHasNoLastPacket) {
    rw::Recording r = OneSamplePerTrack({1});
    r.tracks[0].sizes.clear();
    CParsers facade(Write(r));
    ASSERT_TRUE(facade.IsOpened());
    EXPECT_EQ(facade.Read(), nullptr);
    EXPECT_EQ(facade.SeekBackward(), 0);
    EXPECT_EQ(facade.ReadBackward(), nullptr);
}

TEST_F(FacadeTest, ReadFailuresAreReportedAndReadingGoesOn) {
    // The header track's second block announces an audio header without an
    // extension, which cannot be decoded.
    rw::Recording r = OneSamplePerTrack({1});
    r.tracks[0].sizes = {800, 800, 800};
    rw::HeaderTrackOptions h;
    h.codecCode = "PCMU";
    h.startSeconds = kStart;
    rw::Track header = rw::HeaderTrackFor(r.tracks[0], h);
    header.payloads[1] = frame_writer::EncodeHeaderBlock(frame_writer::FrameHeader("PCMU").Time(kStart + 1), 800);
    r.tracks.push_back(header);
    CParsers facade(Write(r));
    ASSERT_TRUE(facade.IsOpened());
    ::testing::internal::CaptureStderr();
    EXPECT_NE(facade.Read(), nullptr);
    EXPECT_EQ(facade.Read(), nullptr);
    const TMediaPacket* third = facade.Read();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(Ms(third), std::uint64_t{kStart} * 1000 + 200);
    EXPECT_EQ(facade.SeekBackward(), 0);
    EXPECT_NE(facade.ReadBackward(), nullptr);
    EXPECT_EQ(facade.ReadBackward(), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "CParsers::Read - isom parser Read failed: end of stream\n"
              "CParsers::ReadBackward - isom parser ReadBackward failed: end of stream\n");
}

TEST(FacadeWithoutReader, NullReaderLeavesTheFacadeUnopened) {
    CParsers facade(CParsers::ViewWhileRecReader{});
    EXPECT_FALSE(facade.IsOpened());
    facade.FilterTracks();
    EXPECT_EQ(facade.Read(), nullptr);
    EXPECT_EQ(facade.SeekBackward(), -1);
    EXPECT_EQ(facade.ReadBackward(), nullptr);
}
