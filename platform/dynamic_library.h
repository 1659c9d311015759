#pragma once

#include <string>
#include <utility>

namespace platform {

// File-name suffix of a loadable library on this platform.
extern const char* const kLibrarySuffix;
// Whether a program installed here keeps its private libraries apart, in
// ../lib/<package>/ beside its executable's folder (a Debian package), rather
// than only beside the executable (a Windows program).
extern const bool kPrivateLibraryFolder;

// An owned handle to a library loaded at run time; unloads on destruction.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary() { Unload(); }
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept {
        if (this != &other) {
            Unload();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    // Loads by name; a bare name is looked for next to the executable first.
    bool Load(const std::string& name);
    // Address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    void Unload();
    bool IsLoaded() const { return handle_ != nullptr; }
    // The loader's text for the last failure of this thread.
    static std::string LastError();

private:
    void* handle_ = nullptr;
};

}  // namespace platform
