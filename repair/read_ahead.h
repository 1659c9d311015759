#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Warms the page cache for the recordings that the indexing reads next, so
// that a cold disk serves several requests at once instead of one after
// another. It only ever reads: the indexing neither waits for it nor depends
// on anything it does, and a file it cannot read is simply passed over.
class ReadAhead {
public:
    // filesAhead: how far the warming may run ahead of the indexing;
    // threads: the most workers it starts.
    ReadAhead(std::size_t filesAhead, unsigned threads);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    using Recordings = std::shared_ptr<const std::vector<std::string>>;

    // Recordings in the order the indexing will read them; the list is shared,
    // not copied.
    void Append(Recordings files);
    // The indexing begins its next recording.
    void FileStarted();

private:
    // A list and the first of its recordings not yet taken.
    struct Upcoming {
        Recordings files;
        std::size_t next;
        std::uint64_t sequence;  // of files[next] in the whole walk
    };
    void DropPassed();
    bool CanTake();
    void WakeAnother();
    void Work();

    const std::size_t filesAhead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Upcoming> upcoming_;
    std::uint64_t appended_ = 0;
    // Counted by the indexing without the lock, so that it never waits for a worker.
    std::atomic<std::uint64_t> started_{0};
    bool stopping_ = false;
    const unsigned mostWorkers_;
    unsigned idle_ = 0;  // workers waiting for a recording
    // Grows under the lock until stopping_ is set, which is when it is joined.
    std::vector<std::thread> workers_;
};

namespace platform {
class CacheFile;
}

struct ByteRange {
    std::int64_t offset;
    std::int64_t length;
    bool operator==(const ByteRange& other) const { return offset == other.offset && length == other.length; }
};

// The bytes that the first and last packets come from, found from the
// recording's top-level box headers: the movie box and both ends of the media
// data (a file without a movie at its top: its end, where the trailer points).
std::vector<ByteRange> RangesToWarm(const platform::CacheFile& file);

// Asks the system to read the first bytes and the tail of a recording, where
// the ranges above usually lie, before its box headers are read.
void StartReadingEnds(const platform::CacheFile& file);

// Asks the system to read those ranges of a recording into its cache.
void WarmRecording(const platform::CacheFile& file);
void WarmRecording(const std::string& path);
