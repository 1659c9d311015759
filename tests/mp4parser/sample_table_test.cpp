#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "box_builder.h"
#include "mp4parser/MP4Parser.h"
#include "mp4parser/SampleTable.h"
#include "tools/recording_writer/camera_recording.h"
#include "tools/recording_writer/recording_writer.h"

using namespace ORVL::SDK::Brannock2;

namespace {

TrackDescription TrackOf(std::uint32_t samples, std::uint32_t size, std::uint32_t timescale) {
    TrackDescription t;
    t.stsz.sampleCount = samples;
    t.stsz.sampleSize = size;
    t.mdhd.timescale = timescale;
    t.timeToSample = {{samples, 1}};
    t.sampleToChunk = {{1, 1, 1, 0}};
    std::vector<std::uint64_t> chunks;
    for (std::uint32_t i = 0; i < samples; ++i) chunks.push_back(1000 + 100 * i);
    t.chunkOffsets = StoredNumbers::Of(chunks);
    return t;
}

// Every sample's offset as the locator gives it. It steps from the sample it
// found last, so asking forwards, backwards and jumping about must agree.
std::vector<std::uint64_t> Offsets(const TrackDescription& t) {
    const SampleLocator locator(t);
    const std::uint32_t n = t.stsz.sampleCount;
    std::vector<std::uint64_t> forward(n), backward(n), zigzag(n);
    for (std::uint32_t j = 0; j < n; ++j) forward[j] = locator.EntryAt(j).offset;
    for (std::uint32_t j = n; j > 0; --j) backward[j - 1] = locator.EntryAt(j - 1).offset;
    for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t j = k % 2 == 0 ? k / 2 : n - 1 - k / 2;
        zigzag[j] = locator.EntryAt(j).offset;
    }
    EXPECT_EQ(backward, forward);
    EXPECT_EQ(zigzag, forward);
    return forward;
}

std::vector<std::uint32_t> KeyFrames(const TrackDescription& t) {
    const SampleLocator locator(t);
    std::vector<std::uint32_t> keys;
    for (std::uint32_t j = 0; j < t.stsz.sampleCount; ++j)
        if (locator.EntryAt(j).sync) keys.push_back(j);
    return keys;
}

TEST(SampleTableTest, OffsetsFromChunkRuns) {
    struct Case {
        const char* name;
        std::vector<SampleToChunkEntry> runs;
        std::vector<std::uint64_t> chunks;
        std::uint32_t samples;
        std::vector<std::uint32_t> sizes;  // empty: every sample 10 bytes
        std::vector<std::uint64_t> expected;
    };
    const Case cases[] = {
        {"runs of 3 then 1",
         {{1, 3, 1, 0}, {3, 1, 1, 0}},
         {100, 200, 300, 400},
         8,
         {},
         {100, 110, 120, 200, 210, 220, 300, 400}},
        {"sizes of their own",
         {{1, 5, 1, 0}, {2, 3, 1, 0}},
         {100, 200},
         8,
         {1, 2, 3, 4, 5, 6, 7, 8},
         {100, 101, 103, 106, 110, 200, 206, 213}},
        {"more samples than chunks hold", {{1, 2, 1, 0}}, {100, 200}, 6, {}, {100, 110, 200, 210, 0, 0}},
        {"repeated first chunk takes the last run",
         {{1, 5, 1, 0}, {1, 2, 1, 0}},
         {100, 200},
         4,
         {},
         {100, 110, 200, 210}},
        {"runs out of order", {{3, 1, 1, 0}, {1, 2, 1, 0}}, {100, 200, 300, 400}, 6, {}, {100, 200, 300, 400, 0, 0}},
        {"no stsc", {}, {100}, 2, {}, {0, 0}},
        {"no stco", {{1, 1, 1, 0}}, {}, 2, {}, {0, 0}},
        {"empty runs", {{1, 0, 1, 0}, {3, 1, 1, 0}}, {100, 200, 300}, 2, {}, {300, 0}},
        {"offsets beyond 4 GiB", {{1, 2, 1, 0}}, {0x100000010ull}, 2, {}, {0x100000010ull, 0x10000001Aull}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackDescription t = TrackOf(c.samples, c.sizes.empty() ? 10 : 0, 600);
        t.stsz.sizes = StoredNumbers::Of(std::vector<std::uint64_t>(c.sizes.begin(), c.sizes.end()), 4);
        t.sampleToChunk = c.runs;
        t.chunkOffsets = StoredNumbers::Of(c.chunks);
        EXPECT_EQ(Offsets(t), c.expected);
    }
}

TEST(SampleTableTest, KeyFramesFromSyncSamples) {
    struct Case {
        const char* name;
        bool hasStss;
        std::vector<std::uint32_t> numbers;
        std::vector<std::uint32_t> expected;
    };
    const Case cases[] = {
        {"no stss: every sample", false, {}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"1 and 6", true, {1, 6}, {0, 5}},
        {"listed out of order", true, {6, 1, 3}, {0, 2, 5}},
        {"numbers outside 1..N ignored", true, {0, 10, 11, 0xFFFFFFFF}, {9}},
        {"empty stss: none", true, {}, {}},
    };
    for (const Case& c : cases) {
        TrackDescription t = TrackOf(10, 10, 600);
        t.hasSyncSamples = c.hasStss;
        t.syncSamples = c.numbers;
        EXPECT_EQ(KeyFrames(t), c.expected) << c.name;
    }
}

// The count, start offset and edit duration of a track's table, and the time
// of every sample that has one, in ticks of the track's timescale of 600.
TEST(SampleTableTest, TimesFromDeltasEditsAndOffsets) {
    struct Case {
        const char* name;
        std::function<void(TrackDescription&)> setup;
        std::uint32_t movieTimescale;
        std::vector<double> ticks;
        double startOffset;
        double editDuration;
    };
    const auto sixSamples = [](TrackDescription& t, std::vector<TimeToSampleEntry> runs) {
        t.stsz.sampleCount = 6;
        t.timeToSample = std::move(runs);
    };
    const Case cases[] = {
        {"deltas of 20", [](TrackDescription&) {}, 1000, {0, 20, 40}, 0, 60 / 600.0},
        {"empty edit of one second",
         [](TrackDescription& t) {
             t.editList = {{1000, -1, 0x10000}, {500, 0, 0x10000}};
         },
         1000,
         {0, 20, 40},
         1.0,
         0.5},
        {"movie timescale 0 gives edits no length",
         [](TrackDescription& t) {
             t.editList = {{1000, -1, 0x10000}};
         },
         0,
         {0, 20, 40},
         0,
         60 / 600.0},
        {"composition offsets leave the decode times",
         [](TrackDescription& t) {
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 20}, {1, 0}, {1, 40}};
         },
         1000,
         {0, 20, 40},
         0,
         60 / 600.0},
        {"mdhd timescale 0: no sample has a time", [](TrackDescription& t) { t.mdhd.timescale = 0; }, 1000, {}, 0, 0},
        {"stts covering two samples",
         [](TrackDescription& t) {
             t.timeToSample = {{2, 20}};
         },
         1000,
         {0, 20},
         0,
         40 / 600.0},
        {"no stts", [](TrackDescription& t) { t.timeToSample.clear(); }, 1000, {}, 0, 0},
        {"ctts covering one sample",
         [](TrackDescription& t) {
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 5}};
         },
         1000,
         {0},
         0,
         60 / 600.0},
        {"ctts runs, one empty, covering four",
         [&](TrackDescription& t) {
             sixSamples(t, {{6, 20}});
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 20}, {0, 3}, {3, 40}};
         },
         1000,
         {0, 20, 40, 60},
         0,
         120 / 600.0},
        {"several stts runs, some empty",
         [&](TrackDescription& t) {
             sixSamples(t, {{0, 7}, {2, 20}, {0, 9}, {3, 33}, {1, 1}, {0, 4}});
         },
         1000,
         {0, 20, 40, 73, 106, 139},
         0,
         140 / 600.0},
        {"sums that wrap at 32 bits",
         [&](TrackDescription& t) {
             sixSamples(t, {{3, 0xF0000000u}, {3, 0x90000000u}});
         },
         1000,
         {0, 0xF0000000u, 0xE0000000u, 0xD0000000u, 0x60000000u, 0xF0000000u},
         0,
         0x80000000u / 600.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackDescription t = TrackOf(3, 10, 600);
        t.timeToSample = {{3, 20}};
        c.setup(t);
        const SampleTable table = SummariseSampleTable(t, c.movieTimescale);
        const DecodeTimes times(t);
        ASSERT_EQ(table.count, c.ticks.size());
        for (std::uint32_t i = 0; i < table.count; ++i) EXPECT_DOUBLE_EQ(times.TimeOf(i), c.ticks[i] / 600) << i;
        EXPECT_DOUBLE_EQ(table.startOffset, c.startOffset);
        EXPECT_NEAR(table.editDuration, c.editDuration, 1e-12);
    }
}

TEST(SampleTableTest, FindsTheSampleAtOrBeforeATime) {
    TrackDescription t = TrackOf(5, 10, 1000);
    t.timeToSample = {{5, 40}};  // 0, 0.04, 0.08, 0.12, 0.16 s
    const DecodeTimes times(t);
    const auto find = [&](std::uint32_t n, double startOffset, double x) {
        return FindSampleAtTime(n, startOffset, x, 0, [&](std::uint32_t i) { return times.TimeOf(i); });
    };
    struct Case {
        double x;
        double startOffset;
        std::int64_t expected;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0.04, 0, 1},
        {0.05, 0, 1},
        {0.119, 0, 2},
        {0.15, 0, 3},
        // The estimate reaches the count at the last sample's time already;
        // seeking lowers it to the last sample.
        {0.16, 0, 5},
        {0.17, 0, 5},
        {-0.01, 0, -1},
        {100, 0, 5},
        {4294967295.0 + 4294967.295, 0, 5},
        {1.05, 1.0, 1},
        {0.99, 1.0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(find(5, c.startOffset, c.x), c.expected) << "x " << c.x << " start " << c.startOffset;
    EXPECT_EQ(find(0, 0, 1), -1);
    EXPECT_EQ(find(1, 0, 0), 0);
}

// The same tables as the recording writer lays them out in a real file.
std::string WriteRecording(const std::string& name, const recording_writer::Recording& recording,
                           recording_writer::Layout* layout = nullptr) {
    const std::string path = boxbuild::TempPath(name);
    recording_writer::WriteRecording(recording, path, layout);
    return path;
}

recording_writer::Track VideoTrackOf(std::uint32_t samples) {
    recording_writer::Track t;
    t.entry.type = "avc1";
    t.timescale = 600;
    t.sizes.assign(samples, 40);
    t.durations = {20};
    return t;
}

TEST(SampleTableTest, TablesOfAWrittenRecording) {
    recording_writer::Recording recording;
    recording_writer::Track video = VideoTrackOf(40);
    video.samplesPerChunk = {3, 3, 1};
    video.writeStss = true;
    video.syncSamples = {1, 31};
    video.edits = {{1000, -1}, {2000, 0}};
    video.compositionOffsets.assign(40, 40);
    recording.tracks = {video};
    recording_writer::Layout layout;
    MP4Parser parser(WriteRecording("tables.3gp", recording, &layout));
    const TrackDescription& track = parser.GetMovie().tracks.at(0);
    EXPECT_EQ(Offsets(track), layout.sampleOffsets.at(0));
    EXPECT_EQ(KeyFrames(track), (std::vector<std::uint32_t>{0, 30}));
    const SampleTable table = SummariseSampleTable(track, parser.GetMovie().mvhd.timescale);
    EXPECT_EQ(table.count, 40u);
    EXPECT_DOUBLE_EQ(table.startOffset, 1.0);
    EXPECT_NEAR(DecodeTimes(track).TimeOf(3), 60 / 600.0, 1e-12);
    EXPECT_DOUBLE_EQ(parser.SmallestStartOffset(), 1.0);
}

TEST(SampleTableTest, CodecTableDecidesWhichTracksGetCursors) {
    struct Case {
        const char* name;
        std::string type;
        std::uint8_t objectType;
        std::uint32_t mediaType;  // 0: no cursor
    };
    const Case cases[] = {
        {"mp4v, MPEG-4 visual", "mp4v", 0x20, 4},
        {"mp4v, JPEG", "mp4v", 0x6C, 1},
        {"mp4v, other", "mp4v", 0x40, 0},
        {"avc1", "avc1", 0, 8},
        {"hev1", "hev1", 0, 16},
        {"s263", "s263", 0, 2},
        {"samr", "samr", 0, 0x1000},
        {"ulaw", "ulaw", 0, 0x2000},
        {"alaw", "alaw", 0, 0x4000},
        {"g722", "g722", 0, 256},
        {"g726", "g726", 0, 0x8000},
        {"g729", "g729", 0, 512},
        {"mp4a", "mp4a", 0, 0x400},
        {"metx", "metx", 0, 0x20000},
        {"unknown", "abcd", 0, 0},
    };
    for (const Case& c : cases) {
        recording_writer::Recording recording;
        recording_writer::Track track = VideoTrackOf(3);
        track.entry.type = c.type;
        track.entry.objectType = c.objectType;
        recording.tracks = {track};
        MP4Parser parser(WriteRecording("codec.3gp", recording));
        const std::vector<TrackCursor>& cursors = parser.TrackCursors();
        if (c.mediaType == 0) {
            EXPECT_TRUE(cursors.empty()) << c.name;
            continue;
        }
        ASSERT_EQ(cursors.size(), 1u) << c.name;
        EXPECT_EQ(cursors[0].mediaType, c.mediaType) << c.name;
    }
}

TEST(SampleTableTest, HeaderTracksArePairedWhenTheCountsAgree) {
    struct Case {
        const char* name;
        std::uint32_t headerSamples;
        std::int32_t expectedHeaderTrack;
    };
    const Case cases[] = {{"equal counts", 10, 1}, {"unequal counts", 9, -1}};
    for (const Case& c : cases) {
        recording_writer::Recording recording;
        recording_writer::Track video = VideoTrackOf(10);
        recording_writer::HeaderTrackOptions options;
        recording_writer::Track header = recording_writer::HeaderTrackFor(video, options);
        header.payloads.resize(c.headerSamples);
        header.sizes.resize(c.headerSamples);
        recording_writer::Track audio = VideoTrackOf(4);
        audio.trackId = 3;
        recording.tracks = {video, header, audio};
        MP4Parser parser(WriteRecording("paired.3gp", recording));
        const std::vector<TrackCursor>& cursors = parser.TrackCursors();
        ASSERT_EQ(cursors.size(), 2u) << c.name;  // the header track never gets a cursor
        EXPECT_EQ(cursors[0].headerTrack, c.expectedHeaderTrack) << c.name;
        EXPECT_EQ(cursors[1].trackIndex, 2);
        EXPECT_EQ(cursors[1].headerTrack, -1);
        EXPECT_EQ(cursors[1].trackIdMinus1, 2u);
    }
}

}  // namespace
