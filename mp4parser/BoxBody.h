#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4parser/BoxHeader.h"
#include "mp4parser/DataReader.h"
#include "mp4parser/FileDescriptor.h"
#include "mp4parser/MemoryReader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

typedef DataReader<FileDescriptor> FileReader;

// Boxes are parsed from the movie box held in memory.
typedef MemoryReader BoxReader;

// The part of the file from the reader's position to a box's end. Every read
// checks that it stays inside, so a box can never make us read its
// neighbour's bytes, and every count is checked against what remains before
// anything is allocated for it.
class BoxBody {
public:
    BoxBody(BoxReader& reader, std::uint64_t end) : reader_(reader), end_(end), declaredEnd_(end) {}

    std::uint64_t Position() const { return reader_.Position(); }
    std::uint64_t End() const { return end_; }
    std::uint64_t Remaining() const {
        const std::uint64_t position = reader_.Position();
        return position < end_ ? end_ - position : 0;
    }

    std::uint8_t ReadUInt8() {
        Require(1);
        return reader_.ReadUInt8();
    }
    std::uint16_t ReadUInt16() {
        Require(2);
        return reader_.ReadUInt16();
    }
    std::uint32_t ReadUInt24();
    std::uint32_t ReadUInt32() {
        Require(4);
        return reader_.ReadUInt32();
    }
    void ReadBytes(void* destination, std::size_t count);
    // The next count bytes in place, passed over: tables are decoded from
    // there in one sweep.
    const std::uint8_t* Take(std::uint64_t count) {
        Require(count);
        return reader_.Take(static_cast<std::size_t>(count));
    }
    // The rest of the box as its size gives it; a box that claims more than
    // its parent holds cannot be read this way.
    std::vector<std::uint8_t> ReadToEnd();

    void Skip(std::uint64_t count);
    void Seek(std::uint64_t target);
    void SeekToEnd() { Seek(end_); }

    // Throws unless count entries of entrySize bytes fit in what remains.
    void RequireEntries(std::uint64_t count, std::uint64_t entrySize) const;

    // Reads the next child's header, zero padding in front of it passed over.
    // False, with the reader at the end, when no further child can be read:
    // fewer bytes than a header remain, only zeros remain, or the child is
    // smaller than its own header (what follows it cannot be found).
    bool NextChild(BoxHeader& child);
    // The child's body. A child that claims more than this box holds is read
    // up to this box's end only, and ends the child loop (ForEachChild).
    BoxBody Child(const BoxHeader& child) { return BoxBody(reader_, child.end < end_ ? child.end : end_, child.end); }

    BoxReader& Reader() { return reader_; }

private:
    bool PassOverZeroPadding();
    bool ReadChildHeader(BoxHeader& child);
    void Require(std::uint64_t count) const {
        if (count > Remaining()) ThrowBadFormat("read past box end");
    }

    BoxBody(BoxReader& reader, std::uint64_t end, std::uint64_t declaredEnd)
        : reader_(reader), end_(end), declaredEnd_(declaredEnd) {}

    BoxReader& reader_;
    std::uint64_t end_;          // no byte at or beyond it is read
    std::uint64_t declaredEnd_;  // the end that the box's size gives
};

// Calls handle(header, body) for every child of parent and moves to each
// child's end afterwards, whatever the handler read. A child that reaches the
// parent's end or beyond is the last one.
template <typename Handler>
void ForEachChild(BoxBody& parent, Handler handle) {
    BoxHeader child;
    while (parent.NextChild(child)) {
        BoxBody body = parent.Child(child);
        handle(child, body);
        if (child.end >= parent.End()) {
            parent.SeekToEnd();
            return;
        }
        parent.Seek(child.end);
    }
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
