#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

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

typedef std::vector<std::uint8_t, UninitialisedAllocator<std::uint8_t>> UninitialisedBytes;

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
