// Replaces a file's whole content so that no failure, and no crash, can leave a half-written file behind:
// the new bytes go to a temporary file in the target's folder, are flushed to the disk, and the temporary
// file is then renamed over the target in one step. Until that rename the old file is untouched; after a
// failure the temporary file is removed. [gui]
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace quillon {

class SafeFileWriter {
public:
    // Writes `pieces` back to back as the new content of the file at `path` (created if missing). A
    // replaced file keeps its permission bits; a new one gets the usual ones (0666 less the umask). A
    // symbolic link is followed, so the file it points to is replaced, not the link. Throws
    // std::system_error with a readable text when the file cannot be written; the file at `path` is then
    // as it was.
    static void Write(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces);

    // True when a file exists at `path` that must not be overwritten: none of its write permission bits is
    // set (judged by the bits, so that the answer is the same for root, who may write anywhere), or the
    // calling process may not write it.
    static bool IsWriteProtected(const std::string& path);
};

} // namespace quillon
