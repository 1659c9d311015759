#pragma once

#include <string>

namespace console {

// A text as the console may show it: every character that could move the
// cursor, start a terminal sequence, split a line or reorder what follows is
// shown as '?': C0 controls and DEL, C1 controls (as UTF-8, and as stray bytes
// 0x80-0x9F outside any valid UTF-8 sequence) and the bidirectional overrides
// and isolates (U+202A-U+202E, U+2066-U+2069). Every other byte is kept, so an
// ordinary name prints unchanged. Names come from the storage and the command
// line, where anyone may have put anything.
std::string PrintableText(const std::string& text);

}  // namespace console
