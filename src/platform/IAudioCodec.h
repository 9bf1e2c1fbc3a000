// The platform's audio codec service: turns the encoded data of a RIFF/WAVE file (IMA and MS ADPCM,
// µ-law, A-law, GSM 6.10, ...) into PCM, so that the wave reader above it knows no encoding but PCM and
// IEEE float. The operations follow what a codec manager offers: suggest a PCM format for a source
// format, open a conversion stream, ask how many bytes one side needs for the other, convert whole
// blocks. The wave reader owns the file; a stream reads the encoded bytes it needs through a callback.
//
// Threads: a codec and its streams serve one thread at a time [gui].
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quillon::platform {

// A RIFF/WAVE format record (the 18-byte WAVEFORMATEX, little-endian in the file) with its extra bytes.
struct WaveFormat {
    static constexpr std::uint16_t kPcm = 1;
    static constexpr std::uint16_t kIeeeFloat = 3;
    static constexpr std::uint16_t kMpegLayer3 = 85;
    static constexpr std::uint16_t kExtensible = 0xFFFE;

    std::uint16_t tag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0; // bytes of one block: a frame of PCM, a compressed block of ADPCM
    std::uint16_t bitsPerSample = 0;
    std::vector<std::uint8_t> extra; // the extra format bytes (their count is the record's last field)
};

class IAudioCodec {
public:
    // Reads up to `bytes` bytes of the encoded data, `offset` bytes from its start, into `buffer`; returns
    // how many it read (fewer at the end of the data). Throws when the file cannot be read.
    using DataReader = std::function<std::size_t(std::uint64_t offset, void* buffer, std::size_t bytes)>;

    // One open conversion from an encoded format to PCM. Keeps the decoder's state between conversions
    // of consecutive blocks.
    class Stream {
    public:
        virtual ~Stream() = default;
        // Bytes of PCM that `sourceBytes` of whole source blocks decode to; 0 when unknown.
        virtual std::size_t DestinationSize(std::size_t sourceBytes) const = 0;
        // Bytes of whole source blocks needed to produce `destinationBytes` of PCM (at least one block).
        virtual std::size_t SourceSize(std::size_t destinationBytes) const = 0;
        // Decodes `blocks` whole source blocks, from block `firstBlock` of the data on, into `destination`
        // (room for `capacity` bytes). Returns the PCM bytes written (fewer at the end of the data), or −1
        // when the decoder fails.
        virtual std::int64_t Convert(std::uint64_t firstBlock, std::size_t blocks, std::uint8_t* destination,
                                     std::size_t capacity) = 0;
    };

    virtual ~IAudioCodec() = default;
    // The PCM format `source` decodes to (tag 1, same channels and rate); false when no decoder knows it.
    virtual bool SuggestPcmFormat(const WaveFormat& source, WaveFormat& destination) = 0;
    // Opens a conversion from `source` to `destination` (a format SuggestPcmFormat gave) for encoded data
    // of `dataBytes` bytes (whole blocks) read through `reader`; nullptr when it cannot be opened.
    virtual std::unique_ptr<Stream> OpenStream(const WaveFormat& source, const WaveFormat& destination,
                                               std::uint64_t dataBytes, DataReader reader) = 0;
};

// The codec service of this platform: libsndfile on Linux, the Audio Compression Manager on Windows.
std::unique_ptr<IAudioCodec> CreateAudioCodec();

} // namespace quillon::platform
