// Writes a 32-bit float WAV file through libsndfile (on Windows: TWavFileWriterRiff.cpp, the RIFF header
// written directly) without ever leaving a half-written file under the
// final name: the audio streams into the platform's SafeFileWriter (a temporary file in the same folder),
// which Commit() flushes to disk and renames over the final path in one step. A failed or abandoned write,
// an exception and the signals that end a command-line program (SIGINT, SIGTERM, SIGHUP) remove the
// temporary file.
//
// One writer may be open at a time in the process (the signal handler knows one temporary path).
#pragma once

#include "platform/SafeFileWriter.h"

#include <cstddef>
#include <string>

struct sf_private_tag;

namespace quillon {

class TWavFileWriter {
public:
    TWavFileWriter() = default;
    ~TWavFileWriter(); // Abandon()
    TWavFileWriter(const TWavFileWriter&) = delete;
    TWavFileWriter& operator=(const TWavFileWriter&) = delete;

    // Creates the temporary file beside `path` for `channels` channels at `sampleRate` Hz.
    // Returns false and keeps a one-line reason in Error() on failure.
    bool Open(const std::string& path, int sampleRate, int channels);
    // Appends `frames` frames of interleaved samples (channels × frames values, nominal range ±1).
    bool Write(const float* interleaved, std::size_t frames);
    // Finishes the file, syncs it to disk and renames it to the final path. On failure the temporary
    // file is removed and nothing appears under the final path.
    bool Commit();
    // Closes and removes the temporary file; nothing happens when none is open.
    void Abandon();

    bool IsOpen() const { return open_; }
    const std::string& Error() const { return error_; }
    const std::string& TemporaryPath() const { return output_.TemporaryPath(); }
    std::size_t FramesWritten() const { return framesWritten_; }

private:
    bool Fail(std::string message);
    void CloseFile();

    std::string path_;
    std::string error_;
    SafeFileWriter output_;
    sf_private_tag* file_ = nullptr; // libsndfile's SNDFILE, writing into output_'s temporary file
    bool open_ = false;              // a file is being written
    int channels_ = 0;
    int sampleRate_ = 0; // Hz
    std::size_t framesWritten_ = 0;
};

} // namespace quillon
