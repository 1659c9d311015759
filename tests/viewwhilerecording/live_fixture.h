#pragma once

// A recording file in a temporary folder that a live-region writer grows and
// readers follow.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/filesystem.hpp>

#include "ViewWhileRec.h"
#include "ViewWhileRecImpl.h"
#include "tools/live_writer/live_writer.h"

namespace livetest {

using live_writer::Bytes;
using ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl;

struct ReaderCloser {
    void operator()(ViewWhileRecImpl* reader) const { ViewWhileRec_Close(reader); }
};
using ReaderPtr = std::unique_ptr<ViewWhileRecImpl, ReaderCloser>;

// Seconds of a recorded time used throughout; packets differ in milliseconds.
constexpr std::uint32_t kBaseSeconds = 1330769700;
inline std::uint64_t TimeMs(std::uint32_t offsetMs) { return std::uint64_t{kBaseSeconds} * 1000 + offsetMs; }

// A video or audio packet at kBaseSeconds + offsetMs, its payload naming it.
live_writer::LivePacket Video(std::uint32_t offsetMs, bool key, std::uint8_t id);
live_writer::LivePacket Audio(std::uint32_t offsetMs, std::uint8_t id);
live_writer::BlockPair Pair(std::vector<live_writer::LivePacket> packets,
                            std::uint32_t kindCode = live_writer::kKindCodeVideo);

// What a delivered packet says about itself.
struct Seen {
    std::uint64_t timeMs;
    std::uint8_t id;  // first payload byte, 0 for an empty payload
    bool operator==(const Seen& o) const { return timeMs == o.timeMs && id == o.id; }
};
std::ostream& operator<<(std::ostream& out, const Seen& seen);
Seen Describe(const TMediaPacket& packet);
std::vector<std::uint8_t> Payload(const TMediaPacket& packet);

// Reads until a non-zero result; returns the packets and stores the result.
std::vector<Seen> ReadAll(ViewWhileRecImpl* reader, std::int32_t* lastResult = nullptr);
std::vector<std::uint8_t> Ids(const std::vector<Seen>& seen);

class LiveRecordingTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ReaderPtr OpenReader();
    // A fresh recording file (the old one is removed).
    void Restart();

    boost::filesystem::path folder;
    std::string path;
    std::unique_ptr<live_writer::LiveRecordingWriter> writer;
};

}  // namespace livetest
