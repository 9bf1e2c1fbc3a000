// Reads a whole wave file as 32-bit floats −1 … 1, whatever its encoding: the importer's entry to the
// wave reader (TFileWaveStream, TPCMWaveReader and the platform's codec service). [gui]
#pragma once

#include "platform/IAudioCodec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct TWaveData {
    std::vector<float> samples; // interleaved by channel: channels × frames values
    int sampleRate = 0;         // Hz, from the source's format record
    int channels = 0;
    std::int64_t frames = 0;
    platform::WaveFormat format;  // the source's format record, with its extra bytes
    platform::WaveFormat decoded; // the PCM or float format the samples were converted from
    bool decodedByCodec = false;  // true when the codec service decoded the data
};

// Reads the file at `path`. `codec` decodes encoded data; without one the platform's own is used.
// Throws WaveFileError with the numbered message for the user when the file is refused, std::system_error
// when it cannot be opened.
TWaveData ReadWaveFile(const std::string& path, platform::IAudioCodec* codec = nullptr);

} // namespace quillon
