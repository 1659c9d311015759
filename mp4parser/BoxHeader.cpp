#include "mp4parser/BoxHeader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

void CheckBoxHeader(const BoxHeader& header) {
    if (header.size < 8) ThrowBadFormat("box size < 8");
    if (header.end < header.start) ThrowBadFormat("box size too large");
    if (header.size < header.bodyStart - header.start) ThrowBadFormat("box smaller than its header");
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
