#include "movie_box.h"

#include "byte_writer.h"
#include "codec_config.h"

#include <algorithm>
#include <stdexcept>

namespace recording_writer {
namespace {

const std::uint32_t kMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

bool IsVisual(const std::string& type) {
    return type == "avc1" || type == "hvc1" || type == "hev1" || type == "mp4v" || type == "avs2" || type == "s263" ||
           type == "jpeg";
}

bool IsAudio(const std::string& type) {
    return type == "mp4a" || type == "samr" || type == "ulaw" || type == "alaw" || type == "g722" || type == "g726" ||
           type == "g729";
}

std::uint64_t SumDurations(const Track& track) {
    std::uint64_t sum = 0;
    for (std::uint32_t i = 0; i < track.SampleCount(); ++i) {
        sum += track.Duration(i);
    }
    return sum;
}

std::uint64_t MovieDuration(const Recording& recording, const Track& track) {
    if (!track.edits.empty()) {
        std::uint64_t sum = 0;
        for (const EditEntry& e : track.edits) {
            sum += e.segmentDuration;
        }
        return sum;
    }
    if (track.timescale == 0) {
        return 0;
    }
    return SumDurations(track) * recording.movieTimescale / track.timescale;
}

void TimeFields(ByteWriter& w, std::uint8_t version, std::uint64_t creation) {
    if (version == 1) {
        w.U64(creation);
        w.U64(creation);
    } else {
        w.U32(static_cast<std::uint32_t>(creation));
        w.U32(static_cast<std::uint32_t>(creation));
    }
}

void Duration(ByteWriter& w, std::uint8_t version, std::uint64_t duration) {
    if (version == 1) {
        w.U64(duration);
    } else {
        w.U32(static_cast<std::uint32_t>(duration));
    }
}

void Matrix(ByteWriter& w) {
    for (std::uint32_t v : kMatrix) {
        w.U32(v);
    }
}

void WriteMovieHeader(ByteWriter& w, const Recording& r) {
    const std::uint8_t v = r.headerVersion;
    const std::size_t box = w.BeginFullBox("mvhd", v, 0);
    TimeFields(w, v, r.creationTime);
    w.U32(r.movieTimescale);
    std::uint64_t duration = 0;
    std::uint32_t nextId = 1;
    for (const Track& t : r.tracks) {
        duration = std::max(duration, MovieDuration(r, t));
        nextId = std::max(nextId, t.trackId + 1);
    }
    Duration(w, v, duration);
    w.U32(0x00010000);  // rate
    w.U16(0x0100);      // volume
    w.Zeros(10);
    Matrix(w);
    w.Zeros(24);
    w.U32(nextId);
    w.EndBox(box);
}

void WriteTrackHeader(ByteWriter& w, const Recording& r, const Track& t) {
    const std::uint8_t v = r.headerVersion;
    const std::size_t box = w.BeginFullBox("tkhd", v, 7);  // enabled, in movie, in preview
    TimeFields(w, v, t.creationTime);
    w.U32(t.trackId);
    w.U32(0);
    Duration(w, v, MovieDuration(r, t));
    w.Zeros(8);
    w.U16(0);                                 // layer
    w.U16(0);                                 // alternate group
    w.U16(t.handler == "soun" ? 0x0100 : 0);  // volume
    w.U16(0);
    Matrix(w);
    const bool visual = IsVisual(t.entry.type);
    w.U32(visual ? static_cast<std::uint32_t>(t.entry.width) << 16 : 0);
    w.U32(visual ? static_cast<std::uint32_t>(t.entry.height) << 16 : 0);
    w.EndBox(box);
}

void WriteEditList(ByteWriter& w, const Track& t) {
    if (t.edits.empty()) {
        return;
    }
    const std::size_t edts = w.BeginBox("edts");
    const std::size_t elst = w.BeginFullBox("elst", 0, 0);
    w.U32(static_cast<std::uint32_t>(t.edits.size()));
    for (const EditEntry& e : t.edits) {
        w.U32(e.segmentDuration);
        w.U32(static_cast<std::uint32_t>(e.mediaTime));
        w.U32(e.mediaRate);
    }
    w.EndBox(elst);
    w.EndBox(edts);
}

void WriteMediaHeader(ByteWriter& w, const Recording& r, const Track& t) {
    const std::uint8_t v = r.headerVersion;
    const std::size_t box = w.BeginFullBox("mdhd", v, 0);
    TimeFields(w, v, t.creationTime);
    w.U32(t.timescale);
    Duration(w, v, SumDurations(t));
    w.U16(0x55C4);  // "und"
    w.U16(0);
    w.EndBox(box);
}

void WriteHandler(ByteWriter& w, const Track& t) {
    const std::size_t box = w.BeginFullBox("hdlr", 0, 0);
    w.U32(0);
    w.FourCC(t.handler);
    w.Zeros(12);
    const std::string name = t.handler == "lumo" ? "FrameHeaderHandler" : "MediaHandler";
    w.Bytes(reinterpret_cast<const std::uint8_t*>(name.c_str()), name.size() + 1);
    w.EndBox(box);
}

void WriteMediaInformationHeader(ByteWriter& w, const Track& t) {
    if (t.handler == "vide") {
        const std::size_t box = w.BeginFullBox("vmhd", 0, 1);
        w.Zeros(8);
        w.EndBox(box);
    } else if (t.handler == "soun") {
        const std::size_t box = w.BeginFullBox("smhd", 0, 0);
        w.Zeros(4);
        w.EndBox(box);
    } else if (t.handler == "hint") {
        const std::size_t box = w.BeginFullBox("hmhd", 0, 0);
        w.Zeros(16);
        w.EndBox(box);
    } else {
        w.EndBox(w.BeginFullBox("nmhd", 0, 0));
    }
}

void WriteDataInformation(ByteWriter& w) {
    const std::size_t dinf = w.BeginBox("dinf");
    const std::size_t dref = w.BeginFullBox("dref", 0, 0);
    w.U32(1);
    w.EndBox(w.BeginFullBox("url ", 0, 1));  // the data is in this file
    w.EndBox(dref);
    w.EndBox(dinf);
}

// Expandable descriptor length: one byte, or four as some muxers write it.
void DescriptorLength(ByteWriter& w, std::uint32_t length, bool longForm) {
    if (longForm) {
        w.U8(0x80 | ((length >> 21) & 0x7F));
        w.U8(0x80 | ((length >> 14) & 0x7F));
        w.U8(0x80 | ((length >> 7) & 0x7F));
        w.U8(length & 0x7F);
    } else {
        if (length > 0x7F) {
            throw std::invalid_argument("descriptor too long for the short length form");
        }
        w.U8(length);
    }
}

void WriteEsds(ByteWriter& w, const SampleEntry& e, std::uint8_t objectType, std::uint8_t streamType,
               const Bytes& specificInfo) {
    const bool lf = e.longDescriptorLengths;
    const std::uint32_t lengthBytes = lf ? 4 : 1;
    const std::uint32_t specific = specificInfo.empty() ? 0 : 1 + lengthBytes + specificInfo.size();
    const std::uint32_t decoderConfig = 13 + specific;
    const std::uint32_t esDescriptor = 3 + (1 + lengthBytes + decoderConfig) + (1 + lengthBytes + 1);
    const std::size_t box = w.BeginFullBox("esds", 0, 0);
    w.U8(3);
    DescriptorLength(w, esDescriptor, lf);
    w.U16(1);  // ES id
    w.U8(0);
    w.U8(4);
    DescriptorLength(w, decoderConfig, lf);
    w.U8(objectType);
    w.U8(static_cast<std::uint8_t>(streamType << 2 | 1));
    w.U24(0);
    w.U32(128000);
    w.U32(64000);
    if (!specificInfo.empty()) {
        w.U8(5);
        DescriptorLength(w, static_cast<std::uint32_t>(specificInfo.size()), lf);
        w.Bytes(specificInfo);
    }
    w.U8(6);
    DescriptorLength(w, 1, lf);
    w.U8(2);
    w.EndBox(box);
}

void WriteVisualFields(ByteWriter& w, const SampleEntry& e) {
    w.Zeros(16);
    w.U16(e.width);
    w.U16(e.height);
    w.U32(0x00480000);
    w.U32(0x00480000);
    w.U32(0);
    w.U16(1);  // frames per sample
    w.Zeros(32);
    w.U16(0x0018);
    w.U16(0xFFFF);
}

void WriteAudioFields(ByteWriter& w, const SampleEntry& e) {
    w.Zeros(8);
    w.U16(e.channels);
    w.U16(e.sampleSize);
    w.U32(0);
    w.U32(e.sampleRate << 16);
}

void WriteConfigBox(ByteWriter& w, const std::string& type, const Bytes& body) {
    const std::size_t box = w.BeginBox(type);
    w.Bytes(body);
    w.EndBox(box);
}

void WriteSampleEntry(ByteWriter& w, const Track& t) {
    const SampleEntry& e = t.entry;
    const std::size_t box = w.BeginBox(e.type);
    w.Zeros(6);
    w.U16(1);  // data reference index
    if (IsVisual(e.type)) {
        WriteVisualFields(w, e);
    } else if (IsAudio(e.type)) {
        WriteAudioFields(w, e);
    } else if (e.type == "metx") {
        w.U8(0);  // content encoding
        const char mime[] = "application/octet-stream";
        w.Bytes(reinterpret_cast<const std::uint8_t*>(mime), sizeof mime);
    }
    if (!e.noConfig) {
        if (e.type == "avc1") {
            WriteConfigBox(
                w, "avcC",
                e.config.empty() ? AvcConfig({H264SequenceSet(e.width, e.height)}, {H264PictureSet()}) : e.config);
        } else if (e.type == "hvc1" || e.type == "hev1") {
            WriteConfigBox(w, "hvcC",
                           e.config.empty()
                               ? HevcConfig(HevcVideoSet(), HevcSequenceSet(e.width, e.height), HevcPictureSet())
                               : e.config);
        } else if (e.type == "mp4v") {
            WriteEsds(w, e, e.objectType ? e.objectType : 0x20, 4, e.config);
        } else if (e.type == "mp4a") {
            WriteEsds(w, e, e.objectType ? e.objectType : 0x40, 5,
                      e.config.empty() ? AacConfig(e.sampleRate, e.channels) : e.config);
        } else if (e.type == "samr") {
            WriteConfigBox(w, "damr", e.config.empty() ? AmrConfig() : e.config);
        } else if (e.type == "s263") {
            WriteConfigBox(w, "d263", e.config.empty() ? H263Config() : e.config);
        }
    }
    for (const Bytes& child : e.extraChildren) {
        w.Bytes(child);
    }
    w.EndBox(box);
}

// Consecutive equal values as (count, value) runs.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Runs(const std::vector<std::uint32_t>& values) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
    for (std::uint32_t v : values) {
        if (!runs.empty() && runs.back().second == v) {
            ++runs.back().first;
        } else {
            runs.emplace_back(1, v);
        }
    }
    return runs;
}

void WriteRunTable(ByteWriter& w, const std::string& type, const std::vector<std::uint32_t>& values) {
    const auto runs = Runs(values);
    const std::size_t box = w.BeginFullBox(type, 0, 0);
    w.U32(static_cast<std::uint32_t>(runs.size()));
    for (const auto& [count, value] : runs) {
        w.U32(count);
        w.U32(value);
    }
    w.EndBox(box);
}

void WriteSampleToChunk(ByteWriter& w, const ChunkPlan& plan) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries;  // first chunk, samples per chunk
    for (std::uint32_t c = 0; c < plan.sampleCounts.size(); ++c) {
        if (entries.empty() || entries.back().second != plan.sampleCounts[c]) {
            entries.emplace_back(c + 1, plan.sampleCounts[c]);
        }
    }
    const std::size_t box = w.BeginFullBox("stsc", 0, 0);
    w.U32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& [first, count] : entries) {
        w.U32(first);
        w.U32(count);
        w.U32(1);
    }
    w.EndBox(box);
}

void WriteSampleSizes(ByteWriter& w, const Track& t, const std::vector<std::uint32_t>& sizes) {
    const bool equal =
        !sizes.empty() && std::all_of(sizes.begin(), sizes.end(), [&](std::uint32_t s) { return s == sizes[0]; });
    const std::size_t box = w.BeginFullBox("stsz", 0, 0);
    if (equal && t.constantSizeWhenEqual) {
        w.U32(sizes[0]);
        w.U32(static_cast<std::uint32_t>(sizes.size()));
    } else {
        w.U32(0);
        w.U32(static_cast<std::uint32_t>(sizes.size()));
        for (std::uint32_t s : sizes) {
            w.U32(s);
        }
    }
    w.EndBox(box);
}

std::size_t WriteChunkOffsets(ByteWriter& w, const ChunkPlan& plan, bool co64) {
    const std::size_t box = w.BeginFullBox(co64 ? "co64" : "stco", 0, 0);
    w.U32(static_cast<std::uint32_t>(plan.offsets.size()));
    const std::size_t table = w.Size();
    w.Zeros(plan.offsets.size() * (co64 ? 8 : 4));
    w.EndBox(box);
    return table;
}

std::size_t WriteSampleTable(ByteWriter& w, const Recording& r, const Track& t, const ChunkPlan& plan,
                             const std::vector<std::uint32_t>& sizes) {
    const std::size_t stbl = w.BeginBox("stbl");
    const std::size_t stsd = w.BeginFullBox("stsd", 0, 0);
    w.U32(1);
    WriteSampleEntry(w, t);
    w.EndBox(stsd);
    std::vector<std::uint32_t> durations(t.SampleCount());
    for (std::uint32_t i = 0; i < durations.size(); ++i) {
        durations[i] = t.Duration(i);
    }
    WriteRunTable(w, "stts", durations);
    if (!t.compositionOffsets.empty()) {
        WriteRunTable(w, "ctts", t.compositionOffsets);
    }
    if (t.writeStss) {
        const std::size_t box = w.BeginFullBox("stss", 0, 0);
        w.U32(static_cast<std::uint32_t>(t.syncSamples.size()));
        for (std::uint32_t n : t.syncSamples) {
            w.U32(n);
        }
        w.EndBox(box);
    }
    WriteSampleToChunk(w, plan);
    WriteSampleSizes(w, t, sizes);
    const std::size_t table = WriteChunkOffsets(w, plan, r.co64);
    w.EndBox(stbl);
    return table;
}

}  // namespace

MovieBox BuildMovieBox(const Recording& recording, const std::vector<ChunkPlan>& chunks,
                       const std::vector<std::vector<std::uint32_t>>& sizes) {
    MovieBox movie;
    std::size_t estimate = 1024;
    for (std::size_t i = 0; i < recording.tracks.size(); ++i) {
        estimate += 1024 + 8 * chunks[i].offsets.size() + 4 * sizes[i].size() + 16 * recording.tracks[i].edits.size();
    }
    movie.bytes.reserve(estimate);
    ByteWriter w(movie.bytes);
    const std::size_t moov = w.BeginBox("moov");
    WriteMovieHeader(w, recording);
    for (std::size_t i = 0; i < recording.tracks.size(); ++i) {
        const Track& t = recording.tracks[i];
        const std::size_t trak = w.BeginBox("trak");
        WriteTrackHeader(w, recording, t);
        WriteEditList(w, t);
        const std::size_t mdia = w.BeginBox("mdia");
        WriteMediaHeader(w, recording, t);
        WriteHandler(w, t);
        const std::size_t minf = w.BeginBox("minf");
        WriteMediaInformationHeader(w, t);
        WriteDataInformation(w);
        movie.chunkOffsetTables.push_back(WriteSampleTable(w, recording, t, chunks[i], sizes[i]));
        w.EndBox(minf);
        w.EndBox(mdia);
        w.EndBox(trak);
    }
    w.EndBox(moov);
    return movie;
}

void PatchChunkOffsets(MovieBox& movie, const std::vector<ChunkPlan>& chunks, std::uint64_t base, bool co64) {
    ByteWriter w(movie.bytes);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        std::size_t at = movie.chunkOffsetTables[i];
        for (std::uint64_t offset : chunks[i].offsets) {
            const std::uint64_t value = base + offset;
            if (co64) {
                w.PatchU64(at, value);
                at += 8;
            } else {
                if (value > 0xFFFFFFFFu) {
                    throw std::length_error("chunk offset beyond 4 GiB needs co64");
                }
                w.PatchU32(at, static_cast<std::uint32_t>(value));
                at += 4;
            }
        }
    }
}

}  // namespace recording_writer
