#pragma once

// Entry points of the reader for recordings that are still being written.
// The reader object itself is declared in ViewWhileRecImpl.h.
//
// Finding the live region. Our recorder starts every recording with one "ftyp"
// box and appends the block pairs right behind it, so the live region begins
// at the end of the file's leading box, which must be of type "ftyp" (its
// 32-bit size, or its 64-bit size when the 32-bit one is 1).
// ViewWhileRec_FindLiveRegion applies that rule; a caller that knows the
// offset another way passes it to ViewWhileRec_Open directly.
//
// Sharing the file with the recorder. The reader opens six read-only
// runtime-library streams on the file ("rb"; a reading, a measuring stream
// for each of its three cursors) and never writes, locks or truncates it, so
// the recorder keeps appending unhindered. It relies on the recorder only
// appending: bytes once written are never changed. Data at the end of the
// file may be incomplete at any moment; a read that comes up short is taken
// to mean "not written yet", and the same block pair is decoded again on a
// later call. After a short read the cursor is put back on its position and
// its end-of-file mark is cleared, so bytes appended later are seen.
//
// Threads: one reader is used by one thread at a time.

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
// VWR_S_NO_DATA: nothing more is written yet, try again later;
// VWR_S_END_OF_RECORDING: the recording is finished; VWR_E_AT_BEGIN: reading
// backward, there is no earlier packet. On any result but 0, *packet is left
// as it was.
std::int32_t ViewWhileRec_OutputRawPacket(TMediaPacket** packet,
                                          ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader);

// Sets the reading position for a time in milliseconds (recorded seconds * 1000 + milliseconds).
// Forward, the next read returns the latest key video packet before the time
// (the first packet when there is none); backward, the last packet at the
// time, else the first one after it, else the last packet of all. A seek that
// cannot be answered from what is indexed indexes everything written so far
// and returns VWR_S_NO_DATA or VWR_S_END_OF_RECORDING; the position it leaves
// still serves the next read.
std::int32_t ViewWhileRec_Seek(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, std::uint64_t timeMilliseconds);

// Finds where the live region of a recording starts: the end of its leading
// "ftyp" box. 0 with *liveRegionOffset set; VWR_S_NO_DATA when the box header
// is not all written yet; VWR_E_BAD_FORMAT when the file does not start with
// a "ftyp" box of a sound size; VWR_E_IO when the file cannot be read;
// VWR_E_INVALID_ARG for a null argument.
std::int32_t ViewWhileRec_FindLiveRegion(const char* path, std::uint64_t* liveRegionOffset);

// Opens a reader on a recording whose live region (the block pairs) starts at
// liveRegionOffset; on 0 *reader receives a reader that ViewWhileRec_Close frees.
// VWR_E_IO when the file cannot be opened or the offset cannot be sought to,
// VWR_E_INVALID_ARG for a null argument;
// *reader is left as it was on failure. The new reader reads forward, every
// packet, with no position: its first read returns the first packet.
std::int32_t ViewWhileRec_Open(const char* path, std::uint64_t liveRegionOffset,
                               ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl** reader);
// Closes the reader's streams and releases the packet it still holds. Null is allowed.
void ViewWhileRec_Close(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader);

// Reading switches; the facade sets videoOnly and direction itself. A null
// reader is ignored.
// keyFramesOnly: only key frames are output.
void ViewWhileRec_SetKeyFramesOnly(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, bool on);
// seconds > 0: each output jumps about that many seconds from the last one
// and only key video packets are output; 0 outputs every packet in order.
void ViewWhileRec_SetStepSeconds(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, std::uint16_t seconds);
// Only video packets are output.
void ViewWhileRec_SetVideoOnly(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, bool on);
// -1 reads backward (towards earlier packets); any other value forward.
void ViewWhileRec_SetDirection(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader, std::int16_t direction);
