#include "hostkit/FileBytes.h"

#include "platform/ReadWholeFile.h"

#include <cstring>

namespace quillon {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                                       std::string& error) {
    using platform::ReadFileStatus;
    platform::ReadFileResult file = platform::ReadWholeFile(path, maxBytes);
    switch (file.status) {
    case ReadFileStatus::kRead:
        return std::move(file.bytes);
    case ReadFileStatus::kCannotOpen:
        error = "cannot open '" + path + "': " + std::strerror(file.error);
        break;
    case ReadFileStatus::kNotAFile:
        error = "cannot read '" + path + "': " + (file.error != 0 ? std::strerror(file.error) : "not a regular file");
        break;
    case ReadFileStatus::kTooLarge:
        error = "'" + path + "' is too large (more than " + std::to_string(maxBytes) + " bytes)";
        break;
    case ReadFileStatus::kChanged:
        error = "'" + path + "' changed while it was being read";
        break;
    case ReadFileStatus::kReadError:
        error = "cannot read '" + path + "': " + std::strerror(file.error);
        break;
    }
    return std::nullopt;
}

} // namespace quillon
