#include "hostkit/TPluginLibrary.h"

#include <dlfcn.h>

namespace quillon {

TPluginLibrary::~TPluginLibrary() {
    Close();
}

bool TPluginLibrary::Open(const std::string& path, std::string& error) {
    Close();
    dlerror(); // NOLINT(concurrency-mt-unsafe): glibc keeps the dl error state per thread
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) return true;
    const char* reason = dlerror(); // NOLINT(concurrency-mt-unsafe): per thread, as above
    error = reason != nullptr ? reason : path;
    return false;
}

void* TPluginLibrary::Symbol(const char* name) const {
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

void TPluginLibrary::Close() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

} // namespace quillon
