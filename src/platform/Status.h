// The outcome of reading or writing a stored file, shared by every reader and writer: a code the caller
// branches on and, for a failure, the text for the user. Readers and writers never show anything; the
// command that called them decides whether, when and where the text is shown (a message box, stderr, a
// message kept until the editor opens). [any]
#pragma once

#include <string>
#include <utility>

namespace quillon {

enum class StatusCode {
    kOk,
    kNotFound,       // nothing at the path
    kNotValid,       // not a file of the expected kind (identifier, version, size or layout)
    kNewerVersion,   // a file of a newer version of the format
    kCorrupt,        // the right kind of file whose data cannot be decoded
    kTooMuchData,    // the data decodes to more than the format holds
    kWriteProtected, // the target must not be overwritten
    kCannotOpen,     // the file exists but cannot be opened
    kNotAFile,       // a folder, device, pipe or socket
    kTooLarge,       // longer than any valid file; nothing was read
    kChanged,        // the file changed while it was being read
    kReadError,      // reading failed, or the file ends before its content does
    kWriteError,     // creating, writing, flushing or replacing the file failed; the old file is unchanged
    kOutOfRange,     // an index (frame, slot, point) the target does not have
};

struct [[nodiscard]] Status {
    StatusCode code = StatusCode::kOk;
    std::string message; // the text for the user; empty for kOk (and for a failure with nothing to say)

    static Status Success() { return {}; }
    static Status Failure(StatusCode code, std::string message) { return {code, std::move(message)}; }
    bool Ok() const { return code == StatusCode::kOk; }
    explicit operator bool() const { return Ok(); }
};

} // namespace quillon
