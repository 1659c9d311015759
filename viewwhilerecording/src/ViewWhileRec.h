#pragma once

// Entry points of the reader for recordings that are still being written.
// The reader object itself is declared in ViewWhileRecImpl.h.

#include <cstdint>

struct TMediaPacket;

namespace ORVL {
namespace SDK {
namespace ViewWhileRecording {
class ViewWhileRecImpl;
}  // namespace ViewWhileRecording
}  // namespace SDK
}  // namespace ORVL

// Result codes: 0 success, positive when there is nothing (more) to deliver, negative on failure.
constexpr std::int32_t VWR_S_END_OF_RECORDING = 0x00432101;
constexpr std::int32_t VWR_S_NO_DATA = 0x00432102;
constexpr std::int32_t VWR_E_BAD_FORMAT = static_cast<std::int32_t>(0x80432201u);
constexpr std::int32_t VWR_E_IO = static_cast<std::int32_t>(0x80432202u);
constexpr std::int32_t VWR_E_EXCEPTION = static_cast<std::int32_t>(0x80432203u);
constexpr std::int32_t VWR_E_AT_BEGIN = static_cast<std::int32_t>(0x80432204u);
constexpr std::int32_t VWR_E_INVALID_ARG = static_cast<std::int32_t>(0x80000003u);

// Hands out the next packet in the reader's current direction. On 0 *packet
// receives a packet that the reader keeps until its next output or its close.
std::int32_t ViewWhileRec_OutputRawPacket(TMediaPacket** packet,
                                          ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader);

// Sets the reading position for a time in milliseconds (recorded seconds * 1000 + milliseconds).
std::int32_t ViewWhileRec_Seek(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader,
                               std::uint64_t timeMilliseconds);

// Opens a reader on a recording whose live region (the block pairs) starts at
// liveRegionOffset; on 0 *reader receives a reader that ViewWhileRec_Close frees.
std::int32_t ViewWhileRec_Open(const char* path, std::uint64_t liveRegionOffset,
                               ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl** reader);
void ViewWhileRec_Close(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader);

// Reading switches; the facade sets videoOnly and direction itself.
void ViewWhileRec_SetKeyFramesOnly(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, bool on);
void ViewWhileRec_SetStepSeconds(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, std::uint16_t seconds);
void ViewWhileRec_SetVideoOnly(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, bool on);
void ViewWhileRec_SetDirection(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, std::int16_t direction);
