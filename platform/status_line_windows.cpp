#include "platform/status_line.h"

#include <windows.h>

#include <iostream>

namespace platform {

namespace {

// Standard error's console screen buffer; null when it is redirected.
HANDLE ErrorConsole() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error == nullptr || error == INVALID_HANDLE_VALUE || !GetConsoleMode(error, &mode)) return nullptr;
    return error;
}

// Blanks the cursor's row from `column` to its end; the cursor stays where it is.
void BlankRowFrom(HANDLE console, const CONSOLE_SCREEN_BUFFER_INFO& info, SHORT column) {
    if (column >= info.dwSize.X) return;
    const COORD from{column, info.dwCursorPosition.Y};
    DWORD written = 0;
    FillConsoleOutputCharacterW(console, L' ', static_cast<DWORD>(info.dwSize.X - column), from, &written);
}

}  // namespace

bool StatusLineAvailable() { return ErrorConsole() != nullptr; }

int StatusLineColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE console = ErrorConsole();
    if (console != nullptr && GetConsoleScreenBufferInfo(console, &info) && info.dwSize.X > 0) return info.dwSize.X;
    return 80;
}

// The console API rather than escape sequences, which older consoles print
// as they are.
void DrawStatusLine(const std::string& text) {
    const HANDLE console = ErrorConsole();
    if (console == nullptr) return;
    std::cout.flush();
    std::cerr.flush();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) return;
    SetConsoleCursorPosition(console, COORD{0, info.dwCursorPosition.Y});
    // Written through the console's wide calls like every other line.
    std::cerr << text << std::flush;
    if (GetConsoleScreenBufferInfo(console, &info)) BlankRowFrom(console, info, info.dwCursorPosition.X);
}

void EraseStatusLine() {
    const HANDLE console = ErrorConsole();
    if (console == nullptr) return;
    std::cerr.flush();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) return;
    BlankRowFrom(console, info, 0);
    SetConsoleCursorPosition(console, COORD{0, info.dwCursorPosition.Y});
}

}  // namespace platform
