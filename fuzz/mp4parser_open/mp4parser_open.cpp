// Opens whatever bytes the fuzzer gives as a recording file, then reads every
// packet forwards, seeks to the end and reads every packet backwards.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "mp4parser/MP4Parser.h"

namespace {

using ORVL::SDK::Brannock2::MP4Parser;

// Enough for any seed; a read that keeps failing the same way ends the walk.
constexpr int kMaxReads = 20000;

volatile std::uint8_t g_sink;

const std::string& InputPath() {
    static const std::string path = "/tmp/fuzz_mp4parser_open_" + std::to_string(::getpid()) + ".3gp";
    return path;
}

bool WriteInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(InputPath().c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, data + written, size - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return written == size;
}

template <typename ReadOne>
void ReadAll(ReadOne readOne) {
    for (int i = 0; i < kMaxReads; ++i) {
        try {
            TMediaPacket* packet = readOne();
            if (packet == nullptr) return;
            // Touch the whole payload and extra data so that the sanitizers see them.
            std::uint8_t sum = 0;
            for (std::uint32_t j = 0; j < packet->payloadLength; ++j) sum += packet->header[packet->headerLength + j];
            for (std::uint32_t j = 0; j < packet->extraDataLength; ++j) sum += packet->extraData[j];
            g_sink = g_sink + sum;
        } catch (const std::ios_base::failure&) {
            return;  // the file gives out here; the cursor stays, so would every retry
        } catch (const std::exception&) {
            // A malformed sample or header: the walk goes on after it.
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    try {
        MP4Parser parser(InputPath());
        ReadAll([&] { return parser.Read(); });
        parser.SeekToTime(0xFFFFFFFF, 0xFFFFFFFF);
        ReadAll([&] { return parser.ReadBackward(); });
        parser.SeekToTime(0, 500);
        parser.Read();
    } catch (const std::exception&) {
        // Files that do not open are expected.
    }
    return 0;
}
