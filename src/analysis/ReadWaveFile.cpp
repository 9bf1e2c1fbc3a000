#include "analysis/ReadWaveFile.h"

#include "analysis/TFileWaveStream.h"
#include "analysis/TPCMWaveReader.h"

#include <algorithm>
#include <memory>

namespace quillon {

TWaveData ReadWaveFile(const std::string& path, platform::IAudioCodec* codec) {
    std::unique_ptr<platform::IAudioCodec> own;
    if (codec == nullptr) {
        own = platform::CreateAudioCodec();
        codec = own.get();
    }
    TFileWaveStream stream(path);
    TPCMWaveReader reader(stream, codec);
    TWaveData data;
    data.samples = reader.ReadAllAsFloat(false);
    data.format = stream.Format();
    data.decoded = reader.OutputFormat();
    data.decodedByCodec = reader.Decodes();
    data.sampleRate = static_cast<int>(std::min<std::uint32_t>(stream.Format().samplesPerSecond, 0x7fffffff));
    data.channels = stream.Format().channels;
    data.frames = reader.TotalFrames();
    return data;
}

} // namespace quillon
