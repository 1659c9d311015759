#pragma once

#include <cstdint>

#include "media/bit_reader.h"

// Tags of a frame header's tag list that readers decode.
enum : uint32_t {
    kTagCoordinates = 16,
    kTagWindows = 17,
    kTagStatus = 18,
    kTagMotionTriggers = 20,
    kTagSingleBit = 24,
    kTagState0 = 224,
    kTagState1 = 225,
    kTag227 = 227,
};

struct TagHeader {
    uint32_t number;
    uint32_t length;
};

// Reads a tag's number and length; the reader then stands on its body.
TagHeader ReadTagHeader(BitReader& reader);

// Skips the zero bytes in front of a tag list (while bytes remain).
void SkipZeroBytes(BitReader& reader);
