#include "hostkit/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace quillon {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                                       std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file == nullptr) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    constexpr std::size_t kPiece = 1 << 16;
    for (;;) {
        const std::size_t used = bytes.size();
        const std::size_t want = std::min(kPiece, maxBytes + 1 - used);
        bytes.resize(used + want);
        const std::size_t got = std::fread(bytes.data() + used, 1, want, file.get());
        bytes.resize(used + got);
        if (bytes.size() > maxBytes) {
            error = "'" + path + "' is too large (more than " + std::to_string(maxBytes) + " bytes)";
            return std::nullopt;
        }
        if (got < want) break;
    }
    if (std::ferror(file.get())) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return std::nullopt;
    }
    return bytes;
}

} // namespace quillon
