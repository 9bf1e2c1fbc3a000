#include "platform/posix/ExecutableSearch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace quillon::platform {

namespace {

constexpr std::string_view kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string FindOnPath(std::string_view program) {
    const char* path = std::getenv("PATH"); // NOLINT(concurrency-mt-unsafe): read on the GUI thread only
    std::string_view folders = path != nullptr && *path != '\0' ? std::string_view(path) : kDefaultPath;
    while (true) {
        const std::size_t colon = folders.find(':');
        std::string_view folder = folders.substr(0, colon);
        if (folder.empty()) folder = ".";
        std::string candidate(folder);
        candidate.append(1, '/').append(program);
        if (IsExecutableFile(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

} // namespace quillon::platform
