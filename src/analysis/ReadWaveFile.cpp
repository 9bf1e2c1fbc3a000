#include "analysis/ReadWaveFile.h"

#include "analysis/TFileWaveStream.h"
#include "analysis/TPCMWaveReader.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <system_error>

namespace quillon {

namespace {

TWaveData Read(const std::string& path, platform::IAudioCodec* codec) {
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

} // namespace

Status ReadWaveFile(const std::string& path, TWaveData& data, platform::IAudioCodec* codec) {
    // The stream and the reader refuse by throwing; the refusal ends here.
    try {
        data = Read(path, codec);
    } catch (const WaveFileError& e) {
        return Status::Failure(StatusCode::kNotValid, e.what());
    } catch (const std::system_error& e) {
        return Status::Failure(StatusCode::kCannotOpen, e.what());
    } catch (const std::exception& e) {
        return Status::Failure(StatusCode::kReadError, e.what());
    }
    return Status::Success();
}

} // namespace quillon
