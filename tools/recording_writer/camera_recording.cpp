#include "camera_recording.h"

#include "tools/frame_header_writer/frame_header_writer.h"

#include <cmath>
#include <stdexcept>

namespace recording_writer {
namespace {

bool IsVideoCode(const std::string& code) {
    return code == "jpeg" || code == "h263" || code == "mp4v" || code == "h264" || code == "hevc" || code == "DMYV";
}

frame_writer::Bytes DefaultExtension(const Track& media, const std::string& code, std::uint32_t sampleSize) {
    if (IsVideoCode(code)) {
        return frame_writer::EncodeVideoExtension(frame_writer::VideoExtension{});
    }
    frame_writer::AudioExtension audio;
    audio.hasRateAndChannels = true;
    audio.sampleRate = media.entry.sampleRate;
    audio.channels = static_cast<std::uint8_t>(media.entry.channels);
    audio.frameCount = 1;
    audio.frameSizes = {static_cast<std::uint16_t>(sampleSize)};
    return frame_writer::EncodeAudioExtension(audio);
}

std::string CodecCodeFor(const std::string& name) {
    if (name == "h264") return "h264";
    if (name == "hevc") return "hevc";
    if (name == "mp4v") return "mp4v";
    if (name == "jpeg") return "jpeg";
    if (name == "h263") return "h263";
    if (name == "aac") return "aac ";
    if (name == "amr") return "SAMR";
    if (name == "ulaw") return "PCMU";
    if (name == "alaw") return "PCMA";
    throw std::invalid_argument("unknown codec " + name);
}

}  // namespace

std::uint32_t CameraClockSeconds(std::uint32_t utcSeconds, std::uint8_t zoneIndex, bool daylightSaving) {
    const std::int64_t zoneOffset = (static_cast<std::int64_t>(zoneIndex & 0x7F) - 48) * 900;
    return static_cast<std::uint32_t>(utcSeconds + zoneOffset + (daylightSaving ? 3600 : 0));
}

Track HeaderTrackFor(const Track& media, const HeaderTrackOptions& options) {
    Track header;
    header.trackId = options.trackId;
    header.handler = "lumo";
    header.timescale = media.timescale;
    header.creationTime = media.creationTime;
    header.entry.type = "lumo";
    header.durations = media.durations;
    header.samplesPerChunk = media.samplesPerChunk;
    const std::uint32_t count = media.SampleCount();
    header.payloads.reserve(count);
    std::uint64_t ticks = 0;
    const std::uint64_t startMs = static_cast<std::uint64_t>(options.startSeconds) * 1000 + options.startMilliseconds;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t offsetMs = media.timescale ? (ticks * 1000 + media.timescale / 2) / media.timescale : 0;
        const std::uint64_t ms = startMs + offsetMs;
        frame_writer::FrameHeader frame(options.codecCode);
        frame.Time(static_cast<std::uint32_t>(ms / 1000), static_cast<std::uint16_t>(ms % 1000))
            .Zone(options.zoneIndex)
            .DaylightSaving(options.daylightSaving)
            .KeyFrame(media.IsSync(i));
        frame.Extension(options.extension.empty() ? DefaultExtension(media, options.codecCode, media.SampleSize(i))
                                                  : options.extension);
        header.payloads.push_back(frame_writer::EncodeHeaderBlock(frame, media.SampleSize(i), options.extraData));
        ticks += media.Duration(i);
    }
    return header;
}

Track VideoTrack(const CameraRecordingOptions& o) {
    Track t;
    t.trackId = o.videoTrackId;
    t.handler = "vide";
    t.timescale = 90000;
    t.creationTime = MovieTimeFromUnix(o.startUtc);
    const std::uint32_t frames = static_cast<std::uint32_t>(std::lround(o.seconds * o.framesPerSecond));
    t.durations = {90000 / o.framesPerSecond};
    t.entry.width = o.width;
    t.entry.height = o.height;
    if (o.video == "h264") {
        t.entry.type = "avc1";
    } else if (o.video == "hevc") {
        t.entry.type = "hvc1";
    } else if (o.video == "mp4v") {
        t.entry.type = "mp4v";
    } else if (o.video == "jpeg") {
        t.entry.type = "mp4v";
        t.entry.objectType = 0x6C;
    } else if (o.video == "h263") {
        t.entry.type = "s263";
    } else {
        throw std::invalid_argument("unknown video codec " + o.video);
    }
    const std::uint32_t interval = o.keyFrameInterval ? o.keyFrameInterval : 1;
    t.writeStss = interval > 1 || o.video == "jpeg";
    for (std::uint32_t i = 0; i < frames; ++i) {
        const bool key = i % interval == 0;
        t.sizes.push_back(key ? o.keyFrameSize : o.frameSize);
        if (key && t.writeStss) {
            t.syncSamples.push_back(i + 1);
        }
    }
    return t;
}

Track AudioTrack(const CameraRecordingOptions& o) {
    Track t;
    t.trackId = o.audioTrackId;
    t.handler = "soun";
    t.timescale = o.audioSampleRate;
    t.creationTime = MovieTimeFromUnix(o.startUtc);
    t.entry.sampleRate = o.audioSampleRate;
    t.entry.channels = 1;
    std::uint32_t samplesPerPacket = 1024;
    std::uint32_t packetSize = 200;
    if (o.audio == "aac") {
        t.entry.type = "mp4a";
    } else if (o.audio == "amr") {
        t.entry.type = "samr";
        t.timescale = 8000;
        t.entry.sampleRate = 8000;
        samplesPerPacket = 1600;  // ten 20 ms frames
        packetSize = 320;
    } else if (o.audio == "ulaw" || o.audio == "alaw") {
        t.entry.type = o.audio;
        samplesPerPacket = t.timescale / 10;
        packetSize = samplesPerPacket;
    } else {
        throw std::invalid_argument("unknown audio codec " + o.audio);
    }
    const auto packets = static_cast<std::uint32_t>(std::ceil(o.seconds * t.timescale / samplesPerPacket));
    t.durations = {samplesPerPacket};
    t.sizes.assign(packets, packetSize);
    t.samplesPerChunk = {5};
    return t;
}

Recording CameraRecording(const CameraRecordingOptions& o) {
    Recording r;
    r.creationTime = MovieTimeFromUnix(o.startUtc);
    HeaderTrackOptions h;
    h.startSeconds = CameraClockSeconds(o.startUtc, o.zoneIndex, o.daylightSaving);
    h.startMilliseconds = o.startMilliseconds;
    h.zoneIndex = o.zoneIndex;
    h.daylightSaving = o.daylightSaving;
    h.extraData = o.extraData;
    if (o.video != "none") {
        r.tracks.push_back(VideoTrack(o));
        if (o.headerTracks) {
            h.trackId = o.videoHeaderTrackId;
            h.codecCode = CodecCodeFor(o.video);
            r.tracks.push_back(HeaderTrackFor(r.tracks.back(), h));
        }
    }
    if (o.audio != "none") {
        r.tracks.push_back(AudioTrack(o));
        if (o.headerTracks) {
            h.trackId = o.audioHeaderTrackId;
            h.codecCode = CodecCodeFor(o.audio);
            r.tracks.push_back(HeaderTrackFor(r.tracks.back(), h));
        }
    }
    return r;
}

}  // namespace recording_writer
