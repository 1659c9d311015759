#include "mp4parser/BoxHeader.h"

namespace ORVL {
namespace SDK {
namespace Brannock2 {

std::string FourCCText(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[i] = static_cast<char>(code >> (24 - 8 * i));
    return text;
}

void CheckBoxHeader(const BoxHeader& header) {
    if (header.size < 8) ThrowBadFormat("box size < 8");
    if (header.end < header.start) ThrowBadFormat("box size too large");
    if (header.size < header.bodyStart - header.start) ThrowBadFormat("box smaller than its header");
}

}  // namespace Brannock2
}  // namespace SDK
}  // namespace ORVL
