#pragma once

// Codec configuration, picture width and height per codec code, as the latest
// data block that carried a configuration gave them.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {

struct TCodecInfo {
    std::uint32_t configLength = 0;
    std::shared_ptr<const std::vector<std::uint8_t>> configuration;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};

using CodecTable = std::map<std::uint32_t, TCodecInfo>;

}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL
