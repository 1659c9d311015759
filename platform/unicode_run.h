#pragma once

#include <memory>

namespace platform {

// Makes the narrow strings of a run UTF-8 where the system's own narrow
// strings are not (Windows): the arguments are taken wide and handed over
// as UTF-8, Boost.Filesystem converts paths as UTF-8, and standard output
// and error show UTF-8 text: on a console through its wide calls, redirected
// in the console's code page with '?' for what it cannot hold. On POSIX names
// are bytes and nothing changes.
// One per process, made first thing in main and kept for the whole run;
// standard output and error are restored when it goes.
class UnicodeRun {
public:
    UnicodeRun(int& argc, char**& argv);
    ~UnicodeRun();
    UnicodeRun(const UnicodeRun&) = delete;
    UnicodeRun& operator=(const UnicodeRun&) = delete;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
