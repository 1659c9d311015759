// index_bench <storage>
//
// The indexing alone, without the database: for every location folder of
// every day of the storage (new structure), the camera-zone probe of the first
// recording and the times of every recording, as the per-day indexing reads
// them. The file lists are collected before the clock starts. Prints the
// recordings per second.

#include <algorithm>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/time_zone.h"
#include "repair/file_times.h"
#include "repair/read_ahead_feed.h"
#include "repair/recording_name.h"
#include "storage/layout.h"

namespace fs = boost::filesystem;

namespace {

std::vector<std::vector<std::string>> LocationLists(const fs::path& storage) {
    std::vector<std::vector<std::string>> lists;
    for (fs::directory_iterator day(storage), end; day != end; ++day) {
        if (!IsDayFolder(*day)) continue;
        for (fs::directory_iterator location(day->path()); location != end; ++location) {
            // In the order the repair reads them.
            const ReadAhead::Recordings files = ListRecordingsInReadingOrder(location->path());
            if (!files->empty()) lists.push_back(*files);
        }
    }
    return lists;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: index_bench <storage>\n");
        return 2;
    }
    const auto lists = LocationLists(argv[1]);
    const long bias = platform::StandardBiasMinutes();
    std::size_t files = 0;
    for (const auto& list : lists) files += list.size();

    const int rounds = 3;
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const auto& list : lists) {
            std::uint16_t zone = 0;
            ProbeCameraTimeZone(list.front(), zone);
            for (const std::string& path : list) {
                FileTimes times;
                if (!ReadFileTimes(times, path, bias)) {
                    std::fprintf(stderr, "cannot read the times of %s\n", path.c_str());
                    return 1;
                }
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
    std::printf("index_files %zu\nindex_seconds %.6f\nindex_files_per_second %.0f\n", files, seconds, files / seconds);
    return 0;
}
