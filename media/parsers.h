#pragma once

// The one door through which the indexing reads a recording: it opens the
// file, narrows reading to the tracks the indexing uses, and hands out the
// packets forwards from the start and backwards from the end. Failures are
// reported on standard error and turn into "no packet".

#include <cstdint>
#include <memory>
#include <string>

struct TMediaPacket;

namespace ORVL {
namespace SDK {
namespace Brannock2 {
class MP4Parser;
}  // namespace Brannock2
namespace ViewWhileRecording {
class ViewWhileRecImpl;
}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL

class CParsers {
public:
    // Closes a reader with the reader's own entry point.
    struct ViewWhileRecCloser {
        void operator()(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader) const;
    };
    using ViewWhileRecReader = std::unique_ptr<ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl, ViewWhileRecCloser>;

    // Opens the ISO media parser on the file; IsOpened tells whether it could.
    explicit CParsers(const std::string& path);
    // Takes over a reader of a recording that is still being written; opened
    // when the reader is not null.
    explicit CParsers(ViewWhileRecReader reader);
    ~CParsers();
    CParsers(const CParsers&) = delete;
    CParsers& operator=(const CParsers&) = delete;

    bool IsOpened() const { return opened; }

    // Keeps the tracks with ids 1, 6, 7 and 8 (and those 32, 64, ... higher).
    void FilterTracks();
    // The next packet forwards, or null. The packet stays valid until the next
    // read or the facade's destruction.
    TMediaPacket* Read();
    // Positions at the end of the recording: 0 (or the reader's non-negative
    // code), negative on failure, -1 when not opened.
    std::int32_t SeekBackward();
    // The next packet backwards, or null.
    TMediaPacket* ReadBackward();

private:
    std::unique_ptr<ORVL::SDK::Brannock2::MP4Parser> isomParser;
    ViewWhileRecReader viewWhileRecReader;
    bool opened = false;
};
