#pragma once

#include <string>

namespace platform {

// One line of standard error that is redrawn in place, for progress on a
// terminal. Callers check StatusLineAvailable first: on anything but a
// terminal (a file, a pipe) nothing may be written, so captured output holds
// only the program's text.
bool StatusLineAvailable();

// Width of the terminal in columns (80 when it cannot be told). A status line
// must stay shorter, or it wraps and can no longer be erased in place.
int StatusLineColumns();

// Replaces the status line with text, leaving the cursor at its end.
void DrawStatusLine(const std::string& text);

// Blanks the status line and puts the cursor at the start of its row, where
// the next line of text then begins.
void EraseStatusLine();

}  // namespace platform
