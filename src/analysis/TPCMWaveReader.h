// The PCM view of a wave stream and its conversion to float samples. PCM and IEEE-float sources (and
// WAVE_FORMAT_EXTENSIBLE with a PCM or float sub-format) are read directly; any other encoding goes
// through the platform's codec service, which decodes it to 16-bit PCM about 20,000 bytes at a time.
// Frames of the output format are counted from the data start; an encoded block decodes to a fixed
// number of output frames (the ratio).
//
// Sample conversion to −1 … 1, by the output format's bits per sample:
//   8   unsigned byte b → 2b/255 − 1
//   16  signed v → v/32767 above 0, else v/32768 (so −32768 → −1 and 32767 → 1 exactly)
//   20  three bytes, shifted right by 4, signed 20-bit → v/524287 above 0, else v/524288
//   24  three bytes, signed 24-bit → v/8388607 above 0, else v/8388608
//   32  IEEE float unchanged (float formats); signed integer → v/2147483647 above 0, else v/2147483648
// A sample occupies block alignment / channels bytes; 20- and 24-bit samples may sit in 3 or 4 bytes (the
// first three hold the sample). Other bit depths, and containers that do not fit them, are refused.
//
// Failures throw WaveFileError with the numbered message for the user. [gui]
#pragma once

#include "analysis/TWaveStream.h"
#include "platform/IAudioCodec.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quillon {

class TPCMWaveReader {
public:
    static constexpr std::size_t kConversionTarget = 20000; // bytes of PCM per conversion
    static constexpr std::int64_t kFramesPerRead = 16384;   // frames ReadAllAsFloat asks for at a time
    static constexpr std::size_t kMaxScratchBytes = 4u << 20;

    // Reads from `stream` (not owned; it must outlive the reader). `codec` decodes encoded sources; without
    // one they are refused.
    TPCMWaveReader(TWaveStream& stream, platform::IAudioCodec* codec);
    ~TPCMWaveReader();
    TPCMWaveReader(const TPCMWaveReader&) = delete;
    TPCMWaveReader& operator=(const TPCMWaveReader&) = delete;

    // Copies up to `frames` frames of the output format from the current position into `buffer` (room for
    // frames × output block alignment bytes) and moves on; returns the frames delivered, fewer (down to 0)
    // at the end of the data or when the codec delivers nothing more.
    std::int64_t Read(void* buffer, std::int64_t frames);
    // The whole recording from the current position on as floats −1 … 1: interleaved by channel, or, with
    // `mixToMono`, the mean of each frame's channels. Always TotalFrames() (× channels) samples long; frames
    // the file does not hold (a truncated `data` chunk) stay 0.
    std::vector<float> ReadAllAsFloat(bool mixToMono);

    // The PCM or float format Read delivers (no extra bytes).
    const platform::WaveFormat& OutputFormat() const { return output_; }
    // Frames of the output format in the whole `data` chunk: source frames × ratio.
    std::int64_t TotalFrames() const { return totalFrames_; }
    std::int64_t Position() const { return position_; }
    // True when the source is decoded by the codec service.
    bool Decodes() const { return encoded_; }

private:
    void OpenCodec(platform::IAudioCodec* codec);
    void CheckOutputFormat() const;
    std::int64_t ReadDecoded(std::uint8_t* buffer, std::int64_t frames);

    TWaveStream& stream_;
    platform::WaveFormat output_;
    std::int64_t position_ = 0;
    std::int64_t totalFrames_ = 0;
    std::int64_t ratio_ = 1; // output frames per source block
    bool encoded_ = false;
    std::unique_ptr<platform::IAudioCodec::Stream> codecStream_;
    std::size_t blocksPerConversion_ = 0;
    std::vector<std::uint8_t> pcm_;       // the last conversion's output
    std::int64_t framesInPcm_ = 0;        // frames it holds
    std::int64_t pcmBufferSamplePos_ = 0; // output frame at which it starts
};

} // namespace quillon
