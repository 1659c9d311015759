#include "platform/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <utility>

namespace platform {

namespace {

// Links followed before a name is given up on, as the system itself does.
constexpr int kMaxLinks = 40;

// The temporaries not yet renamed, for the signal handler: fixed storage, as
// nothing may be allocated there.
constexpr int kCleanupSlots = 4;
std::array<std::array<char, PATH_MAX>, kCleanupSlots> cleanupPaths{};
std::array<volatile sig_atomic_t, kCleanupSlots> cleanupUsed{};

extern "C" void RemoveTemporariesAndStop(int signal) {
    for (int slot = 0; slot < kCleanupSlots; ++slot) {
        if (cleanupUsed[slot] != 0) ::unlink(cleanupPaths[slot].data());
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallCleanupHandler() {
    static const bool installed = [] {
        for (const int signal : {SIGINT, SIGTERM}) {
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndStop;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

int RegisterForCleanup(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    InstallCleanupHandler();
    for (int slot = 0; slot < kCleanupSlots; ++slot) {
        if (cleanupUsed[slot] != 0) continue;
        std::memcpy(cleanupPaths[slot].data(), path.c_str(), path.size() + 1);
        cleanupUsed[slot] = 1;
        return slot;
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) cleanupUsed[slot] = 0;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

void SplitName(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

// The folder's path with every link on the way resolved.
int RealFolder(const std::string& folder, std::string& real) {
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr) return errno;
    real = resolved;
    ::free(resolved);
    return 0;
}

EntryFacts FactsOfName(const std::string& path) {
    // O_PATH opens nothing for reading or writing: a FIFO is not waited on.
    const int fd = ::open(path.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        EntryFacts facts;
        facts.kind = errno == ENOENT ? EntryKind::Missing : EntryKind::Unreadable;
        return facts;
    }
    const EntryFacts facts = FactsOfOpenFile(fd);
    ::close(fd);
    return facts;
}

std::string TemporaryName(const std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string suffix = ".tmp-";
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(generator)];
    // A name near the system's limit keeps its start, so the temporary still fits.
    return "." + name.substr(0, NAME_MAX - 1 - suffix.size()) + suffix;
}

int WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

int ResolveOutput(const std::string& given, OutputTarget& target) {
    target = OutputTarget{};
    target.given = given;
    std::string path = given;
    for (int followed = 0;; ++followed) {
        std::string folder, name;
        SplitName(path, folder, name);
        if (name.empty() || name == "." || name == "..") return EISDIR;
        if (const int error = RealFolder(folder, target.folder); error != 0) return error;
        target.name = name;
        const std::string resolved = Join(target.folder, name);
        target.facts = FactsOfName(resolved);
        if (target.facts.kind != EntryKind::Link) return 0;
        if (followed == kMaxLinks) return ELOOP;
        std::array<char, PATH_MAX> destination{};
        const ssize_t length = ::readlink(resolved.c_str(), destination.data(), destination.size() - 1);
        if (length < 0) return errno;
        const std::string leadsTo(destination.data(), static_cast<std::size_t>(length));
        path = !leadsTo.empty() && leadsTo[0] == '/' ? leadsTo : Join(target.folder, leadsTo);
    }
}

int FolderAndAncestors(const std::string& folder, std::vector<FileIdentity>& identities) {
    identities.clear();
    int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    // A folder tree deeper than this is no real one; stop rather than loop.
    for (int depth = 0; depth < 4096; ++depth) {
        const EntryFacts facts = FactsOfOpenFile(fd);
        if (facts.kind != EntryKind::Folder) {
            ::close(fd);
            return ENOTDIR;
        }
        if (!identities.empty() && identities.back() == facts.identity) break;  // the root is its own parent
        identities.push_back(facts.identity);
        const int parent = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        if (parent < 0) return error;
        fd = parent;
    }
    ::close(fd);
    return 0;
}

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      targetPath_(std::move(other.targetPath_)),
      inPlace_(other.inPlace_),
      folder_(std::move(other.folder_)),
      fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        targetPath_ = std::move(other.targetPath_);
        inPlace_ = other.inPlace_;
        folder_ = std::move(other.folder_);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        cleanupSlot_ = std::exchange(other.cleanupSlot_, -1);
    }
    return *this;
}

void OutputFile::Discard() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    if (!inPlace_) folder_.RemoveFile(name_);
    Unregister(cleanupSlot_);
    cleanupSlot_ = -1;
}

OutputFile OutputFile::CreateBeside(const OutputTarget& target, int& error) {
    OutputFile file;
    file.targetPath_ = Join(target.folder, target.name);
    file.folder_ = Folder::OpenPath(target.folder, error);
    if (error != 0) return OutputFile();
    for (int attempt = 0; attempt < 100; ++attempt) {
        file.name_ = TemporaryName(target.name);
        file.path_ = Join(target.folder, file.name_);
        // Registered before it exists: a stop right after its creation still removes it.
        file.cleanupSlot_ = RegisterForCleanup(file.path_);
        // Created with 0666: the umask makes it what any new file of this user is.
        file.fd_ = ::openat(file.folder_.NativeHandle(), file.name_.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file.fd_ >= 0) break;
        error = errno;
        Unregister(file.cleanupSlot_);
        file.cleanupSlot_ = -1;
        if (error != EEXIST) break;
    }
    if (file.fd_ < 0) return OutputFile();
    if (target.facts.kind == EntryKind::RegularFile) {
        // The owner first: a change of owner may clear mode bits. Only root
        // may give a file away; everyone else keeps their own.
        (void)::fchown(file.fd_, target.facts.owner, target.facts.group);
        (void)::fchmod(file.fd_, target.facts.mode);
    }
    error = 0;
    return file;
}

OutputFile OutputFile::OpenInPlace(const OutputTarget& target, int& error) {
    OutputFile file;
    file.inPlace_ = true;
    file.path_ = file.targetPath_ = Join(target.folder, target.name);
    file.folder_ = Folder::OpenPath(target.folder, error);
    if (error != 0) return OutputFile();
    // Non-blocking: a FIFO put there meanwhile must not hold the audit.
    file.fd_ = ::openat(file.folder_.NativeHandle(), target.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    error = file.fd_ < 0 ? errno : 0;
    return file;
}

bool OutputFile::IsOpen() const { return fd_ >= 0; }

EntryFacts OutputFile::Facts() const { return FactsOfOpenFile(fd_); }

std::string OutputFile::Head(std::size_t count) const {
    std::string bytes(count, '\0');
    const ssize_t read = ::pread(fd_, bytes.data(), count, 0);
    bytes.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    return bytes;
}

int OutputFile::Commit(const std::string& text) {
    if (fd_ < 0) return EBADF;
    if (inPlace_ && ::ftruncate(fd_, 0) != 0) return errno;
    int error = WriteAll(fd_, text);
    if (error == 0 && !inPlace_) {
        std::string folder, name;
        SplitName(targetPath_, folder, name);
        const int at = folder_.NativeHandle();
        if (::renameat(at, name_.c_str(), at, name.c_str()) != 0) {
            error = errno;
        } else {
            inPlace_ = true;  // the temporary is the output now: nothing to remove
            folder_.Sync();
        }
    }
    Discard();
    return error;
}

bool FolderRefusesWriting(int error) { return error == EACCES || error == EPERM || error == EROFS; }

std::string OutputErrorText(int error) { return std::strerror(error); }

}  // namespace platform
