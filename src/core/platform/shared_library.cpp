#include "core/platform/shared_library.h"

#include <dlfcn.h>

namespace velmaro {

SharedLibrary::~SharedLibrary() { unload(); }

bool SharedLibrary::load(const std::filesystem::path& path) {
    unload();
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "cannot load " + path.string();
        return false;
    }
    error_.clear();
    return true;
}

void* SharedLibrary::symbol(const char* name) const {
    if (!handle_) return nullptr;
    return ::dlsym(handle_, name);
}

void SharedLibrary::unload() {
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

} // namespace velmaro
