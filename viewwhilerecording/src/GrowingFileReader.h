#pragma once

// A cursor on a file that another process may still be appending to: exact
// reads at a 64-bit position, moves to any offset, and the number of bytes
// written beyond the position. Every byte the live reader looks at comes
// through here, so a short read is the one signal that data is not there yet.
// The finished-file reader of the ISO parser is BufferedFileReader.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Exceptions.h"
#include "FileStream.h"
#include "media/byte_cursor.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

// The live reader's capacity rule: bytes beyond the written data are not
// written yet. The read fails as a short read of the file does (IOException,
// "fread"), and the indexing tries the block pair again once more is written.
struct WaitForMore {
    [[noreturn]] static void Shortfall() { VWR_THROW_IO("fread", 0); }
};

class GrowingFileReader : public BigEndianReads<GrowingFileReader> {
public:
    // Takes two streams opened on the same file: readFile serves reads and
    // moves, sizeFile only measures the file so the read buffer is never
    // disturbed. Both must be open; they are closed by the destructor,
    // sizeFile first.
    GrowingFileReader(FileStream readFile, FileStream sizeFile);
    GrowingFileReader(GrowingFileReader&&) noexcept = default;
    GrowingFileReader& operator=(GrowingFileReader&&) noexcept = default;

    // Reads exactly size bytes; fewer raise IOException ("fread") and leave
    // the position, and the stream, where they were.
    void ReadBytes(void* buffer, std::size_t size);
    // Reads size bytes into a new buffer. Large sizes are checked against the
    // written length first, so a bogus size from the file cannot make the
    // reader allocate gigabytes for a read that must fail anyway.
    std::vector<std::uint8_t> ReadVector(std::uint32_t size);
    // Copies up to size bytes from the position on, as many as are written,
    // without moving; returns how many. Raises IOException ("fseek").
    std::size_t Peek(void* buffer, std::size_t size);

    // Moves so that the next read returns the byte at target; raises
    // IOException ("fseek"). Moving beyond the written data is no error.
    void Seek(std::uint64_t target);

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
