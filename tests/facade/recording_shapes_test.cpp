// First, second and last packets of recordings in shapes that the indexing
// meets, read the way it reads them: FilterTracks, Read twice, SeekBackward,
// ReadBackward.

#include "media/media_packet.h"
#include "media/parsers.h"
#include "tools/frame_header_writer/frame_header_writer.h"
#include "tools/recording_writer/camera_recording.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>
#include <string>

namespace rw = recording_writer;
namespace fs = boost::filesystem;

namespace {

const std::uint32_t kStart = 1330769700;  // 2012-03-03 10:15:00 UTC

struct Packet {
    std::uint32_t mediaType = 0;
    std::uint32_t utcSeconds = 0;
    std::uint32_t milliseconds = 0;
    std::int32_t zoneOffset = 0;
    std::int32_t dstAdjust = 0;
    std::uint32_t extraDataLength = 0;
};

bool operator==(const Packet& a, const Packet& b) {
    return a.mediaType == b.mediaType && a.utcSeconds == b.utcSeconds && a.milliseconds == b.milliseconds &&
           a.zoneOffset == b.zoneOffset && a.dstAdjust == b.dstAdjust && a.extraDataLength == b.extraDataLength;
}

std::ostream& operator<<(std::ostream& out, const Packet& p) {
    return out << "{type " << p.mediaType << ", " << p.utcSeconds << " s " << p.milliseconds << " ms, zone "
               << p.zoneOffset << ", dst " << p.dstAdjust << ", extra " << p.extraDataLength << "}";
}

Packet Made(std::uint32_t mediaType, std::uint32_t utcSeconds, std::uint32_t milliseconds) {
    return Packet{mediaType, utcSeconds, milliseconds, 0, 0, 4};
}

Packet Of(const TMediaPacket* p) {
    if (p == nullptr) return Packet{};
    return Packet{p->mediaType,    static_cast<std::uint32_t>(p->utcSeconds),
                  p->milliseconds, p->zoneOffset,
                  p->dstAdjust,    p->extraDataLength};
}

rw::CameraRecordingOptions Camera(const std::string& video, const std::string& audio, double seconds) {
    rw::CameraRecordingOptions o;
    o.video = video;
    o.audio = audio;
    o.seconds = seconds;
    o.startUtc = kStart;
    o.headerTracks = false;
    return o;
}

rw::Track Ulaw(std::uint32_t trackId, std::uint64_t creationUnix, std::uint32_t samples) {
    rw::Track t;
    t.trackId = trackId;
    t.handler = "soun";
    t.timescale = 8000;
    t.entry.type = "ulaw";
    t.creationTime = rw::MovieTimeFromUnix(creationUnix);
    t.durations = {800};  // 100 ms
    t.sizes.assign(samples, 800);
    return t;
}

struct Shape {
    const char* name;
    std::function<rw::Recording()> build;
    Packet first;
    Packet second;
    Packet last;
};

void PrintTo(const Shape& shape, std::ostream* out) { *out << shape.name; }

const Shape kShapes[] = {
    // Without its pairing the header track is passed over, and the headers
    // are made up from the track: UTC, no daylight saving, no extra data, the
    // time from the creation time and the sample time.
    {"header track with one block fewer than its media track",
     [] {
         rw::CameraRecordingOptions o = Camera("h264", "none", 2);
         o.headerTracks = true;
         o.startMilliseconds = 500;
         o.zoneIndex = 80;
         o.daylightSaving = true;
         o.extraData = frame_writer::DaylightSavingElement(true);
         rw::Recording r = rw::CameraRecording(o);
         r.tracks.at(1).payloads.pop_back();
         return r;
     },
     Made(MEDIA_H264, kStart, 0), Made(MEDIA_H264, kStart, 40), Made(MEDIA_H264, kStart + 1, 960)},
    {"header track with one block more than its media track",
     [] {
         rw::CameraRecordingOptions o = Camera("h264", "none", 2);
         o.headerTracks = true;
         o.startMilliseconds = 500;
         rw::Recording r = rw::CameraRecording(o);
         r.tracks.at(1).payloads.push_back(r.tracks.at(1).payloads.back());
         return r;
     },
     Made(MEDIA_H264, kStart, 0), Made(MEDIA_H264, kStart, 40), Made(MEDIA_H264, kStart + 1, 960)},
    // Paired header tracks give the camera's own times, zone and extra data.
    {"paired header tracks",
     [] {
         rw::CameraRecordingOptions o = Camera("h264", "aac", 2);
         o.headerTracks = true;
         o.startMilliseconds = 500;
         o.zoneIndex = 80;
         o.daylightSaving = true;
         o.extraData = frame_writer::DaylightSavingElement(true);
         return rw::CameraRecording(o);
     },
     Packet{MEDIA_H264, kStart, 500, 28800, -3600, 4 + 14}, Packet{MEDIA_AAC, kStart, 500, 28800, -3600, 4 + 14},
     Packet{MEDIA_H264, kStart + 2, 460, 28800, -3600, 4 + 14}},
    // An empty edit of 1 s delays the video: the audio comes first, and the
    // video's made-up times include the delay.
    {"empty edit delays the video behind the audio",
     [] {
         rw::Recording r = rw::CameraRecording(Camera("h264", "ulaw", 2));
         r.tracks.at(0).edits = {rw::EditEntry{1000, -1, 0x10000}, rw::EditEntry{2000, 0, 0x10000}};
         return r;
     },
     Made(MEDIA_PCMU, kStart, 0), Made(MEDIA_PCMU, kStart, 100), Made(MEDIA_H264, kStart + 2, 960)},
    // Composition offsets move nothing: samples are placed and stamped by
    // their decode times.
    {"composition offsets",
     [] {
         rw::Recording r = rw::CameraRecording(Camera("h264", "none", 0.4));
         r.tracks.at(0).compositionOffsets.assign(10, 7200);
         return r;
     },
     Made(MEDIA_H264, kStart, 0), Made(MEDIA_H264, kStart, 40), Made(MEDIA_H264, kStart, 360)},
    // Track 2 is not read: its earlier and later samples are passed over.
    {"filtered-out track earlier and later than the kept one",
     [] {
         rw::Recording r;
         r.tracks = {Ulaw(2, kStart + 100, 5), Ulaw(1, kStart, 2)};
         r.tracks[1].edits = {rw::EditEntry{50, -1, 0x10000}};
         return r;
     },
     Made(MEDIA_PCMU, kStart, 50), Made(MEDIA_PCMU, kStart, 150), Made(MEDIA_PCMU, kStart, 150)},
    // Equal times go to the track that comes first in the file, forwards and
    // backwards, whatever its media type.
    {"ties between audio first in the file and video",
     [] {
         rw::Recording r;
         rw::Track video = rw::VideoTrack(Camera("h264", "none", 0.5));
         video.timescale = 1000;
         video.durations = {100};
         video.sizes.resize(5);
         r.tracks = {Ulaw(6, kStart + 1000, 5), video};
         return r;
     },
     Made(MEDIA_PCMU, kStart + 1000, 0), Made(MEDIA_H264, kStart, 0), Made(MEDIA_PCMU, kStart + 1000, 400)},
    // Milliseconds are rounded to the nearest: the last of 30 frames at
    // 3003/90000 s lies at 967.633 ms; 64-bit header times.
    {"rounded milliseconds and version-1 headers",
     [] {
         rw::Recording r = rw::CameraRecording(Camera("h264", "none", 1.2));
         r.tracks.at(0).durations = {3003};
         r.tracks.at(0).sizes.resize(30);
         r.headerVersion = 1;
         return r;
     },
     Made(MEDIA_H264, kStart, 0), Made(MEDIA_H264, kStart, 33), Made(MEDIA_H264, kStart, 968)},
    // A creation time before 1970 counts from 1970: the header seconds are
    // the sample time's, here after an empty edit of 5 s.
    {"creation time 0",
     [] {
         rw::Recording r;
         r.tracks = {Ulaw(1, 0, 3)};
         r.tracks[0].creationTime = 0;
         r.tracks[0].edits = {rw::EditEntry{5000, -1, 0x10000}};
         return r;
     },
     Made(MEDIA_PCMU, 5, 0), Made(MEDIA_PCMU, 5, 100), Made(MEDIA_PCMU, 5, 200)},
};

class RecordingShapes : public ::testing::TestWithParam<Shape> {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / fs::unique_path("shapes-%%%%%%");
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_P(RecordingShapes, FirstSecondAndLastPackets) {
    const Shape& shape = GetParam();
    const std::string path = (folder_ / "00000001_2012-03-03_101500.3gp").string();
    rw::WriteRecording(shape.build(), path);
    ::testing::internal::CaptureStderr();
    CParsers facade(path);
    ASSERT_TRUE(facade.IsOpened());
    facade.FilterTracks();
    EXPECT_EQ(Of(facade.Read()), shape.first);
    EXPECT_EQ(Of(facade.Read()), shape.second);
    EXPECT_EQ(facade.SeekBackward(), 0);
    EXPECT_EQ(Of(facade.ReadBackward()), shape.last);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

INSTANTIATE_TEST_SUITE_P(Facade, RecordingShapes, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return name;
                         });

}  // namespace
