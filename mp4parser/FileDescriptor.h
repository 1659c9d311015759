#pragma once

#include <array>
#include <cstdint>
#include <ios>
#include <memory>
#include <string>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>

#include "platform/file_handle.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// A read-only, seekable device over one file. Copies share one open file
// (through Impl); the file may be presented as starting at a base offset, so
// that a media file embedded in a larger file reads as if it began at 0.
class FileDescriptor {
public:
    typedef char char_type;
    struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag, boost::iostreams::closable_tag {};

    enum : std::uint32_t {
        kCloseOnLastOwner = 1u << 0,
        kCloseOnStreamClose = 1u << 1,
    };

    struct Impl {
        static constexpr platform::FileHandle kInvalidHandle = platform::kInvalidFileHandle;

        platform::FileHandle handle = kInvalidHandle;
        std::uint32_t flags = 0;
        std::uint64_t baseOffset = 0;
        // Where the next read starts, from the start of the file. Kept here
        // rather than in the system's handle, so that reading at a new place
        // costs one call instead of a seek and a read.
        std::int64_t position = 0;
        // The file's size at opening, -1 when unknown: the end of a finished
        // recording without a call to the system.
        std::int64_t sizeAtOpen = -1;
        // The last blocks that short reads fetched whole: the embedded-file
        // check and the box reader both read the headers at the start and at
        // the movie, and the second one reads them from here.
        static constexpr std::size_t kBlockSize = 4096;
        struct Block {
            std::int64_t at = -1;
            std::int64_t size = 0;
            std::array<char, kBlockSize> bytes;
        };
        std::array<Block, 2> recent;
        std::size_t nextRecent = 0;

        // Provided, so that making one does not zero its blocks first.
        Impl() {}
        Impl(const Impl&) = delete;
        Impl& operator=(const Impl&) = delete;
        ~Impl();
    };

    // A closed descriptor.
    FileDescriptor();
    // Opens path at base offset 0.
    explicit FileDescriptor(const std::string& path);

    // Closes a file already open, then opens path read-only and positions the
    // file at baseOffset, which becomes the device's position 0.
    void open(const std::string& path, std::uint64_t baseOffset);

    // Device interface used by the stream buffer.
    std::streamsize read(char_type* buffer, std::streamsize count);
    std::streampos seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir direction);
    void close();

    bool IsOpen() const;
    std::uint32_t Flags() const;
    std::uint64_t BaseOffset() const;

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
