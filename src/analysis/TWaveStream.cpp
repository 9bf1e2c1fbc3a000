#include "analysis/TWaveStream.h"

#include <cstring>

namespace quillon {

namespace {

constexpr const char* kCannotRead = "Error 09: Cannot read from file.";
constexpr const char* kCannotSeek = "Error 10: Cannot seek in file.";
constexpr const char* kInvalidFile = "Error 12: Invalid multimedia file!";
constexpr const char* kNotWave = "Error 13: Not a wave file!";
constexpr const char* kNoFmt = "Error 14: Cannot find 'fmt' chunk!";
constexpr const char* kAbnormalFmt = "Error 15: Abnormal 'fmt' size!";
constexpr const char* kCannotReadFmt = "Error 16: Cannot read 'fmt' chunk!";
constexpr const char* kCannotReadExtraSize = "Error 17: Cannot read 'waveformatex' length!";
constexpr const char* kCannotReadExtra = "Error 18: Cannot read 'waveformatex'!";
constexpr const char* kMpegLayer3 = "Error 19: MPEG Layer-3 compression is not supported.";
constexpr const char* kNoData = "Error 35: Cannot find 'data' chunk!";
constexpr const char* kInvalidFormat = "Error 37: Invalid wave format!";
constexpr const char* kDataTooLarge = "Error 38: The 'data' chunk is larger than the file!";

constexpr std::uint32_t kPlaceholderSize = 0xffffffffu;
constexpr std::int64_t kMaxSeekFrames = std::int64_t{1} << 40;

[[noreturn]] void Fail(const char* message) {
    throw WaveFileError(message);
}

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

TWaveStream::~TWaveStream() = default;

void TWaveStream::Open(std::FILE* file, std::uint64_t fileSize) {
    file_.reset(file);
    fileSize_ = fileSize;

    std::uint8_t riff[12];
    if (ReadAt(0, riff, sizeof riff) < sizeof riff) Fail(kInvalidFile);
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) Fail(kNotWave);

    Chunk fmt{};
    if (!FindChunk("fmt ", fmt)) Fail(kNoFmt);
    if (fmt.size < 16) Fail(kAbnormalFmt);
    ReadFormat(fmt);
    if (format_.tag == platform::WaveFormat::kMpegLayer3) Fail(kMpegLayer3);
    if (format_.channels == 0 || format_.blockAlign == 0 || format_.samplesPerSecond == 0) Fail(kInvalidFormat);

    Chunk data{};
    if (!FindChunk("data", data)) Fail(kNoData);
    dataStart_ = data.dataOffset;
    dataSize_ = data.size;
    const std::uint64_t present = fileSize_ - dataStart_;
    if (dataSize_ > present) {
        if (data.size == kPlaceholderSize)
            dataSize_ = present;
        else if (dataSize_ - present > std::max(present, kMissingDataAllowance))
            Fail(kDataTooLarge);
    }
    frameCount_ = static_cast<std::int64_t>(dataSize_ / format_.blockAlign);
    position_ = dataStart_;
}

void TWaveStream::ReadFormat(const Chunk& fmt) {
    std::uint8_t record[16];
    if (ReadAt(fmt.dataOffset, record, sizeof record) < sizeof record) Fail(kCannotReadFmt);
    format_ = platform::WaveFormat{};
    format_.tag = U16(record);
    format_.channels = U16(record + 2);
    format_.samplesPerSecond = U32(record + 4);
    format_.averageBytesPerSecond = U32(record + 8);
    format_.blockAlign = U16(record + 12);
    format_.bitsPerSample = U16(record + 14);
    if (format_.tag == platform::WaveFormat::kPcm || format_.tag == platform::WaveFormat::kIeeeFloat || fmt.size == 16)
        return; // no extra bytes

    std::uint8_t sizeWord[2];
    if (fmt.size < 18 || ReadAt(fmt.dataOffset + 16, sizeWord, 2) < 2) Fail(kCannotReadExtraSize);
    const std::uint16_t extraSize = U16(sizeWord);
    if (18u + extraSize > fmt.size) Fail(kCannotReadExtra);
    format_.extra.resize(extraSize);
    if (ReadAt(fmt.dataOffset + 18, format_.extra.data(), extraSize) < extraSize) Fail(kCannotReadExtra);
}

bool TWaveStream::FindChunk(const char* id, Chunk& chunk) {
    std::uint64_t offset = 12; // behind the form type
    while (offset + 8 <= fileSize_) {
        std::uint8_t header[8];
        if (ReadAt(offset, header, sizeof header) < sizeof header) return false;
        const std::uint32_t size = U32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            std::memcpy(chunk.id, header, 4);
            chunk.size = size;
            chunk.dataOffset = offset + 8;
            return true;
        }
        offset += 8 + std::uint64_t{size} + (size & 1u); // odd-sized chunks carry a pad byte
    }
    return false;
}

std::size_t TWaveStream::ReadAt(std::uint64_t offset, void* buffer, std::size_t bytes) {
    if (bytes == 0 || offset >= fileSize_) return 0;
    if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) Fail(kCannotRead);
    const std::size_t got = std::fread(buffer, 1, bytes, file_.get());
    if (got < bytes && std::ferror(file_.get())) Fail(kCannotRead);
    return got;
}

std::int64_t TWaveStream::Read(void* buffer, std::int64_t frames) {
    const std::uint64_t dataEnd = dataStart_ + dataSize_;
    if (frames <= 0 || position_ < dataStart_ || position_ >= dataEnd) return 0;
    const std::uint64_t block = format_.blockAlign;
    const std::uint64_t wanted =
        std::min<std::uint64_t>(static_cast<std::uint64_t>(frames), (dataEnd - position_) / block);
    const std::size_t got = ReadAt(position_, buffer, static_cast<std::size_t>(wanted * block));
    const std::uint64_t whole = got / block;
    position_ += whole * block;
    return static_cast<std::int64_t>(whole);
}

std::int64_t TWaveStream::Seek(std::int64_t frames, int origin) {
    if (frames > kMaxSeekFrames || frames < -kMaxSeekFrames) Fail(kCannotSeek);
    std::int64_t base = static_cast<std::int64_t>(dataStart_);
    if (origin == kFromCurrent)
        base = static_cast<std::int64_t>(position_);
    else if (origin == kFromEnd)
        base = static_cast<std::int64_t>(fileSize_);
    const std::int64_t target = base + frames * format_.blockAlign;
    if (target < static_cast<std::int64_t>(dataStart_)) Fail(kCannotSeek);
    position_ = static_cast<std::uint64_t>(target);
    return (target - static_cast<std::int64_t>(dataStart_)) / format_.blockAlign;
}

std::int64_t TWaveStream::Write(const void*, std::int64_t) {
    return -1;
}

std::size_t TWaveStream::ReadDataBytes(std::uint64_t offset, void* buffer, std::size_t bytes) {
    if (offset >= dataSize_) return 0;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, dataSize_ - offset));
    return ReadAt(dataStart_ + offset, buffer, n);
}

} // namespace quillon
