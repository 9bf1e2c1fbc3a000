#include "analysis/TFileWaveStream.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace quillon {

TFileWaveStream::TFileWaveStream(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw std::system_error(errno, std::generic_category(), "Cannot open the file " + path);
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
        std::fclose(file);
        throw std::system_error(error, std::generic_category(), "Cannot open the file " + path);
    }
    Open(file, static_cast<std::uint64_t>(info.st_size));
}

} // namespace quillon
