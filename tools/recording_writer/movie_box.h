#pragma once

// The moov box of a recording. Chunk offsets depend on where mdat lands, so
// they are written as placeholders and patched once the layout is known.

#include "recording_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace recording_writer {

struct ChunkPlan {
    std::vector<std::uint32_t> sampleCounts;  // samples of each chunk
    std::vector<std::uint64_t> offsets;       // from the start of the mdat data
};

struct MovieBox {
    std::vector<std::uint8_t> bytes;
    // Where each track's chunk-offset table starts inside `bytes`.
    std::vector<std::size_t> chunkOffsetTables;
};

MovieBox BuildMovieBox(const Recording& recording, const std::vector<ChunkPlan>& chunks,
                       const std::vector<std::vector<std::uint32_t>>& sizes);

// Writes base + chunk offset into the placeholders.
void PatchChunkOffsets(MovieBox& movie, const std::vector<ChunkPlan>& chunks, std::uint64_t base, bool co64);

}  // namespace recording_writer
