#include "media/parsers.h"

#include "app/console.h"
#include "app/design_texts.h"
#include "mp4parser/MP4Parser.h"
#include "viewwhilerecording/src/ViewWhileRec.h"

#include <exception>

namespace {

using ORVL::SDK::Brannock2::MP4Parser;

// Track ids - 1 that the indexing reads: 0, 5, 6 and 7, modulo 32.
constexpr std::uint32_t kReadTrackMask = 0xE1;

// A time later than any packet of a live recording, in milliseconds.
constexpr std::uint64_t kEndOfRecordingTime = 0x000003E8FFFFFC17ull;
// Seconds and milliseconds later than any finished recording.
constexpr std::uint32_t kLatestSeconds = 0xFFFFFFFFu;
constexpr std::uint32_t kLatestMilliseconds = 0xFFFFFFFFu;

}  // namespace

CParsers::CParsers(const std::string& path) {
    try {
        isomParser = std::make_unique<MP4Parser>(path);
        opened = true;
    } catch (const std::exception& e) {
        console::WriteErrorLine(design_texts::IsomOpenFailedLine(path, e.what()));
    }
}

CParsers::CParsers(ViewWhileRecReader reader) : viewWhileRecReader(std::move(reader)) {
    opened = viewWhileRecReader != nullptr;
}

CParsers::~CParsers() = default;

void CParsers::FilterTracks() {
    if (!opened) {
        return;
    }
    if (viewWhileRecReader) {
        ViewWhileRec_SetVideoOnly(viewWhileRecReader.get(), true);
        return;
    }
    auto& cursors = isomParser->TrackCursors();
    for (auto cursor = cursors.rbegin(); cursor != cursors.rend(); ++cursor) {
        const std::uint32_t n = static_cast<std::uint32_t>(cursor->trackIdMinus1) & 31u;
        if (((kReadTrackMask >> n) & 1u) == 0) {
            cursor->enabled = 0;
        }
    }
}

TMediaPacket* CParsers::Read() {
    if (!opened) {
        return nullptr;
    }
    if (viewWhileRecReader) {
        TMediaPacket* packet = nullptr;
        const std::int32_t code = ViewWhileRec_OutputRawPacket(&packet, viewWhileRecReader.get());
        if (code < 0) {
            console::WriteErrorLine(design_texts::LiveReadFailedLine(code));
        }
        return packet;
    }
    try {
        return isomParser->Read();
    } catch (const std::exception& e) {
        console::WriteErrorLine(design_texts::IsomReadFailedLine(e.what()));
        return nullptr;
    }
}

std::int32_t CParsers::SeekBackward() {
    if (!opened) {
        return -1;
    }
    if (viewWhileRecReader) {
        ViewWhileRec_SetDirection(viewWhileRecReader.get(), -1);
        const std::int32_t code = ViewWhileRec_Seek(viewWhileRecReader.get(), kEndOfRecordingTime);
        if (code < 0) {
            console::WriteErrorLine(design_texts::LiveSeekFailedLine(code));
        }
        return code;
    }
    isomParser->SeekToTime(kLatestSeconds, kLatestMilliseconds);
    return 0;
}

TMediaPacket* CParsers::ReadBackward() {
    if (!opened) {
        return nullptr;
    }
    if (viewWhileRecReader) {
        TMediaPacket* packet = nullptr;
        ViewWhileRec_SetDirection(viewWhileRecReader.get(), -1);
        const std::int32_t code = ViewWhileRec_OutputRawPacket(&packet, viewWhileRecReader.get());
        if (code < 0) {
            console::WriteErrorLine(design_texts::LiveReadBackwardFailedLine(code));
        }
        return packet;
    }
    try {
        return isomParser->ReadBackward();
    } catch (const std::exception& e) {
        console::WriteErrorLine(design_texts::IsomReadBackwardFailedLine(e.what()));
        return nullptr;
    }
}

void CParsers::ViewWhileRecCloser::operator()(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader) const {
    ViewWhileRec_Close(reader);
}
