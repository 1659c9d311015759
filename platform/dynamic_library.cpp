#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include "platform/executable_folder.h"

namespace platform {

const char* const kLibrarySuffix = ".so";
const bool kPrivateLibraryFolder = true;

namespace {

void* Open(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

// A bare name is looked for beside the executable first, as the recorder's own
// platform loader does. RUNPATH=$ORIGIN alone does not guarantee it: when a
// sanitizer runtime intercepts dlopen, the search runs on that runtime's behalf.
bool DynamicLibrary::Load(const std::string& name) {
    Unload();
    if (name.find('/') == std::string::npos) {
        const std::string folder = ExecutableFolder();
        if (!folder.empty()) handle_ = Open(folder + '/' + name);
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
