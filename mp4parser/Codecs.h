#pragma once

#include <cstdint>
#include <vector>

#include "mp4parser/Movie.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// The MediaType of a track by its first sample entry; 0 when the codec is not
// one the readers deliver (the track then gets no cursor).
std::uint32_t MediaTypeOfSampleEntry(const SampleEntry* entry);

// The four-character codec code that made-up frame headers carry for a
// MediaType; 0 for types without one.
std::uint32_t HeaderCodecCode(std::uint32_t mediaType);

// Bytes of each coded unit's length prefix for a configuration's length-size
// field: 0 -> 1, 1 -> 2, 2 or 3 -> 4.
unsigned NalLengthSize(std::uint8_t lengthSizeField);

bool IsAvcEntry(std::uint32_t type);
bool IsHevcEntry(std::uint32_t type);

// The length-size field of an H.264 or H.265 entry (0 for other entries).
std::uint8_t LengthSizeFieldOf(const SampleEntry* entry);

// The entry's parameter sets in start-code form (00 00 00 01 before each):
// every sequence and picture parameter set of an "avcC", every unit of every
// array of an "hvcC". Empty without a configuration. A configuration whose
// counts or lengths run past its body gives the whole units before that point.
std::vector<std::uint8_t> ConvertParameterSets(const SampleEntry* entry);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
