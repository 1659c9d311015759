#pragma once

// Bodies of the codec configuration boxes of sample entries.

#include <cstdint>
#include <vector>

namespace recording_writer {

using Bytes = std::vector<std::uint8_t>;

// avcC body; lengthSizeMinusOne 0, 1 or 3 gives 1-, 2- or 4-byte NAL lengths.
Bytes AvcConfig(const std::vector<Bytes>& sequenceSets, const std::vector<Bytes>& pictureSets,
                std::uint8_t lengthSizeMinusOne = 3);
// hvcC body with one array per parameter-set kind (VPS 32, SPS 33, PPS 34).
Bytes HevcConfig(const Bytes& videoSet, const Bytes& sequenceSet, const Bytes& pictureSet,
                 std::uint8_t lengthSizeMinusOne = 3);
// damr body: vendor, decoder version, mode set, mode change period, frames per sample.
Bytes AmrConfig();
// d263 body: vendor, decoder version, level, profile.
Bytes H263Config();
// AudioSpecificConfig for AAC-LC.
Bytes AacConfig(std::uint32_t sampleRate, std::uint16_t channels);

// A baseline H.264 sequence parameter set (id 0) for the picture size, in
// macroblocks of 16x16, and the matching picture parameter set.
Bytes H264SequenceSet(std::uint16_t width, std::uint16_t height);
Bytes H264PictureSet();
// Small H.265 parameter sets (Main profile) for the picture size.
Bytes HevcVideoSet();
Bytes HevcSequenceSet(std::uint16_t width, std::uint16_t height);
Bytes HevcPictureSet();

// The NAL length size (1, 2 or 4) that an avcC or hvcC body announces; 4 when too short.
std::uint32_t AvcLengthSize(const Bytes& avcConfig);
std::uint32_t HevcLengthSize(const Bytes& hevcConfig);

}  // namespace recording_writer
