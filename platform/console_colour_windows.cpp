#include "platform/console_colour.h"

#include <windows.h>

#include <iostream>

namespace platform {

// The console takes the attribute numbers themselves; no bytes are written.
const char* ColourSequence(int) { return ""; }

// A redirected standard output is no console: the call fails and nothing
// enters the captured text.
void SetConsoleColour(int attribute) {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) return;
    std::cout.flush();  // text already written keeps the colour it was written in
    SetConsoleTextAttribute(output, static_cast<WORD>(attribute));
}

}  // namespace platform
