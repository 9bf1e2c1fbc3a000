#include "hostkit/FileBytes.h"

#include "platform/ReadWholeFile.h"

#include <cstring>
#include <system_error>

namespace quillon {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                                       std::string& error) {
    platform::ReadFileResult file = platform::ReadWholeFile(path, maxBytes);
    switch (file.status.code) {
    case StatusCode::kOk:
        return std::move(file.bytes);
    case StatusCode::kCannotOpen:
        error = "cannot open '" + path + "': " + std::generic_category().message(file.error);
        break;
    case StatusCode::kNotAFile:
        error = "cannot read '" + path +
                "': " + (file.error != 0 ? std::generic_category().message(file.error) : "not a regular file");
        break;
    case StatusCode::kTooLarge:
        error = "'" + path + "' is too large (more than " + std::to_string(maxBytes) + " bytes)";
        break;
    case StatusCode::kChanged:
        error = "'" + path + "' changed while it was being read";
        break;
    case StatusCode::kReadError:
        error = "cannot read '" + path + "': " + std::generic_category().message(file.error);
        break;
    default:
        error = file.status.message;
        break;
    }
    return std::nullopt;
}

} // namespace quillon
