// Reading a whole input file with a size limit, for the host tool's readers of untrusted files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// The file's bytes, or nothing with a one-line reason in `error` when it cannot be read, is not a regular
// file (a folder, pipe or device), holds more than `maxBytes` bytes or changes while it is read. The
// length is checked before anything is allocated, so a huge file never takes more memory than the limit.
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t maxBytes,
                                                       std::string& error);

} // namespace quillon
