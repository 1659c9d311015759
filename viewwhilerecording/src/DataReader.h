#pragma once

// A cursor on a file that another process may still be appending to: exact
// reads at a 64-bit position, moves to any offset, and the number of bytes
// written beyond the position. Every byte the live reader looks at comes
// through here, so a short read is the one signal that data is not there yet.
// Not the ISO parser's DataReader<Device> (Brannock2), which reads a finished
// file through a stream buffer.

#include <cstdint>
#include <vector>

#include "FileStream.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

class DataReader {
public:
    // Takes two streams opened on the same file: readFile serves reads and
    // moves, sizeFile only measures the file so the read buffer is never
    // disturbed. Both must be open; they are closed by the destructor,
    // sizeFile first.
    DataReader(FileStream readFile, FileStream sizeFile);
    DataReader(DataReader&&) noexcept = default;
    DataReader& operator=(DataReader&&) noexcept = default;

    // Reads exactly size bytes; fewer raise IOException ("fread") and leave
    // the position, and the stream, where they were.
    void GetData(void* buffer, unsigned int size);
    // Reads size bytes into a new buffer. Large sizes are checked against the
    // written length first, so a bogus size from the file cannot make the
    // reader allocate gigabytes for a read that must fail anyway.
    std::vector<std::uint8_t> GetBytes(std::uint32_t size);

    // Big-endian typed reads.
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    std::uint64_t ReadU64();

    // Moves so that the next read returns the byte at target; raises
    // IOException ("fseek"). Moving beyond the written data is no error.
    void SetPosition(const std::uint64_t& target);

    // Current file length minus the position, as unsigned 64-bit (a position
    // beyond the end gives a huge value). Raises IOException ("fseek",
    // "ftell").
    std::uint64_t Available();

    // Whether size bytes are written beyond the position (false when the
    // position lies beyond the end). Raises IOException ("fseek", "ftell").
    bool IsAvailable(std::uint64_t size);
    // Raises IOException ("fread") unless size bytes are written beyond the
    // position.
    void RequireAvailable(std::uint64_t size);

    std::uint64_t Position() const { return position; }

private:
    std::uint64_t Length();
    void Resynchronise() noexcept;

    FileStream readFile;
    FileStream sizeFile;
    std::uint64_t position = 0;
};

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
