#pragma once

#include <cstddef>
#include <cstdint>
#include <ios>
#include <limits>

#include <boost/function.hpp>
#include <boost/iostreams/positioning.hpp>
#include <boost/iostreams/stream_buffer.hpp>

#include "media/byte_cursor.h"
#include "mp4parser/FileDescriptor.h"
#include "mp4parser/StreamFailure.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Reads byte runs and big-endian integers of a finished file through a
// buffered stream over a seekable input device, keeping its own 64-bit
// position (bytes consumed from the device's position 0). Its capacity rule:
// the file ends where it ends, and a read beyond fails. The live reader's
// GrowingFileReader reads a file still growing.
template <typename Device>
class BufferedFileReader : public BigEndianReads<BufferedFileReader<Device>> {
public:
    // One of ReadU8/16/32, chosen at run time.
    typedef boost::function<std::uint32_t(BufferedFileReader&)> UIntReader;

    BufferedFileReader() = default;
    BufferedFileReader(const BufferedFileReader&) = delete;
    BufferedFileReader& operator=(const BufferedFileReader&) = delete;

    // Opens the stream buffer on a copy of device; destroying the reader leaves
    // the device open, Close() closes it.
    void Open(const Device& device) {
        buffer_.open(device);
        buffer_.set_auto_close(false);
        position_ = ToOffset(buffer_.pubseekoff(0, std::ios_base::beg, std::ios_base::in));
    }

    // Reads exactly count bytes. Nothing at all is "end of file", a part is
    // "bad read"; either way the position is unchanged.
    void ReadBytes(void* destination, std::size_t count) {
        if (count == 0) return;
        std::streamsize got;
        try {
            got = buffer_.ReadThrough(static_cast<char*>(destination), static_cast<std::streamsize>(count));
        } catch (...) {
            Resynchronise();
            throw;
        }
        if (got == static_cast<std::streamsize>(count)) {
            position_ += count;
            return;
        }
        if (got > 0) {
            Resynchronise();
            ThrowStreamFailure("bad read");
        }
        ThrowStreamFailure("end of file");
    }

    static UIntReader UIntReaderOfWidth(unsigned bytes) {
        switch (bytes) {
            case 1:
                return [](BufferedFileReader& r) -> std::uint32_t { return r.ReadU8(); };
            case 2:
                return [](BufferedFileReader& r) -> std::uint32_t { return r.ReadU16(); };
            default:
                return [](BufferedFileReader& r) -> std::uint32_t { return r.ReadU32(); };
        }
    }

    // Moves count bytes forward (backward when negative). Counts beyond the
    // 32-bit range go through an absolute seek.
    void Skip(std::int64_t count) {
        if (buffer_.MoveWithinBuffer(count)) {
            position_ += static_cast<std::uint64_t>(count);
            return;
        }
        if (count >= std::numeric_limits<std::int32_t>::min() && count <= std::numeric_limits<std::int32_t>::max()) {
            buffer_.pubseekoff(static_cast<boost::iostreams::stream_offset>(count), std::ios_base::cur,
                               std::ios_base::in);
        } else {
            SeekAbsolute(position_ + static_cast<std::uint64_t>(count));
        }
        position_ += static_cast<std::uint64_t>(count);
    }

    void Seek(std::uint64_t target) {
        if (target == position_) return;
        if (target > position_) {
            const std::uint64_t forward = target - position_;
            if (forward <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                Skip(static_cast<std::int64_t>(forward));
                return;
            }
        }
        if (buffer_.MoveWithinBuffer(static_cast<std::int64_t>(target - position_))) {
            position_ = target;
            return;
        }
        SeekAbsolute(target);
        position_ = target;
    }

    std::uint64_t Position() const { return position_; }

    void Close() {
        if (buffer_.is_open()) buffer_.close();
    }

private:
    static std::uint64_t ToOffset(std::streampos position) {
        return static_cast<std::uint64_t>(boost::iostreams::position_to_offset(position));
    }

    void SeekAbsolute(std::uint64_t target) {
        buffer_.pubseekpos(boost::iostreams::offset_to_position(static_cast<boost::iostreams::stream_offset>(target)),
                           std::ios_base::in);
    }

    // A short read has consumed bytes that position_ does not count; put the
    // stream back where position_ says, so that later relative moves land right.
    void Resynchronise() {
        try {
            SeekAbsolute(position_);
        } catch (...) {
            // The read failure is what the caller hears about.
        }
    }

    // The stream buffer, taught two shortcuts: moves that stay inside the
    // bytes it holds cost no call on the device, and a long read takes what
    // is buffered and fetches the rest straight into the destination rather
    // than a buffer's worth at a time.
    class Buffer : public boost::iostreams::stream_buffer<Device> {
    public:
        bool MoveWithinBuffer(std::int64_t count) {
            if (this->gptr() == nullptr) return false;
            if (count < this->eback() - this->gptr() || count > this->egptr() - this->gptr()) return false;
            this->gbump(static_cast<int>(count));
            return true;
        }

        std::streamsize ReadThrough(char* destination, std::streamsize count) {
            const std::streamsize buffered = this->gptr() != nullptr ? this->egptr() - this->gptr() : 0;
            if (count - buffered < kDirectReadThreshold) return this->sgetn(destination, count);
            std::streamsize done = this->sgetn(destination, buffered);
            // The device is now where the buffer's end was; the buffer must
            // not offer its old bytes as if they came after what is read here.
            if (this->gptr() != nullptr) this->setg(this->egptr(), this->egptr(), this->egptr());
            while (done < count) {
                const std::streamsize got = (**this).read(destination + done, count - done);
                if (got <= 0) break;
                done += got;
            }
            return done;
        }

    private:
        static constexpr std::streamsize kDirectReadThreshold = 4096;
    };

    Buffer buffer_;
    std::uint64_t position_ = 0;
};

typedef BufferedFileReader<FileDescriptor> FileReader;

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
