// Opens a stored file for streaming reads through the C library (the wave reader reads large audio files
// piece by piece rather than whole). Paths are UTF-8 on every platform. [any] (never the audio thread)
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace quillon::platform {

// The regular file at `path`, opened for binary reading, with its length in bytes in `size`. Null when it
// cannot be opened or is not a regular file, with an errno value in `error` (EISDIR for a folder).
// The caller closes the file with fclose.
std::FILE* OpenRegularFileForReading(const std::string& path, std::uint64_t& size, int& error);

} // namespace quillon::platform
