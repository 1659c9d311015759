#include "media/parsers.h"

#include "app/console.h"
#include "mp4parser/MP4Parser.h"
#include "viewwhilerecording/src/ViewWhileRec.h"

#include <exception>
#include <sstream>

namespace {

using ORVL::SDK::Brannock2::MP4Parser;

// Track ids - 1 that the indexing reads: 0, 5, 6 and 7, modulo 32.
constexpr std::uint32_t kReadTrackMask = 0xE1;

// A time later than any packet of a live recording, in milliseconds.
constexpr std::uint64_t kEndOfRecordingTime = 0x000003E8FFFFFC17ull;
// Seconds and milliseconds later than any finished recording.
constexpr std::uint32_t kLatestSeconds = 0xFFFFFFFFu;
constexpr std::uint32_t kLatestMilliseconds = 0xFFFFFFFFu;

void ReportFailure(const std::string& text, const std::exception& e) {
    console::WriteErrorLine(text + e.what());
}

void ReportCode(const std::string& text, std::int32_t code) {
    std::ostringstream line;
    line << text;
    console::WriteCode(line, code);
    console::WriteErrorLine(line.str());
}

}  // namespace

CParsers::CParsers(const std::string& path) {
    try {
        isomParser = std::make_unique<MP4Parser>(path);
        opened = true;
    } catch (const std::exception& e) {
        ReportFailure("CParsers::CParsers - isom parser open file: " + path + " failed: ", e);
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
            ReportCode("CParsers::Read - ViewWhileRec_OutputRawPacket failed scRet: 0x ", code);
        }
        return packet;
    }
    try {
        return isomParser->Read();
    } catch (const std::exception& e) {
        ReportFailure("CParsers::Read - isom parser Read failed: ", e);
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
            ReportCode("CParsers::SeekBackward - ViewWhileRec_Seek failed scRet: 0x", code);
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
            ReportCode("CParsers::ReadBackward - ViewWhileRec_OutputRawPacket failed scRet: 0x ", code);
        }
        return packet;
    }
    try {
        return isomParser->ReadBackward();
    } catch (const std::exception& e) {
        ReportFailure("CParsers::ReadBackward - isom parser ReadBackward failed: ", e);
        return nullptr;
    }
}

void CParsers::ViewWhileRecCloser::operator()(ORVL::SDK::ViewWhileRecording::ViewWhileRecImpl* reader) const {
    ViewWhileRec_Close(reader);
}
