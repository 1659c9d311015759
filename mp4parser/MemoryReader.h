#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "media/byte_order.h"
#include "mp4parser/StreamFailure.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Leaves new elements uninitialised: a buffer that a read fills at once need
// not be zeroed first.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        typedef UninitialisedAllocator<U> other;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

class MemoryReader {
public:
    typedef std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>> Bytes;

    // bytes are the file's bytes from position start on.
    MemoryReader(Bytes bytes, std::uint64_t start)
        : bytes_(std::make_shared<const Bytes>(std::move(bytes))), start_(start), position_(start) {}
    MemoryReader(const MemoryReader&) = delete;
    MemoryReader& operator=(const MemoryReader&) = delete;

    std::uint64_t Position() const { return position_; }

    void ReadBytes(void* destination, std::size_t count) {
        if (count == 0) return;
        const std::size_t available = Available();
        if (available < count) ThrowStreamFailure(available == 0 ? "end of file" : "bad read");
        std::memcpy(destination, Current(), count);
        position_ += count;
    }

    std::uint8_t ReadUInt8() {
        Require(1);
        const std::uint8_t value = *Current();
        position_ += 1;
        return value;
    }

    std::uint16_t ReadUInt16() {
        Require(2);
        const std::uint8_t* p = Current();
        position_ += 2;
        return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    }

    std::uint32_t ReadUInt32() {
        Require(4);
        const std::uint8_t* p = Current();
        position_ += 4;
        return BigEndian32(p);
    }

    // The next count bytes in place, passed over.
    const std::uint8_t* Take(std::size_t count) {
        Require(count);
        const std::uint8_t* p = Current();
        position_ += count;
        return p;
    }

    void Skip(std::int64_t count) { position_ += static_cast<std::uint64_t>(count); }
    void Seek(std::uint64_t target) { position_ = target; }

    // Keeps the bytes alive for tables that point into them (StoredNumbers).
    std::shared_ptr<const void> Owner() const { return bytes_; }

private:
    std::size_t Available() const {
        if (position_ < start_ || position_ - start_ >= bytes_->size()) return 0;
        return bytes_->size() - static_cast<std::size_t>(position_ - start_);
    }
    void Require(std::size_t count) const {
        const std::size_t available = Available();
        if (available < count) ThrowStreamFailure(available == 0 ? "end of file" : "bad read");
    }
    const std::uint8_t* Current() const { return bytes_->data() + (position_ - start_); }

    std::shared_ptr<const Bytes> bytes_;
    std::uint64_t start_;
    std::uint64_t position_;
};

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
