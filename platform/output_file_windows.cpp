#include "platform/output_file.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <random>
#include <utility>

#include "platform/windows_path.h"

namespace platform {

namespace {

int LastError() { return static_cast<int>(GetLastError()); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The temporaries not yet renamed, for the console and signal handlers: fixed
// storage, as the handlers run while the program is anywhere. A slot is
// claimed (1) while its path is copied and only then ready (2).
constexpr int kCleanupSlots = 4;
constexpr std::size_t kCleanupPathLength = 32768;  // the longest path the system takes
std::array<std::array<wchar_t, kCleanupPathLength>, kCleanupSlots> cleanupPaths{};
std::array<std::atomic<int>, kCleanupSlots> cleanupState{};

void RemoveTemporaries() {
    for (int slot = 0; slot < kCleanupSlots; ++slot) {
        if (cleanupState[slot].load(std::memory_order_acquire) == 2) DeleteFileW(cleanupPaths[slot].data());
    }
}

// Runs on a thread of its own. FALSE passes the event on, in the end to the
// system, which ends the process as it would have without this handler.
BOOL WINAPI RemoveTemporariesOnConsoleEvent(DWORD) {
    RemoveTemporaries();
    return FALSE;
}

extern "C" void RemoveTemporariesAndStop(int signal) {
    RemoveTemporaries();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallCleanupHandlers() {
    static const bool installed = [] {
        std::signal(SIGINT, RemoveTemporariesAndStop);
        std::signal(SIGTERM, RemoveTemporariesAndStop);
        // Also for closing the console and Ctrl+Break, which raise no signal.
        SetConsoleCtrlHandler(RemoveTemporariesOnConsoleEvent, TRUE);
        return true;
    }();
    (void)installed;
}

int RegisterForCleanup(const std::wstring& path) {
    if (path.size() >= kCleanupPathLength) return -1;
    InstallCleanupHandlers();
    for (int slot = 0; slot < kCleanupSlots; ++slot) {
        int expected = 0;
        if (!cleanupState[slot].compare_exchange_strong(expected, 1)) continue;
        std::memcpy(cleanupPaths[slot].data(), path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        cleanupState[slot].store(2, std::memory_order_release);
        return slot;
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) cleanupState[slot].store(0, std::memory_order_release);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring JoinWide(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && IsSeparator(folder.back()) ? folder + name : folder + L"\\" + name;
}

std::string Join(const std::string& folder, const std::string& name) {
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/') ? folder + name : folder + "\\" + name;
}

bool StartsWith(const std::wstring& text, const wchar_t* start) { return text.rfind(start, 0) == 0; }

// "C:x" names x in drive C's current folder; "C:\x" and "\\?\C:\x" x in its
// root, for which the folder keeps its separator: "C:" alone is no root, and
// "\\?\C:" or "\\?\Volume{...}" alone is the volume, not its root folder.
void SplitName(const std::wstring& path, std::wstring& folder, std::wstring& name) {
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos) {
        const wchar_t drive = static_cast<wchar_t>(path.empty() ? 0 : path[0] | 0x20);
        const bool onDrive = path.size() >= 2 && path[1] == L':' && drive >= L'a' && drive <= L'z';
        folder = onDrive ? path.substr(0, 2) + L"." : L".";
        name = onDrive ? path.substr(2) : path;
        return;
    }
    folder = path.substr(0, separator);
    name = path.substr(separator + 1);
    const bool volume = StartsWith(folder, L"\\\\?\\") && folder.find(L'\\', 4) == std::wstring::npos;
    if (folder.empty() || folder.back() == L':' || volume) folder += L'\\';
}

// Refused before the system sees it: a name that is a folder's own, one with
// a ':' (which would write a stream of another file) or a character no file
// name may hold.
int CheckName(const std::wstring& name) {
    if (name.empty() || name == L"." || name == L"..") return ERROR_DIRECTORY;
    for (const wchar_t c : name) {
        if (c < 32 || std::wcschr(L"<>:\"|?*", c) != nullptr) return ERROR_INVALID_NAME;
    }
    return 0;
}

// The "\\?\" form the system hands out, as the plain path the rest of the
// program uses, where the plain path names the same file: a name ending in a
// dot or a space, or a device's name, reads otherwise there.
std::wstring PlainPath(const std::wstring& path) {
    std::wstring plain;
    if (StartsWith(path, L"\\\\?\\UNC\\")) {
        plain = L"\\\\" + path.substr(8);
    } else if (path.size() >= 6 && StartsWith(path, L"\\\\?\\") && path[5] == L':') {
        plain = path.substr(4);
    } else {
        return path;
    }
    std::array<wchar_t, MAX_PATH> small{};
    std::wstring full;
    DWORD length = GetFullPathNameW(plain.c_str(), static_cast<DWORD>(small.size()), small.data(), nullptr);
    if (length >= small.size()) {
        full.resize(length);
        length = GetFullPathNameW(plain.c_str(), length, full.data(), nullptr);
        full.resize(length < full.size() ? length : 0);
    } else {
        full.assign(small.data(), length);
    }
    return full == plain ? plain : path;
}

// The path of an open file with every link and mount name resolved. A volume
// without a drive letter keeps its "\\?\Volume{...}" name.
int FinalPath(HANDLE handle, std::wstring& path) {
    int firstError = 0;
    for (const DWORD flags : {FILE_NAME_NORMALIZED | VOLUME_NAME_DOS, FILE_NAME_NORMALIZED | VOLUME_NAME_GUID}) {
        std::wstring buffer(MAX_PATH, L'\0');
        DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
        if (length >= buffer.size()) {
            buffer.resize(length);
            length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
        }
        if (length > 0 && length < buffer.size()) {
            buffer.resize(length);
            path = PlainPath(buffer);
            return 0;
        }
        if (firstError == 0) firstError = LastError();
    }
    return firstError;
}

// Read attributes only, sharing everything: no other program waits on it.
HANDLE OpenForFacts(const std::wstring& path, DWORD extraFlags) {
    return CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
}

EntryFacts FactsOfHandle(HANDLE handle) {
    if (GetFileType(handle) == FILE_TYPE_DISK) return FactsOfOpenFile(handle);
    EntryFacts facts;
    facts.kind = EntryKind::Other;
    return facts;
}

// A device's name (NUL, CON, COM1, in any folder) reaches the device, not a
// file: told apart without opening it, as opening a port alone may signal it.
bool IsDeviceName(const std::wstring& path) {
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), length, full.data(), nullptr));
    return StartsWith(full, L"\\\\.\\");
}

EntryFacts FactsOfName(const std::wstring& path) {
    EntryFacts facts;
    if (IsDeviceName(path)) {
        facts.kind = EntryKind::Other;
        return facts;
    }
    const HANDLE handle = OpenForFacts(path, FILE_FLAG_OPEN_REPARSE_POINT);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        facts.kind = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? EntryKind::Missing
                                                                                      : EntryKind::Unreadable;
        return facts;
    }
    facts = FactsOfHandle(handle);
    CloseHandle(handle);
    return facts;
}

// The final path of a folder, links on the way followed; identity of it too.
int RealFolder(const std::wstring& folder, std::wstring& real, EntryFacts* facts = nullptr) {
    const HANDLE handle = OpenForFacts(folder, 0);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    const EntryFacts own = FactsOfHandle(handle);
    const int error = own.kind != EntryKind::Folder ? ERROR_DIRECTORY : FinalPath(handle, real);
    CloseHandle(handle);
    if (facts != nullptr) *facts = own;
    return error;
}

// How much of a final path is its root: "C:\", "\\server\share\",
// "\\?\C:\", "\\?\UNC\server\share\", "\\?\Volume{...}\".
std::size_t RootLength(const std::wstring& path) {
    std::size_t at = 0;
    bool shared = false;
    if (StartsWith(path, L"\\\\?\\UNC\\")) {
        at = 8;
        shared = true;
    } else if (StartsWith(path, L"\\\\?\\")) {
        at = 4;
    } else if (StartsWith(path, L"\\\\")) {
        at = 2;
        shared = true;
    }
    if (!shared && path.size() >= at + 2 && path[at + 1] == L':') return std::min(path.size(), at + 3);
    std::size_t end = path.find(L'\\', at);
    if (shared && end != std::wstring::npos) end = path.find(L'\\', end + 1);
    return end == std::wstring::npos ? path.size() : end + 1;
}

std::uint32_t Seed() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    std::seed_seq seed{std::random_device{}(), static_cast<unsigned>(GetCurrentProcessId()),
                       static_cast<unsigned>(now.LowPart), static_cast<unsigned>(now.HighPart)};
    std::uint32_t value = 0;
    seed.generate(&value, &value + 1);
    return value;
}

std::wstring TemporaryName(const std::wstring& name) {
    static constexpr wchar_t kLetters[] = L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937 generator{Seed()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters / sizeof kLetters[0] - 2);
    std::wstring suffix = L".tmp-";
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(generator)];
    // A name near the limit of 255 keeps its start, not half a character.
    std::wstring start = name.substr(0, 255 - 1 - suffix.size());
    if (!start.empty() && IS_HIGH_SURROGATE(start.back())) start.pop_back();
    return L"." + start + suffix;
}

// Replacing a name another program holds open fails as often with access
// denied as with a sharing violation. Asking for the right to delete it tells
// which: a sharing violation there is a holder; anything else (a read-only
// output, missing rights) stays access denied.
int ReplaceError(const std::wstring& target) {
    const int error = LastError();
    if (error != ERROR_ACCESS_DENIED) return error;
    const HANDLE handle = CreateFileW(target.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return error;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? kOutputInUseError : error;
}

int WriteAll(HANDLE to, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        if (!WriteFile(to, text.data() + done, chunk, &written, nullptr)) return LastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return FlushFileBuffers(to) ? 0 : LastError();
}

}  // namespace

int ResolveOutput(const std::string& given, OutputTarget& target) {
    target = OutputTarget{};
    target.given = given;
    if (given.find('\0') != std::string::npos) return ERROR_INVALID_NAME;
    std::wstring path = WidePath(given);
    // The system follows a chain of links to its end in one open; a link
    // found again after that is a name changed meanwhile.
    for (bool followed = false;; followed = true) {
        std::wstring folder, name, real;
        SplitName(path, folder, name);
        if (const int error = CheckName(name); error != 0) return error;
        if (const int error = RealFolder(folder, real); error != 0) return error;
        target.folder = NarrowText(real);
        target.name = NarrowText(name);
        const std::wstring resolved = JoinWide(real, name);
        target.facts = FactsOfName(resolved);
        if (target.facts.kind != EntryKind::Link) return 0;
        if (followed) return kRefusedLinkError;
        // A link that leads nowhere fails here: where it would lead is not read.
        const HANDLE handle = OpenForFacts(resolved, 0);
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        const int error = FinalPath(handle, path);
        CloseHandle(handle);
        if (error != 0) return error;
    }
}

// The final path has no links left, so the folders above are taken by its
// names; each is opened all the same, for its identity.
int FolderAndAncestors(const std::string& folder, std::vector<FileIdentity>& identities) {
    identities.clear();
    std::wstring path;
    EntryFacts facts;
    if (const int error = RealFolder(WidePath(folder.empty() ? std::string(".") : folder), path, &facts); error != 0) {
        return error;
    }
    identities.push_back(facts.identity);
    const std::size_t root = RootLength(path);
    while (path.size() > root) {
        const std::size_t separator = path.find_last_of(L'\\', path.size() - 2);
        path.resize(separator == std::wstring::npos || separator < root ? root : separator);
        const HANDLE handle = OpenForFacts(path, 0);
        if (handle == INVALID_HANDLE_VALUE) return LastError();
        facts = FactsOfHandle(handle);
        CloseHandle(handle);
        if (facts.kind != EntryKind::Folder) return ERROR_DIRECTORY;
        identities.push_back(facts.identity);
    }
    return 0;
}

OutputFile::~OutputFile() { Discard(); }

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      targetPath_(std::move(other.targetPath_)),
      inPlace_(other.inPlace_),
      folder_(std::move(other.folder_)),
      handle_(std::exchange(other.handle_, nullptr)),
      cleanupSlot_(std::exchange(other.cleanupSlot_, -1)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        targetPath_ = std::move(other.targetPath_);
        inPlace_ = other.inPlace_;
        folder_ = std::move(other.folder_);
        handle_ = std::exchange(other.handle_, nullptr);
        cleanupSlot_ = std::exchange(other.cleanupSlot_, -1);
    }
    return *this;
}

void OutputFile::Discard() {
    if (handle_ == nullptr) return;
    CloseHandle(handle_);
    handle_ = nullptr;
    if (!inPlace_) DeleteFileW(WidePath(path_).c_str());
    Unregister(cleanupSlot_);
    cleanupSlot_ = -1;
}

// The temporary takes the folder's inherited permissions, as the output's
// replacement would; attributes are not copied, so a read-only output does
// not make a temporary that cannot be removed.
OutputFile OutputFile::CreateBeside(const OutputTarget& target, int& error) {
    OutputFile file;
    file.targetPath_ = Join(target.folder, target.name);
    file.folder_ = Folder::OpenPath(target.folder, error);
    if (error != 0) return OutputFile();
    const std::wstring name = WidePath(target.name);
    std::wstring path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = JoinWide(file.folder_.WidePath(), TemporaryName(name));
        // Registered before it exists: a stop right after its creation still removes it.
        file.cleanupSlot_ = RegisterForCleanup(path);
        // Sharing deletion lets the console handler remove it while it is open.
        handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) break;
        error = LastError();
        Unregister(file.cleanupSlot_);
        file.cleanupSlot_ = -1;
        if (error != ERROR_FILE_EXISTS) break;
    }
    if (handle == INVALID_HANDLE_VALUE) return OutputFile();
    file.handle_ = handle;
    file.path_ = NarrowText(path);
    error = 0;
    return file;
}

// Sharing reading only: nobody else writes or removes it meanwhile.
OutputFile OutputFile::OpenInPlace(const OutputTarget& target, int& error) {
    OutputFile file;
    file.inPlace_ = true;
    file.path_ = file.targetPath_ = Join(target.folder, target.name);
    file.folder_ = Folder::OpenPath(target.folder, error);
    if (error != 0) return OutputFile();
    const std::wstring path = JoinWide(file.folder_.WidePath(), WidePath(target.name));
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError();
        return OutputFile();
    }
    file.handle_ = handle;
    error = 0;
    return file;
}

bool OutputFile::IsOpen() const { return handle_ != nullptr; }

EntryFacts OutputFile::Facts() const {
    if (handle_ != nullptr) return FactsOfHandle(handle_);
    EntryFacts facts;
    facts.kind = EntryKind::Unreadable;
    return facts;
}

// Reading moves the handle's position here, so it is put back afterwards. A
// device or a pipe is not read: it could wait for input.
std::string OutputFile::Head(std::size_t count) const {
    std::string bytes;
    if (handle_ == nullptr || GetFileType(handle_) != FILE_TYPE_DISK) return bytes;
    LARGE_INTEGER zero{}, position{};
    if (!SetFilePointerEx(handle_, zero, &position, FILE_CURRENT)) return bytes;
    if (!SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN)) return bytes;
    bytes.resize(count);
    std::size_t done = 0;
    while (done < count) {
        DWORD got = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 20));
        if (!ReadFile(handle_, bytes.data() + done, chunk, &got, nullptr) || got == 0) break;
        done += got;
    }
    bytes.resize(done);
    SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN);
    return bytes;
}

// The temporary is closed before the rename, so that a failing close is seen
// and the rename meets no handle of this process. Another program holding the
// output is kOutputInUseError. MOVEFILE_WRITE_THROUGH makes the new name
// durable: the folder needs no flush of its own.
int OutputFile::Commit(const std::string& text) {
    if (handle_ == nullptr) return ERROR_INVALID_HANDLE;
    int error = 0;
    if (inPlace_) {
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(handle_, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_)) error = LastError();
    }
    if (error == 0) error = WriteAll(handle_, text);
    if (!CloseHandle(std::exchange(handle_, nullptr)) && error == 0) error = LastError();
    if (!inPlace_) {
        const std::wstring temporary = WidePath(path_);
        const std::wstring target = WidePath(targetPath_);
        if (error == 0 &&
            !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            error = ReplaceError(target);
        }
        if (error != 0) DeleteFileW(temporary.c_str());
        Unregister(cleanupSlot_);
        cleanupSlot_ = -1;
    }
    return error;
}

bool FolderRefusesWriting(int error) { return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT; }

std::string OutputErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? NarrowText(std::wstring(text, length)) : std::string();
    if (text != nullptr) LocalFree(text);
    // The system's sentences end in a full stop and a line break; ours go on.
    while (!result.empty() && result.back() != '\0' && std::strchr("\r\n. ", result.back()) != nullptr) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(error) : result;
}

}  // namespace platform
