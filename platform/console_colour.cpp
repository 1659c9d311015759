#include "platform/console_colour.h"

#include <unistd.h>

#include <iostream>

namespace platform {

const char* ColourSequence(int attribute) {
    switch (attribute) {
        case kColourBanner:
            return "\x1b[96m";
        case kColourTitle:
            return "\x1b[94m";
        case kColourHeading:
            return "\x1b[97m";
        case kColourDefault:
            return "\x1b[0m";
        default:
            return "";
    }
}

void SetConsoleColour(int attribute) {
    if (!isatty(STDOUT_FILENO)) return;
    std::cout << ColourSequence(attribute);
}

}  // namespace platform
