#include "recording_writer.h"

#include "byte_writer.h"
#include "movie_box.h"

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <boost/nowide/fstream.hpp>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace recording_writer {

std::uint32_t Track::SampleCount() const {
    return static_cast<std::uint32_t>(payloads.empty() ? sizes.size() : payloads.size());
}

std::uint32_t Track::SampleSize(std::uint32_t index) const {
    if (!payloads.empty()) {
        return static_cast<std::uint32_t>(payloads.at(index).size());
    }
    return sizes.at(index);
}

std::uint32_t Track::Duration(std::uint32_t index) const {
    if (durations.empty()) {
        return 0;
    }
    return durations.size() == 1 ? durations[0] : durations.at(index);
}

bool Track::IsSync(std::uint32_t index) const {
    if (!writeStss) {
        return true;
    }
    return std::find(syncSamples.begin(), syncSamples.end(), index + 1) != syncSamples.end();
}

namespace {

struct ChunkRef {
    double time;
    std::size_t track;
    std::size_t chunk;
    std::uint32_t firstSample;
};

std::vector<std::vector<std::uint32_t>> SampleSizes(const Recording& r) {
    std::vector<std::vector<std::uint32_t>> sizes(r.tracks.size());
    for (std::size_t t = 0; t < r.tracks.size(); ++t) {
        const Track& track = r.tracks[t];
        sizes[t].resize(track.SampleCount());
        for (std::uint32_t i = 0; i < track.SampleCount(); ++i) {
            sizes[t][i] = track.SampleSize(i);
        }
    }
    return sizes;
}

// Splits each track into chunks and orders all chunks by their start time,
// as a recorder interleaves them while it writes.
std::vector<ChunkRef> PlanChunks(const Recording& r, std::vector<ChunkPlan>& plans) {
    std::vector<ChunkRef> order;
    plans.assign(r.tracks.size(), {});
    for (std::size_t t = 0; t < r.tracks.size(); ++t) {
        const Track& track = r.tracks[t];
        const std::vector<std::uint32_t>& perChunk =
            track.samplesPerChunk.empty() ? std::vector<std::uint32_t>{1} : track.samplesPerChunk;
        std::uint64_t ticks = 0;
        std::uint32_t sample = 0;
        for (std::size_t c = 0; sample < track.SampleCount(); ++c) {
            const std::uint32_t want = std::max<std::uint32_t>(1, perChunk[std::min(c, perChunk.size() - 1)]);
            const std::uint32_t count = std::min(want, track.SampleCount() - sample);
            const double time = track.timescale ? static_cast<double>(ticks) / track.timescale : 0.0;
            order.push_back({time, t, c, sample});
            plans[t].sampleCounts.push_back(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                ticks += track.Duration(sample + i);
            }
            sample += count;
        }
        plans[t].offsets.resize(plans[t].sampleCounts.size());
    }
    std::stable_sort(order.begin(), order.end(), [](const ChunkRef& a, const ChunkRef& b) {
        return a.time < b.time || (a.time == b.time && a.track < b.track);
    });
    return order;
}

// Appends the mdat data (chunk after chunk) and records each chunk's offset
// from the start of that data and each sample's offset.
void AppendMediaData(const Recording& r, const std::vector<ChunkRef>& order, std::vector<ChunkPlan>& plans,
                     std::vector<std::uint8_t>& out, std::vector<std::vector<std::uint64_t>>& sampleOffsets) {
    const std::size_t dataStart = out.size();
    sampleOffsets.assign(r.tracks.size(), {});
    for (std::size_t t = 0; t < r.tracks.size(); ++t) {
        sampleOffsets[t].resize(r.tracks[t].SampleCount());
    }
    for (const ChunkRef& c : order) {
        const Track& track = r.tracks[c.track];
        plans[c.track].offsets[c.chunk] = out.size() - dataStart;
        const std::uint32_t count = plans[c.track].sampleCounts[c.chunk];
        for (std::uint32_t i = c.firstSample; i < c.firstSample + count; ++i) {
            sampleOffsets[c.track][i] = out.size() - dataStart;
            if (!track.payloads.empty()) {
                out.insert(out.end(), track.payloads[i].begin(), track.payloads[i].end());
            } else {
                const std::vector<std::uint8_t> payload = MakeSamplePayload(track, i);
                out.insert(out.end(), payload.begin(), payload.end());
            }
        }
    }
}

std::vector<std::uint8_t> FileTypeBox(const Recording& r) {
    std::vector<std::uint8_t> out;
    ByteWriter w(out);
    const std::size_t box = w.BeginBox("ftyp");
    w.FourCC(r.majorBrand);
    w.U32(0x200);
    w.FourCC(r.majorBrand);
    w.FourCC("isom");
    w.FourCC("3gp4");
    w.EndBox(box);
    return out;
}

std::uint64_t TotalPayload(const std::vector<std::vector<std::uint32_t>>& sizes) {
    std::uint64_t total = 0;
    for (const auto& track : sizes) {
        for (std::uint32_t s : track) {
            total += s;
        }
    }
    return total;
}

std::vector<std::uint8_t> DefaultPrefix() {
    // A foreign container header: not a box type that the top level knows.
    std::vector<std::uint8_t> prefix(200, 0);
    const char head[] = "\x00\x00\x00\xC8RIFXrecorder container";
    std::memcpy(prefix.data(), head, sizeof head - 1);
    return prefix;
}

void AppendTrailerBox(std::vector<std::uint8_t>& out, const Recording& r, std::uint64_t mediaStart) {
    ByteWriter w(out);
    const std::size_t box = w.BeginBox("free");
    const std::uint64_t length = out.size() - mediaStart + 12;
    const std::uint32_t stored =
        static_cast<std::uint32_t>(static_cast<std::int64_t>(length) + r.embedding.storedLengthAdjust);
    w.FourCC(r.embedding.magic);
    for (std::uint32_t v : {static_cast<std::uint32_t>(mediaStart), stored}) {
        for (int i = 0; i < 4; ++i) {
            w.U8(v >> (8 * i));  // little-endian, unlike the boxes
        }
    }
    w.EndBox(box);
}

}  // namespace

std::vector<std::uint8_t> BuildRecording(const Recording& recording, Layout* layout) {
    std::vector<ChunkPlan> plans;
    const std::vector<ChunkRef> order = PlanChunks(recording, plans);
    const auto sizes = SampleSizes(recording);
    MovieBox movie = BuildMovieBox(recording, plans, sizes);

    const std::vector<Piece> defaultPieces{Piece::Ftyp(), Piece::Mdat(), Piece::Moov()};
    const std::vector<Piece>& pieces = recording.pieces.empty() ? defaultPieces : recording.pieces;

    std::vector<std::uint8_t> out;
    out.reserve(TotalPayload(sizes) + movie.bytes.size() + 4096);
    if (recording.embedded) {
        const auto prefix = recording.embedding.prefix.empty() ? DefaultPrefix() : recording.embedding.prefix;
        out.insert(out.end(), prefix.begin(), prefix.end());
    }
    const std::uint64_t mediaStart = out.size();
    Layout local;
    local.mediaFileOffset = mediaStart;
    std::size_t moovAt = SIZE_MAX;
    ByteWriter w(out);
    for (const Piece& piece : pieces) {
        switch (piece.kind) {
            case Piece::Kind::Ftyp: {
                const auto ftyp = FileTypeBox(recording);
                w.Bytes(ftyp);
                break;
            }
            case Piece::Kind::Moov:
                moovAt = out.size();
                local.moovOffset = moovAt - mediaStart;
                w.Bytes(movie.bytes);  // chunk offsets are patched below
                break;
            case Piece::Kind::Mdat: {
                local.mdatOffset = out.size() - mediaStart;
                const std::size_t start = out.size();
                const bool large = recording.mdatSize == MdatSize::Large;
                w.U32(large ? 1 : 0);
                w.FourCC("mdat");
                if (large) {
                    w.U64(0);
                }
                const std::uint64_t dataStart = out.size() - mediaStart;
                AppendMediaData(recording, order, plans, out, local.sampleOffsets);
                for (auto& track : local.sampleOffsets) {
                    for (auto& offset : track) {
                        offset += dataStart;
                    }
                }
                for (auto& plan : plans) {
                    for (auto& offset : plan.offsets) {
                        offset += dataStart;
                    }
                }
                if (large) {
                    w.PatchU64(start + 8, out.size() - start);
                } else if (recording.mdatSize == MdatSize::Normal) {
                    w.PatchU32(start, static_cast<std::uint32_t>(out.size() - start));
                }
                break;
            }
            case Piece::Kind::Box:
                w.Bytes(piece.bytes);
                break;
            case Piece::Kind::ZeroWords:
                w.Zeros(4u * piece.count);
                break;
        }
    }
    if (moovAt != SIZE_MAX) {
        PatchChunkOffsets(movie, plans, 0, recording.co64);
        std::copy(movie.bytes.begin(), movie.bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(moovAt));
    }
    if (recording.embedded) {
        AppendTrailerBox(out, recording, mediaStart);
    }
    local.mediaFileLength = out.size() - mediaStart;
    if (layout) {
        *layout = std::move(local);
    }
    return out;
}

void WriteBytes(const std::vector<std::uint8_t>& bytes, const std::string& path) {
    errno = 0;
    boost::nowide::ofstream out(path, std::ios::binary | std::ios::trunc);  // path in UTF-8 on Windows
    if (!out) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

void DateFile(const std::string& path, std::int64_t unixTime) {
    boost::system::error_code ignored;
    boost::filesystem::last_write_time(boost::filesystem::path(path), static_cast<std::time_t>(unixTime), ignored);
}

void WriteRecording(const Recording& recording, const std::string& path, Layout* layout) {
    WriteBytes(BuildRecording(recording, layout), path);
    constexpr std::int64_t kMovieEpochToUnix = 2082844800;  // 1904-01-01 to 1970-01-01
    const std::int64_t anHourAgo = static_cast<std::int64_t>(std::time(nullptr)) - 3600;
    const std::int64_t began = static_cast<std::int64_t>(recording.creationTime) - kMovieEpochToUnix;
    DateFile(path, began > 0 && began < anHourAgo ? began : anHourAgo);
}

}  // namespace recording_writer
