// A preloaded library that makes one chosen file-system call of the tool
// fail, as a full disk, a failing disk or a crash would.
//
// It counts the calls that change files: rename, unlink, rmdir, mkdir, an open
// that may create, write (also through the kernel's copies) and sync. Only
// calls on paths (or descriptors of files) below TOLVANE2_FAULT_ROOT count, so
// the count does not depend on what the loader, the sanitizers or the console
// do. The call numbered
// TOLVANE2_FAULT_AT (from 1) then either does not happen and fails with
// TOLVANE2_FAULT_ACTION "enospc", "eio", "eperm" (a folder's rules refuse it) or
// "ebusy" (another program holds the name), or the process is killed before it
// ("kill"), or a folder is swapped for a link before it goes ahead ("swap",
// see SwapFolderForLink). TOLVANE2_FAULT_LOG, when set, names a file that receives one line
// per counted call: its number, name and path(s). TOLVANE2_FAULT_NO_RENAME2 set
// makes renameat2 answer EINVAL, as file systems that cannot refuse or swap do.
//
// Everything here runs inside the intercepted calls: no allocation, no
// stdio, only fixed buffers and the real functions.

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function>
Function Real(Function& slot, const char* name) {
    if (slot == nullptr) slot = reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
    return slot;
}
#define REAL(name) Real(real_##name, #name)

using OpenFunction = int (*)(const char*, int, ...);
using OpenAtFunction = int (*)(int, const char*, int, ...);
using WriteFunction = ssize_t (*)(int, const void*, size_t);
using PwriteFunction = ssize_t (*)(int, const void*, size_t, off_t);
using SendfileFunction = ssize_t (*)(int, int, off_t*, size_t);
using CopyRangeFunction = ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned);
using RenameAtFunction = int (*)(int, const char*, int, const char*);
using RenameAt2Function = int (*)(int, const char*, int, const char*, unsigned);

int (*real_rename)(const char*, const char*);
RenameAtFunction real_renameat;
RenameAt2Function real_renameat2;
int (*real_unlink)(const char*);
int (*real_unlinkat)(int, const char*, int);
int (*real_rmdir)(const char*);
int (*real_mkdir)(const char*, mode_t);
int (*real_mkdirat)(int, const char*, mode_t);
OpenFunction real_open;
OpenFunction real_open64;
OpenAtFunction real_openat;
OpenAtFunction real_openat64;
int (*real_creat)(const char*, mode_t);
int (*real_creat64)(const char*, mode_t);
WriteFunction real_write;
PwriteFunction real_pwrite;
PwriteFunction real_pwrite64;
SendfileFunction real_sendfile;
SendfileFunction real_sendfile64;
CopyRangeFunction real_copy_file_range;
long (*real_syscall)(long, ...);
int (*real_fsync)(int);
int (*real_fdatasync)(int);

std::atomic<unsigned long> callCount{0};  // the tool may have reading threads

// The full path of `path` as seen from `directory` (a descriptor or AT_FDCWD).
bool FullPath(int directory, const char* path, char (&out)[PATH_MAX]) {
    if (path == nullptr) return false;
    // A path through a held folder (/proc/self/fd/<n>/name) is that folder's.
    static const char kHeld[] = "/proc/self/fd/";
    if (std::strncmp(path, kHeld, sizeof kHeld - 1) == 0) {
        char* rest = nullptr;
        const long held = std::strtol(path + sizeof kHeld - 1, &rest, 10);
        if (rest != path + sizeof kHeld - 1 && *rest == '/') return FullPath(static_cast<int>(held), rest + 1, out);
    }
    if (path[0] == '/') return std::snprintf(out, sizeof out, "%s", path) < static_cast<int>(sizeof out);
    char base[PATH_MAX];
    if (directory == AT_FDCWD) {
        if (getcwd(base, sizeof base) == nullptr) return false;
    } else {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", directory);
        const ssize_t length = readlink(link, base, sizeof base - 1);
        if (length < 0) return false;
        base[length] = '\0';
    }
    return std::snprintf(out, sizeof out, "%s/%s", base, path) < static_cast<int>(sizeof out);
}

bool DescriptorPath(int fd, char (&out)[PATH_MAX]) {
    if (fd <= STDERR_FILENO) return false;  // the console never counts
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, out, sizeof out - 1);
    if (length < 0) return false;
    out[length] = '\0';
    return true;
}

bool UnderRoot(const char* path) {
    const char* root = std::getenv("TOLVANE2_FAULT_ROOT");
    if (root == nullptr || root[0] == '\0') return false;
    const size_t length = std::strlen(root);
    return std::strncmp(path, root, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

void Log(unsigned long number, const char* call, const char* path, const char* second) {
    const char* logPath = std::getenv("TOLVANE2_FAULT_LOG");
    if (logPath == nullptr) return;
    const int fd = REAL(open)(logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    char line[2 * PATH_MAX + 64];
    const int length = std::snprintf(line, sizeof line, "%lu %s %s%s%s\n", number, call, path,
                                     second != nullptr ? " " : "", second != nullptr ? second : "");
    if (length > 0) REAL(write)(fd, line, static_cast<size_t>(length) < sizeof line ? length : sizeof line - 1);
    close(fd);
}

// The caller's errno survives the looking and logging around its call.
class KeepErrno {
public:
    KeepErrno() : saved_(errno) {}
    ~KeepErrno() { errno = saved_; }
    KeepErrno(const KeepErrno&) = delete;
    KeepErrno& operator=(const KeepErrno&) = delete;

private:
    int saved_;
};

// Counts a call on the given full path(s) below the root. Returns 0 when the
// call is to go ahead, else the error number it is to fail with; kills the
// process when that is the chosen fault.
// Another account racing the tool: the folder TOLVANE2_SWAP_FOLDER is moved
// aside and a link to TOLVANE2_SWAP_TARGET put in its place; the call then
// goes ahead.
void SwapFolderForLink() {
    const char* folder = std::getenv("TOLVANE2_SWAP_FOLDER");
    const char* target = std::getenv("TOLVANE2_SWAP_TARGET");
    if (folder == nullptr || target == nullptr) return;
    char aside[PATH_MAX];
    if (std::snprintf(aside, sizeof aside, "%s.aside", folder) >= static_cast<int>(sizeof aside)) return;
    if (REAL(rename)(folder, aside) == 0) symlink(target, folder);
}

int CountCall(const char* call, const char* path, const char* second = nullptr) {
    if (!UnderRoot(path) && (second == nullptr || !UnderRoot(second))) return 0;
    const unsigned long number = ++callCount;
    Log(number, call, path, second);
    const char* at = std::getenv("TOLVANE2_FAULT_AT");
    if (at == nullptr || std::strtoul(at, nullptr, 10) != number) return 0;
    const char* action = std::getenv("TOLVANE2_FAULT_ACTION");
    if (action != nullptr && std::strcmp(action, "kill") == 0) kill(getpid(), SIGKILL);
    if (action != nullptr && std::strcmp(action, "swap") == 0) {
        SwapFolderForLink();
        return 0;
    }
    if (action != nullptr && std::strcmp(action, "eio") == 0) return EIO;
    if (action != nullptr && std::strcmp(action, "eperm") == 0) return EPERM;
    if (action != nullptr && std::strcmp(action, "ebusy") == 0) return EBUSY;
    return ENOSPC;
}

int CountPathCall(const char* call, int directory, const char* path) {
    const KeepErrno keep;
    char full[PATH_MAX];
    return FullPath(directory, path, full) ? CountCall(call, full) : 0;
}

int CountRenameCall(const char* call, int fromDirectory, const char* from, int toDirectory, const char* to) {
    const KeepErrno keep;
    char fullFrom[PATH_MAX];
    char fullTo[PATH_MAX];
    if (!FullPath(fromDirectory, from, fullFrom) || !FullPath(toDirectory, to, fullTo)) return 0;
    return CountCall(call, fullFrom, fullTo);
}

int CountDescriptorCall(const char* call, int fd) {
    const KeepErrno keep;
    char path[PATH_MAX];
    return DescriptorPath(fd, path) ? CountCall(call, path) : 0;
}

bool MayCreate(int flags) { return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

mode_t ModeArgument(int flags, va_list arguments) {
    return MayCreate(flags) ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

int Failed(int error) {
    errno = error;
    return -1;
}

}  // namespace

#define FAIL_IF(counted)                                       \
    do {                                                       \
        if (const int error = (counted)) return Failed(error); \
    } while (false)

extern "C" {

int rename(const char* from, const char* to) {
    FAIL_IF(CountRenameCall("rename", AT_FDCWD, from, AT_FDCWD, to));
    return REAL(rename)(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to) {
    FAIL_IF(CountRenameCall("renameat", fromDirectory, from, toDirectory, to));
    return REAL(renameat)(fromDirectory, from, toDirectory, to);
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned flags) {
    if (flags != 0 && std::getenv("TOLVANE2_FAULT_NO_RENAME2") != nullptr) return Failed(EINVAL);
    FAIL_IF(CountRenameCall("renameat2", fromDirectory, from, toDirectory, to));
    return REAL(renameat2)(fromDirectory, from, toDirectory, to, flags);
}

int unlink(const char* path) {
    FAIL_IF(CountPathCall("unlink", AT_FDCWD, path));
    return REAL(unlink)(path);
}

int unlinkat(int directory, const char* path, int flags) {
    FAIL_IF(CountPathCall("unlinkat", directory, path));
    return REAL(unlinkat)(directory, path, flags);
}

int rmdir(const char* path) {
    FAIL_IF(CountPathCall("rmdir", AT_FDCWD, path));
    return REAL(rmdir)(path);
}

int mkdir(const char* path, mode_t mode) {
    FAIL_IF(CountPathCall("mkdir", AT_FDCWD, path));
    return REAL(mkdir)(path, mode);
}

int mkdirat(int directory, const char* path, mode_t mode) {
    FAIL_IF(CountPathCall("mkdirat", directory, path));
    return REAL(mkdirat)(directory, path, mode);
}

#define DEFINE_OPEN(name)                                                    \
    int name(const char* path, int flags, ...) {                             \
        va_list arguments;                                                   \
        va_start(arguments, flags);                                          \
        const mode_t mode = ModeArgument(flags, arguments);                  \
        va_end(arguments);                                                   \
        if (MayCreate(flags)) FAIL_IF(CountPathCall(#name, AT_FDCWD, path)); \
        return REAL(name)(path, flags, mode);                                \
    }
DEFINE_OPEN(open)
DEFINE_OPEN(open64)

#define DEFINE_OPENAT(name)                                                   \
    int name(int directory, const char* path, int flags, ...) {               \
        va_list arguments;                                                    \
        va_start(arguments, flags);                                           \
        const mode_t mode = ModeArgument(flags, arguments);                   \
        va_end(arguments);                                                    \
        if (MayCreate(flags)) FAIL_IF(CountPathCall(#name, directory, path)); \
        return REAL(name)(directory, path, flags, mode);                      \
    }
DEFINE_OPENAT(openat)
DEFINE_OPENAT(openat64)

int creat(const char* path, mode_t mode) {
    FAIL_IF(CountPathCall("creat", AT_FDCWD, path));
    return REAL(creat)(path, mode);
}

int creat64(const char* path, mode_t mode) {
    FAIL_IF(CountPathCall("creat64", AT_FDCWD, path));
    return REAL(creat64)(path, mode);
}

ssize_t write(int fd, const void* bytes, size_t count) {
    FAIL_IF(CountDescriptorCall("write", fd));
    return REAL(write)(fd, bytes, count);
}

ssize_t pwrite(int fd, const void* bytes, size_t count, off_t offset) {
    FAIL_IF(CountDescriptorCall("pwrite", fd));
    return REAL(pwrite)(fd, bytes, count, offset);
}

ssize_t pwrite64(int fd, const void* bytes, size_t count, off_t offset) {
    FAIL_IF(CountDescriptorCall("pwrite64", fd));
    return REAL(pwrite64)(fd, bytes, count, offset);
}

// The kernel's copies write too: file-system libraries copy files with them.
ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
    FAIL_IF(CountDescriptorCall("sendfile", out));
    return REAL(sendfile)(out, in, offset, count);
}

ssize_t sendfile64(int out, int in, off_t* offset, size_t count) {
    FAIL_IF(CountDescriptorCall("sendfile64", out));
    return REAL(sendfile64)(out, in, offset, count);
}

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count, unsigned flags) {
    FAIL_IF(CountDescriptorCall("copy_file_range", out));
    return REAL(copy_file_range)(in, inOffset, out, outOffset, count, flags);
}

// Libraries built without a C library wrapper reach copy_file_range through
// syscall(); every system call takes at most six word-sized arguments.
long syscall(long number, ...) {
    va_list arguments;
    va_start(arguments, number);
    long word[6];
    for (long& w : word) w = va_arg(arguments, long);
    va_end(arguments);
    if (number == SYS_copy_file_range) FAIL_IF(CountDescriptorCall("copy_file_range", static_cast<int>(word[2])));
    return REAL(syscall)(number, word[0], word[1], word[2], word[3], word[4], word[5]);
}

int fsync(int fd) {
    FAIL_IF(CountDescriptorCall("fsync", fd));
    return REAL(fsync)(fd);
}

int fdatasync(int fd) {
    FAIL_IF(CountDescriptorCall("fdatasync", fd));
    return REAL(fdatasync)(fd);
}

}  // extern "C"
