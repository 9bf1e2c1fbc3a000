// A TWaveStream on a named file: opens it, parses its header and stands at the data start. The file stays
// open until the stream goes. [gui]
#pragma once

#include "analysis/TWaveStream.h"

#include <string>

namespace quillon {

class TFileWaveStream : public TWaveStream {
public:
    // Throws std::system_error when the file cannot be opened (missing, a folder, no permission) and
    // WaveFileError with its numbered message when it is not a wave file this reader takes.
    explicit TFileWaveStream(const std::string& path);
};

} // namespace quillon
