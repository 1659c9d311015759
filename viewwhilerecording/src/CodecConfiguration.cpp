#include "CodecConfiguration.h"

#include "BlockHeader.h"
#include "GrowingFileReader.h"
#include "Exceptions.h"
#include "media/start_code.h"

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

namespace {

// The recorder's reader stores the sets in a buffer of the configuration's
// length plus 513 bytes: each 4-byte start code replaces a 2-byte length, 2
// bytes more for each of up to 256 sets (one, then a count byte of further
// ones), and one to spare. Sets that need more make the pair malformed.
constexpr std::uint64_t kStartCodeRoom = 513;

void AppendParameterSet(GrowingFileReader& reader, std::vector<std::uint8_t>& stored, std::uint64_t capacity) {
    const std::uint16_t length = reader.ReadU16();
    if (stored.size() + kUnitStartCodeLength + length > capacity) ThrowMalformed();
    stored.insert(stored.end(), std::begin(kUnitStartCode), std::end(kUnitStartCode));
    const std::size_t at = stored.size();
    stored.resize(at + length);
    reader.ReadBytes(stored.data() + at, length);
}

std::vector<std::uint8_t> ReadH264Configuration(GrowingFileReader& reader, std::uint32_t configLength) {
    const std::uint64_t capacity = std::uint64_t{configLength} + kStartCodeRoom;
    std::vector<std::uint8_t> stored;
    AppendParameterSet(reader, stored, capacity);
    const unsigned furtherSets = reader.ReadU8();
    for (unsigned i = 0; i < furtherSets; ++i) AppendParameterSet(reader, stored, capacity);
    return stored;
}

}  // namespace

std::vector<std::uint8_t> ReadCodecConfiguration(GrowingFileReader& reader, std::uint32_t codec,
                                                 std::uint32_t configLength) {
    if (codec == kCodecH264) return ReadH264Configuration(reader, configLength);
    return reader.ReadVector(configLength);
}

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
