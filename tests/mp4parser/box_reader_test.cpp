#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "box_builder.h"
#include "mp4parser/BoxHeader.h"
#include "mp4parser/MP4Parser.h"

using namespace ORVL::SDK::Brannock2;
using namespace boxbuild;

namespace {

// What opening a file gives: "ok" or the failure's text, prefixed by its kind.
std::string OpenResult(const std::string& path) {
    try {
        MP4Parser parser(path);
        return "ok";
    } catch (const MP4Parser::bad_format& e) {
        return std::string("bad_format: ") + e.what();
    } catch (const std::ios_base::failure& e) {
        return std::string("stream: ") + e.what();
    }
}

std::string OpenResult(const Bytes& bytes) { return OpenResult(WriteTempFile("box.mp4", bytes)); }

TrackSpec SimpleTrack(std::uint32_t trackId = 1) {
    TrackSpec t;
    t.trackId = trackId;
    t.samples = {NalSample(4, {{5, 10}}), NalSample(4, {{1, 6}})};
    return t;
}

Bytes SimpleMoov() { return Box("moov", Cat({Mvhd(1000), Trak(SimpleTrack(), {100, 200})})); }
Bytes SimpleMdat() { return Box("mdat", Bytes(16, 0xEE)); }

// The trailer of an embedded media file: magic, start and length, little-endian.
Bytes Trailer(const std::string& magic, std::uint32_t start, std::uint32_t length) {
    Writer w;
    w.Text(magic);
    for (std::uint32_t v : {start, length})
        for (int i = 0; i < 4; ++i) w.U8(v >> (8 * i));
    return w;
}

// prefix bytes, then a media file whose last box ("free") holds the trailer.
Bytes EmbeddedFile(const Bytes& prefix, const Bytes& mediaBoxes, const std::string& magic, std::int64_t lengthAdjust) {
    const std::uint32_t start = static_cast<std::uint32_t>(prefix.size());
    const std::uint32_t length = static_cast<std::uint32_t>(mediaBoxes.size() + 8 + 12);
    return Cat(
        {prefix, mediaBoxes, Box("free", Trailer(magic, start, static_cast<std::uint32_t>(length + lengthAdjust)))});
}

// prefix, media bytes and the trailer right after them, with the stored
// length given: the walk over the media file's boxes may end early (a box
// smaller than 8 bytes jumps past the end), leaving the trailer unwalked.
Bytes EmbeddedRaw(const Bytes& prefix, const Bytes& media, std::uint32_t storedLength) {
    return Cat({prefix, media, Trailer("ORVL", static_cast<std::uint32_t>(prefix.size()), storedLength)});
}

Bytes ForeignPrefix(std::size_t size) {
    Bytes prefix = Writer().U32(static_cast<std::uint32_t>(size)).Text("HDR0");
    prefix.resize(size, 0x11);
    return prefix;
}

// The walk from the start offset ends with 4 bytes: the trailer's last 4
// bytes lie after the last whole box.
Bytes CutShortEmbedded() {
    const Bytes trailer = Trailer("ORVL", 200, 99);
    const Bytes head(trailer.begin(), trailer.begin() + 8);
    const Bytes tail(trailer.begin() + 8, trailer.end());
    return Cat({ForeignPrefix(200), Box("free", Cat({Bytes(5, 0), head})), tail});
}

TEST(BoxReaderTest, TopLevelLayoutsAndTrailers) {
    const Bytes ftyp = Ftyp();
    const Bytes moov = SimpleMoov();
    const Bytes mdat = SimpleMdat();
    const Bytes mediaOnly = Cat({ftyp, moov, mdat});
    struct Case {
        const char* name;
        Bytes file;
        const char* expected;
    };
    const Case cases[] = {
        {"moov then mdat", Cat({ftyp, moov, mdat}), "ok"},
        {"mdat then moov", Cat({ftyp, mdat, moov}), "ok"},
        {"moov then an mdat cut short", Cat({ftyp, moov, Writer().U32(4000).Text("mdat").Zeros(16)}), "ok"},
        {"boxes after both are never read", Cat({ftyp, moov, mdat, Box("abcd", {})}), "ok"},
        {"zero words between boxes", Cat({ftyp, Bytes(4, 0), moov, Bytes(8, 0), mdat}), "ok"},
        {"zero words in an embedded file",
         EmbeddedFile(ForeignPrefix(200), Cat({ftyp, Bytes(4, 0), moov, mdat}), "ORVL", 0), "ok"},
        {"uuid passed over", Cat({ftyp, Box("uuid", Bytes(16 + 5, 0x75)), moov, mdat}), "ok"},
        {"uuid shorter than its extended type", Cat({ftyp, Box("uuid", Bytes(12, 0x75)), moov, mdat}),
         "bad_format: box smaller than its header"},
        {"free, skip, wide, udta, mfra",
         Cat({ftyp, Box("free", {}), Box("skip", {1}), Box("wide", {}), Box("udta", {}), Box("mfra", {}), moov, mdat}),
         "ok"},
        {"64-bit size", Cat({ftyp, LargeBox("free", Bytes(40, 1)), moov, mdat}), "ok"},
        {"unknown top-level box", EmbeddedFile(ForeignPrefix(200), Cat({ftyp, Box("abcd", {}), moov, mdat}), "ORVL", 0),
         "bad_format: unrecognized box"},
        {"box of size 4",
         EmbeddedRaw(ForeignPrefix(200), Cat({ftyp, moov, Writer().U32(4).Text("free")}),
                     static_cast<std::uint32_t>(ftyp.size() + moov.size() + 4)),
         "bad_format: box size < 8"},
        {"64-bit size below its header, no trailer", Cat({ftyp, mdat, Writer().U32(1).Text("free").U64(12), moov}),
         "stream: bad format"},
        {"64-bit size of 0 is no padding", Cat({ftyp, mdat, Writer().U32(1).Text("free").U64(0), moov}),
         "stream: bad format"},
        {"size 4, no trailer", Cat({ftyp, Writer().U32(4).Text("free"), moov, mdat}), "stream: bad format"},
        {"unknown box, no trailer", Cat({ftyp, Box("abcd", {}), moov, mdat}), "stream: bad format"},
        {"movie only, no trailer", Cat({ftyp, moov}), "stream: bad format"},
        {"mdat of size 0 needs the trailer", Cat({ftyp, Writer().U32(0).Text("mdat"), moov}), "stream: bad format"},
        {"shorter than a trailer", Bytes{0, 0, 0, 9, 'x'}, "stream: failed seeking"},
        {"embedded at 200", EmbeddedFile(ForeignPrefix(200), mediaOnly, "ORVL", 0), "ok"},
        {"embedded, stored length 1 short", EmbeddedFile(ForeignPrefix(200), mediaOnly, "ORVL", -1),
         "stream: bad format"},
        {"embedded, other magic", EmbeddedFile(ForeignPrefix(200), mediaOnly, "ORVX", 0), "stream: bad format"},
        {"embedded without mdat", EmbeddedFile(ForeignPrefix(200), Cat({ftyp, moov}), "ORVL", 0),
         "stream: end of file"},
        {"embedded box header cut short", CutShortEmbedded(), "stream: bad read"},
        {"empty file", Bytes{}, "stream: failed seeking"},
    };
    for (const Case& c : cases) EXPECT_EQ(OpenResult(c.file), c.expected) << c.name;
}

TEST(BoxReaderTest, EmbeddedFileReadsAsIfItBeganAtZero) {
    const Bytes media = Cat({Ftyp(), SimpleMoov(), SimpleMdat()});
    const Bytes file = EmbeddedFile(ForeignPrefix(200), media, "ORVL", 0);
    MP4Parser parser(WriteTempFile("embedded.mp4", file));
    EXPECT_EQ(parser.BaseOffset(), 200u);
    ASSERT_EQ(parser.GetMovie().trackCount, 1u);
    EXPECT_EQ(SampleLocator(parser.GetMovie().tracks[0]).EntryAt(1).offset, 200u);
}

TEST(BoxReaderTest, MovieFieldsOfBothHeaderVersions) {
    for (std::uint8_t version : {0, 1}) {
        MovieSpec movie;
        movie.mvhdVersion = version;
        movie.movieTimescale = 600;
        movie.tracks = {SimpleTrack(7)};
        movie.tracks[0].headerVersion = version;
        movie.tracks[0].timescale = 90000;
        movie.tracks[0].creationTime = version == 1 ? 0x123456789ull : 0x89ABCDEFull;
        MP4Parser parser(WriteTempFile("versions.mp4", MovieFile(movie)));
        const Movie& m = parser.GetMovie();
        EXPECT_EQ(m.mvhd.version, version);
        EXPECT_EQ(m.mvhd.timescale, 600u);
        EXPECT_EQ(m.mvhd.nextTrackId, 99u);
        const TrackDescription& t = m.tracks.at(0);
        EXPECT_EQ(t.tkhd.trackId, 7u);
        EXPECT_EQ(t.tkhd.creationTime, movie.tracks[0].creationTime);
        EXPECT_EQ(t.tkhd.width, 320u);
        EXPECT_EQ(t.mdhd.creationTime, movie.tracks[0].creationTime);
        EXPECT_EQ(t.mdhd.timescale, 90000u);
        EXPECT_EQ(t.mdhd.language, 0x55C4);
        EXPECT_EQ(t.handlerType, FourCC("vide"));
        EXPECT_EQ(t.stsz.Largest(), 14u);
    }
}

// A sound description: the 8 bytes in front of the channel count (a version,
// revision and vendor in QuickTime files), the fixed fields, the version's
// extra fields and the children.
Bytes SoundDescription(const std::string& type, const Bytes& lead, std::uint16_t channels, std::uint32_t sampleRate,
                       const Bytes& extra, const Bytes& children) {
    return Box(type, Writer()
                         .Zeros(6)
                         .U16(1)
                         .Raw(lead)
                         .U16(channels)
                         .U16(16)
                         .U16(0xFFFE)
                         .U16(0)
                         .U32(sampleRate << 16)
                         .Raw(extra)
                         .Raw(children));
}

TEST(BoxReaderTest, SampleEntriesOfEveryKind) {
    struct Case {
        const char* name;
        Bytes entry;
        std::uint8_t objectType;
        std::function<void(const SampleEntry&)> check;
    };
    const Bytes dsi = {0x11, 0x90};
    const Case cases[] = {
        {"mp4v", VisualEntry("mp4v", 176, 144, Esds(0x20, {0, 0, 1, 0xB0})), 0x20,
         [](const SampleEntry& e) {
             EXPECT_EQ(e.horizontalResolution, 0x00480000u);
             EXPECT_EQ(e.esds.decoderSpecificInfo.size(), 4u);
         }},
        {"avs2", VisualEntry("avs2", 176, 144, {}), 244, nullptr},
        {"s263", VisualEntry("s263", 176, 144, Box("d263", {1, 2, 3, 4, 5, 6, 7})), 242,
         [](const SampleEntry& e) { EXPECT_EQ(e.height, 144); }},
        {"hvc1", VisualEntry("hvc1", 64, 48, HvcC(1, {{0x40, 1, 2}})), 0,
         [](const SampleEntry& e) { EXPECT_EQ(e.hevcLengthSizeField, 1); }},
        {"mp4a", AudioEntry("mp4a", 2, 16, 48000, Esds(0x40, dsi)), 0x40,
         [&](const SampleEntry& e) {
             EXPECT_EQ(e.channelCount, 2);
             EXPECT_EQ(e.sampleRate, 48000u);
             EXPECT_EQ(e.esds.decoderSpecificInfo, dsi);
             EXPECT_EQ(e.esds.maxBitRate, 64000u);
         }},
        {"samr", AudioEntry("samr", 1, 16, 8000, Box("damr", {'a', 'b', 'c', 'd', 0, 0x81, 0xFF, 0, 1})), 0,
         [](const SampleEntry& e) { EXPECT_EQ(e.amrConfiguration.size(), 9u); }},
        {"g726", AudioEntry("g726", 1, 4, 8000, {}), 0, [](const SampleEntry& e) { EXPECT_EQ(e.sampleSize, 4); }},
        // The bytes in front of the channel count are not looked at.
        {"mp4a with non-zero reserved bytes",
         SoundDescription("mp4a", Writer().U16(1).U16(0).Text("abcd"), 2, 44100, {}, Esds(0x40, dsi)), 0x40,
         [](const SampleEntry& e) {
             EXPECT_EQ(e.channelCount, 2);
             EXPECT_EQ(e.sampleRate, 44100u);
         }},
        {"QuickTime version 1 AAC",
         SoundDescription("mp4a", Writer().U16(1).Zeros(6), 2, 48000, Writer().U32(1024).U32(0).U32(2).U32(2),
                          Box("wave", Cat({Box("frma", {'m', 'p', '4', 'a'}), Esds(0x40, dsi)}))),
         0, [](const SampleEntry& e) { EXPECT_EQ(e.sampleRate, 48000u); }},
        {"QuickTime version 1 mu-law",
         SoundDescription("ulaw", Writer().U16(1).Zeros(6), 1, 8000, Writer().U32(1).U32(1).U32(1).U32(2), {}), 0,
         [](const SampleEntry& e) { EXPECT_EQ(e.channelCount, 1); }},
        {"QuickTime version 2 A-law",
         SoundDescription(
             "alaw", Writer().U16(2).Zeros(6), 3, 1,
             Writer().U32(72).U64(0x40BF400000000000ull).U32(1).U32(0x7F000000).U32(8).U32(0).U32(1).U32(1), {}),
         0, [](const SampleEntry& e) { EXPECT_EQ(e.channelCount, 3); }},
        {"esds whose first tag is not 3", VisualEntry("mp4v", 176, 144, FullBox("esds", 0, 0, {4, 0})), 0, nullptr},
        // Descriptor lengths count down what is left but bound nothing; the
        // box's end does, and running into it keeps what was read.
        {"esds with a decoder configuration of length 0",
         VisualEntry("mp4v", 8, 8,
                     FullBox("esds", 0, 0, {3, 18, 0, 1, 0, 4, 0, 0x20, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
         0x20, nullptr},
        {"esds stream-dependence flag whose id bytes are scanned as tags",
         VisualEntry("mp4v", 8, 8, FullBox("esds", 0, 0, {3, 20, 0, 1, 0x80, 0, 2, 4, 13, 0x6C, 0x04,
                                                          0, 0,  0, 0, 0,    0, 0, 0, 0,  0,    0})),
         0x6C, nullptr},
        {"esds longer than its box", VisualEntry("mp4v", 8, 8, FullBox("esds", 0, 0, {3, 0x7F, 0, 1, 0})), 0, nullptr},
        {"esds decoder information beyond the box",
         AudioEntry("mp4a", 1, 16, 8000, FullBox("esds", 0, 0, {3, 20, 0, 1, 0, 4, 15, 0x40, 0x15, 0, 0, 0,
                                                                0, 0,  0, 0, 0, 0, 0,  0,    5,    9, 1})),
         0x40, [](const SampleEntry& e) { EXPECT_TRUE(e.esds.decoderSpecificInfo.empty()); }},
        {"avc1 with btrt and unknown child",
         VisualEntry("avc1", 16, 16,
                     Cat({AvcC(1, {}, {}), Box("btrt", Writer().U32(1).U32(2).U32(3)), Box("colr", {})})),
         241, [](const SampleEntry& e) { EXPECT_EQ(e.btrtAverageBitRate, 3u); }},
        {"unknown entry type", Box("zzzz", Bytes(30, 0)), 0, nullptr},
    };
    for (const Case& c : cases) {
        TrackSpec track = SimpleTrack();
        track.sampleEntry = c.entry;
        MovieSpec movie;
        movie.tracks = {track};
        MP4Parser parser(WriteTempFile("entry.mp4", MovieFile(movie)));
        const SampleEntry& entry = parser.GetMovie().tracks.at(0).sampleEntries.at(0);
        EXPECT_EQ(entry.objectType, c.objectType) << c.name;
        if (c.check) c.check(entry);
    }
}

// Boxes inside the movie that claim more than they have.
TEST(BoxReaderTest, MalformedInnerBoxesFailWithoutReadingPastThem) {
    const auto withStbl = [](const Bytes& extra) {
        TrackSpec t = SimpleTrack();
        t.extraStblChildren = extra;
        MovieSpec m;
        m.tracks = {t};
        return MovieFile(m);
    };
    const auto withEntry = [](const Bytes& entry) {
        TrackSpec t = SimpleTrack();
        t.sampleEntry = entry;
        MovieSpec m;
        m.tracks = {t};
        return MovieFile(m);
    };
    const auto moovWith = [](const Bytes& children) {
        return Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), children})), SimpleMdat()});
    };
    struct Case {
        const char* name;
        Bytes file;
        const char* expected;
    };
    const Case cases[] = {
        {"moov claims more than the file", Cat({Ftyp(), SimpleMdat(), Writer().U32(0x7FFFFFFF).Text("moov")}),
         "stream: end of file"},
        // Never allocated: the claim is checked against the file first.
        {"moov claims a TiB", Cat({Ftyp(), SimpleMdat(), Writer().U32(1).Text("moov").U64(1ull << 40)}),
         "stream: end of file"},
        {"huge stts count", withStbl(FullBox("stts", 0, 0, Writer().U32(0x40000000).U32(1).U32(1))),
         "bad_format: count exceeds box"},
        {"huge stsc count", withStbl(FullBox("stsc", 0, 0, Writer().U32(0x10000000))), "bad_format: count exceeds box"},
        {"huge stsz table", withStbl(FullBox("stsz", 0, 0, Writer().U32(0).U32(0xFFFFFFFF))),
         "bad_format: count exceeds box"},
        // Sizes are checked when a sample is read (see the reading tests).
        {"huge constant-size count", withStbl(FullBox("stsz", 0, 0, Writer().U32(100).U32(0x7FFFFFFF))), "ok"},
        {"sample larger than the file", withStbl(FullBox("stsz", 0, 0, Writer().U32(0).U32(1).U32(0xFFFFFFF0))), "ok"},
        {"huge stsd count", withStbl(FullBox("stsd", 0, 0, Writer().U32(0x20000000))), "bad_format: count exceeds box"},
        {"huge elst count", moovWith(Box("trak", Box("edts", FullBox("elst", 0, 0, Writer().U32(0x15555556))))),
         "bad_format: count exceeds box"},
        {"tkhd cut short", moovWith(Box("trak", FullBox("tkhd", 0, 0, Bytes(20, 0)))), "bad_format: read past box end"},
        // Its body is read as its size gives it, which reaches past the entry.
        {"configuration past the entry", withEntry(VisualEntry("avc1", 8, 8, Writer().U32(100).Text("avcC"))),
         "bad_format: read past box end"},
        {"table past its parent", withStbl(FullBox("stts", 0, 0, Writer().U32(3).U32(1).U32(1))),
         "bad_format: count exceeds box"},
    };
    for (const Case& c : cases) EXPECT_EQ(OpenResult(c.file), c.expected) << c.name;
}

// Bytes that reading passes over do not fail the file, whatever sizes they
// claim: the child loop ends at a child that claims more than its parent or
// less than its own header.
TEST(BoxReaderTest, MisstatedSizesOfPassedOverBoxesKeepTheFile) {
    const Bytes trak = Trak(SimpleTrack(), {0, 0});
    Bytes trakTooLong = trak;
    trakTooLong[3] += 4;  // claims the first 4 bytes of its neighbour, which then overruns it
    const auto moovWith = [](const Bytes& children) {
        return Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), children})), SimpleMdat()});
    };
    const auto withStbl = [](const Bytes& extra) {
        TrackSpec t = SimpleTrack();
        t.extraStblChildren = extra;
        MovieSpec m;
        m.tracks = {t};
        return MovieFile(m);
    };
    Bytes sdtpTooLong = FullBox("sdtp", 0, 0, {0x20, 0x10});
    sdtpTooLong[3] += 4;
    // A count that would ask for gigabytes if it were believed.
    const Bytes dref = FullBox("dref", 0, 0, Writer().U32(0xFFFFFFFF).U32(12).Text("url ").U32(1));
    struct Case {
        const char* name;
        Bytes file;
        std::uint32_t tracks;
        std::uint32_t samples;  // of track 0
    };
    const Case cases[] = {
        {"child overrun by its neighbour", moovWith(Cat({trakTooLong, Box("free", Bytes(8, 0))})), 1, 2},
        {"trailing sdtp 4 bytes too long", withStbl(sdtpTooLong), 1, 2},
        {"unknown child of a 64-bit size past the end of numbers",
         withStbl(Writer().U32(1).Text("sgpd").U64(~0ull - 8)), 1, 2},
        {"child of size 3 ends the loop", moovWith(Cat({Writer().U32(3).Text("trak").U32(0), trak})), 0, 0},
        {"child of size 4 after the tables ends their loop", withStbl(Writer().U32(4).Text("free")), 1, 2},
        {"64-bit size below its header ends the loop", moovWith(Cat({Writer().U32(1).Text("trak").U64(15), trak})), 0,
         0},
        {"container child of a 64-bit size past the end of numbers",
         moovWith(Writer().U32(1).Text("trak").U64(~0ull - 8)), 1, 0},
        {"children with empty bodies before the track", moovWith(Cat({Box("free", {}), Box("udta", {}), trak})), 1, 2},
        {"dref count beyond its entries", moovWith(Box("trak", Box("mdia", Box("minf", Box("dinf", dref))))), 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(OpenResult(c.file), "ok");
        MP4Parser parser(WriteTempFile("lenient.mp4", c.file));
        ASSERT_EQ(parser.GetMovie().trackCount, c.tracks);
        if (c.tracks > 0) {
            EXPECT_EQ(parser.GetMovie().tracks[0].stsz.sampleCount, c.samples);
        }
    }
    MP4Parser parser(WriteTempFile("dref.mp4", cases[8].file));
    EXPECT_EQ(parser.GetMovie().tracks.at(0).dataReferences.size(), 1u);
}

// Zero padding between boxes: single zero bytes in front of a box below 256
// bytes, whole zero words in front of any box, at the top level and inside
// containers.
TEST(BoxReaderTest, ZeroPaddingBetweenBoxes) {
    const Bytes small = Box("free", Bytes(20, 0x66));
    const Bytes large = Box("free", Bytes(300, 0x66));
    const Bytes trak = Trak(SimpleTrack(), {0, 0});
    for (std::size_t pad : {1, 2, 3, 4, 5, 7, 8}) {
        for (bool smallBox : {true, false}) {
            if (!smallBox && pad % 4 != 0) continue;  // ambiguous: neither reading can tell
            SCOPED_TRACE(testing::Message()
                         << pad << " zero bytes before a " << (smallBox ? "small" : "large") << " box");
            const Bytes box = smallBox ? small : large;
            const Bytes zeros(pad, 0);
            const Bytes topLevel = Cat({Ftyp(), zeros, box, Box("moov", Cat({Mvhd(1000), trak})), SimpleMdat()});
            const Bytes inMovie = Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), zeros, box, trak})), SimpleMdat()});
            const Bytes beforeMovie = Cat({Ftyp(), SimpleMdat(), zeros, Box("moov", Cat({Mvhd(1000), trak}))});
            // 1 to 3 zero bytes before the (large) movie are left out.
            const std::vector<Bytes> files = pad % 4 == 0 ? std::vector<Bytes>{topLevel, inMovie, beforeMovie}
                                                          : std::vector<Bytes>{topLevel, inMovie};
            for (const Bytes& file : files) {
                ASSERT_EQ(OpenResult(file), "ok");
                MP4Parser parser(WriteTempFile("padded.mp4", file));
                ASSERT_EQ(parser.GetMovie().trackCount, 1u);
                EXPECT_EQ(parser.GetMovie().tracks[0].stsz.sampleCount, 2u);
            }
        }
    }
}

// A run of zeros leaves several places where the next box may start. One
// that only looks like a box header (here three bytes into the real one, over
// a file large enough for the size it reads) but is not followed by anything
// box-like loses to the later one that is.
TEST(BoxReaderTest, PaddingCandidateThatIsNotFollowedSoundlyLosesToOneThatIs) {
    // One zero byte of padding, then "free" of 32 bytes and "skip" of 8; past
    // them only bytes that can start neither padding nor a box.
    Bytes file = Cat({Bytes(1, 0), Box("free", Bytes(24, 'a')), Box("skip", {})});
    const std::uint64_t limit = 1ull << 30;
    const auto peek = [&file](std::uint64_t at, std::uint8_t* destination, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) destination[i] = at + i < file.size() ? file[at + i] : 0xFF;
        return true;
    };
    ASSERT_NE(zero_padding::PlausibleBoxSize(peek, 4, limit), 0u);  // the decoy is there
    EXPECT_EQ(FindBoxAfterZeros(0, limit, peek), 1u);

    // A box of a 64-bit size is as plausible as one of a 32-bit size.
    file = Cat({Writer().U32(1).Text("free").U64(24), Bytes(8, 'a')});
    EXPECT_EQ(zero_padding::PlausibleBoxSize(peek, 0, limit), 24u);
}

// Data references are read for their own sake only; sizes that do not fit
// leave the file readable.
TEST(BoxReaderTest, DataReferencesWithMisstatedSizes) {
    struct Case {
        const char* name;
        Bytes body;
        std::vector<std::string> locations;
    };
    const Case cases[] = {
        {"entry below 12", Writer().U32(2).U32(8).Text("url ").U32(1).U32(12).Text("url ").U32(1), {"", ""}},
        {"entry with its location", Writer().U32(1).U32(16).Text("url ").U32(0).Text("ab").U8(0).U8('c'), {"ab"}},
        {"entry longer than the box", Writer().U32(2).U32(40).Text("url ").U32(0).Text("xyz").Zeros(9), {"xyz"}},
        {"entry of 4 GiB", Writer().U32(1).U32(0xFFFFFFF0).Text("url ").U32(0), {""}},
    };
    for (const Case& c : cases) {
        const Bytes dref = FullBox("dref", 0, 0, c.body);
        const Bytes trak = Box("trak", Box("mdia", Box("minf", Box("dinf", dref))));
        const Bytes file = Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), trak})), SimpleMdat()});
        MP4Parser parser(WriteTempFile("dref.mp4", file));
        std::vector<std::string> locations;
        for (const DataReferenceEntry& entry : parser.GetMovie().tracks.at(0).dataReferences)
            locations.push_back(entry.location);
        EXPECT_EQ(locations, c.locations) << c.name;
    }
}

// Configurations that announce more than they hold give the whole units that
// they hold, and the file stays readable.
TEST(BoxReaderTest, ShortCodecConfigurationsGiveTheUnitsTheyHold) {
    const Bytes startCode = {0, 0, 0, 1};
    struct Case {
        const char* name;
        Bytes entry;
        Bytes sets;
    };
    const Case cases[] = {
        {"avcC set longer than its body",
         VisualEntry("avc1", 8, 8, Box("avcC", {1, 0x42, 0, 0x1E, 0xFF, 0xE1, 0, 50, 0x67})),
         {}},
        {"avcC without its picture-set count",
         VisualEntry("avc1", 8, 8, Box("avcC", {1, 0x42, 0, 0x1E, 0xFF, 0xE1, 0, 2, 0x67, 0x42})),
         Cat({startCode, {0x67, 0x42}})},
        {"avcC of five bytes", VisualEntry("avc1", 8, 8, Box("avcC", {1, 0x42, 0, 0x1E, 0xFF})), {}},
        {"hvcC too short", VisualEntry("hvc1", 8, 8, Box("hvcC", Bytes(22, 0))), {}},
    };
    for (const Case& c : cases) {
        TrackSpec track = SimpleTrack();
        track.sampleEntry = c.entry;
        MovieSpec movie;
        movie.tracks = {track};
        MP4Parser parser(WriteTempFile("config.mp4", MovieFile(movie)));
        EXPECT_EQ(parser.ParameterSets(0), c.sets) << c.name;
        EXPECT_NE(parser.Read(), nullptr) << c.name;
    }
}

TEST(BoxReaderTest, TracksBeyondSixteenAreIgnored) {
    MovieSpec movie;
    for (std::uint32_t id = 1; id <= 18; ++id) movie.tracks.push_back(SimpleTrack(id));
    MP4Parser parser(WriteTempFile("many.mp4", MovieFile(movie)));
    EXPECT_EQ(parser.GetMovie().trackCount, 16u);
    ASSERT_EQ(parser.TrackCursors().size(), 16u);
    EXPECT_EQ(parser.TrackCursors().back().trackIdMinus1, 15u);
}

TEST(BoxReaderTest, ZeroWordsAtTheEndOfAContainerEndIt) {
    const Bytes trak = Trak(SimpleTrack(), {0, 0});
    const Bytes file = Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), trak, Bytes(12, 0)})), SimpleMdat()});
    MP4Parser parser(WriteTempFile("padded.mp4", file));
    EXPECT_EQ(parser.GetMovie().trackCount, 1u);
}

TEST(BoxReaderTest, VersionOneEditListHasWideFields) {
    TrackSpec t = SimpleTrack();
    Bytes elst = FullBox("elst", 1, 0, Writer().U32(1).U64(0x100000000ull).U64(~0ull).U32(0x10000));
    Bytes file = Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), Box("trak", Box("edts", elst))})), SimpleMdat()});
    MP4Parser parser(WriteTempFile("elst1.mp4", file));
    const TrackDescription& track = parser.GetMovie().tracks.at(0);
    ASSERT_EQ(track.editList.size(), 1u);
    EXPECT_EQ(track.editList[0].segmentDuration, 0x100000000ull);
    EXPECT_EQ(track.editList[0].mediaTime, -1);
}

TEST(BoxReaderTest, VersionOneEditListTooShortForWideFieldsHasNarrowOnes) {
    Bytes elst =
        FullBox("elst", 1, 0, Writer().U32(2).U32(1500).U32(0xFFFFFFFF).U32(0x10000).U32(4000).U32(0).U32(0x10000));
    Bytes file = Cat({Ftyp(), Box("moov", Cat({Mvhd(1000), Box("trak", Box("edts", elst))})), SimpleMdat()});
    MP4Parser parser(WriteTempFile("elst1narrow.mp4", file));
    const TrackDescription& track = parser.GetMovie().tracks.at(0);
    ASSERT_EQ(track.editList.size(), 2u);
    EXPECT_EQ(track.editList[0].segmentDuration, 1500u);
    EXPECT_EQ(track.editList[0].mediaTime, -1);
    EXPECT_EQ(track.editList[1].segmentDuration, 4000u);
    EXPECT_EQ(track.editList[1].mediaTime, 0);
}

// Files beyond 4 GiB, written sparse: a top-level box with a 64-bit size
// above 2^32 is passed over, and a sample beyond 4 GiB is found through co64.
TEST(BoxReaderTest, FilesBeyondFourGiB) {
    const std::uint64_t bigBody = 0x100001000ull;
    const Bytes ftyp = Ftyp();
    const Bytes sample = NalSample(4, {{5, 12}});
    TrackSpec t;
    t.co64 = true;
    t.samples = {sample};
    // The sample lies in the big box's last bytes.
    const std::uint64_t sampleAt = ftyp.size() + 16 + bigBody - 64;
    ASSERT_GT(sampleAt, 0xFFFFFFFFull);
    MovieSpec probe;
    probe.tracks = {t};
    const Bytes moov = Box("moov", Cat({Mvhd(1000), Trak(t, {sampleAt})}));
    const std::string path = TempPath("big.mp4");
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const Bytes header = Writer().Raw(ftyp).U32(1).Text("mdat").U64(bigBody + 16);
        const auto put = [&out](const Bytes& bytes, std::uint64_t at) {
            out.seekp(static_cast<std::streamoff>(at));
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        };
        put(header, 0);
        put(sample, sampleAt);
        put(moov, ftyp.size() + 16 + bigBody);
        out.close();
        ASSERT_TRUE(out.good());
    }

    MP4Parser parser(path);
    ASSERT_EQ(parser.GetMovie().tracks.size(), 1u);
    EXPECT_EQ(SampleLocator(parser.GetMovie().tracks[0]).EntryAt(0).offset, sampleAt);
    TMediaPacket* packet = parser.Read();
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(packet->payloadLength, 4u + 4 * 0 + 12 + 16);  // parameter sets (2 x 8) + start code + unit
}

}  // namespace
