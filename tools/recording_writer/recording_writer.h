#pragma once

// Writes finished ISO base media recordings, as the cameras' recorders leave
// them, from a short description: the tracks with their sample tables, the
// header tracks that carry each sample's camera frame header, and the box
// layouts that recorders and other muxers produce. Used by tests, benchmarks
// and the demo; everything is built in one buffer and written with one call.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace recording_writer {

// Movie times count seconds from 1904-01-01.
constexpr std::uint64_t kSecondsFrom1904To1970 = 2082844800u;
inline std::uint64_t MovieTimeFromUnix(std::uint64_t unixSeconds) { return unixSeconds + kSecondsFrom1904To1970; }

struct EditEntry {
    std::uint32_t segmentDuration = 0;  // in movie timescale units
    std::int32_t mediaTime = 0;         // -1: an empty edit
    std::uint32_t mediaRate = 0x00010000;
};

struct SampleEntry {
    std::string type = "avc1";  // four characters
    // Visual entries.
    std::uint16_t width = 320;
    std::uint16_t height = 240;
    // Audio entries.
    std::uint16_t channels = 1;
    std::uint16_t sampleSize = 16;
    std::uint32_t sampleRate = 8000;
    // Body of avcC, hvcC, damr or d263; for mp4v and mp4a the decoder-specific
    // information inside the esds. Empty: a plausible default for the type.
    std::vector<std::uint8_t> config;
    bool noConfig = false;  // write no configuration box at all
    // esds object type indication; 0 takes 0x20 for mp4v and 0x40 for mp4a.
    std::uint8_t objectType = 0;
    // Descriptor lengths in the 4-byte expandable form that some muxers use.
    bool longDescriptorLengths = false;
    // Whole boxes appended inside the entry after its configuration (btrt, ...).
    std::vector<std::vector<std::uint8_t>> extraChildren;
};

struct Track {
    std::uint32_t trackId = 1;
    std::string handler = "vide";  // vide, soun, lumo, meta, ...
    std::uint32_t timescale = 90000;
    std::uint64_t creationTime = 0;  // tkhd and mdhd, seconds since 1904
    SampleEntry entry;
    // The samples' bytes. When empty, samples of the given sizes are made up
    // (length-prefixed NAL units for avc1/hvc1/hev1, whole AMR frames for samr).
    std::vector<std::vector<std::uint8_t>> payloads;
    std::vector<std::uint32_t> sizes;
    // stts deltas per sample; a single value applies to every sample.
    std::vector<std::uint32_t> durations;
    // 1-based key-frame numbers; written as stss only when writeStss is set
    // (without stss every sample is a key frame).
    std::vector<std::uint32_t> syncSamples;
    bool writeStss = false;
    // ctts offsets per sample, written when not empty.
    std::vector<std::uint32_t> compositionOffsets;
    std::vector<EditEntry> edits;
    // Samples per chunk, chunk after chunk; the last value repeats.
    std::vector<std::uint32_t> samplesPerChunk{1};
    // stsz with one common size when every sample has the same size.
    bool constantSizeWhenEqual = true;

    std::uint32_t SampleCount() const;
    std::uint32_t SampleSize(std::uint32_t index) const;
    std::uint32_t Duration(std::uint32_t index) const;
    bool IsSync(std::uint32_t index) const;
};

// Where the embedded form puts its media file and what its trailer says.
struct Embedding {
    std::vector<std::uint8_t> prefix;  // bytes before the media file; empty: 200 bytes of a foreign header
    std::string magic = "ORVL";
    std::int64_t storedLengthAdjust = 0;  // added to the true length in the trailer
};

enum class MdatSize { Normal, Large, Zero };

// One piece of the top level of the media file, in file order.
struct Piece {
    enum class Kind { Ftyp, Moov, Mdat, Box, ZeroWords };
    Kind kind = Kind::Box;
    std::vector<std::uint8_t> bytes;  // Box: the whole box, as it is
    std::uint32_t count = 0;          // ZeroWords: how many zero 32-bit words

    static Piece Ftyp() { return {Kind::Ftyp, {}, 0}; }
    static Piece Moov() { return {Kind::Moov, {}, 0}; }
    static Piece Mdat() { return {Kind::Mdat, {}, 0}; }
    static Piece Box(std::vector<std::uint8_t> box) { return {Kind::Box, std::move(box), 0}; }
    static Piece ZeroWords(std::uint32_t n) { return {Kind::ZeroWords, {}, n}; }
};

struct Recording {
    std::vector<Track> tracks;
    std::uint32_t movieTimescale = 1000;
    std::uint64_t creationTime = 0;  // mvhd, seconds since 1904
    std::uint8_t headerVersion = 0;  // 1: 64-bit mvhd/tkhd/mdhd times
    // Top-level order; empty: ftyp, mdat, moov as recorders write it.
    std::vector<Piece> pieces;
    std::string majorBrand = "3gp4";
    MdatSize mdatSize = MdatSize::Normal;
    bool co64 = false;  // 64-bit chunk offsets
    // The embedded form: a prefix, the media file, and a last box holding the trailer.
    bool embedded = false;
    Embedding embedding;
};

// What the writer put where; offsets are from the start of the media file
// (for the embedded form, add mediaFileOffset for the position in the file).
struct Layout {
    std::uint64_t mediaFileOffset = 0;
    std::uint64_t mediaFileLength = 0;
    std::uint64_t moovOffset = 0;
    std::uint64_t mdatOffset = 0;
    std::vector<std::vector<std::uint64_t>> sampleOffsets;  // per track, per sample
};

std::vector<std::uint8_t> BuildRecording(const Recording& recording, Layout* layout = nullptr);
// Builds the recording and writes it with one write call; throws std::runtime_error on failure.
// The file is dated as a recorder leaves it: last written when the recording
// began (its creation time), or an hour ago where it has none or one ahead of
// now. A freshly written file would pass for one the recorder is writing.
void WriteRecording(const Recording& recording, const std::string& path, Layout* layout = nullptr);
// Sets a file's modification time to seconds since 1970.
void DateFile(const std::string& path, std::int64_t unixTime);
void WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path);

// A whole box of the given type and body (for free, uuid or unknown boxes).
std::vector<std::uint8_t> MakeBox(const std::string& type, const std::vector<std::uint8_t>& body);

// The made-up sample content used when a track gives only sizes.
std::vector<std::uint8_t> MakeSamplePayload(const Track& track, std::uint32_t index);

}  // namespace recording_writer
