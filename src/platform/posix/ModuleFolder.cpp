#include "platform/ModuleFolder.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

namespace quillon::platform {

namespace {

// The folder part of a path made absolute with every link in it resolved; empty when it does not exist.
std::string AbsoluteFolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    char resolved[PATH_MAX];
    return realpath(folder.c_str(), resolved) ? std::string(resolved) : std::string();
}

} // namespace

std::string ModuleFolder() {
    Dl_info info{};
    // A name without "/" is the program's own name as typed (or nothing): the loader reports a path for
    // every library, relative ones as they were opened.
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) != 0 && info.dli_fname &&
        std::string(info.dli_fname).find('/') != std::string::npos) {
        if (std::string folder = AbsoluteFolderOf(info.dli_fname); !folder.empty()) return folder;
    }
    // Linked into the program itself.
    char program[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
    if (n <= 0) return {};
    program[n] = 0;
    return AbsoluteFolderOf(program);
}

} // namespace quillon::platform
