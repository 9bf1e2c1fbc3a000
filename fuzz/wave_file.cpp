// Fuzzes the wave reader with the codec layer: the input is written to a file and read whole as floats.
// A refusal is the expected outcome of bad input; the samples read must be finite and fill
// channels x frames values.
#include "FuzzSupport.h"

#include "analysis/ReadWaveFile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quillon::fuzz::WriteInput("input.wav", data, size);
    quillon::TWaveData wave;
    if (!quillon::ReadWaveFile(path, wave).Ok()) return 0; // a refusal is the expected outcome of bad input
    if (wave.channels > 0 &&
        wave.samples.size() != static_cast<std::size_t>(wave.channels) * static_cast<std::size_t>(wave.frames))
        std::abort();
    for (const float sample : wave.samples)
        if (!std::isfinite(sample)) std::abort();
    return 0;
}
