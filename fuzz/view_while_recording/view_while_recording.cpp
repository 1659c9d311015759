// An arbitrary byte string as a recording that grows in two steps while a
// reader indexes, outputs and seeks with every switch it has.
//
// Input: byte 0 switches (bit 0 video only, bit 1 key frames only, bits 2-4
// step seconds, bit 5 start backward), bytes 1-2 how many file bytes are
// written before the reader first looks, bytes 3-10 the reader's operations,
// then the file itself (a leading ftyp box places the live region).

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <string>

#include "ViewWhileRec.h"
#include "ViewWhileRecImpl.h"

namespace {

using ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl;

constexpr std::size_t kPrefixSize = 11;
constexpr std::size_t kOperations = 8;
constexpr std::uint64_t kFarFuture = 0x000003E8FFFFFC17ull;

const std::string& FilePath() {
    static const std::string path = [] {
        // Memory-backed when the system has it: every run rewrites the file.
        char inMemory[] = "/dev/shm/fuzz-view-while-recording-XXXXXX";
        char onDisk[] = "/tmp/fuzz-view-while-recording-XXXXXX";
        char* name = inMemory;
        int fd = mkstemp(name);
        if (fd < 0) fd = mkstemp(name = onDisk);
        if (fd < 0) std::abort();
        close(fd);
        std::atexit([] { unlink(FilePath().c_str()); });
        return std::string(name);
    }();
    return path;
}

void Append(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written <= 0) std::abort();
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Every byte of a delivered packet must be readable.
void Touch(const TMediaPacket& packet) {
    volatile std::uint8_t sink = 0;
    const std::size_t length = std::size_t{packet.headerLength} + packet.payloadLength;
    for (std::size_t i = 0; i < length; ++i) sink = sink + packet.header[i];
    for (std::size_t i = 0; i < packet.extraDataLength; ++i) sink = sink + packet.extraData[i];
}

std::uint64_t SeekTime(const ViewWhileRecImpl& reader, std::uint8_t op) {
    const auto& index = reader.Index();
    const unsigned pick = op >> 3;
    if (index.empty() || pick == 31) return kFarFuture;
    const auto& info = **std::next(index.begin(), static_cast<long>(pick % index.size()));
    return (op & 4) ? info.time + 1 : info.time;
}

void Operate(ViewWhileRecImpl* reader, const std::uint8_t* ops) {
    for (std::size_t i = 0; i < kOperations; ++i) {
        const std::uint8_t op = ops[i];
        switch (op & 3) {
            case 0: {
                // Read a few packets in a row.
                for (int n = 0; n <= (op >> 2 & 7); ++n) {
                    TMediaPacket* packet = nullptr;
                    if (ViewWhileRec_OutputRawPacket(&packet, reader) != 0) break;
                    Touch(*packet);
                }
                break;
            }
            case 1:
                ViewWhileRec_Seek(reader, SeekTime(*reader, op));
                break;
            case 2:
                ViewWhileRec_SetDirection(reader, (op & 4) ? -1 : 1);
                break;
            default:
                try {
                    reader->UpdateIndex();
                } catch (const std::exception&) {
                    // the entry points turn these into codes; here they are expected
                }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefixSize) return 0;
    const std::uint8_t switches = data[0];
    const std::size_t split = std::size_t{data[1]} << 8 | data[2];
    const std::uint8_t* ops = data + 3;
    const std::uint8_t* file = data + kPrefixSize;
    const std::size_t fileSize = size - kPrefixSize;
    const std::size_t firstPart = split < fileSize ? split : fileSize;

    const int fd = open(FilePath().c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0) std::abort();
    Append(fd, file, firstPart);

    std::uint64_t liveRegion = 0;
    if (ViewWhileRec_FindLiveRegion(FilePath().c_str(), &liveRegion) != 0) liveRegion = 0;
    ViewWhileRecImpl* reader = nullptr;
    if (ViewWhileRec_Open(FilePath().c_str(), liveRegion, &reader) != 0) {
        // A live region beyond what a file can hold cannot be sought to.
        close(fd);
        return 0;
    }
    ViewWhileRec_SetVideoOnly(reader, switches & 1);
    ViewWhileRec_SetKeyFramesOnly(reader, switches & 2);
    ViewWhileRec_SetStepSeconds(reader, switches >> 2 & 7);
    ViewWhileRec_SetDirection(reader, (switches & 0x20) ? -1 : 1);

    Operate(reader, ops);
    Append(fd, file + firstPart, fileSize - firstPart);
    Operate(reader, ops);
    ViewWhileRec_Close(reader);
    close(fd);
    return 0;
}
