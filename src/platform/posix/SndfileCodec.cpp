// The codec service on Linux: libsndfile decodes the encoded data of a wave file. libsndfile reads whole
// files, so each stream shows it a small virtual file: a plain RIFF/WAVE header (a `fmt ` chunk holding
// the source's format record with its extra bytes, a `data` chunk of the encoded data's size) followed by
// the encoded data, which is read through the wave reader's callback as libsndfile asks for it. The
// reader therefore keeps parsing the real file itself (any chunk order, damaged sizes), and libsndfile
// sees one clean header. Decoding runs forward through libsndfile's own state, so stateful codecs (GSM
// 6.10) decode consecutive conversions exactly as one long one; a conversion elsewhere seeks first.
#include "platform/IAudioCodec.h"

#include <sndfile.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <string>
#include <utility>

namespace quillon::platform {

namespace {

static_assert(std::endian::native == std::endian::little, "PCM bytes are copied as little-endian samples");

constexpr int kPcmBits = 16;

void PutU16(std::uint8_t* at, std::uint32_t v) {
    at[0] = static_cast<std::uint8_t>(v & 0xff);
    at[1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
}

// A chunk identifier: its four characters, without the text's terminating NUL.
void PutTag(std::uint8_t* p, const char (&tag)[5]) {
    std::copy_n(tag, 4, p);
}

void PutU32(std::uint8_t* at, std::uint32_t v) {
    PutU16(at, v & 0xffff);
    PutU16(at + 2, v >> 16);
}

// A RIFF/WAVE header for `format` whose `data` chunk of `dataBytes` bytes follows it directly.
std::vector<std::uint8_t> WaveHeader(const WaveFormat& format, std::uint32_t dataBytes) {
    const std::size_t extraBytes = std::min<std::size_t>(format.extra.size(), 0xffff);
    const std::size_t fmtSize = 18 + extraBytes;
    const std::size_t fmtPadded = fmtSize + (fmtSize & 1);
    const std::uint64_t riffSize = 4 + 8 + std::uint64_t{fmtPadded} + 8 + dataBytes;
    std::vector<std::uint8_t> header(12 + 8 + fmtPadded + 8, 0);
    std::uint8_t* p = header.data();
    PutTag(p, "RIFF");
    PutU32(p + 4, static_cast<std::uint32_t>(std::min<std::uint64_t>(riffSize, 0xffffffffu)));
    PutTag(p + 8, "WAVE");
    PutTag(p + 12, "fmt ");
    PutU32(p + 16, static_cast<std::uint32_t>(fmtSize));
    PutU16(p + 20, format.tag);
    PutU16(p + 22, format.channels);
    PutU32(p + 24, format.samplesPerSecond);
    PutU32(p + 28, format.averageBytesPerSecond);
    PutU16(p + 32, format.blockAlign);
    PutU16(p + 34, format.bitsPerSample);
    PutU16(p + 36, static_cast<std::uint32_t>(extraBytes));
    if (extraBytes > 0) std::memcpy(p + 38, format.extra.data(), extraBytes);
    std::uint8_t* data = p + 20 + fmtPadded; // the pad byte of an odd-sized chunk is already 0
    PutTag(data, "data");
    PutU32(data + 4, dataBytes);
    return header;
}

// The virtual file libsndfile reads: the header in memory, then the encoded data through the reader.
class VirtualWaveFile {
public:
    VirtualWaveFile(std::vector<std::uint8_t> header, std::uint64_t dataBytes, IAudioCodec::DataReader reader)
        : header_(std::move(header)), dataBytes_(dataBytes), reader_(std::move(reader)) {}

    SNDFILE* Open(SF_INFO& info) {
        static SF_VIRTUAL_IO io = {&VirtualWaveFile::Length, &VirtualWaveFile::SeekTo, &VirtualWaveFile::ReadInto,
                                   &VirtualWaveFile::Refuse, &VirtualWaveFile::Tell};
        info = SF_INFO{};
        return sf_open_virtual(&io, SFM_READ, &info, this);
    }

    // Bytes of encoded data the reader delivered when asked: the declared size, or less once the file was cut
    // short while it was being read (libsndfile decodes the missing part of a block from stale bytes).
    std::uint64_t PresentData() const { return presentData_; }

    // A failure of the reader inside a libsndfile call is kept and raised once the call has returned.
    void RaisePending() {
        if (pending_) {
            std::exception_ptr pending = std::exchange(pending_, nullptr);
            std::rethrow_exception(pending);
        }
    }

private:
    sf_count_t Size() const { return static_cast<sf_count_t>(header_.size() + dataBytes_); }

    static sf_count_t Length(void* self) { return static_cast<VirtualWaveFile*>(self)->Size(); }

    static sf_count_t SeekTo(sf_count_t offset, int whence, void* self) {
        auto& file = *static_cast<VirtualWaveFile*>(self);
        sf_count_t base = 0;
        if (whence == SEEK_CUR)
            base = file.position_;
        else if (whence == SEEK_END)
            base = file.Size();
        const sf_count_t target = base + offset;
        if (target < 0) return -1;
        file.position_ = target;
        return target;
    }

    static sf_count_t ReadInto(void* buffer, sf_count_t count, void* self) {
        auto& file = *static_cast<VirtualWaveFile*>(self);
        auto* out = static_cast<std::uint8_t*>(buffer);
        sf_count_t done = 0;
        const auto headerSize = static_cast<sf_count_t>(file.header_.size());
        if (file.position_ < headerSize && count > 0) {
            const sf_count_t n = std::min(count, headerSize - file.position_);
            std::memcpy(out, file.header_.data() + file.position_, static_cast<std::size_t>(n));
            done = n;
        }
        const sf_count_t end = std::min(file.position_ + count, file.Size());
        if (file.position_ + done < end) {
            const auto offset = static_cast<std::uint64_t>(file.position_ + done - headerSize);
            const auto want = static_cast<std::size_t>(end - file.position_ - done);
            try {
                const std::size_t got = file.reader_(offset, out + done, want);
                if (got < want) file.presentData_ = std::min<std::uint64_t>(file.presentData_, offset + got);
                done += static_cast<sf_count_t>(got);
            } catch (...) {
                file.pending_ = std::current_exception();
            }
        }
        file.position_ += done;
        return done;
    }

    static sf_count_t Refuse(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* self) { return static_cast<VirtualWaveFile*>(self)->position_; }

    std::vector<std::uint8_t> header_;
    std::uint64_t dataBytes_;
    IAudioCodec::DataReader reader_;
    std::uint64_t presentData_ = dataBytes_;
    sf_count_t position_ = 0;
    std::exception_ptr pending_;
};

// Decoded frames of a file of `blocks` silent source blocks as libsndfile counts them; 0 when it cannot
// open such a file.
sf_count_t ProbeFrames(const WaveFormat& source, std::size_t blocks, int& channels) {
    const std::size_t probeBytes = blocks * source.blockAlign;
    VirtualWaveFile probe(WaveHeader(source, static_cast<std::uint32_t>(probeBytes)), probeBytes,
                          [probeBytes](std::uint64_t offset, void* buffer, std::size_t bytes) {
                              const std::size_t n =
                                  offset >= probeBytes ? 0 : std::min<std::size_t>(bytes, probeBytes - offset);
                              std::memset(buffer, 0, n);
                              return n;
                          });
    SF_INFO info{};
    SNDFILE* file = probe.Open(info);
    if (file == nullptr) return 0;
    sf_close(file);
    channels = info.channels;
    return info.frames;
}

// Decoded frames of one source block; 0 when libsndfile does not know the format or does not decode it in
// whole blocks of the format's block alignment (then a block's frames could not be found by position).
// The probes have even lengths: libsndfile counts the pad byte of an odd-sized `data` chunk as a part of
// another block.
std::int64_t ProbeFramesPerBlock(const WaveFormat& source, int& channels) {
    if (source.blockAlign == 0 || source.channels == 0) return 0;
    const sf_count_t two = ProbeFrames(source, 2, channels);
    const sf_count_t four = ProbeFrames(source, 4, channels);
    if (two <= 0 || two % 2 != 0 || four != 2 * two || two / 2 > std::numeric_limits<std::int32_t>::max()) return 0;
    return two / 2;
}

class SndfileStream : public IAudioCodec::Stream {
public:
    SndfileStream(const WaveFormat& source, std::int64_t framesPerBlock, std::uint64_t dataBytes,
                  IAudioCodec::DataReader reader)
        : sourceBlock_(source.blockAlign), framesPerBlock_(framesPerBlock),
          frameBytes_(static_cast<std::size_t>(source.channels) * (kPcmBits / 8)),
          file_(WaveHeader(source, static_cast<std::uint32_t>(dataBytes)), dataBytes, std::move(reader)) {}

    ~SndfileStream() override {
        if (sndfile_ != nullptr) sf_close(sndfile_);
    }

    bool Open(int channels) {
        SF_INFO info{};
        sndfile_ = file_.Open(info);
        file_.RaisePending();
        return sndfile_ != nullptr && info.channels == channels;
    }

    std::size_t DestinationSize(std::size_t sourceBytes) const override {
        return sourceBytes / sourceBlock_ * static_cast<std::size_t>(framesPerBlock_) * frameBytes_;
    }

    std::size_t SourceSize(std::size_t destinationBytes) const override {
        const std::size_t blockBytes = static_cast<std::size_t>(framesPerBlock_) * frameBytes_;
        return std::max<std::size_t>(1, (destinationBytes + blockBytes - 1) / blockBytes) * sourceBlock_;
    }

    std::int64_t Convert(std::uint64_t firstBlock, std::size_t blocks, std::uint8_t* destination,
                         std::size_t capacity) override {
        const auto frame = static_cast<sf_count_t>(firstBlock) * framesPerBlock_;
        if (frame != nextFrame_) {
            const sf_count_t reached = sf_seek(sndfile_, frame, SEEK_SET);
            file_.RaisePending();
            if (reached != frame) return 0; // a block behind the end of the data decodes to nothing
            nextFrame_ = frame;
        }
        const auto wanted = static_cast<sf_count_t>(
            std::min<std::size_t>(blocks * static_cast<std::size_t>(framesPerBlock_), capacity / frameBytes_));
        pcm_.resize(static_cast<std::size_t>(wanted) * frameBytes_ / sizeof(short));
        const sf_count_t got = sf_readf_short(sndfile_, pcm_.data(), wanted);
        file_.RaisePending();
        if (got < 0 || sf_error(sndfile_) != SF_ERR_NO_ERROR) return -1;
        // Frames of blocks the file no longer held end the data, as for a file that was short from the start.
        const auto present = static_cast<sf_count_t>(file_.PresentData() / sourceBlock_) * framesPerBlock_;
        const sf_count_t kept = std::clamp<sf_count_t>(present - nextFrame_, 0, got);
        nextFrame_ += got;
        const std::size_t bytes = static_cast<std::size_t>(kept) * frameBytes_;
        std::memcpy(destination, pcm_.data(), bytes);
        return static_cast<std::int64_t>(bytes);
    }

private:
    std::size_t sourceBlock_;
    std::int64_t framesPerBlock_;
    std::size_t frameBytes_;
    VirtualWaveFile file_;
    SNDFILE* sndfile_ = nullptr;
    sf_count_t nextFrame_ = 0;
    std::vector<short> pcm_;
};

class SndfileCodec : public IAudioCodec {
public:
    bool SuggestPcmFormat(const WaveFormat& source, WaveFormat& destination) override {
        int channels = 0;
        if (ProbeFramesPerBlock(source, channels) == 0 || channels != source.channels) return false;
        destination = WaveFormat{};
        destination.tag = WaveFormat::kPcm;
        destination.channels = source.channels;
        destination.samplesPerSecond = source.samplesPerSecond;
        destination.bitsPerSample = kPcmBits;
        destination.blockAlign = static_cast<std::uint16_t>(source.channels * (kPcmBits / 8));
        destination.averageBytesPerSecond = source.samplesPerSecond * destination.blockAlign;
        return true;
    }

    std::unique_ptr<Stream> OpenStream(const WaveFormat& source, const WaveFormat& destination, std::uint64_t dataBytes,
                                       DataReader reader) override {
        int channels = 0;
        const std::int64_t framesPerBlock = ProbeFramesPerBlock(source, channels);
        if (framesPerBlock == 0 || destination.tag != WaveFormat::kPcm || destination.bitsPerSample != kPcmBits ||
            destination.channels != source.channels || channels != source.channels)
            return nullptr;
        dataBytes = std::min<std::uint64_t>(dataBytes, 0xffffffffu) / source.blockAlign * source.blockAlign;
        auto stream = std::make_unique<SndfileStream>(source, framesPerBlock, dataBytes, std::move(reader));
        if (!stream->Open(channels)) return nullptr;
        return stream;
    }
};

} // namespace

std::unique_ptr<IAudioCodec> CreateAudioCodec() {
    return std::make_unique<SndfileCodec>();
}

} // namespace quillon::platform
