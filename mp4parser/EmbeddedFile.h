#pragma once

#include <cstdint>
#include <string>

#include "mp4parser/FileDescriptor.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

// The last 12 bytes of a file that holds its media file at an offset: the
// magic "ORVL", then the media file's start offset and length, both
// little-endian.
struct EmbeddedFileTrailer {
    std::uint32_t startOffset = 0;
    std::uint32_t length = 0;
};

// Decides where the media file in the open file starts. An ordinary media
// file (movie and media data found from offset 0) leaves file at base offset
// 0; otherwise the trailer must be there and agree with the boxes it points
// at, and file is re-opened at the start offset. Returns the base offset.
std::uint64_t LocateMediaFile(FileDescriptor& file, const std::string& path);

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
