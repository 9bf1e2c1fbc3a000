#include "analysis/TFileWaveStream.h"

#include "platform/OpenFile.h"

#include <system_error>

namespace quillon {

TFileWaveStream::TFileWaveStream(const std::string& path) {
    std::uint64_t size = 0;
    int error = 0;
    std::FILE* file = platform::OpenRegularFileForReading(path, size, error);
    if (file == nullptr) throw std::system_error(error, std::generic_category(), "Cannot open the file " + path);
    Open(file, size);
}

} // namespace quillon
