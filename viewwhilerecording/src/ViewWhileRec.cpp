// The reader's free-standing entry points: creation, result codes, switches.

#include "ViewWhileRec.h"

#include <exception>
#include <memory>
#include <string>

#include "BoxProbe.h"
#include "Exceptions.h"
#include "FileStream.h"
#include "ViewWhileRecImpl.h"

using ORVL::SDK::ViewWhileRecording::FileStream;
using ORVL::SDK::ViewWhileRecording::GrowingFileReader;
using ORVL::SDK::ViewWhileRecording::IOException;
using ORVL::SDK::ViewWhileRecording::OpenReadStream;
using ORVL::SDK::ViewWhileRecording::ProbeBox;
using ORVL::SDK::ViewWhileRecording::ProbedBox;
using ORVL::SDK::ViewWhileRecording::ViewWhileRecException;
using ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl;

namespace {

// Turns the failures that may leave the reader into result codes; the reader
// stays usable.
template <typename Action>
std::int32_t Guarded(Action action) {
    try {
        return action();
    } catch (const IOException&) {
        return VWR_E_IO;
    } catch (const ViewWhileRecException&) {
        return VWR_E_BAD_FORMAT;
    } catch (const std::exception&) {
        return VWR_E_EXCEPTION;
    }
}

// Runs a navigation step, and while it finds nothing indexes more of the file
// and tries again.
template <typename Navigate>
std::int32_t NavigateIndexingOnDemand(ViewWhileRecImpl& reader, Navigate navigate, bool stopAtBegin) {
    return Guarded([&]() -> std::int32_t {
        for (;;) {
            const std::int32_t result = navigate();
            if (result == 0) return 0;
            if (stopAtBegin && result == VWR_E_AT_BEGIN) return result;
            const int added = reader.UpdateIndex();
            if (added < 0) return VWR_S_END_OF_RECORDING;
            if (added == 0) return VWR_S_NO_DATA;
        }
    });
}

std::unique_ptr<GrowingFileReader> OpenFileReader(const std::string& path) {
    FileStream readFile = OpenReadStream(path);
    if (!readFile) return nullptr;
    FileStream sizeFile = OpenReadStream(path);
    if (!sizeFile) return nullptr;
    return std::make_unique<GrowingFileReader>(std::move(readFile), std::move(sizeFile));
}

}  // namespace

std::int32_t ViewWhileRec_OutputRawPacket(TMediaPacket** packet, ViewWhileRecImpl* reader) {
    if (packet == nullptr || reader == nullptr) return VWR_E_INVALID_ARG;
    const std::int32_t result = NavigateIndexingOnDemand(
        *reader, [reader] { return reader->OutputNext(); }, true);
    if (result == 0) *packet = reader->CurrentPacket();
    return result;
}

std::int32_t ViewWhileRec_Seek(ViewWhileRecImpl* reader, std::uint64_t timeMilliseconds) {
    if (reader == nullptr) return VWR_E_INVALID_ARG;
    return NavigateIndexingOnDemand(
        *reader, [reader, timeMilliseconds] { return reader->SeekTo(timeMilliseconds); }, false);
}

std::int32_t ViewWhileRec_FindLiveRegion(const char* path, std::uint64_t* liveRegionOffset) {
    if (path == nullptr || liveRegionOffset == nullptr) return VWR_E_INVALID_ARG;
    std::unique_ptr<GrowingFileReader> reader = OpenFileReader(path);
    if (!reader) return VWR_E_IO;
    return Guarded([&]() -> std::int32_t {
        constexpr std::uint64_t kShortestBoxHeader = 8;
        if (reader->Available() < kShortestBoxHeader) return VWR_S_NO_DATA;
        ProbedBox box;
        try {
            box = ProbeBox(*reader);
        } catch (const IOException&) {
            return VWR_S_NO_DATA;  // the 64-bit size is not written yet
        }
        if (!box.Is("ftyp") || box.size < box.headerLength) return VWR_E_BAD_FORMAT;
        *liveRegionOffset = box.size;
        return 0;
    });
}

std::int32_t ViewWhileRec_Open(const char* path, std::uint64_t liveRegionOffset, ViewWhileRecImpl** reader) {
    if (path == nullptr || reader == nullptr) return VWR_E_INVALID_ARG;
    std::unique_ptr<GrowingFileReader> blockReader = OpenFileReader(path);
    std::unique_ptr<GrowingFileReader> indexReader = blockReader ? OpenFileReader(path) : nullptr;
    std::unique_ptr<GrowingFileReader> payloadReader = indexReader ? OpenFileReader(path) : nullptr;
    if (!payloadReader) return VWR_E_IO;
    return Guarded([&]() -> std::int32_t {
        auto opened = std::make_unique<ViewWhileRecImpl>(std::move(*blockReader), std::move(*indexReader),
                                                         std::move(*payloadReader), liveRegionOffset);
        *reader = opened.release();  // ViewWhileRec_Close takes it back
        return 0;
    });
}

void ViewWhileRec_Close(ViewWhileRecImpl* reader) { std::unique_ptr<ViewWhileRecImpl> closing(reader); }

void ViewWhileRec_SetKeyFramesOnly(ViewWhileRecImpl* reader, bool on) {
    if (reader != nullptr) reader->SetKeyFramesOnly(on);
}

void ViewWhileRec_SetStepSeconds(ViewWhileRecImpl* reader, std::uint16_t seconds) {
    if (reader != nullptr) reader->SetStepSeconds(seconds);
}

void ViewWhileRec_SetVideoOnly(ViewWhileRecImpl* reader, bool on) {
    if (reader != nullptr) reader->SetVideoOnly(on);
}

void ViewWhileRec_SetDirection(ViewWhileRecImpl* reader, std::int16_t direction) {
    if (reader != nullptr) reader->SetDirection(direction);
}
