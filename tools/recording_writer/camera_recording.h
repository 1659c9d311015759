#pragma once

// Recordings as the cameras' recorders write them: media tracks, each
// followed by its header track (handler "lumo") whose samples are the
// header blocks of the media track's samples.

#include "recording_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace recording_writer {

struct HeaderTrackOptions {
    std::uint32_t trackId = 2;
    std::string codecCode = "h264";  // four characters of the frame header
    // Header time of the first sample, on the camera's clock (the zone's
    // local time, one hour ahead when daylight saving is applied).
    std::uint32_t startSeconds = 0;
    std::uint16_t startMilliseconds = 0;
    std::uint8_t zoneIndex = 48;  // 48 = UTC, steps of 15 minutes
    bool daylightSaving = false;
    // Extension bytes of every header; empty: the default of the codec code
    // (one zero word for video, the audio fields from the sample entry).
    std::vector<std::uint8_t> extension;
    // Extra data of every header block, e.g. the daylight-saving element.
    std::vector<std::uint8_t> extraData;
};

// The header track for `media`: one header block per media sample, timed by
// the media track's decode times, key frames marked by its sync samples.
Track HeaderTrackFor(const Track& media, const HeaderTrackOptions& options);

// Header seconds on the camera clock for a UTC time.
std::uint32_t CameraClockSeconds(std::uint32_t utcSeconds, std::uint8_t zoneIndex, bool daylightSaving);

struct CameraRecordingOptions {
    std::string video = "h264";  // h264, hevc, mp4v, jpeg, h263, none
    std::string audio = "aac";   // aac, amr, ulaw, alaw, none
    double seconds = 60;
    std::uint32_t framesPerSecond = 25;
    std::uint32_t keyFrameInterval = 25;
    std::uint32_t keyFrameSize = 6000;
    std::uint32_t frameSize = 600;
    std::uint16_t width = 320;
    std::uint16_t height = 240;
    std::uint32_t audioSampleRate = 8000;
    std::uint32_t startUtc = 1330769700;  // camera time of the first sample, UTC seconds
    std::uint16_t startMilliseconds = 0;
    std::uint8_t zoneIndex = 48;
    bool daylightSaving = false;
    bool headerTracks = true;
    std::vector<std::uint8_t> extraData;  // in every header block
    std::uint32_t videoTrackId = 1;
    std::uint32_t videoHeaderTrackId = 2;
    std::uint32_t audioTrackId = 6;
    std::uint32_t audioHeaderTrackId = 7;
};

// Media track alone (no header track).
Track VideoTrack(const CameraRecordingOptions& options);
Track AudioTrack(const CameraRecordingOptions& options);
Recording CameraRecording(const CameraRecordingOptions& options);

}  // namespace recording_writer
