#pragma once

// Builds ISO media files byte by byte for the parser's tests, including the
// malformed shapes that no real writer produces.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace boxbuild {

typedef std::vector<std::uint8_t> Bytes;

// Appends big-endian fields.
class Writer {
public:
    Writer& U8(std::uint32_t v);
    Writer& U16(std::uint32_t v);
    Writer& U24(std::uint32_t v);
    Writer& U32(std::uint32_t v);
    Writer& U64(std::uint64_t v);
    Writer& Text(const std::string& s);  // bytes as they are
    Writer& Raw(const Bytes& b);
    Writer& Zeros(std::size_t n);
    const Bytes& bytes() const { return bytes_; }
    operator Bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

Bytes Cat(std::initializer_list<Bytes> parts);
Bytes Box(const std::string& type, const Bytes& body);
Bytes FullBox(const std::string& type, std::uint8_t version, std::uint32_t flags, const Bytes& body);
// A box with the 64-bit size form (size field 1).
Bytes LargeBox(const std::string& type, const Bytes& body);
Bytes Ftyp();

// Sample entries and their configuration boxes.
Bytes AvcC(std::uint8_t lengthSizeMinusOne, const std::vector<Bytes>& sps, const std::vector<Bytes>& pps);
Bytes HvcC(std::uint8_t lengthSizeMinusOne, const std::vector<Bytes>& units);
Bytes VisualEntry(const std::string& type, std::uint16_t width, std::uint16_t height, const Bytes& children);
Bytes Esds(std::uint8_t objectType, const Bytes& decoderSpecificInfo);
Bytes AudioEntry(const std::string& type, std::uint16_t channels, std::uint16_t sampleSize, std::uint32_t sampleRate,
                 const Bytes& children);
Bytes AvcEntry(std::uint8_t lengthSizeMinusOne = 3);
// Length-prefixed units of the given types, each unit the type byte and
// filler bytes to make it length bytes long.
Bytes NalSample(unsigned lengthSize, const std::vector<std::pair<std::uint8_t, std::uint32_t>>& typesAndLengths);

struct EditSpec {
    std::uint32_t segmentDuration;
    std::int32_t mediaTime;
};

struct TrackSpec {
    std::uint32_t trackId = 1;
    std::string handler = "vide";
    std::uint32_t timescale = 1000;
    std::uint64_t creationTime = 0;
    std::uint8_t headerVersion = 0;  // mdhd and tkhd
    Bytes sampleEntry = AvcEntry();
    std::vector<Bytes> samples;
    std::vector<std::uint32_t> durations;                           // per sample; one value: every sample
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sttsRuns;  // (count, delta); replaces durations when given
    bool writeStss = false;
    std::vector<std::uint32_t> syncSamples;
    std::vector<std::uint32_t> compositionOffsets;
    std::vector<EditSpec> edits;
    bool co64 = false;
    std::uint64_t chunkOffsetBias = 0;  // added to every chunk offset (samples placed elsewhere by the test)
    Bytes extraStblChildren;            // appended inside stbl
};

struct MovieSpec {
    std::vector<TrackSpec> tracks;
    std::uint32_t movieTimescale = 1000;
    bool moovFirst = true;
    std::uint8_t mvhdVersion = 0;
};

Bytes Mvhd(std::uint32_t timescale, std::uint8_t version = 0);
Bytes Trak(const TrackSpec& track, const std::vector<std::uint64_t>& chunkOffsets);

// ftyp, moov and mdat (in either order); every sample is its own chunk.
Bytes MovieFile(const MovieSpec& movie);

// A path in the test process's own temporary folder (removed at exit).
std::string TempPath(const std::string& name);
// Writes bytes to a fresh file in the test's temporary folder and returns its path.
std::string WriteTempFile(const std::string& name, const Bytes& bytes);

}  // namespace boxbuild
