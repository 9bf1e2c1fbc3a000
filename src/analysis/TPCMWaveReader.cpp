#include "analysis/TPCMWaveReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace quillon {

using platform::WaveFormat;

namespace {

constexpr const char* kCannotSuggest = "Error 26: Cannot suggest PCM format.";
constexpr const char* kCannotOpenStream = "Error 27: Cannot open ACM stream.";
constexpr const char* kCannotSizeBlock = "Error 29: Cannot recommend an ACM stream size.";
constexpr const char* kCannotSizeSource = "Error 30: Cannot recommend an ACM stream size.";
constexpr const char* kCannotSizeBuffer = "Error 31: Cannot recommend an ACM stream size.";
constexpr const char* kPositionBehind = "Error 33: Position smaller than PCMBufferSamplePos";
constexpr const char* kCannotConvert = "Error 34: Unable to convert sample.";
constexpr const char* kInvalidFormat = "Error 37: Invalid wave format!";

// Bytes of decoded PCM one encoded byte may grow to (4-bit ADPCM gives 4, GSM 6.10 about 10), with room
// for a block header; more means a damaged format record.
constexpr std::int64_t kMaxExpansion = 16;
constexpr std::int64_t kExpansionSlack = 4096;

[[noreturn]] void Fail(const std::string& message) {
    throw WaveFileError(message);
}

// The sub-format tag (PCM or IEEE float) of a WAVE_FORMAT_EXTENSIBLE record, or 0 for any other.
std::uint16_t ExtensibleSubFormat(const WaveFormat& format) {
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format.tag != WaveFormat::kExtensible || format.extra.size() < 22) return 0;
    const std::uint8_t* guid = format.extra.data() + 6;
    const auto tag = static_cast<std::uint16_t>(guid[0] | (guid[1] << 8));
    if (std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0) return 0;
    return tag == WaveFormat::kPcm || tag == WaveFormat::kIeeeFloat ? tag : 0;
}

// Bytes that hold the significant part of a sample of `bits` bits; 0 for depths not converted.
int SampleBytes(const WaveFormat& format) {
    if (format.tag == WaveFormat::kIeeeFloat) return format.bitsPerSample == 32 ? 4 : 0;
    switch (format.bitsPerSample) {
    case 8:
        return 1;
    case 16:
        return 2;
    case 20:
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        return 0;
    }
}

enum class SampleKind { kUnsigned8, kSigned16, kSigned20, kSigned24, kSigned32, kFloat32 };

SampleKind KindOf(const WaveFormat& format) {
    if (format.tag == WaveFormat::kIeeeFloat) return SampleKind::kFloat32;
    switch (format.bitsPerSample) {
    case 8:
        return SampleKind::kUnsigned8;
    case 16:
        return SampleKind::kSigned16;
    case 20:
        return SampleKind::kSigned20;
    case 24:
        return SampleKind::kSigned24;
    default:
        return SampleKind::kSigned32;
    }
}

// One sample at p as a float −1 … 1.
float Convert(SampleKind kind, const std::uint8_t* p) {
    switch (kind) {
    case SampleKind::kUnsigned8:
        return static_cast<float>(2.0 * p[0] / 255.0 - 1.0);
    case SampleKind::kSigned16: {
        const auto v = static_cast<std::int16_t>(p[0] | (p[1] << 8));
        return v > 0 ? static_cast<float>(v) / 32767.0f : static_cast<float>(v) / 32768.0f;
    }
    case SampleKind::kSigned20: {
        std::int32_t v = (p[0] | (p[1] << 8) | (p[2] << 16)) >> 4;
        if (v >= (1 << 19)) v -= 1 << 20;
        return static_cast<float>(v > 0 ? v / 524287.0 : v / 524288.0);
    }
    case SampleKind::kSigned24: {
        std::int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        if (v >= (1 << 23)) v -= 1 << 24;
        return static_cast<float>(v > 0 ? v / 8388607.0 : v / 8388608.0);
    }
    case SampleKind::kSigned32: {
        const auto v = static_cast<std::int32_t>(
            static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
        return static_cast<float>(v > 0 ? v / 2147483647.0 : v / 2147483648.0);
    }
    case SampleKind::kFloat32: {
        float f = 0.0f;
        std::memcpy(&f, p, 4);              // the files are little-endian, as is every platform this builds for
        return std::isfinite(f) ? f : 0.0f; // NaN and infinities would poison the analysis: read as silence
    }
    }
    return 0.0f;
}

} // namespace

TPCMWaveReader::TPCMWaveReader(TWaveStream& stream, platform::IAudioCodec* codec) : stream_(stream) {
    const WaveFormat& source = stream.Format();
    const std::uint16_t subFormat = ExtensibleSubFormat(source);
    if (source.tag == WaveFormat::kPcm || source.tag == WaveFormat::kIeeeFloat || subFormat != 0) {
        output_ = source;
        output_.extra.clear();
        if (subFormat != 0) output_.tag = subFormat;
        ratio_ = 1;
    } else {
        encoded_ = true;
        OpenCodec(codec);
    }
    CheckOutputFormat();
    totalFrames_ = ratio_ * stream.FrameCount();
}

TPCMWaveReader::~TPCMWaveReader() = default;

void TPCMWaveReader::OpenCodec(platform::IAudioCodec* codec) {
    const WaveFormat& source = stream_.Format();
    WaveFormat suggested;
    if (codec == nullptr || !codec->SuggestPcmFormat(source, suggested)) Fail(kCannotSuggest);
    output_ = suggested;
    output_.extra.clear();
    if (stream_.FrameCount() == 0) {
        ratio_ = 1; // nothing to decode
        return;
    }
    const std::uint64_t available = stream_.PresentDataSize() / source.blockAlign * source.blockAlign;
    codecStream_ =
        codec->OpenStream(source, suggested, available, [this](std::uint64_t offset, void* buffer, std::size_t bytes) {
            return stream_.ReadDataBytes(offset, buffer, bytes);
        });
    if (!codecStream_) Fail(kCannotOpenStream);

    const std::size_t blockDestination = codecStream_->DestinationSize(source.blockAlign);
    if (blockDestination == 0) Fail(kCannotSizeBlock);
    const std::size_t blockSource = codecStream_->SourceSize(blockDestination);
    if (blockSource == 0) Fail(kCannotSizeSource);
    blocksPerConversion_ = std::max<std::size_t>(1, kConversionTarget / blockDestination);
    const std::size_t sourceLength = blocksPerConversion_ * blockSource;
    const std::size_t destinationLength = codecStream_->DestinationSize(sourceLength);
    if (destinationLength == 0) Fail(kCannotSizeBuffer);
    if (output_.blockAlign == 0) Fail(kInvalidFormat);
    ratio_ = static_cast<std::int64_t>((destinationLength * source.blockAlign) / (sourceLength * output_.blockAlign));
    if (ratio_ < 1 ||
        ratio_ * output_.blockAlign > kMaxExpansion * static_cast<std::int64_t>(source.blockAlign) + kExpansionSlack)
        Fail(kInvalidFormat);
    pcm_.resize(std::max<std::size_t>(destinationLength,
                                      blocksPerConversion_ * static_cast<std::size_t>(ratio_) * output_.blockAlign));
}

void TPCMWaveReader::CheckOutputFormat() const {
    if (output_.channels == 0 || output_.blockAlign == 0 || output_.blockAlign % output_.channels != 0)
        Fail(kInvalidFormat);
    const int needed = SampleBytes(output_);
    if (needed == 0)
        Fail("Error 36: Unsupported sample format (" + std::to_string(output_.bitsPerSample) + " bits per sample).");
    const int container = output_.blockAlign / output_.channels;
    const bool fits = container == needed || (needed == 3 && container == 4);
    if (!fits) Fail(kInvalidFormat);
}

std::int64_t TPCMWaveReader::Read(void* buffer, std::int64_t frames) {
    frames = std::clamp<std::int64_t>(frames, 0, totalFrames_ - position_);
    if (frames == 0) return 0;
    std::int64_t delivered = 0;
    if (encoded_) {
        delivered = ReadDecoded(static_cast<std::uint8_t*>(buffer), frames);
    } else {
        stream_.Seek(position_, TWaveStream::kFromStart);
        delivered = std::max<std::int64_t>(0, stream_.Read(buffer, frames));
    }
    position_ += delivered;
    return delivered;
}

std::int64_t TPCMWaveReader::ReadDecoded(std::uint8_t* buffer, std::int64_t frames) {
    const std::size_t frameBytes = output_.blockAlign;
    std::int64_t delivered = 0;
    while (delivered < frames) {
        const std::int64_t next = position_ + delivered;
        if (next >= pcmBufferSamplePos_ && next < pcmBufferSamplePos_ + framesInPcm_) {
            const std::int64_t n = std::min(pcmBufferSamplePos_ + framesInPcm_ - next, frames - delivered);
            std::memcpy(buffer + static_cast<std::size_t>(delivered) * frameBytes,
                        pcm_.data() + static_cast<std::size_t>(next - pcmBufferSamplePos_) * frameBytes,
                        static_cast<std::size_t>(n) * frameBytes);
            delivered += n;
            continue;
        }
        // Decode the conversion's worth of blocks that starts with the block holding the next frame.
        const std::int64_t block = next / ratio_;
        const std::int64_t bytes =
            codecStream_->Convert(static_cast<std::uint64_t>(block), blocksPerConversion_, pcm_.data(), pcm_.size());
        if (bytes < 0) Fail(kCannotConvert);
        framesInPcm_ = bytes / static_cast<std::int64_t>(frameBytes);
        pcmBufferSamplePos_ = block * ratio_;
        if (next < pcmBufferSamplePos_) Fail(kPositionBehind);
        if (next >= pcmBufferSamplePos_ + framesInPcm_) break; // the codec has nothing more: the read ends here
    }
    return delivered;
}

std::vector<float> TPCMWaveReader::ReadAllAsFloat(bool mixToMono) {
    const std::size_t channels = output_.channels;
    const std::size_t frameBytes = output_.blockAlign;
    const std::size_t container = frameBytes / channels;
    const SampleKind kind = KindOf(output_);
    std::vector<float> out(static_cast<std::size_t>(totalFrames_ - position_) * (mixToMono ? 1 : channels), 0.0f);

    const auto perRead = static_cast<std::int64_t>(
        std::clamp<std::size_t>(kMaxScratchBytes / frameBytes, 1, static_cast<std::size_t>(kFramesPerRead)));
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(perRead) * frameBytes);
    std::size_t at = 0;
    for (;;) {
        const std::int64_t got = Read(scratch.data(), perRead);
        if (got <= 0) break;
        const std::uint8_t* p = scratch.data();
        for (std::int64_t f = 0; f < got; ++f) {
            if (mixToMono) {
                float sum = 0.0f;
                for (std::size_t c = 0; c < channels; ++c, p += container)
                    sum += Convert(kind, p);
                out[at++] = sum / static_cast<float>(channels);
            } else {
                for (std::size_t c = 0; c < channels; ++c, p += container)
                    out[at++] = Convert(kind, p);
            }
        }
    }
    return out;
}

} // namespace quillon
