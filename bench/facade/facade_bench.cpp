// facade_bench [files] [folder]
//
// Writes `files` one-minute recordings (25 fps H.264 with its header track,
// AAC audio with its header track, mdat before moov as recorders write them),
// reads them once so that they sit in the page cache, then times the
// indexing's use of the facade on each: open, FilterTracks, first packet,
// SeekBackward, last packet, close. It prints the time and the bytes read
// per file, and the time that merely opening, reading those bytes and
// closing takes, and the ratio of the two.

#include "media/media_packet.h"
#include "media/parsers.h"
#include "tools/recording_writer/camera_recording.h"

#include <boost/filesystem.hpp>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = boost::filesystem;
namespace rw = recording_writer;
using Clock = std::chrono::steady_clock;

namespace {

// Bytes this process has read through read() so far.
std::uint64_t BytesReadSoFar() {
    std::ifstream io("/proc/self/io");
    std::string key;
    std::uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    throw std::runtime_error("no rchar in /proc/self/io");
}

std::vector<std::string> WriteRecordings(const fs::path& folder, int count) {
    rw::CameraRecordingOptions o;
    o.seconds = 60;
    o.framesPerSecond = 25;
    o.keyFrameInterval = 25;
    const std::vector<std::uint8_t> bytes = rw::BuildRecording(rw::CameraRecording(o));
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "%08d_2012-03-03_101500.3gp", i + 1);
        paths.push_back((folder / name).string());
        rw::WriteBytes(bytes, paths.back());
    }
    return paths;
}

// Reads every file once, so that what follows is served from the page cache.
void WarmCache(const std::vector<std::string>& paths) {
    std::vector<char> buffer(1 << 20);
    for (const std::string& path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        while (fd >= 0 && ::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        if (fd >= 0) ::close(fd);
    }
}

// The indexing's calls on one file; returns false when a packet is missing.
bool FirstAndLast(const std::string& path) {
    CParsers facade(path);
    if (!facade.IsOpened()) return false;
    facade.FilterTracks();
    if (!facade.Read()) return false;
    facade.SeekBackward();
    return facade.ReadBackward() != nullptr;
}

// Opens the file, reads `bytes` bytes from its start and closes it.
void ReadBytes(const std::string& path, std::vector<char>& buffer, std::size_t bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(fd, buffer.data() + done, bytes - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::stoi(argv[1]) : 300;
    const int rounds = 5;
    const fs::path folder =
        argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / fs::unique_path("facade-bench-%%%%");
    fs::create_directories(folder);
    const std::vector<std::string> paths = WriteRecordings(folder, files);
    WarmCache(paths);
    std::cout << "files: " << files << " of " << fs::file_size(paths[0]) << " bytes, " << rounds << " rounds\n";

    // Facade: the first round also counts the bytes read per file.
    const std::uint64_t before = BytesReadSoFar();
    for (const std::string& path : paths) {
        if (!FirstAndLast(path)) {
            std::cerr << "no first or last packet in " << path << "\n";
            return 1;
        }
    }
    const std::uint64_t bytesPerFile = (BytesReadSoFar() - before) / paths.size();
    const auto facadeStart = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const std::string& path : paths) FirstAndLast(path);
    }
    const double facadeUs =
        std::chrono::duration<double, std::micro>(Clock::now() - facadeStart).count() / (rounds * files);

    std::vector<char> buffer(bytesPerFile + 1);
    const auto readStart = Clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const std::string& path : paths) ReadBytes(path, buffer, bytesPerFile);
    }
    const double readUs =
        std::chrono::duration<double, std::micro>(Clock::now() - readStart).count() / (rounds * files);

    std::printf("facade (open, filter, first, seek back, last, close): %.1f us per file, %llu bytes read\n", facadeUs,
                static_cast<unsigned long long>(bytesPerFile));
    std::printf("open, read %llu bytes, close:                          %.1f us per file\n",
                static_cast<unsigned long long>(bytesPerFile), readUs);
    std::printf("ratio: %.1f\n", facadeUs / readUs);
    if (argc <= 2) fs::remove_all(folder);
    return 0;
}
