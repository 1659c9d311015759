#include "platform/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

namespace platform {

namespace {
// Clears from the cursor to the end of the line: whatever a longer earlier
// status left there is gone.
constexpr const char* kClearToEnd = "\x1b[K";
}  // namespace

bool StatusLineAvailable() { return isatty(STDERR_FILENO) == 1; }

int StatusLineColumns() {
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void DrawStatusLine(const std::string& text) {
    // Text of standard output still buffered must not land after the status.
    std::cout.flush();
    std::cerr << '\r' << text << kClearToEnd << std::flush;
}

void EraseStatusLine() { std::cerr << '\r' << kClearToEnd << std::flush; }

}  // namespace platform
