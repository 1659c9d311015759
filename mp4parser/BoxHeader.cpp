#include "mp4parser/BoxHeader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

bool IsPassedOverAtTopLevel(std::uint32_t type) {
    switch (type) {
        case FourCC("free"):
        case FourCC("ftyp"):
        case FourCC("mfra"):
        case FourCC("skip"):
        case FourCC("udta"):
        case FourCC("uuid"):
        case FourCC("wide"):
            return true;
        default:
            return false;
    }
}

void CheckBoxHeader(const BoxHeader& header) {
    if (header.size < 8) ThrowBadFormat("box size < 8");
    if (header.end < header.start) ThrowBadFormat("box size too large");
    if (header.size < header.bodyStart - header.start) ThrowBadFormat("box smaller than its header");
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
