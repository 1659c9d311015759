// writer_latency --database DB [--reopen | --hold] [--busy-timeout MS] [--gap-ms MS]
//                (--seconds S | --tool BUILD STORAGE [--runs N])
//
// A recorder's writer and reader on a day database: the writer keeps
// inserting MediaFileDiskMap rows, the reader keeps reading the day's rows,
// each opening the database for every statement (--reopen, as a recorder that
// reopens its database does) or holding one connection (--hold), with
// SQLite's busy timeout or without one (--busy-timeout 0: a busy statement
// fails at once, is counted and tried again a millisecond later). Each waits
// --gap-ms between statements.
//
// With --tool, runs `Tolvane2 -p STORAGE -o` from BUILD (N times) and writes
// and reads from the moment each run has placed its day databases until it
// ends; with --seconds, for that long without the tool. Prints, for writer and reader,
// the number of statements, the 99th percentile and the slowest statement
// time in milliseconds, and the busy failures.

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string database;
    bool reopen = true;
    int busyTimeoutMs = 5000;
    int gapMs = 5;
    double seconds = 0;
    std::string build;
    std::string storage;
    int runs = 1;
};

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, Closer>;

Database Open(const Options& options) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(options.database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw std::runtime_error("cannot open " + options.database);
    }
    if (options.busyTimeoutMs > 0) sqlite3_busy_timeout(db, options.busyTimeoutMs);
    return Database(db);
}

struct Samples {
    std::vector<double> milliseconds;
    long busyFailures = 0;
    long otherFailures = 0;
};

// Runs statements until stopped; each is timed from its first try to its
// success, a busy failure tried again after a millisecond.
void Drive(const Options& options, const std::atomic<bool>& stop, Samples& samples,
           const std::function<std::string(long)>& statementFor) {
    Database held = options.reopen ? nullptr : Open(options);
    for (long n = 0; !stop; ++n) {
        const std::string sql = statementFor(n);
        Database own = options.reopen ? Open(options) : nullptr;
        sqlite3* db = options.reopen ? own.get() : held.get();
        const Clock::time_point start = Clock::now();
        int rc;
        while ((rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr)) == SQLITE_BUSY && !stop) {
            ++samples.busyFailures;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (rc == SQLITE_OK) {
            samples.milliseconds.push_back(took.count());
        } else if (rc != SQLITE_BUSY) {
            ++samples.otherFailures;
        }
        own.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(options.gapMs));
    }
}

std::string WriterStatement(long n) {
    return "INSERT INTO MediaFileDiskMap (MFSerial, IntervalSerial, PathName, StartRecordTime, EndRecordTime) "
           "VALUES(" +
           std::to_string(90000000 + n) + ", 0, 'writer_" + std::to_string(n) + ".3gp', " +
           std::to_string(1330768800 + n) + ", " + std::to_string(1330768860 + n) + ")";
}

std::string ReaderStatement(long n) {
    return "SELECT COUNT(*), MAX(EndRecordTime) FROM MediaFileDiskMap WHERE StartRecordTime >= " +
           std::to_string(1330768800 + (n % 1440) * 60);
}

void Print(const char* who, Samples& samples) {
    std::vector<double>& ms = samples.milliseconds;
    std::sort(ms.begin(), ms.end());
    const double p99 = ms.empty() ? 0 : ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    const double slowest = ms.empty() ? 0 : ms.back();
    std::printf("%-6s statements %6zu  p99 %8.1f ms  slowest %8.1f ms  busy failures %6ld  other failures %ld\n", who,
                ms.size(), p99, slowest, samples.busyFailures, samples.otherFailures);
}

// Starts the tool with its output on a pipe; returns the pipe's reading end.
pid_t StartTool(const Options& options, int& output) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(options.build.c_str()) != 0) _exit(126);
        execl("./Tolvane2", "Tolvane2", "-p", options.storage.c_str(), "-o", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    output = pipeEnds[0];
    return pid;
}

// Reads the tool's output until a line starts with the text (true) or the output ends (false).
bool ReadUntil(FILE* output, const char* start) {
    char line[4096];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        if (std::strncmp(line, start, std::strlen(start)) == 0) return true;
    }
    return false;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--database")
            options.database = next();
        else if (arg == "--reopen")
            options.reopen = true;
        else if (arg == "--hold")
            options.reopen = false;
        else if (arg == "--busy-timeout")
            options.busyTimeoutMs = std::stoi(next());
        else if (arg == "--gap-ms")
            options.gapMs = std::stoi(next());
        else if (arg == "--seconds")
            options.seconds = std::stod(next());
        else if (arg == "--runs")
            options.runs = std::stoi(next());
        else if (arg == "--tool") {
            options.build = next();
            options.storage = next();
        } else {
            throw std::runtime_error("unknown argument " + arg);
        }
    }
    if (options.database.empty() || (options.seconds <= 0) == options.storage.empty()) {
        throw std::runtime_error(
            "usage: writer_latency --database DB [--reopen|--hold] [--busy-timeout MS] "
            "[--gap-ms MS] (--seconds S | --tool BUILD STORAGE [--runs N])");
    }
    return options;
}

// Runs the tool once, writing and reading from the moment its day databases
// are placed until it ends (the connections are closed between runs, or the
// next run would find the database in use and leave it alone).
void MeasureOneRun(const Options& options, Samples& written, Samples& read) {
    int output = -1;
    const pid_t tool = StartTool(options, output);
    FILE* toolOutput = fdopen(output, "r");
    std::atomic<bool> stop{false};
    std::thread writer;
    std::thread reader;
    // The day databases are placed before the first day is processed.
    if (ReadUntil(toolOutput, "Processing Date: ")) {
        writer = std::thread([&] { Drive(options, stop, written, WriterStatement); });
        reader = std::thread([&] { Drive(options, stop, read, ReaderStatement); });
        ReadUntil(toolOutput, "Congratulation!");
    }
    std::fclose(toolOutput);
    int status = 0;
    waitpid(tool, &status, 0);
    stop = true;
    if (writer.joinable()) writer.join();
    if (reader.joinable()) reader.join();
}

void MeasureFor(const Options& options, double seconds, Samples& written, Samples& read) {
    std::atomic<bool> stop{false};
    std::thread writer([&] { Drive(options, stop, written, WriterStatement); });
    std::thread reader([&] { Drive(options, stop, read, ReaderStatement); });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    writer.join();
    reader.join();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const Options options = ParseOptions(argc, argv);
        Samples written;
        Samples read;
        const Clock::time_point start = Clock::now();
        if (!options.storage.empty()) {
            for (int run = 0; run < options.runs; ++run) MeasureOneRun(options, written, read);
        } else {
            MeasureFor(options, options.seconds, written, read);
        }
        const std::chrono::duration<double> took = Clock::now() - start;
        const std::string timeout = options.busyTimeoutMs > 0
                                        ? "busy timeout " + std::to_string(options.busyTimeoutMs) + " ms"
                                        : "no busy timeout";
        std::printf("%s, %s, over %.1f s %s\n", options.reopen ? "reopening per statement" : "holding the connection",
                    timeout.c_str(), took.count(),
                    options.storage.empty() ? "without the tool"
                                            : ("with " + std::to_string(options.runs) + " runs of the tool").c_str());
        Print("writer", written);
        Print("reader", read);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "writer_latency: %s\n", e.what());
        return 1;
    }
}
