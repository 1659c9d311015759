// Layout, extra data and reference counting of the packet block.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "packet_builder.h"

using namespace frame_writer;

namespace {

uint32_t ReferenceCount(TMediaPacket* p) {
    uint32_t count;
    std::memcpy(&count, reinterpret_cast<uint8_t*>(p) - 8, sizeof count);
    return count;
}

uint32_t ReadBigEndian(const uint8_t* p) { return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

std::string BlockError(const Bytes& block, uint32_t payloadLength = 0) {
    try {
        MediaPacketRef p(BuildMediaPacket(block.data(), block.size(), payloadLength));
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(PacketBlock, LayoutForEveryShape) {
    for (uint8_t words : {0, 1, 2, 5}) {
        for (uint32_t payload : {0u, 1u, 3u, 4u, 17u, 1000u}) {
            for (size_t extra : {0, 1, 7, 16}) {
                SCOPED_TRACE(testing::Message() << "E=" << int(words) << " P=" << payload << " X=" << extra);
                // "metx" reads no extension, so any E decodes.
                FrameHeader header = FrameHeader("metx").Time(42, 7).Extension(Bytes(4u * words, 0xA5));
                Bytes extraData(extra, 0x5A);
                MediaPacketRef p = BuildPacket(header, payload, extraData);
                const uint32_t h = 20 + 4u * words;
                EXPECT_EQ(p->headerLength, h);
                EXPECT_EQ(p->payloadLength, payload);
                EXPECT_EQ(p->recordSize, sizeof(TMediaPacket));
                EXPECT_EQ(reinterpret_cast<uintptr_t>(p->header + h) % 16, 0u);
                EXPECT_EQ(ReadBigEndian(p->header), h + payload - 4);
                const Bytes original = header.PayloadLength(payload).Encode();
                EXPECT_EQ(std::memcmp(p->header + 4, original.data() + 4, h - 4), 0);
                const uint8_t* tail = p->header + h + payload;
                for (int i = 0; i < 16; ++i) EXPECT_EQ(tail[i], 0) << i;
                EXPECT_EQ(p->extraData, reinterpret_cast<uint8_t*>(p.get()) + p->recordSize);
                EXPECT_EQ(p->extraDataLength, extra + 4);
                EXPECT_EQ(ReadBigEndian(p->extraData), extra);
                EXPECT_EQ(Bytes(p->extraData + 4, p->extraData + 4 + extra), extraData);
                EXPECT_LE(p->extraData + p->extraDataLength, p->header);
                // The payload area belongs to the caller; ASan checks it is inside the block.
                std::memset(p->header + h, 0xCC, payload);
            }
        }
    }
}

TEST(PacketBlock, TwoArgumentFormTakesTheBlockSizeFromItsPrefix) {
    const Bytes block = EncodeHeaderBlock(H264(1330769700, 250), 7, DaylightSavingElement(true));
    MediaPacketRef p(BuildMediaPacket(block.data(), 7u));
    EXPECT_EQ(p->mediaType, MEDIA_H264);
    EXPECT_EQ(p->milliseconds, 250u);
    EXPECT_EQ(p->payloadLength, 7u);
    EXPECT_EQ(p->extraDataLength, DaylightSavingElement(true).size() + 4);
}

TEST(PacketBlock, NoExtraData) {
    MediaPacketRef p = BuildPacket(H264(), 10);
    EXPECT_EQ(p->extraDataLength, 4u);
    EXPECT_EQ(ReadBigEndian(p->extraData), 0u);
}

TEST(PacketBlock, DaylightSavingElementTravelsInExtraData) {
    const Bytes element = DaylightSavingElement(true);
    MediaPacketRef p = BuildPacket(H264(), 0, element);
    ASSERT_EQ(p->extraDataLength, element.size() + 4);
    EXPECT_EQ(p->extraData[4], 0x61);
    EXPECT_EQ(p->extraData[4 + 13], 1);
}

TEST(PacketBlock, MalformedBlocks) {
    const Bytes good = EncodeHeaderBlock(H264(), 0);
    HeaderBlockParts overlong;
    overlong.header = H264().Encode();
    overlong.extraDataLengthField = 1;
    HeaderBlockParts hugeHeader;
    hugeHeader.header = H264().Encode();
    hugeHeader.headerLengthField = 0xFFFFFFFF;
    hugeHeader.extraDataLengthField = 0xFFFFFFFF;
    HeaderBlockParts shortHeader;
    shortHeader.header = Bytes(19, 0);
    HeaderBlockParts wordsBeyondH;
    wordsBeyondH.header = H264().ExtensionWords(3).Encode();  // announces 32 bytes, holds 24

    struct Case {
        const char* name;
        Bytes block;
        const char* error;
    } cases[] = {
        {"empty", {}, "header block too short"},
        {"prefix cut", Bytes(good.begin(), good.begin() + 15), "header block too short"},
        {"header cut", Bytes(good.begin(), good.end() - 1), "header block too short"},
        {"extra data beyond the block", EncodeHeaderBlock(overlong), "header block too short"},
        {"lengths that wrap", EncodeHeaderBlock(hugeHeader), "header block too short"},
        {"header shorter than 20", EncodeHeaderBlock(shortHeader), "frame header too short"},
        {"extension beyond H", EncodeHeaderBlock(wordsBeyondH), "frame header too short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BlockError(c.block), c.error);
    }
    EXPECT_EQ(BlockError(good, 0xFFFFFFF0u), "payload too long");
}

TEST(PacketBlock, BytesAfterTheBlockAreNeverRead) {
    // The block sits at the very end of a heap buffer; ASan reports any read past it.
    const Bytes good = EncodeHeaderBlock(H264(), 0, DaylightSavingElement(false));
    std::unique_ptr<uint8_t[]> exact(new uint8_t[good.size()]);
    std::memcpy(exact.get(), good.data(), good.size());
    MediaPacketRef p(BuildMediaPacket(exact.get(), good.size(), 0));
    EXPECT_EQ(p->mediaType, MEDIA_H264);
}

// ---- reference counting ----

TEST(PacketReferences, CountFollowsAddRefAndRelease) {
    TMediaPacket* p = MediaPacketRef(BuildPacket(H264())).release();
    EXPECT_EQ(ReferenceCount(p), 1u);
    EXPECT_EQ(p->ops->AddRef(p), 0);
    EXPECT_EQ(ReferenceCount(p), 2u);
    EXPECT_EQ(p->ops->Release(p), 0);
    EXPECT_EQ(ReferenceCount(p), 1u);  // still alive: ASan would flag a freed block
    EXPECT_EQ(p->mediaType, MEDIA_H264);
    EXPECT_EQ(p->ops->Release(p), 0);  // frees; a second free would be reported
}

TEST(PacketReferences, HolderCopiesAndMoves) {
    MediaPacketRef a = BuildPacket(H264());
    TMediaPacket* raw = a.get();
    {
        MediaPacketRef b = a;
        EXPECT_EQ(ReferenceCount(raw), 2u);
        MediaPacketRef c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(ReferenceCount(raw), 2u);
        c = a;  // same packet: count unchanged
        EXPECT_EQ(ReferenceCount(raw), 2u);
        MediaPacketRef d = MediaPacketRef::Share(raw);
        EXPECT_EQ(ReferenceCount(raw), 3u);
    }
    EXPECT_EQ(ReferenceCount(raw), 1u);
    a.reset();
    EXPECT_FALSE(a);
}

TEST(PacketReferences, ConcurrentAddRefAndRelease) {
    MediaPacketRef p = BuildPacket(H264());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([raw = p.get()] {
            for (int i = 0; i < 20000; ++i) {
                raw->ops->AddRef(raw);
                raw->ops->Release(raw);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(ReferenceCount(p.get()), 1u);
}

TEST(PacketReferences, ReleasedOnAnotherThread) {
    TMediaPacket* raw = BuildPacket(H264()).release();
    std::thread([raw] { raw->ops->Release(raw); }).join();
}
