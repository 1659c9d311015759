#include "repair/read_ahead.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "media/box_header.h"
#include "platform/page_cache.h"

namespace {

// Enough for the box headers and the first and last samples of a
// recording's usual frames (a longer sample is read on by the system's own
// read-ahead). Every byte more costs a cold disk time: 8 KiB at both ends took
// a cold run of a thousand recordings from 1.25 to 1.0 times the disk's
// parallel floor, against 16 KiB, whose end of the media data also reached
// past the tail asked for first and cost a request of its own.
constexpr std::int64_t kMediaEdge = 8 * 1024;
// A movie box beyond this is left to the reader's own requests.
constexpr std::int64_t kLargestMovie = 16 * 1024 * 1024;
constexpr int kMostTopLevelBoxes = 64;
// Recorders write the movie after the media data: a cold recording's tail is
// asked for at once, beside its head, so that the disk fetches both while
// the box headers are still being read. Enough for the movie of a one-minute
// recording and its last samples; a longer movie costs one more request.
constexpr std::int64_t kLikelyTail = 32 * 1024;
// The indexing wakes a worker once the window has opened by this many files:
// a wake-up costs the indexing more than a warm file, and a quarter of the
// window is still far enough ahead of it.
constexpr std::uint64_t kWakeEvery = 16;

struct TopLevelBox {
    std::int64_t size = 0;  // header included
    char type[4] = {};
};

// The read-ahead's own header rule: it must never fail the indexing, so a
// header that cannot be read or does not fit the file ends its walk, and a
// size of 0 is taken as "to the end of the file", which warms more, not less.
bool ReadBoxHeader(const platform::CacheFile& file, std::int64_t offset, std::int64_t fileSize, TopLevelBox& box) {
    std::uint8_t header[kBoxSizeAndTypeLength + kLargeBoxSizeLength];
    const std::int64_t got = file.ReadAt(header, sizeof header, offset);
    if (got < static_cast<std::int64_t>(kBoxSizeAndTypeLength)) return false;
    std::memcpy(box.type, header + 4, 4);
    DecodedBoxHeader decoded;
    if (DecodeBoxSizeAndType(header, decoded)) {
        if (got < static_cast<std::int64_t>(sizeof header)) return false;
        DecodeLargeBoxSize(header + kBoxSizeAndTypeLength, decoded);
        if (decoded.size > static_cast<std::uint64_t>(fileSize)) return false;
    }
    const bool toTheEnd = !decoded.largeSize && decoded.size == 0;
    box.size = toTheEnd ? fileSize - offset : static_cast<std::int64_t>(decoded.size);
    return box.size >= 8 && box.size <= fileSize - offset;
}

}  // namespace

std::vector<ByteRange> RangesToWarm(const platform::CacheFile& file) {
    std::vector<ByteRange> ranges;
    ranges.reserve(3);  // the movie and both ends of the media data
    const std::int64_t size = file.Size();
    if (size <= 0) return ranges;
    std::int64_t offset = 0;
    TopLevelBox box;
    bool movieFound = false;
    for (int i = 0; i < kMostTopLevelBoxes && offset < size && ReadBoxHeader(file, offset, size, box); ++i) {
        if (std::memcmp(box.type, "moov", 4) == 0) {
            ranges.push_back({offset, std::min(box.size, kLargestMovie)});
            movieFound = true;
        }
        if (std::memcmp(box.type, "mdat", 4) == 0) {
            ranges.push_back({offset, std::min(box.size, kMediaEdge)});
            ranges.push_back(
                {offset + std::max<std::int64_t>(0, box.size - kMediaEdge), std::min(box.size, kMediaEdge)});
        }
        offset += box.size;
    }
    // No movie at the top: a file embedded in a larger one, found from its trailer.
    if (!movieFound) ranges.push_back({std::max<std::int64_t>(0, size - kMediaEdge), kMediaEdge});
    return ranges;
}

void StartReadingEnds(const platform::CacheFile& file) {
    const std::int64_t size = file.Size();
    if (size <= 0) return;
    file.WillNeed(0, std::min(size, kMediaEdge));
    if (size > kMediaEdge) file.WillNeed(std::max(kMediaEdge, size - kLikelyTail), kLikelyTail);
}

void WarmRecording(const platform::CacheFile& file) {
    for (const ByteRange& range : RangesToWarm(file)) file.WillNeed(range.offset, range.length);
}

void WarmRecording(const std::string& path) { WarmRecording(platform::CacheFile(path)); }

// One worker to start with; the others only once recordings turn out to come
// from the disk (a warm run never needs them).
ReadAhead::ReadAhead(std::size_t filesAhead, unsigned threads) : filesAhead_(filesAhead), mostWorkers_(threads) {
    if (threads > 0) workers_.emplace_back([this] { Work(); });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ReadAhead::Append(Recordings files) {
    if (!files || files->empty()) return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::uint64_t first = appended_;
        appended_ += files->size();
        upcoming_.push_back({std::move(files), 0, first});
    }
    changed_.notify_all();
}

// What the indexing has passed is no longer worth warming.
void ReadAhead::DropPassed() {
    const std::uint64_t started = started_.load();
    while (!upcoming_.empty()) {
        Upcoming& front = upcoming_.front();
        const std::uint64_t end = front.sequence + (front.files->size() - front.next);
        if (end <= started) {
            upcoming_.pop_front();
        } else {
            if (front.sequence < started) {
                front.next += static_cast<std::size_t>(started - front.sequence);
                front.sequence = started;
            }
            return;
        }
    }
}

bool ReadAhead::CanTake() {
    DropPassed();
    return !upcoming_.empty() && upcoming_.front().sequence < started_.load() + filesAhead_;
}

// Waking a worker costs more than a warm file's whole indexing: the window
// opens by a few files first, and one worker is woken. A wake-up that a worker
// misses while it goes to sleep only delays it to the next one.
void ReadAhead::FileStarted() {
    if (++started_ % kWakeEvery == 0) changed_.notify_one();
}

// An idle worker, or a new one while there are fewer than allowed (none when
// the system cannot start one: the warming only runs slower).
void ReadAhead::WakeAnother() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (idle_ == 0) {
            if (stopping_ || workers_.size() >= mostWorkers_) return;
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
            }
            return;
        }
    }
    changed_.notify_one();
}

// A worker whose recording must come from the disk wakes the next one and
// asks for both ends of the file before it waits, so that the disk gets as
// many requests at once as there are workers; one whose recording's head is
// cached warms it (unless its tail is cached too, as in a warm run) and goes
// on alone, since waking another would cost more than the warming.
void ReadAhead::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        changed_.wait(lock, [this] { return stopping_ || CanTake(); });
        --idle_;
        if (stopping_) return;
        Upcoming& front = upcoming_.front();
        const Recordings files = front.files;  // keeps the list alive while unlocked
        const std::string& path = (*files)[front.next];
        ++front.next;
        ++front.sequence;
        if (front.next == files->size()) upcoming_.pop_front();
        const bool more = CanTake();
        lock.unlock();
        const platform::CacheFile file(path);
        const bool headCached = file.IsCached(0);
        if (!headCached) {
            if (more) WakeAnother();
            StartReadingEnds(file);
        }
        if (!headCached || !file.IsCached(file.Size() - 1)) WarmRecording(file);
        lock.lock();
    }
}
