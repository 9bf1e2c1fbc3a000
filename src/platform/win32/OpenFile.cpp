#include "platform/OpenFile.h"

#include "platform/win32/Utf16.h"

#include <sys/stat.h>

#include <cerrno>

namespace quillon::platform {

std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error) {
    // _wfopen takes the UTF-16 path; fopen would read the UTF-8 bytes in the ANSI code page.
    std::FILE* file = _wfopen(win32::Widen(path).c_str(), L"rb");
    if (file == nullptr) {
        error = errno;
        return nullptr;
    }
    struct _stat64 info {};
    if (_fstat64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        error = (info.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : errno != 0 ? errno : EINVAL;
        std::fclose(file);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return file;
}

} // namespace quillon::platform
