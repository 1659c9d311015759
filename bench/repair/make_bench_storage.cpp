// make_bench_storage <storage> <days> <locations> <recordings per location>
//
// Lays out a storage folder in the new structure for the repair benchmark:
// one-minute recordings as cameras write them (25 fps H.264 and AAC, each with
// its header track, mdat before moov), named by serial, day and start time,
// recording n of a location starting n - 1 minutes after 10:00.

#include <boost/date_time/posix_time/posix_time.hpp>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "tools/recording_writer/camera_recording.h"
#include "tools/storage_generator/storage_generator.h"

namespace rw = recording_writer;

namespace {

std::uint32_t UtcSeconds(const std::string& day, const std::string& hhmmss) {
    const auto time = boost::posix_time::time_from_string(day + " " + hhmmss.substr(0, 2) + ":" + hhmmss.substr(2, 2) +
                                                          ":" + hhmmss.substr(4, 2));
    return static_cast<std::uint32_t>(
        (time - boost::posix_time::ptime(boost::gregorian::date(1970, 1, 1))).total_seconds());
}

std::string CameraMinute(const storagegen::RecordingInfo& info) {
    rw::CameraRecordingOptions options;
    options.startUtc = UtcSeconds(info.day, info.timeOfDay);
    const std::vector<std::uint8_t> bytes = rw::BuildRecording(rw::CameraRecording(options));
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> Days(unsigned count) {
    std::vector<std::string> days;
    for (unsigned i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "2012-03-%02u", 3 + i);
        days.push_back(name);
    }
    return days;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: make_bench_storage <storage> <days> <locations> <recordings per location>\n";
        return 2;
    }
    storagegen::StorageDescription description;
    description.structure = storagegen::Structure::New;
    description.days = Days(static_cast<unsigned>(std::stoul(argv[2])));
    description.locations.clear();
    for (unsigned i = 1; i <= std::stoul(argv[3]); ++i) description.locations.push_back(std::to_string(i));
    description.content.recordings = static_cast<unsigned>(std::stoul(argv[4]));
    description.recordingBytes = CameraMinute;
    const auto made = storagegen::MakeStorage(argv[1], description);
    std::cout << made.size() << " recordings in " << argv[1] << "\n";
    return 0;
}
