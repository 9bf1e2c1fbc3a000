// Reads a whole stored file (program, bank, harmony, MIDI assignment and settings files, MIDI songs) into
// memory in one go, so that its reader parses a complete, consistent snapshot or nothing at all.
//
// Only regular files are read: a folder, device, pipe or socket is refused without reading from it (it is
// opened non-blocking, so a pipe without a writer cannot hang the caller). The length is taken from the
// open file before anything is allocated; a file longer than the caller's limit is refused there. A file
// whose length or modification time changes while it is read (another program truncates, extends or
// rewrites it in place) is refused as changed: the bytes would mix two versions, or stop part-way. A file
// removed or replaced by a rename while it is read is still read whole: the open file keeps its content.
//
// Threads: no shared state; any thread that may touch files [any] (never the audio thread).
#pragma once

#include "platform/Status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::platform {

// `status.code` is kOk (`bytes` holds the whole file), kCannotOpen (open() failed), kNotAFile (a folder,
// device, pipe or socket), kTooLarge (longer than the limit; nothing was read), kChanged (the file changed
// while it was being read) or kReadError (read() or fstat() failed); `status.message` is one line naming
// the file and the reason.
struct ReadFileResult {
    Status status;
    int error = 0;                   // errno for kCannotOpen, kNotAFile (folders) and kReadError; else 0
    std::vector<std::uint8_t> bytes; // the file's content for kOk; empty otherwise

    bool Ok() const { return status.Ok(); }
};

// The content of the regular file at `path`, at most `maxBytes` bytes long.
ReadFileResult ReadWholeFile(const std::string& path, std::size_t maxBytes);

} // namespace quillon::platform
