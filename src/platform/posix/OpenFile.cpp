#include "platform/OpenFile.h"

#include <sys/stat.h>

#include <cerrno>

namespace quillon::platform {

std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = errno;
        return nullptr;
    }
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
        std::fclose(file);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return file;
}

} // namespace quillon::platform
