#pragma once

#include <cstdint>
#include <exception>
#include <ostream>
#include <string>

// Console conventions of the tool: every message is one line followed by a
// flush, so that it is visible at once even if the run stops right after it.

namespace console {

// Writes text and a line end to standard output and flushes.
void WriteLine(const std::string& text);
// Writes an empty line (one line end, flushed).
void WriteEmptyLine();
// Writes text and a line end to standard error and flushes.
void WriteErrorLine(const std::string& text);

// The status line: one line on standard error, redrawn in place, shown only
// when standard error is a terminal (otherwise these do nothing, so captured
// output stays exactly the program's lines). Every line written through this
// console erases it first; whoever shows it redraws it at its next refresh.
void ShowStatus(const std::string& text);
void ClearStatus();
// text cut to fewer than `columns` characters (UTF-8 sequences kept whole), so
// that it never wraps; exposed for tests.
std::string FitStatus(const std::string& text, int columns);

// Writes a 32-bit return code in lowercase hexadecimal as its two's-complement
// bit pattern (-1 -> ffffffff) and leaves the stream decimal again.
void WriteCode(std::ostream& out, std::int32_t code);

// "<routine> - got std::exception: <what>" on standard output.
void ReportStdException(const std::string& routine, const std::exception& e);
// "<routine> - got exception" on standard output.
void ReportUnknownException(const std::string& routine);

// Writes an empty line and the heading of a road in the heading colour.
void WriteHeading(const std::string& heading);

// The thirteen lines of the start-up art, each 49 characters wide.
extern const char* const kBannerLines[13];
void PrintBanner();
void PrintTitle();

}  // namespace console
