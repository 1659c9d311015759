#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/owned_handle.h"

namespace platform {

// A file opened only to steer the system's page cache: to have bytes read
// before a later reader asks for them, or to drop them (a cold-cache
// benchmark). Nothing read here is handed on.
class CacheFile {
public:
    explicit CacheFile(const std::string& path);

    bool IsOpen() const { return file_.IsOpen(); }
    // The file's size, -1 when unknown.
    std::int64_t Size() const;
    // Reads at an offset, waiting for the disk: bytes read, or -1.
    std::int64_t ReadAt(void* buffer, std::size_t count, std::int64_t offset) const;
    // Whether the byte at offset is in the cache, found without waiting for
    // the disk (asking may start reading it); false when the system cannot
    // tell.
    bool IsCached(std::int64_t offset) const;
    // Starts reading a range into the cache without waiting for it.
    void WillNeed(std::int64_t offset, std::int64_t length) const;
    // Drops the file's cached pages.
    void DontNeed() const;

private:
    OwnedHandle file_;
};

}  // namespace platform
