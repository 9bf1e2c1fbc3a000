// Reads a whole wave file as 32-bit floats −1 … 1, whatever its encoding: the importer's entry to the
// wave reader (TFileWaveStream, TPCMWaveReader and the platform's codec service). [gui]
#pragma once

#include "platform/IAudioCodec.h"
#include "platform/Status.h"

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

// Reads the file at `path` into `data`. `codec` decodes encoded data; without one the platform's own is
// used. kNotValid with the numbered message for the user when the file is refused, kCannotOpen naming the
// file when it cannot be opened, kReadError when reading fails; `data` is then as it was.
Status ReadWaveFile(const std::string& path, TWaveData& data, platform::IAudioCodec* codec = nullptr);

} // namespace quillon
