#pragma once

namespace platform {

// Console attribute numbers as the recorder's console uses them.
enum ConsoleAttribute : int {
    kColourDefault = 7,
    kColourTitle = 9,
    kColourBanner = 11,
    kColourHeading = 15,
};

// Sets the colour of the text that follows on standard output. Does nothing
// when standard output is not a terminal, so captured output holds only text.
void SetConsoleColour(int attribute);

// The escape sequence for an attribute ("" for unknown ones); exposed for tests.
const char* ColourSequence(int attribute);

}  // namespace platform
