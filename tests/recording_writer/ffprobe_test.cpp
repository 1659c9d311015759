// Other tools must read what the writer produces: ffprobe, when installed,
// demuxes every variant without a complaint from its ISO media demuxer, and
// decodes the codecs whose made-up samples are real pictures or frames.

#include "support/process.h"
#include "tools/recording_writer/camera_recording.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

namespace rw = recording_writer;
namespace fs = boost::filesystem;

namespace {

const char* const kProbe = "/usr/bin/ffprobe";

struct Variant {
    const char* name;
    const char* video;
    const char* audio;
    bool decodable;  // every message of ffprobe counts
    void (*adjust)(rw::Recording&);
};

void Nothing(rw::Recording&) {}
void MoovFirst(rw::Recording& r) { r.pieces = {rw::Piece::Ftyp(), rw::Piece::Moov(), rw::Piece::Mdat()}; }
void VersionOne(rw::Recording& r) {
    r.headerVersion = 1;
    r.co64 = true;
}
void Padded(rw::Recording& r) {
    r.pieces = {rw::Piece::Ftyp(), rw::Piece::Box(rw::MakeBox("free", std::vector<std::uint8_t>(20, 0))),
                rw::Piece::Mdat(), rw::Piece::Moov(), rw::Piece::ZeroWords(3)};
    r.mdatSize = rw::MdatSize::Large;
}
void EmptyEdit(rw::Recording& r) { r.tracks[0].edits = {{500, -1}, {2000, 0}}; }

}  // namespace

TEST(FfprobeReadsWriterOutput, EveryVariant) {
#ifdef _WIN32
    GTEST_SKIP() << "ffprobe runs on the build machine only";
#endif
    if (!fs::exists(kProbe)) {
        GTEST_SKIP() << "ffprobe is not installed";
    }
    const Variant variants[] = {
        {"h264-aac", "h264", "aac", true, Nothing},      {"h264-ulaw", "h264", "ulaw", true, MoovFirst},
        {"h264-alaw", "h264", "alaw", true, VersionOne}, {"h264-amr", "h264", "amr", false, Padded},
        {"h264-edit", "h264", "none", true, EmptyEdit},  {"hevc", "hevc", "aac", false, Nothing},
        {"mp4v", "mp4v", "none", false, Nothing},        {"jpeg", "jpeg", "none", false, Nothing},
        {"h263", "h263", "amr", false, Nothing},
    };
    const fs::path folder = fs::temp_directory_path() / fs::unique_path("writer-probe-%%%%%%");
    fs::create_directories(folder);
    for (const Variant& v : variants) {
        rw::CameraRecordingOptions o;
        o.video = v.video;
        o.audio = v.audio;
        o.seconds = 2;
        rw::Recording r = rw::CameraRecording(o);
        v.adjust(r);
        const std::string path = (folder / (std::string(v.name) + ".3gp")).string();
        rw::WriteRecording(r, path);
        const auto result = testsupport::RunProcess(
            kProbe, {"-v", "error", "-show_entries", "stream=nb_frames", "-of", "csv=p=0", path});
        EXPECT_EQ(result.exitCode, 0) << v.name << "\n" << result.err;
        EXPECT_EQ(result.err.find("[mov,"), std::string::npos) << v.name << "\n" << result.err;
        if (v.decodable) {
            EXPECT_EQ(result.err, "") << v.name;
        }
        // Every track, header tracks included, with all its samples.
        std::string expected;
        for (const rw::Track& t : r.tracks) expected += std::to_string(t.SampleCount()) + "\n";
        EXPECT_EQ(result.out, expected) << v.name;
    }
    fs::remove_all(folder);
}
