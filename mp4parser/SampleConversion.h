#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4parser/BufferedFileReader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// Most bytes that converting a length-prefixed sample of sampleSize bytes can
// produce: each unit (an empty one takes lengthSize bytes) grows by at most
// 4 - lengthSize bytes, and the parameter sets are written at most once.
std::size_t WorstCaseConvertedSize(std::uint32_t sampleSize, unsigned lengthSize, std::size_t parameterSetsLength);

// Turns an H.264 sample (length-prefixed units, read from the reader's
// position) into start-code form in out. A key frame gets the parameter sets
// in front of its first slice, SEI or prefix unit, unless it carries its own
// sequence parameter set; its in-band picture parameter sets are dropped then.
// out must hold WorstCaseConvertedSize bytes. Returns the bytes written.
// Unit lengths that do not add up to the sample's size are a format error,
// and nothing beyond the sample is read.
std::size_t ConvertAvcSample(FileReader& reader, std::uint32_t sampleSize, bool keyFrame, unsigned lengthSize,
                             const std::vector<std::uint8_t>& parameterSets, std::uint8_t* out, std::size_t capacity);

// The H.265 form: a key frame gets the parameter sets first, then every unit
// is converted as it is.
std::size_t ConvertHevcSample(FileReader& reader, std::uint32_t sampleSize, bool keyFrame, unsigned lengthSize,
                              const std::vector<std::uint8_t>& parameterSets, std::uint8_t* out, std::size_t capacity);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
