#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/byte_cursor.h"
#include "mp4parser/BadFormat.h"
#include "mp4parser/BoxHeader.h"
#include "mp4parser/UninitialisedBytes.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// The box reader's capacity rule: a box never makes us read its neighbour's
// bytes, and a read past its end means the box tree does not hold together.
struct FailPastBoxEnd {
    [[noreturn]] static void Shortfall() { ThrowBadFormat("read past box end"); }
};
typedef ByteCursor<FailPastBoxEnd> BoxCursor;

// A box's body from the movie box held in memory, positions counted in the
// file. Every read stays inside it, and every count is checked against what
// remains before anything is allocated for it.
class BoxBody : public BoxCursor {
public:
    // The body of bytes that the file holds from position origin on.
    BoxBody(std::shared_ptr<const UninitialisedBytes> bytes, std::uint64_t origin)
        : BoxCursor(bytes->data(), bytes->data() + bytes->size(), origin),
          declaredEnd_(End()),
          owner_(std::move(bytes)) {}

    // The rest of the box as its size gives it; a box that claims more than
    // its parent holds cannot be read this way.
    std::vector<std::uint8_t> ReadToEnd();

    // Throws unless count entries of entrySize bytes fit in what remains.
    void RequireEntries(std::uint64_t count, std::uint64_t entrySize) const;

    // Reads the next child's header, zero padding in front of it passed over.
    // False, with the reader at the end, when no further child can be read:
    // fewer bytes than a header remain, only zeros remain, or the child is
    // smaller than its own header (what follows it cannot be found).
    bool NextChild(BoxHeader& child);
    // The body of the child whose header NextChild read last. A child that
    // claims more than this box holds is read up to this box's end only, and
    // ends the child loop (ForEachChild).
    BoxBody Child(const BoxHeader& child) const {
        return BoxBody(Part(child.bodyStart, child.end < End() ? child.end : End()), child.end, owner_);
    }

    // Keeps the bytes alive for tables that point into them (StoredNumbers).
    const std::shared_ptr<const void>& Owner() const { return owner_; }

private:
    BoxBody(const BoxCursor& span, std::uint64_t declaredEnd, std::shared_ptr<const void> owner)
        : BoxCursor(span), declaredEnd_(declaredEnd), owner_(std::move(owner)) {}

    bool PassOverZeroPadding();
    bool ReadChildHeader(BoxHeader& child);

    std::uint64_t declaredEnd_;  // the end that the box's size gives
    std::shared_ptr<const void> owner_;
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
