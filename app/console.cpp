#include "app/console.h"

#include <iostream>

#include "platform/console_colour.h"

namespace console {

void WriteLine(const std::string& text) { std::cout << text << std::endl; }

void WriteEmptyLine() { std::cout << std::endl; }

void WriteErrorLine(const std::string& text) { std::cerr << text << std::endl; }

void WriteCode(std::ostream& out, std::int32_t code) {
    out << std::hex << static_cast<std::uint32_t>(code) << std::dec;
}

void ReportStdException(const std::string& routine, const std::exception& e) {
    WriteLine(routine + " - got std::exception: " + e.what());
}

void ReportUnknownException(const std::string& routine) { WriteLine(routine + " - got exception"); }

void WriteHeading(const std::string& heading) {
    platform::SetConsoleColour(platform::kColourHeading);
    WriteEmptyLine();
    WriteLine(heading);
    platform::SetConsoleColour(platform::kColourDefault);
}

// A small ring glyph, then the maker's word in block letters, 7 columns a letter.
const char* const kBannerLines[13] = {
    "    .;;;;.                                       ",
    "  .;`    `;.                                     ",
    " ;;   ,:,   ;;                                   ",
    " ;;   `:`   ;;                                   ",
    "  `;.    .;`                                     ",
    "    `;;;;`                                       ",
    " ::::  :::::  ::  ::   ::   ::     ::::::  ::::: ",
    "::  :: ::  :: ::  ::  ::::  ::       ::   ::     ",
    "::  :: ::  :: ::  :: ::  :: ::       ::   ::     ",
    "::  :: :::::  ::  :: ::  :: ::       ::    ::::  ",
    "::  :: :: ::   ::::  :::::: ::       ::       :: ",
    "::  :: ::  ::  ::::  ::  :: ::       ::       :: ",
    " ::::  ::  ::   ::   ::  :: :::::: :::::: :::::  ",
};

void PrintBanner() {
    platform::SetConsoleColour(platform::kColourBanner);
    for (const char* line : kBannerLines) WriteLine(line);
    WriteEmptyLine();
    platform::SetConsoleColour(platform::kColourDefault);
}

void PrintTitle() {
    platform::SetConsoleColour(platform::kColourTitle);
    WriteLine("Orvalis Tolvane2");
    WriteEmptyLine();
    platform::SetConsoleColour(platform::kColourDefault);
}

}  // namespace console
