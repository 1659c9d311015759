#include "box_builder.h"

#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include <boost/filesystem.hpp>

namespace boxbuild {

Writer& Writer::U8(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    return *this;
}
Writer& Writer::U16(std::uint32_t v) { return U8(v >> 8).U8(v); }
Writer& Writer::U24(std::uint32_t v) { return U8(v >> 16).U16(v); }
Writer& Writer::U32(std::uint32_t v) { return U16(v >> 16).U16(v); }
Writer& Writer::U64(std::uint64_t v) {
    return U32(static_cast<std::uint32_t>(v >> 32)).U32(static_cast<std::uint32_t>(v));
}
Writer& Writer::Text(const std::string& s) {
    bytes_.insert(bytes_.end(), s.begin(), s.end());
    return *this;
}
Writer& Writer::Raw(const Bytes& b) {
    bytes_.insert(bytes_.end(), b.begin(), b.end());
    return *this;
}
Writer& Writer::Zeros(std::size_t n) {
    bytes_.insert(bytes_.end(), n, 0);
    return *this;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Box(const std::string& type, const Bytes& body) {
    return Writer().U32(static_cast<std::uint32_t>(body.size() + 8)).Text(type).Raw(body);
}

Bytes FullBox(const std::string& type, std::uint8_t version, std::uint32_t flags, const Bytes& body) {
    return Box(type, Writer().U8(version).U24(flags).Raw(body));
}

Bytes LargeBox(const std::string& type, const Bytes& body) {
    return Writer().U32(1).Text(type).U64(body.size() + 16).Raw(body);
}

Bytes Ftyp() { return Box("ftyp", Writer().Text("3gp4").U32(0).Text("isom3gp4")); }

Bytes AvcC(std::uint8_t lengthSizeMinusOne, const std::vector<Bytes>& sps, const std::vector<Bytes>& pps) {
    Writer w;
    w.U8(1).U8(0x42).U8(0).U8(0x1E).U8(0xFC | lengthSizeMinusOne).U8(0xE0 | sps.size());
    for (const Bytes& set : sps) w.U16(static_cast<std::uint32_t>(set.size())).Raw(set);
    w.U8(static_cast<std::uint32_t>(pps.size()));
    for (const Bytes& set : pps) w.U16(static_cast<std::uint32_t>(set.size())).Raw(set);
    return Box("avcC", w);
}

Bytes HvcC(std::uint8_t lengthSizeMinusOne, const std::vector<Bytes>& units) {
    Writer w;
    w.U8(1).Zeros(20).U8(0xFC | lengthSizeMinusOne).U8(static_cast<std::uint32_t>(units.size()));
    for (const Bytes& unit : units) {
        w.U8(unit.empty() ? 0 : unit[0] >> 1).U16(1).U16(static_cast<std::uint32_t>(unit.size())).Raw(unit);
    }
    return Box("hvcC", w);
}

Bytes VisualEntry(const std::string& type, std::uint16_t width, std::uint16_t height, const Bytes& children) {
    Writer w;
    w.Zeros(6).U16(1).Zeros(16).U16(width).U16(height).U32(0x00480000).U32(0x00480000).Zeros(42).Raw(children);
    return Box(type, w);
}

Bytes Esds(std::uint8_t objectType, const Bytes& decoderSpecificInfo) {
    Writer config;
    config.U8(objectType).U8(0x15).U24(0).U32(64000).U32(64000);
    if (!decoderSpecificInfo.empty())
        config.U8(5).U8(static_cast<std::uint32_t>(decoderSpecificInfo.size())).Raw(decoderSpecificInfo);
    Writer es;
    es.U16(1).U8(0).U8(4).U8(static_cast<std::uint32_t>(config.bytes().size())).Raw(config).U8(6).U8(1).U8(2);
    return FullBox("esds", 0, 0, Writer().U8(3).U8(static_cast<std::uint32_t>(es.bytes().size())).Raw(es));
}

Bytes AudioEntry(const std::string& type, std::uint16_t channels, std::uint16_t sampleSize, std::uint32_t sampleRate,
                 const Bytes& children) {
    Writer w;
    w.Zeros(6).U16(1).Zeros(8).U16(channels).U16(sampleSize).Zeros(4).U32(sampleRate << 16).Raw(children);
    return Box(type, w);
}

Bytes AvcEntry(std::uint8_t lengthSizeMinusOne) {
    return VisualEntry("avc1", 320, 240,
                       AvcC(lengthSizeMinusOne, {{0x67, 0x42, 0x00, 0x1E}}, {{0x68, 0xCE, 0x3C, 0x80}}));
}

Bytes NalSample(unsigned lengthSize, const std::vector<std::pair<std::uint8_t, std::uint32_t>>& typesAndLengths) {
    Writer w;
    std::uint8_t filler = 0xA0;
    for (const auto& unit : typesAndLengths) {
        const std::uint32_t length = unit.second;
        if (lengthSize == 1) w.U8(length);
        if (lengthSize == 2) w.U16(length);
        if (lengthSize == 4) w.U32(length);
        if (length == 0) continue;
        w.U8(unit.first);
        for (std::uint32_t i = 1; i < length; ++i) w.U8(filler++);
    }
    return w;
}

Bytes Mvhd(std::uint32_t timescale, std::uint8_t version) {
    Writer w;
    if (version == 1)
        w.U64(0).U64(0).U32(timescale).U64(0);
    else
        w.U32(0).U32(0).U32(timescale).U32(0);
    w.U32(0x00010000).U16(0x0100).Zeros(10).Zeros(36).Zeros(24).U32(99);
    return FullBox("mvhd", version, 0, w);
}

namespace {

Bytes Tkhd(const TrackSpec& t) {
    Writer w;
    if (t.headerVersion == 1)
        w.U64(t.creationTime).U64(t.creationTime).U32(t.trackId).U32(0).U64(0);
    else
        w.U32(static_cast<std::uint32_t>(t.creationTime))
            .U32(static_cast<std::uint32_t>(t.creationTime))
            .U32(t.trackId)
            .U32(0)
            .U32(0);
    w.Zeros(8).U16(0).U16(0).U16(0).U16(0).Zeros(36).U32(320u << 16).U32(240u << 16);
    return FullBox("tkhd", t.headerVersion, 7, w);
}

Bytes Mdhd(const TrackSpec& t) {
    Writer w;
    if (t.headerVersion == 1)
        w.U64(t.creationTime).U64(t.creationTime).U32(t.timescale).U64(0);
    else
        w.U32(static_cast<std::uint32_t>(t.creationTime))
            .U32(static_cast<std::uint32_t>(t.creationTime))
            .U32(t.timescale)
            .U32(0);
    w.U16(0x55C4).U16(0);
    return FullBox("mdhd", t.headerVersion, 0, w);
}

std::uint32_t DurationOf(const TrackSpec& t, std::size_t i) {
    if (t.durations.empty()) return 100;
    return t.durations.size() == 1 ? t.durations[0] : t.durations[i];
}

Bytes Stbl(const TrackSpec& t, const std::vector<std::uint64_t>& chunkOffsets) {
    const std::uint32_t n = static_cast<std::uint32_t>(t.samples.size());
    Writer stsd;
    stsd.U32(1).Raw(t.sampleEntry);
    Writer stts;
    if (t.sttsRuns.empty()) {
        stts.U32(n);
        for (std::uint32_t i = 0; i < n; ++i) stts.U32(1).U32(DurationOf(t, i));
    } else {
        stts.U32(static_cast<std::uint32_t>(t.sttsRuns.size()));
        for (const auto& run : t.sttsRuns) stts.U32(run.first).U32(run.second);
    }
    Writer stsz;
    stsz.U32(0).U32(n);
    for (const Bytes& s : t.samples) stsz.U32(static_cast<std::uint32_t>(s.size()));
    Writer stco;
    stco.U32(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        if (t.co64)
            stco.U64(chunkOffsets[i] + t.chunkOffsetBias);
        else
            stco.U32(static_cast<std::uint32_t>(chunkOffsets[i] + t.chunkOffsetBias));
    }
    Bytes body = Cat({FullBox("stsd", 0, 0, stsd), FullBox("stts", 0, 0, stts),
                      FullBox("stsc", 0, 0, Writer().U32(1).U32(1).U32(1).U32(1)), FullBox("stsz", 0, 0, stsz),
                      FullBox(t.co64 ? "co64" : "stco", 0, 0, stco)});
    if (t.writeStss) {
        Writer stss;
        stss.U32(static_cast<std::uint32_t>(t.syncSamples.size()));
        for (std::uint32_t s : t.syncSamples) stss.U32(s);
        body = Cat({body, FullBox("stss", 0, 0, stss)});
    }
    if (!t.compositionOffsets.empty()) {
        Writer ctts;
        ctts.U32(static_cast<std::uint32_t>(t.compositionOffsets.size()));
        for (std::uint32_t o : t.compositionOffsets) ctts.U32(1).U32(o);
        body = Cat({body, FullBox("ctts", 0, 0, ctts)});
    }
    return Box("stbl", Cat({body, t.extraStblChildren}));
}

}  // namespace

Bytes Trak(const TrackSpec& t, const std::vector<std::uint64_t>& chunkOffsets) {
    Bytes edts;
    if (!t.edits.empty()) {
        Writer elst;
        elst.U32(static_cast<std::uint32_t>(t.edits.size()));
        for (const EditSpec& e : t.edits)
            elst.U32(e.segmentDuration).U32(static_cast<std::uint32_t>(e.mediaTime)).U32(0x00010000);
        edts = Box("edts", FullBox("elst", 0, 0, elst));
    }
    const Bytes hdlr = FullBox("hdlr", 0, 0, Writer().U32(0).Text(t.handler).Zeros(12).U8(0));
    const Bytes dinf = Box("dinf", FullBox("dref", 0, 0, Writer().U32(1).Raw(FullBox("url ", 0, 1, {}))));
    const Bytes mediaHeader =
        t.handler == "soun" ? FullBox("smhd", 0, 0, Writer().U32(0)) : FullBox("vmhd", 0, 1, Writer().Zeros(8));
    const Bytes minf = Box("minf", Cat({mediaHeader, dinf, Stbl(t, chunkOffsets)}));
    return Box("trak", Cat({Tkhd(t), edts, Box("mdia", Cat({Mdhd(t), hdlr, minf}))}));
}

Bytes MovieFile(const MovieSpec& movie) {
    const Bytes ftyp = Ftyp();
    Bytes mdatBody;
    std::vector<std::vector<std::uint64_t>> relative;
    for (const TrackSpec& t : movie.tracks) {
        relative.emplace_back();
        for (const Bytes& s : t.samples) {
            relative.back().push_back(mdatBody.size());
            mdatBody.insert(mdatBody.end(), s.begin(), s.end());
        }
    }
    auto moovWith = [&](std::uint64_t mdatBodyStart) {
        Bytes traks;
        for (std::size_t i = 0; i < movie.tracks.size(); ++i) {
            std::vector<std::uint64_t> offsets;
            for (std::uint64_t r : relative[i]) offsets.push_back(mdatBodyStart + r);
            traks = Cat({traks, Trak(movie.tracks[i], offsets)});
        }
        return Box("moov", Cat({Mvhd(movie.movieTimescale, movie.mvhdVersion), traks}));
    };
    if (movie.moovFirst) {
        const std::size_t moovSize = moovWith(0).size();
        return Cat({ftyp, moovWith(ftyp.size() + moovSize + 8), Box("mdat", mdatBody)});
    }
    return Cat({ftyp, Box("mdat", mdatBody), moovWith(ftyp.size() + 8)});
}

namespace {

// One folder per test process, removed when the process ends.
struct TempFolder {
    boost::filesystem::path path =
        boost::filesystem::temp_directory_path() / ("mp4parser_test_" + std::to_string(::getpid()));
    TempFolder() { boost::filesystem::create_directories(path); }
    ~TempFolder() {
        boost::system::error_code ignored;
        boost::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

std::string TempPath(const std::string& name) {
    static TempFolder folder;
    return (folder.path / name).string();
}

std::string WriteTempFile(const std::string& name, const Bytes& bytes) {
    const std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
}

}  // namespace boxbuild
