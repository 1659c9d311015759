#include <algorithm>
#include <cmath>
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

constexpr std::uint64_t kLargeFile = 1u << 30;

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

std::vector<std::uint64_t> Offsets(const SampleTable& table) {
    std::vector<std::uint64_t> offsets;
    for (const IndexEntry& e : table.entries) offsets.push_back(e.offset);
    return offsets;
}

std::vector<double> Times(const SampleTable& table) {
    std::vector<double> times;
    for (std::uint32_t i = 0; i < table.count; ++i) times.push_back(table.TimeOf(i));
    return times;
}

std::vector<std::uint32_t> KeyFrames(const SampleTable& table) {
    std::vector<std::uint32_t> keys;
    for (std::uint32_t i = 0; i < table.entries.size(); ++i)
        if (table.entries[i].sync) keys.push_back(i);
    return keys;
}

void ExpectTimes(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], 1e-12) << "sample " << i;
}

TEST(SampleTableTest, OffsetsFromChunkRuns) {
    struct Case {
        const char* name;
        std::vector<SampleToChunkEntry> runs;
        std::vector<std::uint64_t> chunks;
        std::uint32_t samples;
        std::vector<std::uint64_t> expected;
    };
    const Case cases[] = {
        {"runs of 3 then 1", {{1, 3, 1, 0}, {3, 1, 1, 0}}, {100, 200, 300, 400}, 8,
         {100, 110, 120, 200, 210, 220, 300, 400}},
        {"more samples than chunks hold", {{1, 2, 1, 0}}, {100, 200}, 6, {100, 110, 200, 210, 0, 0}},
        {"repeated first chunk takes the last run", {{1, 5, 1, 0}, {1, 2, 1, 0}}, {100, 200}, 4, {100, 110, 200, 210}},
        {"no stsc", {}, {100}, 2, {0, 0}},
        {"no stco", {{1, 1, 1, 0}}, {}, 2, {0, 0}},
        {"empty runs", {{1, 0, 1, 0}, {3, 1, 1, 0}}, {100, 200, 300}, 2, {300, 0}},
        {"offsets beyond 4 GiB", {{1, 2, 1, 0}}, {0x100000010ull}, 2, {0x100000010ull, 0x10000001Aull}},
    };
    for (const Case& c : cases) {
        TrackDescription t = TrackOf(c.samples, 10, 600);
        t.sampleToChunk = c.runs;
        t.chunkOffsets = StoredNumbers::Of(c.chunks);
        EXPECT_EQ(Offsets(BuildSampleTable(t, 1000, kLargeFile)), c.expected) << c.name;
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
        {"numbers outside 1..N ignored", true, {0, 10, 11, 0xFFFFFFFF}, {9}},
        {"empty stss: none", true, {}, {}},
    };
    for (const Case& c : cases) {
        TrackDescription t = TrackOf(10, 10, 600);
        t.hasSyncSamples = c.hasStss;
        t.syncSamples = c.numbers;
        EXPECT_EQ(KeyFrames(BuildSampleTable(t, 1000, kLargeFile)), c.expected) << c.name;
    }
}

TEST(SampleTableTest, TimesFromDeltasEditsAndOffsets) {
    struct Case {
        const char* name;
        std::function<void(TrackDescription&)> setup;
        std::uint32_t movieTimescale;
        std::vector<double> times;
        double startOffset;
        double editDuration;
    };
    const Case cases[] = {
        {"timescale 600, deltas of 20", [](TrackDescription&) {}, 1000, {0, 1 / 30.0, 2 / 30.0}, 0, 60 / 600.0},
        {"empty edit of one second",
         [](TrackDescription& t) { t.editList = {{1000, -1, 0x10000}, {500, 0, 0x10000}}; }, 1000,
         {0, 1 / 30.0, 2 / 30.0}, 1.0, 0.5},
        {"movie timescale 0 gives edits no length", [](TrackDescription& t) { t.editList = {{1000, -1, 0x10000}}; },
         0, {0, 1 / 30.0, 2 / 30.0}, 0, 60 / 600.0},
        {"composition offsets leave the decode times",
         [](TrackDescription& t) {
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 20}, {1, 0}, {1, 40}};
         },
         1000, {0, 1 / 30.0, 2 / 30.0}, 0, 60 / 600.0},
        {"mdhd timescale 0: no sample has a time", [](TrackDescription& t) { t.mdhd.timescale = 0; }, 1000, {}, 0, 0},
        {"stts covering two samples", [](TrackDescription& t) { t.timeToSample = {{2, 20}}; }, 1000,
         {0, 1 / 30.0}, 0, 40 / 600.0},
        {"ctts covering one sample",
         [](TrackDescription& t) {
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 5}};
         },
         1000, {0}, 0, 60 / 600.0},
    };
    for (const Case& c : cases) {
        TrackDescription t = TrackOf(3, 10, 600);
        t.timeToSample = {{3, 20}};
        c.setup(t);
        const SampleTable table = BuildSampleTable(t, c.movieTimescale, kLargeFile);
        SCOPED_TRACE(c.name);
        ExpectTimes(Times(table), c.times);
        EXPECT_DOUBLE_EQ(table.startOffset, c.startOffset);
        EXPECT_NEAR(table.editDuration, c.editDuration, 1e-12);
    }
}

// The parser answers times and counts from the runs alone and builds the
// entries only for tracks it reads; both ways must agree exactly.
TEST(SampleTableTest, SummaryAndRunTimesMatchTheFullTable) {
    struct Case {
        const char* name;
        std::function<void(TrackDescription&)> setup;
    };
    const Case cases[] = {
        {"one run", [](TrackDescription&) {}},
        {"several runs, some empty",
         [](TrackDescription& t) { t.timeToSample = {{0, 7}, {2, 20}, {0, 9}, {3, 33}, {1, 1}, {0, 4}}; }},
        {"runs covering fewer samples", [](TrackDescription& t) { t.timeToSample = {{2, 20}, {1, 5}}; }},
        {"sums that wrap", [](TrackDescription& t) { t.timeToSample = {{3, 0xF0000000u}, {3, 0x90000000u}}; }},
        {"no runs", [](TrackDescription& t) { t.timeToSample.clear(); }},
        {"edits", [](TrackDescription& t) { t.editList = {{1000, -1, 0x10000}, {500, 0, 0x10000}}; }},
        {"composition offsets covering four",
         [](TrackDescription& t) {
             t.hasCompositionOffsets = true;
             t.compositionOffsets = {{1, 20}, {0, 3}, {3, 40}};
         }},
        {"timescale 0", [](TrackDescription& t) { t.mdhd.timescale = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackDescription t = TrackOf(6, 10, 600);
        t.timeToSample = {{6, 20}};
        c.setup(t);
        const SampleTable full = BuildSampleTable(t, 1000, kLargeFile);
        const SampleTable summary = SummariseSampleTable(t, 1000, kLargeFile);
        EXPECT_EQ(summary.count, full.count);
        EXPECT_EQ(summary.startOffset, full.startOffset);
        EXPECT_EQ(summary.editDuration, full.editDuration);
        EXPECT_TRUE(summary.entries.empty());
        const DecodeTimes times(t);
        for (std::uint32_t i = 0; i < full.count; ++i) EXPECT_EQ(times.TimeOf(i), full.TimeOf(i)) << "sample " << i;
        for (double x : {-1.0, 0.0, 0.01, 0.05, 0.1, 0.2, 1e9}) {
            EXPECT_EQ(FindSampleAtTime(summary.count, summary.startOffset, x, 0,
                                       [&](std::uint32_t i) { return times.TimeOf(i); }),
                      FindSampleAtTime(full, x, 0))
                << "x " << x;
        }
    }
}

// Random chunk runs, chunk lists, sizes and key-frame lists, including the
// odd ones a damaged file holds (runs out of order, repeated first chunks,
// runs without samples, too few chunks, unsorted key frames): the locator
// must give every sample the full table's offset, size and flag, in any
// order of asking.
TEST(SampleTableTest, LocatorMatchesTheFullTableEntryForEntry) {
    std::uint32_t seed = 12345;
    auto next = [&](std::uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int round = 0; round < 400; ++round) {
        TrackDescription t;
        t.mdhd.timescale = 600;
        t.stsz.sampleCount = next(40);
        t.stsz.sampleSize = next(3) == 0 ? 1 + next(50) : 0;
        std::vector<std::uint64_t> sizes;
        if (t.stsz.sampleSize == 0)
            for (std::uint32_t i = 0; i < t.stsz.sampleCount; ++i) sizes.push_back(next(100));
        t.stsz.sizes = StoredNumbers::Of(sizes, 4);
        t.timeToSample = {{t.stsz.sampleCount, 1}};
        const std::uint32_t runs = next(5);
        std::uint32_t first = 1;
        for (std::uint32_t r = 0; r < runs; ++r) {
            first = next(4) == 0 ? 1 + next(12) : first + next(4);
            t.sampleToChunk.push_back({first, next(5), 1, 0});
        }
        const std::uint32_t chunks = next(20);
        std::vector<std::uint64_t> offsets;
        for (std::uint32_t c = 0; c < chunks; ++c) offsets.push_back(1000 * (c + 1) + next(500));
        t.chunkOffsets = StoredNumbers::Of(offsets, next(2) == 0 ? 4 : 8);
        t.hasSyncSamples = next(2) == 0;
        for (std::uint32_t k = next(6); k > 0; --k) t.syncSamples.push_back(next(45));
        if (next(2) == 0) std::sort(t.syncSamples.begin(), t.syncSamples.end());

        const SampleTable full = BuildSampleTable(t, 1000, kLargeFile);
        const SampleLocator locator(t);
        // Forwards, backwards and jumping about: the locator steps from the
        // sample it found last.
        std::vector<std::uint32_t> order;
        for (std::uint32_t j = 0; j < t.stsz.sampleCount; ++j) order.push_back(j);
        for (std::uint32_t j = t.stsz.sampleCount; j > 0; --j) order.push_back(j - 1);
        for (std::uint32_t k = 0; k < t.stsz.sampleCount; ++k) order.push_back(next(t.stsz.sampleCount));
        for (const std::uint32_t j : order) {
            const IndexEntry e = locator.EntryAt(j);
            ASSERT_EQ(e.offset, full.entries[j].offset) << "round " << round << " sample " << j;
            ASSERT_EQ(e.size, full.entries[j].size) << "round " << round << " sample " << j;
            ASSERT_EQ(e.sync, full.entries[j].sync) << "round " << round << " sample " << j;
        }
    }
}

TEST(SampleTableTest, CompositionTimesAddTheOffsets) {
    TrackDescription t = TrackOf(3, 10, 600);
    t.timeToSample = {{3, 20}};
    t.hasCompositionOffsets = true;
    t.compositionOffsets = {{1, 20}, {1, 0}, {1, 40}};
    const SampleTable table = BuildSampleTable(t, 1000, kLargeFile);
    EXPECT_NEAR(table.entries[0].compositionTime, 20 / 600.0, 1e-12);
    EXPECT_NEAR(table.entries[1].compositionTime, 20 / 600.0, 1e-12);
    EXPECT_NEAR(table.entries[2].compositionTime, 80 / 600.0, 1e-12);
    EXPECT_NEAR(table.entries[2].decodeTime, 40 / 600.0, 1e-12);
}

TEST(SampleTableTest, FindsTheSampleAtOrBeforeATime) {
    TrackDescription t = TrackOf(5, 10, 1000);
    t.timeToSample = {{5, 40}};  // 0, 0.04, 0.08, 0.12, 0.16 s
    SampleTable table = BuildSampleTable(t, 1000, kLargeFile);
    struct Case {
        double x;
        double startOffset;
        std::int64_t expected;
    };
    const Case cases[] = {
        {0, 0, 0},     {0.04, 0, 1},  {0.05, 0, 1},   {0.119, 0, 2},  {0.15, 0, 3},
        // The estimate reaches the count at the last sample's time already;
        // seeking lowers it to the last sample.
        {0.16, 0, 5},  {0.17, 0, 5},  {-0.01, 0, -1}, {100, 0, 5},    {4294967295.0 + 4294967.295, 0, 5},
        {1.05, 1.0, 1}, {0.99, 1.0, -1},
    };
    for (const Case& c : cases) {
        table.startOffset = c.startOffset;
        EXPECT_EQ(FindSampleAtTime(table, c.x, 0), c.expected) << "x " << c.x << " start " << c.startOffset;
    }
    SampleTable empty;
    EXPECT_EQ(FindSampleAtTime(empty, 1, 0), -1);
    TrackDescription single = TrackOf(1, 10, 1000);
    EXPECT_EQ(FindSampleAtTime(BuildSampleTable(single, 1000, kLargeFile), 0, 0), 0);
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
    const SampleTable& table = parser.SampleTables().at(0);
    EXPECT_EQ(Offsets(table), layout.sampleOffsets.at(0));
    EXPECT_EQ(KeyFrames(table), (std::vector<std::uint32_t>{0, 30}));
    EXPECT_EQ(table.count, 40u);
    EXPECT_DOUBLE_EQ(table.startOffset, 1.0);
    EXPECT_NEAR(table.TimeOf(3), 60 / 600.0, 1e-12);
    EXPECT_NEAR(table.entries[3].compositionTime, 100 / 600.0, 1e-12);
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
        {"mp4v, MPEG-4 visual", "mp4v", 0x20, 4}, {"mp4v, JPEG", "mp4v", 0x6C, 1},  {"mp4v, other", "mp4v", 0x40, 0},
        {"avc1", "avc1", 0, 8},                   {"hev1", "hev1", 0, 16},           {"s263", "s263", 0, 2},
        {"samr", "samr", 0, 0x1000},              {"ulaw", "ulaw", 0, 0x2000},       {"alaw", "alaw", 0, 0x4000},
        {"g722", "g722", 0, 256},                 {"g726", "g726", 0, 0x8000},       {"g729", "g729", 0, 512},
        {"mp4a", "mp4a", 0, 0x400},               {"metx", "metx", 0, 0x20000},     {"unknown", "abcd", 0, 0},
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
