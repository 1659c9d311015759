// repair_floor <storage>
//
// The least work that reading a recording's first and last times can cost:
// for every recording of the storage (new structure) open it, read the
// top-level box headers, read the moov box, find the video track's first and
// last samples in it and read them, close. Every read is a pread of exactly the
// bytes needed. Prints the recordings per second and the bytes read per file.
//
// With --slice i/K it reads only the i-th of K equal runs of the recordings,
// so that K processes together give the floor of a disk with K requests in
// flight; see cold_bench.sh.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace fs = boost::filesystem;

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
std::uint64_t Be64(const std::uint8_t* p) { return (std::uint64_t{Be32(p)} << 32) | Be32(p + 4); }

struct Span {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

// The body of the first child box of the given type, or an empty span.
Span Child(Span parent, const char* type) {
    std::size_t at = 0;
    while (at + 8 <= parent.size) {
        const std::uint32_t size = Be32(parent.data + at);
        if (size < 8 || size > parent.size - at) return {};
        if (std::memcmp(parent.data + at + 4, type, 4) == 0) return {parent.data + at + 8, size - 8};
        at += size;
    }
    return {};
}

// Every child box of the given type.
std::vector<Span> Children(Span parent, const char* type) {
    std::vector<Span> found;
    std::size_t at = 0;
    while (at + 8 <= parent.size) {
        const std::uint32_t size = Be32(parent.data + at);
        if (size < 8 || size > parent.size - at) break;
        if (std::memcmp(parent.data + at + 4, type, 4) == 0) found.push_back({parent.data + at + 8, size - 8});
        at += size;
    }
    return found;
}

struct SampleSpan {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

bool SampleSize(Span stsz, std::uint32_t index, std::uint32_t& size) {
    if (stsz.size < 12) return false;
    const std::uint32_t common = Be32(stsz.data + 4);
    const std::uint32_t count = Be32(stsz.data + 8);
    if (index >= count) return false;
    if (common != 0) {
        size = common;
        return true;
    }
    if (12 + 4 * std::size_t{index} + 4 > stsz.size) return false;
    size = Be32(stsz.data + 12 + 4 * index);
    return true;
}

// The first and last samples of the video track, from stsz, stsc and stco/co64.
bool VideoSamples(Span moov, SampleSpan& first, SampleSpan& last) {
    for (Span trak : Children(moov, "trak")) {
        const Span mdia = Child(trak, "mdia");
        const Span hdlr = Child(mdia, "hdlr");
        if (hdlr.size < 12 || std::memcmp(hdlr.data + 8, "vide", 4) != 0) continue;
        const Span stbl = Child(Child(mdia, "minf"), "stbl");
        const Span stsz = Child(stbl, "stsz");
        const Span stsc = Child(stbl, "stsc");
        Span chunks = Child(stbl, "stco");
        const bool wide = chunks.size == 0;
        if (wide) chunks = Child(stbl, "co64");
        if (stsz.size < 12 || stsc.size < 8 || chunks.size < 8) return false;
        const std::uint32_t samples = Be32(stsz.data + 8);
        const std::uint32_t chunkCount = Be32(chunks.data + 4);
        const std::uint32_t runs = Be32(stsc.data + 4);
        if (samples == 0 || chunkCount == 0 || runs == 0 || 8 + 12 * std::size_t{runs} > stsc.size ||
            8 + (wide ? 8 : 4) * std::size_t{chunkCount} > chunks.size) {
            return false;
        }
        auto chunkOffset = [&](std::uint32_t chunk) {
            return wide ? Be64(chunks.data + 8 + 8 * std::size_t{chunk})
                        : Be32(chunks.data + 8 + 4 * std::size_t{chunk});
        };
        first.offset = chunkOffset(0);
        if (!SampleSize(stsz, 0, first.size)) return false;
        // Walk the runs of stsc to the chunk that holds the last sample.
        std::uint32_t sample = 0;
        for (std::uint32_t run = 0; run < runs; ++run) {
            const std::uint8_t* entry = stsc.data + 8 + 12 * std::size_t{run};
            const std::uint32_t firstChunk = Be32(entry) - 1;
            const std::uint32_t perChunk = Be32(entry + 4);
            const std::uint32_t endChunk = run + 1 < runs ? Be32(entry + 12) - 1 : chunkCount;
            if (perChunk == 0 || endChunk > chunkCount || endChunk < firstChunk) return false;
            const std::uint64_t inRun = std::uint64_t{endChunk - firstChunk} * perChunk;
            if (sample + inRun < samples) {
                sample += static_cast<std::uint32_t>(inRun);
                continue;
            }
            const std::uint32_t chunk = firstChunk + (samples - 1 - sample) / perChunk;
            std::uint32_t index = sample + (chunk - firstChunk) * perChunk;
            std::uint64_t offset = chunkOffset(chunk);
            for (std::uint32_t size = 0; index < samples - 1; ++index) {
                if (!SampleSize(stsz, index, size)) return false;
                offset += size;
            }
            last.offset = offset;
            return SampleSize(stsz, samples - 1, last.size);
        }
        return false;
    }
    return false;
}

bool ReadExactly(int fd, void* into, std::size_t size, std::uint64_t offset, std::uint64_t& bytesRead) {
    const ssize_t n = ::pread(fd, into, size, static_cast<off_t>(offset));
    if (n < 0 || static_cast<std::size_t>(n) != size) return false;
    bytesRead += size;
    return true;
}

// The reads the indexing cannot do without, for one recording.
bool ReadFloor(const std::string& path, std::vector<std::uint8_t>& buffer, std::uint64_t& bytesRead) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat status;
    bool ok = ::fstat(fd, &status) == 0;
    const std::uint64_t fileSize = ok ? static_cast<std::uint64_t>(status.st_size) : 0;
    std::uint64_t at = 0, moovAt = 0, moovSize = 0;
    std::uint8_t header[16];
    while (ok && at + 8 <= fileSize) {
        if (!ReadExactly(fd, header, 8, at, bytesRead)) break;
        std::uint64_t size = Be32(header);
        std::uint64_t headerSize = 8;
        if (size == 1) {
            if (!ReadExactly(fd, header + 8, 8, at + 8, bytesRead)) break;
            size = Be64(header + 8);
            headerSize = 16;
        } else if (size == 0) {
            size = fileSize - at;
        }
        if (size < headerSize || size > fileSize - at) break;
        if (std::memcmp(header + 4, "moov", 4) == 0) {
            moovAt = at + headerSize;
            moovSize = size - headerSize;
        }
        at += size;
    }
    SampleSpan first, last;
    ok = ok && moovSize != 0;
    if (ok) {
        buffer.resize(moovSize);
        ok = ReadExactly(fd, buffer.data(), moovSize, moovAt, bytesRead) &&
             VideoSamples({buffer.data(), buffer.size()}, first, last);
    }
    if (ok) {
        std::vector<std::uint8_t> sample(std::max(first.size, last.size));
        ok = ReadExactly(fd, sample.data(), first.size, first.offset, bytesRead) &&
             ReadExactly(fd, sample.data(), last.size, last.offset, bytesRead);
    }
    ::close(fd);
    return ok;
}

std::vector<std::string> Recordings(const fs::path& storage) {
    std::vector<std::string> files;
    for (fs::directory_iterator day(storage), end; day != end; ++day) {
        if (!fs::is_directory(day->path())) continue;
        for (fs::directory_iterator location(day->path()); location != end; ++location) {
            if (!fs::is_directory(location->path())) continue;
            for (fs::directory_iterator file(location->path()); file != end; ++file) {
                if (file->path().extension() == ".3gp") files.push_back(file->path().string());
            }
        }
    }
    // In name order, which is the serial order the repair reads in, and the
    // same in every process of a sliced run.
    std::sort(files.begin(), files.end());
    return files;
}

// Drops a file's pages from the cache, so that the next read goes to the disk.
void Evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);  // dirty pages cannot be dropped
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// "i/K" with i < K, or false.
bool ParseSlice(const std::string& text, unsigned& index, unsigned& count) {
    char rest = 0;
    return std::sscanf(text.c_str(), "%u/%u%c", &index, &count, &rest) == 2 && count > 0 && index < count;
}

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// repair_floor <storage>          warm cache: five rounds, the mean printed
// repair_floor <storage> --cold   every file evicted just before it is read, one round
// repair_floor <storage> --evict  only evict every file (before a cold run of the tool)
// ... --slice i/K                 only the i-th of K runs of the recordings; the process
//                                 stops itself once it is ready (SIGCONT starts it), and
//                                 prints its start and end on the steady clock
int main(int argc, char** argv) {
    std::string mode;
    bool sliced = false;
    unsigned slice = 0, slices = 1;
    bool usage = argc < 2;
    for (int i = 2; i < argc && !usage; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--cold" || arg == "--evict") && mode.empty()) {
            mode = arg;
        } else if (arg == "--slice" && !sliced && i + 1 < argc && ParseSlice(argv[i + 1], slice, slices)) {
            sliced = true;
            ++i;
        } else {
            usage = true;
        }
    }
    if (usage) {
        std::fprintf(stderr, "usage: repair_floor <storage> [--cold | --evict] [--slice i/K]\n");
        return 2;
    }
    std::vector<std::string> files = Recordings(argv[1]);
    if (sliced) {
        const std::size_t begin = files.size() * slice / slices, end = files.size() * (slice + 1) / slices;
        files = std::vector<std::string>(files.begin() + begin, files.begin() + end);
    }
    if (mode == "--evict") {
        for (const std::string& path : files) Evict(path);
        return 0;
    }
    const bool cold = mode == "--cold";
    std::vector<std::uint8_t> buffer;
    std::uint64_t bytesRead = 0;
    const int rounds = cold ? 1 : 5;
    if (cold) {
        for (const std::string& path : files) Evict(path);
    }
    // The slices start together: the runner continues every process once all
    // have listed and evicted their recordings.
    if (sliced) ::raise(SIGSTOP);
    const std::int64_t startNs = SteadyNanoseconds();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < rounds; ++round) {
        for (const std::string& path : files) {
            if (!ReadFloor(path, buffer, bytesRead)) {
                std::fprintf(stderr, "cannot read the video samples of %s\n", path.c_str());
                return 1;
            }
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
    if (sliced)
        std::printf("floor_start_ns %lld\nfloor_end_ns %lld\nfloor_rounds %d\n", static_cast<long long>(startNs),
                    static_cast<long long>(SteadyNanoseconds()), rounds);
    std::printf("floor_files %zu\nfloor_seconds %.6f\nfloor_files_per_second %.0f\nfloor_bytes_per_file %.0f\n",
                files.size(), seconds, files.size() / seconds,
                static_cast<double>(bytesRead) / rounds / static_cast<double>(files.size()));
    return 0;
}
