#pragma once

#include <cstdint>
#include <utility>

namespace platform {

// What the system hands out for an open file or folder: a descriptor, or a
// Windows handle.
#ifdef _WIN32
using SystemHandle = void*;
inline SystemHandle NoSystemHandle() { return reinterpret_cast<SystemHandle>(static_cast<std::intptr_t>(-1)); }
#else
using SystemHandle = int;
constexpr SystemHandle NoSystemHandle() { return -1; }
#endif

// 0 or the system's error number.
int CloseSystemHandle(SystemHandle handle);

// The one owner of an open file or folder: closed exactly once, when the
// owner goes, is given another, or is closed on purpose to see the outcome.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(SystemHandle handle) : handle_(handle) {}
    ~OwnedHandle() { Reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    SystemHandle Get() const { return handle_; }
    bool IsOpen() const { return handle_ != NoSystemHandle(); }
    // Hands the handle on: the caller closes it from then on.
    SystemHandle Release() { return std::exchange(handle_, NoSystemHandle()); }
    // Closes what is held (its outcome unseen) and holds the given handle.
    void Reset(SystemHandle handle = NoSystemHandle()) {
        const SystemHandle old = std::exchange(handle_, handle);
        if (old != NoSystemHandle()) CloseSystemHandle(old);
    }
    // Closes now, for whoever must see a failing close (it can report a lost
    // write): 0 or the system's error number.
    int Close() { return IsOpen() ? CloseSystemHandle(Release()) : 0; }

private:
    SystemHandle handle_ = NoSystemHandle();
};

}  // namespace platform
