// The codec service on Windows: the Audio Compression Manager (msacm32) and the codec drivers installed
// on the system (IMA and MS ADPCM, µ-law and A-law, GSM 6.10 as Windows ships them). The source format
// record goes to ACM as the file holds it (WAVE_FORMAT_EXTENSIBLE with an encoded sub-format as that
// sub-format's plain record, which is what the drivers know); ACM suggests the PCM format and decodes
// whole blocks into it.
//
// A stream keeps one ACM conversion open. Conversions of consecutive blocks continue the driver's state
// (GSM 6.10 carries its filter from block to block). A conversion anywhere else starts from a newly opened
// conversion, since not every driver resets its state on ACM_STREAMCONVERTF_START (wine's GSM 6.10 driver
// keeps it); the first conversion of each carries that flag all the same.
#include "platform/IAudioCodec.h"

#include <windows.h>
// mmsystem before msacm: ACM's declarations use its types, and WIN32_LEAN_AND_MEAN leaves it out.
#include <mmsystem.h>

#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

namespace quillon::platform {

namespace {

// The sub-format of a WAVE_FORMAT_EXTENSIBLE record whose GUID follows the KSDATAFORMAT pattern
// (xxxx0000-0000-0010-8000-00AA00389B71): the plain format tag it stands for, or 0.
std::uint16_t ExtensibleSubFormat(const WaveFormat& format) {
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format.tag != WaveFormat::kExtensible || format.extra.size() < 22) return 0;
    const std::uint8_t* guid = format.extra.data() + 6;
    if (std::memcmp(guid + 2, kGuidTail, sizeof kGuidTail) != 0) return 0;
    return static_cast<std::uint16_t>(guid[0] | (guid[1] << 8));
}

// `format` as the WAVEFORMATEX bytes ACM reads: the 18-byte record followed by its extra bytes.
std::vector<std::uint8_t> AcmFormat(const WaveFormat& format) {
    WAVEFORMATEX record{};
    record.wFormatTag = format.tag;
    record.nChannels = format.channels;
    record.nSamplesPerSec = format.samplesPerSecond;
    record.nAvgBytesPerSec = format.averageBytesPerSecond;
    record.nBlockAlign = format.blockAlign;
    record.wBitsPerSample = format.bitsPerSample;
    std::size_t extra = std::min<std::size_t>(format.extra.size(), 0xffff);
    if (const std::uint16_t subFormat = ExtensibleSubFormat(format); subFormat != 0) {
        record.wFormatTag = subFormat;
        extra = 0;
    }
    record.cbSize = static_cast<WORD>(extra);
    std::vector<std::uint8_t> bytes(sizeof record + extra);
    std::memcpy(bytes.data(), &record, sizeof record);
    if (extra > 0) std::memcpy(bytes.data() + sizeof record, format.extra.data(), extra);
    return bytes;
}

WAVEFORMATEX* AsRecord(std::vector<std::uint8_t>& bytes) {
    return reinterpret_cast<WAVEFORMATEX*>(bytes.data());
}

WAVEFORMATEX PcmRecord(const WaveFormat& format) {
    WAVEFORMATEX record{};
    record.wFormatTag = WAVE_FORMAT_PCM;
    record.nChannels = format.channels;
    record.nSamplesPerSec = format.samplesPerSecond;
    record.nAvgBytesPerSec = format.averageBytesPerSecond;
    record.nBlockAlign = format.blockAlign;
    record.wBitsPerSample = format.bitsPerSample;
    return record;
}

// An open ACM conversion from `source` to `pcm`; null when no driver converts between them.
HACMSTREAM OpenConversion(std::vector<std::uint8_t>& source, WAVEFORMATEX& pcm) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, AsRecord(source), &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
        MMSYSERR_NOERROR)
        return nullptr;
    return stream;
}

class AcmStream : public IAudioCodec::Stream {
public:
    AcmStream(HACMSTREAM stream, std::vector<std::uint8_t> source, const WAVEFORMATEX& pcm, std::uint64_t dataBytes,
              IAudioCodec::DataReader reader)
        : stream_(stream), sourceRecord_(std::move(source)), pcmRecord_(pcm),
          sourceBlock_(AsRecord(sourceRecord_)->nBlockAlign), dataBytes_(dataBytes), reader_(std::move(reader)) {}

    ~AcmStream() override {
        if (stream_ != nullptr) acmStreamClose(stream_, 0);
    }
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    std::size_t DestinationSize(std::size_t sourceBytes) const override {
        return Size(sourceBytes, ACM_STREAMSIZEF_SOURCE);
    }

    std::size_t SourceSize(std::size_t destinationBytes) const override {
        return Size(destinationBytes, ACM_STREAMSIZEF_DESTINATION);
    }

    std::int64_t Convert(std::uint64_t firstBlock, std::size_t blocks, std::uint8_t* destination,
                         std::size_t capacity) override {
        const std::uint64_t totalBlocks = dataBytes_ / sourceBlock_;
        if (firstBlock >= totalBlocks || blocks == 0) return 0;
        blocks = static_cast<std::size_t>(std::min<std::uint64_t>(blocks, totalBlocks - firstBlock));
        const std::size_t limit = std::numeric_limits<DWORD>::max();
        blocks = std::min(blocks, limit / sourceBlock_);
        source_.resize(blocks * sourceBlock_);
        // Blocks the file no longer holds (it was cut short while being read) end the data.
        const std::size_t got = reader_(firstBlock * sourceBlock_, source_.data(), source_.size());
        const std::size_t sourceBytes = got / sourceBlock_ * sourceBlock_;
        if (sourceBytes == 0) return 0;

        DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        if (firstBlock != nextBlock_) {
            if (nextBlock_ != kNotStarted && !Reopen()) return -1;
            flags |= ACM_STREAMCONVERTF_START;
        }
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = source_.data();
        header.cbSrcLength = static_cast<DWORD>(sourceBytes);
        header.dwSrcUser = header.cbSrcLength;
        header.pbDst = destination;
        header.cbDstLength = static_cast<DWORD>(std::min(capacity, limit));
        header.dwDstUser = header.cbDstLength;
        if (acmStreamPrepareHeader(stream_, &header, 0) != MMSYSERR_NOERROR) return -1;
        const MMRESULT converted = acmStreamConvert(stream_, &header, flags);
        const DWORD used = header.cbDstLengthUsed;
        const DWORD consumed = header.cbSrcLengthUsed;
        header.cbSrcLength = header.dwSrcUser; // unprepare wants the lengths it prepared
        header.cbDstLength = header.dwDstUser;
        acmStreamUnprepareHeader(stream_, &header, 0);
        if (converted != MMSYSERR_NOERROR) {
            nextBlock_ = kUnknownState; // the next conversion starts afresh
            return -1;
        }
        nextBlock_ = firstBlock + consumed / sourceBlock_;
        return static_cast<std::int64_t>(used);
    }

private:
    static constexpr std::uint64_t kNotStarted = std::numeric_limits<std::uint64_t>::max();
    static constexpr std::uint64_t kUnknownState = kNotStarted - 1;

    bool Reopen() {
        acmStreamClose(stream_, 0);
        stream_ = OpenConversion(sourceRecord_, pcmRecord_);
        nextBlock_ = kNotStarted;
        return stream_ != nullptr;
    }

    std::size_t Size(std::size_t bytes, DWORD direction) const {
        if (bytes > std::numeric_limits<DWORD>::max()) return 0;
        DWORD size = 0;
        if (acmStreamSize(stream_, static_cast<DWORD>(bytes), &size, direction) != MMSYSERR_NOERROR) return 0;
        return size;
    }

    HACMSTREAM stream_;
    std::vector<std::uint8_t> sourceRecord_;
    WAVEFORMATEX pcmRecord_;
    std::size_t sourceBlock_;
    std::uint64_t dataBytes_;
    IAudioCodec::DataReader reader_;
    std::vector<std::uint8_t> source_;
    std::uint64_t nextBlock_ = kNotStarted; // the block that continues the driver's state
};

class AcmCodec : public IAudioCodec {
public:
    bool SuggestPcmFormat(const WaveFormat& source, WaveFormat& destination) override {
        std::vector<std::uint8_t> record = AcmFormat(source);
        WAVEFORMATEX suggested{};
        suggested.wFormatTag = WAVE_FORMAT_PCM;
        if (acmFormatSuggest(nullptr, AsRecord(record), &suggested, sizeof suggested, ACM_FORMATSUGGESTF_WFORMATTAG) !=
                MMSYSERR_NOERROR ||
            suggested.wFormatTag != WAVE_FORMAT_PCM)
            return false;
        destination = WaveFormat{};
        destination.tag = WaveFormat::kPcm;
        destination.channels = suggested.nChannels;
        destination.samplesPerSecond = suggested.nSamplesPerSec;
        destination.averageBytesPerSecond = suggested.nAvgBytesPerSec;
        destination.blockAlign = suggested.nBlockAlign;
        destination.bitsPerSample = suggested.wBitsPerSample;
        return true;
    }

    std::unique_ptr<Stream> OpenStream(const WaveFormat& source, const WaveFormat& destination, std::uint64_t dataBytes,
                                       DataReader reader) override {
        if (source.blockAlign == 0 || destination.tag != WaveFormat::kPcm) return nullptr;
        std::vector<std::uint8_t> record = AcmFormat(source);
        WAVEFORMATEX pcm = PcmRecord(destination);
        HACMSTREAM stream = OpenConversion(record, pcm);
        if (stream == nullptr) return nullptr;
        dataBytes = dataBytes / source.blockAlign * source.blockAlign;
        return std::make_unique<AcmStream>(stream, std::move(record), pcm, dataBytes, std::move(reader));
    }
};

} // namespace

std::unique_ptr<IAudioCodec> CreateAudioCodec() {
    return std::make_unique<AcmCodec>();
}

} // namespace quillon::platform
