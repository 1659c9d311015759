// The writer's extra-data element lengths, walked the way the indexing walks them.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/frame_header_writer/frame_header_writer.h"

using namespace frame_writer;

namespace {

// Element length as readers decode it; returns the offset of the body.
size_t WalkLength(const Bytes& element, uint64_t& length) {
    size_t at = 1;
    length = element[at++];
    if (length >= 0x81) length = element[at++];
    if (length >= 0x82) length += uint64_t{element[at++]} << 8;
    if (length >= 0x83) length += uint64_t{element[at++]} << 16;
    if (length >= 0x84) length += uint64_t{element[at++]} << 24;
    return at;
}

}  // namespace

TEST(FrameHeaderWriter, ExtraDataLengthsRoundTrip) {
    for (size_t size : {0u, 1u, 0x80u, 0x81u, 0x82u, 0x83u, 0x84u, 0x182u, 0x1FFu, 0x10083u}) {
        SCOPED_TRACE(size);
        const Bytes element = ExtraDataElement(0x42, Bytes(size, 0x99));
        uint64_t length = 0;
        const size_t body = WalkLength(element, length);
        EXPECT_EQ(length, size);
        EXPECT_EQ(element.size(), body + size);
    }
    EXPECT_THROW(ExtraDataElement(0x42, Bytes(0x100)), std::invalid_argument);
}

TEST(FrameHeaderWriter, DaylightSavingElementBytes) {
    const Bytes on = DaylightSavingElement(true);
    ASSERT_EQ(on.size(), 14u);
    EXPECT_EQ(on[0], 0x61);
    EXPECT_EQ(on[12], 0);
    EXPECT_EQ(on[13], 1);
    const Bytes off = DaylightSavingElement(false);
    EXPECT_EQ(off[12] | off[13], 0);
    EXPECT_EQ(DaylightSavingElement(7, 0)[12], 7);
}

TEST(FrameHeaderWriter, TagListEndsAtTheExtensionEnd) {
    VideoExtension ext;
    ext.tags.Tag18({0x34, 0x12}).Tag224();
    FrameHeader header = FrameHeader("h264").Video(ext).Zone(80).DaylightSaving();
    const Bytes bytes = header.Encode();
    EXPECT_EQ(header.flags(), 0x00201D0Cu);
    EXPECT_EQ(bytes[19], 2);  // 1 fixed byte + 1 zero + 6 tag bytes
    EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.end()), (Bytes{0x00, 0x00, 0x12, 0x03, 0x00, 0x34, 0x12, 0xE0}));
}
