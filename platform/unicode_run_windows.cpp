#include "platform/unicode_run.h"

#include <windows.h>
// CommandLineToArgvW, which Nowide's arguments use; lean windows.h leaves it out.
#include <shellapi.h>

#include <boost/filesystem/path.hpp>
#include <boost/nowide/args.hpp>
#include <boost/nowide/filesystem.hpp>
#include <boost/nowide/iostream.hpp>
#include <iostream>
#include <locale>
#include <memory>
#include <streambuf>
#include <string>

#include "platform/windows_path.h"

namespace platform {

namespace {

// Bytes at the end of text that begin a UTF-8 character still missing some
// of its bytes; a byte that cannot begin one counts as complete.
std::size_t IncompleteTail(const std::string& text) {
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 4 && back <= size; ++back) {
        const unsigned char byte = static_cast<unsigned char>(text[size - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: the lead lies further back
        const std::size_t length = byte >= 0xF0 && byte < 0xF8 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Code pages that refuse a replacement character of their own.
bool TakesDefaultChar(UINT codePage) {
    return codePage != CP_UTF8 && codePage != CP_UTF7 && codePage != 42 && (codePage < 50220 || codePage > 50229) &&
           codePage != 52936 && codePage != 54936 && (codePage < 57002 || codePage > 57011);
}

// Hands UTF-8 text on to a redirected output in the console's code page, the
// bytes a program writing narrow text there would have written; characters
// the code page cannot hold become '?'. Unbuffered, so the text reaches the
// output in the order it is written, as before; only a character cut between
// two writes waits for the rest of its bytes.
class CodePageBuffer : public std::streambuf {
public:
    CodePageBuffer(std::streambuf* target, UINT codePage) : target_(target), codePage_(codePage) {}

    // Whatever still waits goes out as it is, an incomplete character as '?'.
    void Drain() {
        if (!pending_.empty()) Pass(pending_.size());
        target_->pubsync();
    }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

    std::streamsize xsputn(const char* text, std::streamsize count) override {
        pending_.append(text, static_cast<std::size_t>(count));
        return Pass(pending_.size() - IncompleteTail(pending_)) ? count : 0;
    }

    int sync() override { return target_->pubsync(); }

private:
    // Converts and writes the first count bytes waiting.
    bool Pass(std::size_t count) {
        if (count == 0) return true;
        const std::string bytes = Converted(pending_.data(), count);
        pending_.erase(0, count);
        const auto size = static_cast<std::streamsize>(bytes.size());
        return target_->sputn(bytes.data(), size) == size;
    }

    std::string Converted(const char* text, std::size_t count) const {
        if (codePage_ == CP_UTF8) return std::string(text, count);
        const std::wstring wide = WidePath(std::string(text, count));
        const BOOL defaultAllowed = TakesDefaultChar(codePage_);
        const int length = WideCharToMultiByte(codePage_, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                               defaultAllowed ? "?" : nullptr, nullptr);
        if (length <= 0) return std::string(count, '?');
        std::string narrow(static_cast<std::size_t>(length), '\0');
        WideCharToMultiByte(codePage_, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), length,
                            defaultAllowed ? "?" : nullptr, nullptr);
        return narrow;
    }

    std::streambuf* target_;
    UINT codePage_;
    std::string pending_;
};

// Standard output and error as the run writes them. Boost.Nowide's streams
// found out before main whether each is a console; on one they write through
// the console's wide calls, and the standard stream is pointed at their
// buffer. A static object: it puts the streams back also when the run ends
// through std::exit, and before Nowide's streams (made earlier) are gone.
class ConsoleStreams {
public:
    ~ConsoleStreams() { Restore(); }

    void Redirect() {
        if (redirected_) return;
        redirected_ = true;
        Redirect(std::cout, boost::nowide::cout, out_);
        Redirect(std::cerr, boost::nowide::cerr, err_);
    }

    void Restore() {
        if (!redirected_) return;
        redirected_ = false;
        Restore(std::cerr, err_);
        Restore(std::cout, out_);
    }

private:
    struct Stream {
        std::streambuf* original = nullptr;
        std::unique_ptr<CodePageBuffer> codePage;
    };

    static void Redirect(std::ostream& stream, std::ostream& wide, Stream& state) {
        state.original = stream.rdbuf();
        if (wide.rdbuf() != state.original) {
            stream.rdbuf(wide.rdbuf());
            return;
        }
        // Without any console the call fails with 0, which converts to the ANSI code page.
        state.codePage = std::make_unique<CodePageBuffer>(state.original, GetConsoleOutputCP());
        stream.rdbuf(state.codePage.get());
    }

    static void Restore(std::ostream& stream, Stream& state) {
        stream.flush();
        if (state.codePage) state.codePage->Drain();
        stream.rdbuf(state.original);
        state.codePage.reset();
    }

    bool redirected_ = false;
    Stream out_;
    Stream err_;
};

ConsoleStreams& Streams() {
    static ConsoleStreams streams;
    return streams;
}

}  // namespace

struct UnicodeRun::State {
    State(int& argc, char**& argv) : arguments(argc, argv), previousPathLocale(boost::nowide::nowide_filesystem()) {}
    ~State() { boost::filesystem::path::imbue(previousPathLocale); }

    boost::nowide::args arguments;
    std::locale previousPathLocale;
};

UnicodeRun::UnicodeRun(int& argc, char**& argv) : state_(std::make_unique<State>(argc, argv)) { Streams().Redirect(); }

UnicodeRun::~UnicodeRun() { Streams().Restore(); }

}  // namespace platform
