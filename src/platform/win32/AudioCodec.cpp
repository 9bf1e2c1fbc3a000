// The codec service on Windows. The wave reader decodes PCM and IEEE float itself; encoded formats
// (ADPCM, µ-law, A-law, GSM 6.10) will go through the Audio Compression Manager (msacm32). Until then no
// encoded format is offered, and the reader reports such a file as one it cannot convert, as it does for
// any format no codec knows.
#include "platform/IAudioCodec.h"

namespace quillon::platform {

namespace {

class NoAudioCodec : public IAudioCodec {
public:
    bool SuggestPcmFormat(const WaveFormat&, WaveFormat&) override { return false; }
    std::unique_ptr<Stream> OpenStream(const WaveFormat&, const WaveFormat&, std::uint64_t, DataReader) override {
        return nullptr;
    }
};

} // namespace

std::unique_ptr<IAudioCodec> CreateAudioCodec() {
    return std::make_unique<NoAudioCodec>();
}

} // namespace quillon::platform
