#include "app/console.h"

#include <iostream>

#include "app/design_texts.h"
#include "app/printable_text.h"
#include "platform/console_colour.h"
#include "platform/status_line.h"

namespace console {

namespace {
// Everything prints from the main thread.
bool statusShown = false;
}  // namespace

void ShowStatus(const std::string& text) {
    if (!platform::StatusLineAvailable()) return;
    platform::DrawStatusLine(FitStatus(PrintableText(text), platform::StatusLineColumns()));
    statusShown = true;
}

void ClearStatus() {
    if (!statusShown) return;
    statusShown = false;
    platform::EraseStatusLine();
}

std::string FitStatus(const std::string& text, int columns) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && ++characters >= static_cast<std::size_t>(columns > 0 ? columns : 1)) {
            return text.substr(0, i);
        }
    }
    return text;
}

void WriteLine(const std::string& text) {
    ClearStatus();
    std::cout << PrintableText(text) << std::endl;
}

void WriteEmptyLine() {
    ClearStatus();
    std::cout << std::endl;
}

void WriteErrorLine(const std::string& text) {
    ClearStatus();
    std::cerr << PrintableText(text) << std::endl;
}

void WriteCode(std::ostream& out, std::int32_t code) {
    out << std::hex << static_cast<std::uint32_t>(code) << std::dec;
}

void ReportStdException(const std::string& routine, const std::exception& e) {
    WriteLine(design_texts::StdExceptionLine(routine, e.what()));
}

void ReportUnknownException(const std::string& routine) { WriteLine(design_texts::UnknownExceptionLine(routine)); }

void WriteHeading(const std::string& heading) {
    platform::SetConsoleColour(platform::kColourHeading);
    WriteEmptyLine();
    WriteLine(heading);
    platform::SetConsoleColour(platform::kColourDefault);
}

// A small ring glyph, then the maker's word in block letters, 7 columns a letter.
// clang-format off
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
// clang-format on

void PrintBanner() {
    platform::SetConsoleColour(platform::kColourBanner);
    for (const char* line : kBannerLines) WriteLine(line);
    WriteEmptyLine();
    platform::SetConsoleColour(platform::kColourDefault);
}

void PrintTitle() {
    platform::SetConsoleColour(platform::kColourTitle);
    WriteLine(design_texts::kTitle);
    WriteEmptyLine();
    platform::SetConsoleColour(platform::kColourDefault);
}

}  // namespace console
