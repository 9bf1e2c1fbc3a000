// Replaces a file's whole content so that no failure, and no crash, can leave a half-written file behind:
// the new bytes go to a temporary file in the target's folder, are flushed to the disk, and the temporary
// file is then renamed over the target in one step. Until that rename the old file is untouched; after a
// failure the temporary file is removed.
//
// Every failure comes back as a Status (kWriteError) whose text names the file and the reason; nothing is
// thrown. A writer object serves one thread [gui] or [worker]; the static operations hold no state [any].
#pragma once

#include "platform/Status.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace quillon {

class SafeFileWriter {
public:
    // Writes `pieces` back to back as the new content of the file at `path` (created if missing). A
    // replaced file keeps its permission bits; a new one gets the usual ones (0666 less the umask). A
    // symbolic link is followed, so the file it points to is replaced, not the link. On failure the file at
    // `path` is as it was.
    static Status Write(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces);

    // True when a file exists at `path` that must not be overwritten: none of its write permission bits is
    // set (judged by the bits, so that the answer is the same for root, who may write anywhere), or the
    // calling process may not write it.
    static bool IsWriteProtected(const std::string& path);

    // The same replacement for content written progressively: Begin() creates the temporary file, Append()
    // (or a writer of its own given Descriptor()) fills it, Commit() flushes it and renames it over the
    // target. Abandon(), a failed step and the destructor remove the temporary file; the target is then as
    // it was.
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    Status Begin(const std::string& path);
    Status Append(std::span<const std::uint8_t> bytes);
    Status Commit();
    void Abandon();

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }                          // the temporary file; −1 when none is open
    const std::string& TemporaryPath() const { return temporary_; } // empty when none is open

private:
    std::string path_;      // as the caller named it, for the messages
    std::string target_;    // the file really replaced (a symbolic link resolved)
    std::string temporary_; // beside the target
    int fd_ = -1;
};

} // namespace quillon
