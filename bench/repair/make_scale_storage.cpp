// make_scale_storage <storage> <days> <locations> <recordings per location>
//
// A storage of any size for the scale benchmark: a handful of real one-minute
// recordings (25 fps H.264 and AAC, mdat before moov) written once beside the
// storage, and every recording of the storage a hard link to one of them,
// named by serial, day and a start time one minute after the previous one
// (wrapping at midnight).

#include <boost/filesystem.hpp>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "tools/recording_writer/camera_recording.h"
#include "tools/storage_generator/storage_generator.h"

namespace fs = boost::filesystem;
namespace rw = recording_writer;

namespace {

// ext4 allows 65,000 links to one file: enough sources for a million names.
constexpr unsigned kDistinctRecordings = 32;

fs::path WriteSource(const fs::path& folder, unsigned index) {
    rw::CameraRecordingOptions options;
    options.startUtc = 1330768800u + 60u * index;
    const std::vector<std::uint8_t> bytes = rw::BuildRecording(rw::CameraRecording(options));
    const fs::path path = folder / ("source" + std::to_string(index) + ".3gp");
    storagegen::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    // Dated as a recorder leaves it: a fresh file would pass for one being
    // recorded. The storage's links share this time.
    rw::DateFile(path.string(), std::time(nullptr) - 3600);
    return path;
}

std::string TimeOfDay(unsigned minute) {
    char text[8];
    std::snprintf(text, sizeof text, "%02u%02u00", (minute / 60) % 24, minute % 60);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: make_scale_storage <storage> <days> <locations> <recordings per location>\n";
        return 2;
    }
    const fs::path storage = argv[1];
    const unsigned days = std::stoul(argv[2]), locations = std::stoul(argv[3]), perLocation = std::stoul(argv[4]);
    const fs::path sources = storage.string() + "-sources";
    fs::create_directories(sources);
    std::vector<fs::path> distinct;
    for (unsigned i = 0; i < kDistinctRecordings; ++i) distinct.push_back(WriteSource(sources, i));

    unsigned long made = 0;
    for (unsigned d = 0; d < days; ++d) {
        char day[32];
        std::snprintf(day, sizeof day, "2012-%02u-%02u", (3 + d / 28) % 100, 1 + d % 28);
        for (unsigned l = 1; l <= locations; ++l) {
            const fs::path folder = storage / day / std::to_string(l);
            fs::create_directories(folder);
            for (unsigned n = 1; n <= perLocation; ++n, ++made) {
                const std::string name = storagegen::RecordingFileName(n, day, TimeOfDay(n - 1));
                fs::create_hard_link(distinct[n % kDistinctRecordings], folder / name);
            }
        }
    }
    std::cout << made << " recordings in " << storage.string() << "\n";
    return 0;
}
