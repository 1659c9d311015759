// reading_bench [samples]
//
// Writes two recordings of one audio track of `samples` samples (1,000,000
// unless given) with sizes that vary, so that a sample's offset depends on
// the sizes before it: one with all samples in a single chunk, its twin with
// one sample per chunk. Times a full forward read and a full backward read of
// each and prints the ratio of the single-chunk time to the twin's; reading
// is linear when it stays near 1.

#include "mp4parser/MP4Parser.h"
#include "tools/recording_writer/recording_writer.h"

#include <boost/filesystem.hpp>

#include <chrono>
#include <cstdio>
#include <string>

namespace fs = boost::filesystem;
namespace rw = recording_writer;
using Clock = std::chrono::steady_clock;
using ORVL::SDK::Brannock2::MP4Parser;

namespace {

rw::Recording AudioRecording(std::uint32_t samples, std::uint32_t samplesPerChunk) {
    rw::Track track;
    track.handler = "soun";
    track.timescale = 8000;
    track.entry.type = "ulaw";
    track.sizes.resize(samples);
    for (std::uint32_t i = 0; i < samples; ++i) track.sizes[i] = 8 + i % 5;
    track.durations = {8};
    track.samplesPerChunk = {samplesPerChunk};
    track.constantSizeWhenEqual = false;
    rw::Recording recording;
    recording.tracks = {track};
    return recording;
}

struct Times {
    double forward = 0;
    double backward = 0;
};

// Seconds for a full forward read and a full backward read; -1 when a read
// does not deliver every sample.
Times TimeFullReads(const std::string& path, std::uint32_t samples) {
    MP4Parser parser(path);
    Times times;
    auto start = Clock::now();
    std::uint32_t read = 0;
    while (parser.Read()) ++read;
    times.forward = read == samples ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
    parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
    start = Clock::now();
    read = 0;
    while (parser.ReadBackward()) ++read;
    times.backward = read == samples ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint32_t samples = argc > 1 ? static_cast<std::uint32_t>(std::stoul(argv[1])) : 1000000;
    const fs::path folder = fs::temp_directory_path() / fs::unique_path("reading-bench-%%%%");
    fs::create_directories(folder);
    const std::string oneChunk = (folder / "one_chunk.3gp").string();
    const std::string chunkPerSample = (folder / "chunk_per_sample.3gp").string();
    rw::WriteRecording(AudioRecording(samples, samples), oneChunk);
    rw::WriteRecording(AudioRecording(samples, 1), chunkPerSample);

    const Times single = TimeFullReads(oneChunk, samples);
    const Times twin = TimeFullReads(chunkPerSample, samples);
    fs::remove_all(folder);
    std::printf("samples: %u\n", samples);
    std::printf("one chunk:            forward %.3f s, backward %.3f s\n", single.forward, single.backward);
    std::printf("one sample per chunk: forward %.3f s, backward %.3f s\n", twin.forward, twin.backward);
    if (single.forward < 0 || single.backward < 0 || twin.forward < 0 || twin.backward < 0) {
        std::fprintf(stderr, "a read did not deliver every sample\n");
        return 1;
    }
    std::printf("ratio: forward %.2f, backward %.2f\n", single.forward / twin.forward, single.backward / twin.backward);
    return 0;
}
