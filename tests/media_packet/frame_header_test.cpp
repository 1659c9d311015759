// Decoding of camera frame headers into packet fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "media/media_packet.h"
#include "packet_builder.h"

using namespace frame_writer;

namespace {

constexpr uint32_t kSeconds = 1330769700;

std::string BuildError(const FrameHeader& header, uint32_t payloadLength = 0) {
    try {
        BuildPacket(header, payloadLength);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

FrameHeader WithTags(const TagList& tags, const std::string& codec = "h264") {
    VideoExtension ext;
    ext.tags = tags;
    return FrameHeader(codec).Time(kSeconds).Video(ext);
}

Bytes FirstBytes(const Bytes& bytes, size_t n) { return Bytes(bytes.begin(), bytes.begin() + n); }

// A tag body of n bytes 0x01 followed by the one-byte tag 227.
Bytes TagBodyThen227(size_t n) {
    Bytes body(n, 0x01);
    body.push_back(0xE3);
    return body;
}

AudioExtension PlainAudio() {
    AudioExtension a;
    a.frameSizes = {320};
    return a;
}

}  // namespace

// ---- codec table and defaults ----

struct CodecCase {
    const char* codec;
    bool audio;
    AudioExtension ext;
    uint32_t mediaType;
    uint32_t frameCount;
    uint32_t sampleRate;
    uint8_t channels;
};

TEST(FrameHeaderCodecs, CodecCodesSetTypeAndDefaults) {
    AudioExtension rateGiven = PlainAudio();
    rateGiven.hasRateAndChannels = true;
    rateGiven.sampleRate = 16000;
    rateGiven.channels = 2;
    AudioExtension threeFrames = PlainAudio();
    threeFrames.frameCount = 3;
    threeFrames.frameSizes = {10, 11, 12};

    const CodecCase cases[] = {
        {"jpeg", false, {}, 1, 1, 0, 0},
        {"h263", false, {}, 2, 1, 0, 0},
        {"mp4v", false, {}, 4, 1, 0, 0},
        {"h264", false, {}, 8, 1, 0, 0},
        {"hevc", false, {}, 16, 1, 0, 0},
        {"DMYV", false, {}, 255, 1, 0, 0},
        {"7221", true, PlainAudio(), 256, 1, 16000, 1},
        {"729A", true, PlainAudio(), 512, 1, 8000, 1},
        {"aac ", true, PlainAudio(), 0x400, 1, 0, 0},  // no defaults
        {"aac ", true, rateGiven, 0x400, 1, 16000, 2},
        {"GAMR", true, rateGiven, 0x800, 1, 8000, 1},  // forced after the extension
        {"SAMR", true, rateGiven, 0x1000, 1, 8000, 1},
        {"SAMR", true, PlainAudio(), 0x1000, 1, 8000, 1},
        {"PCMU", true, PlainAudio(), 0x2000, 1, 8000, 1},
        {"G711", true, PlainAudio(), 0x2000, 1, 8000, 1},
        {"PCMA", true, threeFrames, 0x4000, 3, 8000, 1},
        {"G726", true, rateGiven, 0x8000, 1, 16000, 2},  // the extension wins
        {"DMYA", true, PlainAudio(), 0xFF00, 1, 8000, 1},
        {"metx", false, {}, 0x20000, 0, 0, 0},
        {"H264", false, {}, 0, 0, 0, 0},  // compared byte for byte
        {"aac\0", true, PlainAudio(), 0, 0, 0, 0},
    };
    for (const CodecCase& c : cases) {
        SCOPED_TRACE(std::string(c.codec, 4));
        FrameHeader header(std::string(c.codec, 4));
        header.Time(kSeconds);
        if (c.audio) {
            header.Audio(c.ext);
        } else {
            header.Extension(Bytes(4, 0));
        }
        MediaPacketRef p = BuildPacket(header, 100);
        EXPECT_EQ(p->mediaType, c.mediaType);
        EXPECT_EQ(p->frameCount, c.frameCount);
        EXPECT_EQ(p->sampleRate, c.sampleRate);
        EXPECT_EQ(p->channels, c.channels);
        EXPECT_EQ(p->seconds, kSeconds);
    }
}

TEST(FrameHeaderCodecs, AudioExtensionFields) {
    AudioExtension a;
    a.constantFrameSize = true;
    a.hasRateAndChannels = true;
    a.sampleRate = 48000;
    a.channels = 2;
    a.hasBitRate = true;
    a.bitRate = 0xABCDEF;
    a.flagD = true;
    a.frameCount = 7;  // constant sizes: one size only
    a.frameSizes = {300};
    MediaPacketRef p = BuildPacket(FrameHeader("aac ").Audio(a));
    EXPECT_EQ(p->constantFrameSize, 1u);
    EXPECT_EQ(p->frameCount, 7u);
    EXPECT_EQ(p->sampleRate, 48000u);
    EXPECT_EQ(p->channels, 2);
    EXPECT_EQ(p->audioBitRate, 0xABCDEFu);
    EXPECT_EQ(p->audioFlagD, 1);
    EXPECT_EQ(p->headerLength, 32u);  // 20 + 4 x 3 words
}

TEST(FrameHeaderCodecs, ReaderMadeAacExtension) {
    // 300 bytes of 48000 Hz stereo, as the file reader writes it.
    MediaPacketRef p =
        BuildPacket(FrameHeader("aac ").Extension({0x40, 0x01, 0x01, 0x2C, 0x00, 0xBB, 0x80, 0x02}), 300);
    EXPECT_EQ(p->headerLength, 28u);
    EXPECT_EQ(p->payloadLength, 300u);
    EXPECT_EQ(p->frameCount, 1u);
    EXPECT_EQ(p->sampleRate, 48000u);
    EXPECT_EQ(p->channels, 2);
    EXPECT_EQ(p->constantFrameSize, 0u);
}

// ---- time and flags ----

struct TimeCase {
    const char* name;
    uint32_t flags;
    int32_t zoneOffset;
    int32_t dstAdjust;
    int64_t utcMinusSeconds;
};

TEST(FrameHeaderTime, ZoneAndDaylightSaving) {
    const TimeCase cases[] = {
        {"made-up flags", 0x00201304, 0, 0, 0},
        {"zone 80 with daylight saving", (0x00201304 & ~0x7F0u) | 80u << 4 | 1u << 11, 28800, -3600, -32400},
        {"zone 80 without", (0x00201304 & ~0x7F0u) | 80u << 4, 28800, 0, -28800},
        {"zone 0", 0, -43200, 0, 43200},
        {"zone 127 with daylight saving", 0x7F0u | 1u << 11, 71100, -3600, -74700},
    };
    for (const TimeCase& c : cases) {
        SCOPED_TRACE(c.name);
        MediaPacketRef p = BuildPacket(H264(kSeconds, 500).Flags(c.flags));
        EXPECT_EQ(p->timeZoneValid, 1u);
        EXPECT_EQ(p->zoneOffset, c.zoneOffset);
        EXPECT_EQ(p->dstAdjust, c.dstAdjust);
        EXPECT_EQ(int64_t{p->utcSeconds}, int64_t{kSeconds} + c.utcMinusSeconds);
        EXPECT_EQ(p->seconds, kSeconds);
        EXPECT_EQ(p->milliseconds, 500u);
    }
}

TEST(FrameHeaderTime, MadeUpH264Header) {
    MediaPacketRef p = BuildPacket(H264(kSeconds, 500), 1000);
    EXPECT_EQ(p->mediaType, 8u);
    EXPECT_EQ(p->frameCount, 1u);
    EXPECT_EQ(p->flagBit21, 1u);
    EXPECT_EQ(p->flagBit20, 0u);
    EXPECT_EQ(p->statusBits, 0u);
    EXPECT_EQ(p->headerNibble, 0u);
    EXPECT_EQ(p->frameType, 0u);
    EXPECT_EQ(p->headerLength, 24u);
    EXPECT_EQ(p->payloadLength, 1000u);
}

TEST(FrameHeaderTime, FullSixteenBitMilliseconds) {
    MediaPacketRef p = BuildPacket(H264(kSeconds, 0xFFFF));
    EXPECT_EQ(p->milliseconds, 0xFFFFu);
}

struct FlagCase {
    const char* name;
    uint32_t flags;
    uint8_t kind;  // byte 8
    uint32_t frameType, headerNibble, statusBits, bit20, bit21;
};

TEST(FrameHeaderFlags, BitsCopiedToFields) {
    const FlagCase cases[] = {
        {"delta frame", 0, 0x10, 1, 0, 0, 0, 0},
        {"nibble without extension bit", 0xFu << 13, 0x05, 0, 5, 0, 0, 0},
        {"nibble extension", 1u << 17 | 0xAu << 13, 0x05, 0, 0xF, 0, 0, 0},
        {"status from bits 22-23", 3u << 22, 0, 0, 0, 3, 0, 0},
        {"status from bits 18-19", 2u << 18, 0, 0, 0, 8, 0, 0},
        {"bit 20 only", 1u << 20, 0, 0, 0, 0, 1, 0},
        {"all", 0xFFFFFFF7u, 0xF3, 15, 0xF, 0xF, 1, 1},
    };
    for (const FlagCase& c : cases) {
        SCOPED_TRACE(c.name);
        MediaPacketRef p = BuildPacket(H264().Flags(c.flags).FrameKind(c.kind >> 4).HeaderNibble(c.kind & 0xF));
        EXPECT_EQ(p->frameType, c.frameType);
        EXPECT_EQ(p->headerNibble, c.headerNibble);
        EXPECT_EQ(p->statusBits, c.statusBits);
        EXPECT_EQ(p->flagBit20, c.bit20);
        EXPECT_EQ(p->flagBit21, c.bit21);
    }
}

// ---- video extension ----

TEST(FrameHeaderVideo, FixedWindowsAndExtraBit) {
    VideoExtension ext;
    ext.windows[0] = {true, true, 0x55, {1, 2, 1023, 512}};
    ext.windows[2] = {true, false, 0x7F, {0, 1023, 7, 300}};
    ext.extraBit = true;
    MediaPacketRef p = BuildPacket(FrameHeader("hevc").Video(ext));
    EXPECT_EQ(p->windows, p->windowEnabled);
    EXPECT_EQ(p->windowEnabled[0], 1u);
    EXPECT_EQ(p->windowEnabled[1], 0u);
    EXPECT_EQ(p->windowEnabled[2], 1u);
    EXPECT_EQ(p->windowFlag[0], 1u);
    EXPECT_EQ(p->windowLevel[0], 0x55);
    EXPECT_EQ(p->windowLevel[2], 0x7F);
    EXPECT_EQ(p->windowCoords[0][2], 1023);
    EXPECT_EQ(p->windowCoords[2][3], 300);
    EXPECT_EQ(p->videoExtraBit, 1u);
    EXPECT_EQ(p->tagArea, nullptr);  // flags bit 3 clear
}

TEST(FrameHeaderVideo, TagListIgnoredWithoutFlagBit) {
    VideoExtension ext;
    ext.tags.Tag227();
    FrameHeader header = FrameHeader("h264").Video(ext);
    MediaPacketRef p = BuildPacket(header.Flags(header.flags() & ~kFlagTagList));
    EXPECT_EQ(p->tag227Present, 0u);
}

// ---- tag list ----

struct TagCase {
    const char* name;
    TagList tags;
    void (*check)(const TMediaPacket&);
};

TEST(FrameHeaderTags, DecodedTags) {
    const TagCase cases[] = {
        {"tag 18 of length 3", TagList().Tag18({0x34, 0x12}, 0xEE),
         [](const TMediaPacket& p) { EXPECT_EQ(p.statusBits, 0x1234u); }},
        {"tag 18 uses at most 4 value bytes", TagList().Tag18({1, 2, 3, 4, 5, 6}).Tag227(),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.statusBits, 0x04030201u);
             EXPECT_EQ(p.tag227Present, 1u);
         }},
        {"tag 18 of length 1 sets nothing", TagList().Tag18({}),
         [](const TMediaPacket& p) { EXPECT_EQ(p.statusBits, 0u); }},
        {"tag 16", TagList().Tag16({1, -2, 3, -32768, 32767, 0}),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.tag16Present, 1u);
             EXPECT_EQ(p.tag16Values[1], -2);
             EXPECT_EQ(p.tag16Values[3], -32768);
             EXPECT_EQ(p.tag16Values[4], 32767);
         }},
        {"tag 17 windows 0 and 4 are skipped",
         TagList().Tag17({{0, true, 9, {1, 1, 1, 1}}, {4, true, 9, {2, 2, 2, 2}}}),
         [](const TMediaPacket& p) {
             for (int w = 0; w < 3; ++w) EXPECT_EQ(p.windowEnabled[w], 0u) << w;
             EXPECT_EQ(p.windowLevel[0], 0);
         }},
        {"tag 17 fills the window after skipped ones",
         TagList().Tag17({{0, true, 9, {1, 1, 1, 1}}, {2, true, 100, {60000, 2, 3, 4}}, {4, false, 1, {}}}),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.windowEnabled[0], 0u);
             EXPECT_EQ(p.windowEnabled[1], 1u);
             EXPECT_EQ(p.windowFlag[1], 1u);
             EXPECT_EQ(p.windowLevel[1], 100);
             EXPECT_EQ(p.windowCoords[1][0], 60000);  // 16-bit from the tag
             EXPECT_EQ(p.windowCoords[1][3], 4);
         }},
        {"tag 24 set", TagList().Tag24(true), [](const TMediaPacket& p) { EXPECT_EQ(p.tag24Value, 0x10001u); }},
        {"tag 24 clear", TagList().Tag24(false), [](const TMediaPacket& p) { EXPECT_EQ(p.tag24Value, 0x10000u); }},
        {"tag 224", TagList().Tag224(), [](const TMediaPacket& p) { EXPECT_EQ(p.tag224State, 0x10000u); }},
        {"tag 225", TagList().Tag225(), [](const TMediaPacket& p) { EXPECT_EQ(p.tag224State, 0x10001u); }},
        {"tag 227", TagList().Tag227(), [](const TMediaPacket& p) { EXPECT_EQ(p.tag227Present, 1u); }},
        {"unknown tags in every number and length form are passed over",
         TagList()
             .Tag(0x1234, Bytes(200, 0x18))  // two-byte number, 0x81 length
             .Raw({0xC5, 0x18})              // one-byte tag with length 1
             .Raw({0x05, 0xC2, 0xAA, 0xBB})  // length 0xC2 & 3 = 2
             .Raw({0x06, 0xE1, 0x01, 0x77})  // length from 1 following byte
             .Raw({0x07, 0x80})              // 0x80: length from no bytes = 0
             .Tag24(true),
         [](const TMediaPacket& p) { EXPECT_EQ(p.tag24Value, 0x10001u); }},
        // Fixed-layout bodies are taken whatever length the tag declares; the
        // byte after them starts the next tag.
        {"tag 16 takes exactly 12 bytes", TagList().Tag(16, TagBodyThen227(12)),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.tag16Values[5], 0x0101);
             EXPECT_EQ(p.tag227Present, 1u);
         }},
        {"tag 24 takes exactly 1 byte", TagList().Tag(24, {}).Tag227(),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.tag24Value, 0x10001u);  // the 227 tag byte was its body
             EXPECT_EQ(p.tag227Present, 0u);
         }},
        {"tag 17 takes its count and entries", TagList().Tag(17, {1, 2, 0x85, 0, 1, 0, 2, 0, 3, 0, 4, 0xE3}),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.windowEnabled[1], 1u);
             EXPECT_EQ(p.windowLevel[1], 5);
             EXPECT_EQ(p.windowCoords[1][3], 4);
             EXPECT_EQ(p.tag227Present, 1u);
         }},
        {"tag 20 declared short: the motion-trigger pass still reads its entry",
         // The field pass skips the count byte and takes the entry for tag 5 of 16 bytes.
         TagList().Tag(20, {1}).Raw({0x05, 0x10, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8}),
         [](const TMediaPacket& p) {
             ASSERT_EQ(p.motionTriggerCount, 1);
             EXPECT_EQ(p.motionTriggers[0].index, 5);
             EXPECT_EQ(p.motionTriggers[0].level, 0x10);
             EXPECT_EQ(p.motionTriggers[0].values[7], 8);
         }},
        {"tag 20 is left to the motion-trigger pass", TagList().Tag20({{3, true, 5, {}}}).Tag225(),
         [](const TMediaPacket& p) {
             EXPECT_EQ(p.tag224State, 0x10001u);
             EXPECT_EQ(p.motionTriggerCount, 1);
         }},
    };
    for (const TagCase& c : cases) {
        SCOPED_TRACE(c.name);
        MediaPacketRef p = BuildPacket(WithTags(c.tags));
        c.check(*p);
    }
}

// A block may declare a header length that is no multiple of 4; the
// entries must still be where they can be read.
TEST(FrameHeaderTags, MotionTriggersAreAlignedWhateverTheHeaderLength) {
    for (size_t pad : {0, 1, 2, 3}) {
        SCOPED_TRACE(pad);
        HeaderBlockParts parts;
        parts.header = WithTags(TagList().Tag20({{3, true, 5, {}}})).Encode();
        parts.header.resize(parts.header.size() + pad, 0);
        const Bytes block = EncodeHeaderBlock(parts);
        MediaPacketRef p(BuildMediaPacket(block.data(), block.size(), 0));
        ASSERT_EQ(p->motionTriggerCount, 1);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p->motionTriggers) % alignof(TMotionTriggerInfoEx), 0u);
        EXPECT_EQ(p->motionTriggers[0].level, 5);
    }
    // A malformed block a fuzzer found, read the way any reader of the packet would.
    const std::string hex =
        "00000000000000000000003a00000015000000026865766361616d65080f08080808080808080808ffffffffffff001421010aff"
        "680047373236ff066160013c0f08080808080808000000000000000000000000000000000000000000000000000000000000000000"
        "00262a0000000000000000";
    Bytes block;
    for (size_t i = 0; i < hex.size(); i += 2)
        block.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    MediaPacketRef p(BuildMediaPacket(block.data(), block.size(), 0));
    unsigned levels = 0;
    for (uint8_t i = 0; i < p->motionTriggerCount; ++i) levels += p->motionTriggers[i].level;
    EXPECT_GT(p->motionTriggerCount, 0) << levels;
}

TEST(FrameHeaderTags, FlagBitsAreOredIntoTagStatus) {
    MediaPacketRef p = BuildPacket(WithTags(TagList().Tag18({0x30, 0x12})).Flags(kFlagTagList | 1u << 22 | 1u << 19));
    EXPECT_EQ(p->statusBits, 0x1230u | 1u | 8u);
}

TEST(FrameHeaderTags, TagAreaPointsPastTheZeroBytes) {
    VideoExtension ext;
    ext.windows[1] = {true, false, 1, {}};  // 7 fixed bytes, then 3 zero bytes before the 2 tag bytes
    ext.tags.Tag227().Tag224();
    MediaPacketRef p = BuildPacket(FrameHeader("jpeg").Video(ext));
    ASSERT_NE(p->tagArea, nullptr);
    EXPECT_EQ(p->tagArea, p->header + 20 + 7 + 3);
    EXPECT_EQ(p->tagAreaLength, 2u);
    EXPECT_EQ(p->tagArea[0], 0xE3);
}

TEST(FrameHeaderTags, MotionTriggersCopiedIntoTheBlock) {
    MotionTrigger a{7, true, 0x33, {1, 2, 3, 4, 5, 6, 7, 0xFFFF}};
    MotionTrigger b{9, false, 0x7F, {}};
    VideoExtension ext;
    ext.tags.Tag20({a, b});
    // The entries follow the 16 zero bytes that start at the last whole word
    // of header and payload; the block is the sum of its parts, the slack of
    // 259 bytes and the rounding to 8 included.
    for (uint32_t payload = 0; payload < 8; ++payload) {
        SCOPED_TRACE(payload);
        MediaPacketRef q = BuildPacket(FrameHeader("DMYV").Video(ext), payload);
        const uint8_t* zeros = q->header + ((q->headerLength + payload) & ~3u);
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(q->motionTriggers), zeros + 16);
        const uint8_t* block = reinterpret_cast<const uint8_t*>(q.get()) - 8;
        for (const uint8_t* z = std::max<const uint8_t*>(zeros, q->header + q->headerLength + payload); z < zeros + 16;
             ++z)
            EXPECT_EQ(*z, 0);
        const size_t parts =
            static_cast<size_t>(q->header - block) + q->headerLength + payload + 16 + 2 * sizeof(TMotionTriggerInfoEx);
        uint32_t units;
        std::memcpy(&units, block + 4, sizeof units);
        EXPECT_EQ(units, (parts + 259 + 7) / 8);
    }
    MediaPacketRef p = BuildPacket(FrameHeader("DMYV").Video(ext), 5);
    ASSERT_EQ(p->motionTriggerCount, 2);
    const TMotionTriggerInfoEx* t = p->motionTriggers;
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t[0].index, 7);
    EXPECT_EQ(t[0].valid, 1u);
    EXPECT_EQ(t[0].flag, 1u);
    EXPECT_EQ(t[0].level, 0x33);
    EXPECT_EQ(t[0].values[7], 0xFFFF);
    EXPECT_EQ(t[1].index, 9);
    EXPECT_EQ(t[1].flag, 0u);
    EXPECT_EQ(t[1].level, 0x7F);

    MediaPacketRef none = BuildPacket(H264());
    EXPECT_EQ(none->motionTriggerCount, 0);
    EXPECT_EQ(none->motionTriggers, nullptr);
}

TEST(FrameHeaderTags, MotionTriggerListIsPerThread) {
    VideoExtension two;
    two.tags.Tag20({{1, false, 0, {}}, {2, false, 0, {}}});
    BuildPacket(FrameHeader("h264").Video(two));
    ASSERT_EQ(ThreadMotionTriggers().size(), 2u);

    size_t otherThreadCount = 99;
    std::thread other([&] {
        VideoExtension one;
        one.tags.Tag20({{5, true, 1, {}}});
        MediaPacketRef p = BuildPacket(FrameHeader("h264").Video(one));
        otherThreadCount = ThreadMotionTriggers().size();
    });
    other.join();
    EXPECT_EQ(otherThreadCount, 1u);
    EXPECT_EQ(ThreadMotionTriggers().size(), 2u);
    EXPECT_EQ(ThreadMotionTriggers()[1].index, 2);
}

// ---- malformed headers ----

struct ErrorCase {
    const char* name;
    FrameHeader header;
    const char* error;
};

TEST(FrameHeaderErrors, MalformedHeadersThrow) {
    AudioExtension rate = PlainAudio();
    rate.frameCount = 200;  // 199 more sizes skipped past the end, then the rate is read
    rate.hasRateAndChannels = true;
    const ErrorCase cases[] = {
        {"audio with E = 0", FrameHeader("7221"), "end of stream"},
        {"aac with E = 0", FrameHeader("aac "), "end of stream"},
        {"video with E = 0", FrameHeader("h264"), "end of stream"},
        {"video with tag bit and E = 0", FrameHeader("h264").Flags(kFlagTagList), "end of stream"},
        {"rate after sizes that run out", FrameHeader("PCMU").Extension(FirstBytes(EncodeAudioExtension(rate), 8)),
         "end of stream"},
        {"tag 16 shorter than its values", WithTags(TagList().Tag(16, Bytes(5, 1))), "end of stream"},
        {"tag 17 count beyond its body", WithTags(TagList().Tag(17, {2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0})),
         "end of stream"},
        {"tag 20 count beyond its body", WithTags(TagList().Tag(20, {1, 1, 2, 3})), "end of stream"},
        {"tag 24 without any byte left", WithTags(TagList().Tag(24, {})), "end of stream"},
        {"length byte missing", WithTags(TagList().Raw({0x12})), "end of stream"},
        {"extension words beyond the header", H264().ExtensionWords(2), "frame header too short"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BuildError(c.header, 10), c.error);
    }
}

TEST(FrameHeaderErrors, SkipPastTheEndOnlyExhausts) {
    // Varying sizes run past the extension, but nothing is read after them.
    AudioExtension a = PlainAudio();
    a.frameCount = 100;
    MediaPacketRef p = BuildPacket(FrameHeader("G726").Extension(FirstBytes(EncodeAudioExtension(a), 4)));
    EXPECT_EQ(p->frameCount, 100u);
    // A tag that claims more than the extension holds ends the list.
    MediaPacketRef q = BuildPacket(WithTags(TagList().Tag227().Raw({0x30, 0x7F, 1})));
    EXPECT_EQ(q->tag227Present, 1u);
}
