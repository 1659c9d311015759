#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace platform {

const char* const kLibrarySuffix = ".so";

namespace {

// The running executable's folder with a trailing '/', empty when it cannot be told.
std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
    const std::string executable(buffer, static_cast<size_t>(length));
    const auto slash = executable.rfind('/');
    return slash == std::string::npos ? std::string() : executable.substr(0, slash + 1);
}

void* Open(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

// A bare name is looked for beside the executable first, as the recorder's own
// platform loader does. RUNPATH=$ORIGIN alone does not guarantee it: when a
// sanitizer runtime intercepts dlopen, the search runs on that runtime's behalf.
bool DynamicLibrary::Load(const std::string& name) {
    Unload();
    if (name.find('/') == std::string::npos) {
        const std::string folder = ExecutableFolder();
        if (!folder.empty()) handle_ = Open(folder + name);
    }
    if (handle_ == nullptr) handle_ = Open(name);
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return dlsym(handle_, name);
}

void DynamicLibrary::Unload() {
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

std::string DynamicLibrary::LastError() {
    const char* text = dlerror();
    return text != nullptr ? text : "";
}

}  // namespace platform
