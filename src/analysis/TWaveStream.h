// A RIFF/WAVE file as a stream of frames: parses the header (chunks in any order, odd-sized chunks with
// their pad byte) and reads whole frames of the `data` chunk, where a frame is one block of the format's
// block alignment (a PCM frame, or one compressed block). TFileWaveStream opens a named file.
//
// Header rules. The file must begin with RIFF/WAVE; chunks are searched from there to the end of the file
// (a RIFF size that is too small or a placeholder does not hide them). The `fmt ` chunk holds at least 16
// bytes; for formats other than PCM and IEEE float the extra-size word and the extra bytes follow within
// the chunk (a 16-byte `fmt ` chunk then has none). MPEG Layer-3 is refused. A `data` chunk must exist.
// Zero channels, rate or block alignment are refused. A `data` chunk that runs past the end of the file is
// a truncated file: the frames it declares still count and the missing ones read as nothing (the PCM
// reader leaves zeros), as long as the missing part is no larger than the part present or 1 MiB; a larger
// claim is refused, so that a damaged size never leads to a huge allocation. The size 0xFFFFFFFF, which
// writers that cannot go back leave in place, means "to the end of the file". A file cut short after it
// was opened reads the same way: reads end where the file now ends, and the frames after that read as
// nothing.
//
// Failures throw WaveFileError with the numbered message shown to the user ("Error 13: Not a wave
// file!"); a file that cannot be opened at all throws std::system_error.
//
// Threads: a stream serves one thread at a time [gui].
#pragma once

#include "platform/IAudioCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace quillon {

// A wave file that cannot be read; what() is the numbered message for the user.
class WaveFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TWaveStream {
public:
    enum SeekOrigin : int { kFromStart = 0, kFromCurrent = 1, kFromEnd = 2 };
    // Largest part of a truncated `data` chunk that may be missing, beyond the size of the part present.
    static constexpr std::uint64_t kMissingDataAllowance = 1u << 20;

    virtual ~TWaveStream();
    TWaveStream(const TWaveStream&) = delete;
    TWaveStream& operator=(const TWaveStream&) = delete;

    // Reads up to `frames` whole frames of the `data` chunk from the current position into `buffer` (room
    // for frames × block alignment bytes); returns the frames read, fewer at the end of the chunk or file.
    // Throws "Error 09" when the file cannot be read.
    virtual std::int64_t Read(void* buffer, std::int64_t frames);
    // Moves by frames × block alignment from the data start (kFromStart), the current position or the end
    // of the file; returns the new position in frames from the data start. Throws "Error 10" for a position
    // before the data start.
    virtual std::int64_t Seek(std::int64_t frames, int origin);
    // Streams here are read-only: always −1.
    virtual std::int64_t Write(const void* buffer, std::int64_t samples);

    // Reads up to `bytes` bytes of the `data` chunk from `offset` bytes into it, without moving the frame
    // position; returns the bytes read. Throws "Error 09" when the file cannot be read.
    std::size_t ReadDataBytes(std::uint64_t offset, void* buffer, std::size_t bytes);

    // The source's format record with its extra bytes (none for PCM and IEEE float).
    const platform::WaveFormat& Format() const { return format_; }
    // File offset of the first byte of the `data` chunk's contents.
    std::uint64_t DataStart() const { return dataStart_; }
    // Bytes of the `data` chunk as the file declares them, and as far as the file holds them.
    std::uint64_t DataSize() const { return dataSize_; }
    std::uint64_t PresentDataSize() const { return std::min(dataSize_, fileSize_ - dataStart_); }
    // Declared data size / block alignment.
    std::int64_t FrameCount() const { return frameCount_; }
    std::uint64_t FileSize() const { return fileSize_; }

protected:
    TWaveStream() = default;
    // Takes over an open file of `fileSize` bytes, parses its header and goes to the data start.
    void Open(std::FILE* file, std::uint64_t fileSize);

private:
    struct Chunk {
        char id[4];
        std::uint32_t size;
        std::uint64_t dataOffset; // file offset of the chunk's contents
    };
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    bool FindChunk(const char* id, Chunk& chunk);
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t bytes);
    void ReadFormat(const Chunk& fmt);

    platform::WaveFormat format_;
    std::uint64_t dataStart_ = 0;
    std::uint64_t dataSize_ = 0;
    std::int64_t frameCount_ = 0;
    std::uint64_t fileSize_ = 0;
    std::uint64_t position_ = 0; // file offset of the next frame
    std::unique_ptr<std::FILE, FileCloser> file_;
};

} // namespace quillon
