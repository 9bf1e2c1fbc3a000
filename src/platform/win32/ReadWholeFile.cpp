// Reading a whole file on Windows: the file is opened sharing reading, writing and deletion with others (as
// a POSIX open does), its kind and length are taken from the handle, and its length and last-write time
// are compared once the bytes are in.
#include "platform/ReadWholeFile.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>

namespace quillon::platform {

namespace {

ReadFileResult Refused(StatusCode code, int error, std::string message) {
    ReadFileResult result;
    result.status = Status::Failure(code, std::move(message));
    result.error = error;
    return result;
}

// The errno value closest to a Win32 error, for callers that tell "missing" from "not allowed".
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    default:
        return EIO;
    }
}

struct Snapshot {
    std::uint64_t size = 0;
    FILETIME written{};
};

bool Take(HANDLE file, Snapshot& snapshot) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    snapshot.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    snapshot.written = info.ftLastWriteTime;
    return true;
}

} // namespace

ReadFileResult ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    // FILE_FLAG_BACKUP_SEMANTICS lets a folder open too, so that it is told apart from a missing file.
    HANDLE file =
        CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Refused(StatusCode::kCannotOpen, ErrnoOf(error),
                       "Cannot open the file " + path + ": " + win32::ErrorText(error));
    }
    struct Closer {
        HANDLE handle;
        ~Closer() { CloseHandle(handle); }
    } closer{file};

    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
        const DWORD error = GetLastError();
        return Refused(StatusCode::kReadError, ErrnoOf(error),
                       "Cannot read the file " + path + ": " + win32::ErrorText(error));
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return Refused(StatusCode::kNotAFile, EISDIR, "Cannot read " + path + ": it is a folder, not a file");
    if (GetFileType(file) != FILE_TYPE_DISK)
        return Refused(StatusCode::kNotAFile, 0, "Cannot read " + path + ": it is not a regular file");

    Snapshot before;
    Take(file, before);
    if (before.size > maxBytes)
        return Refused(StatusCode::kTooLarge, 0,
                       "Cannot read the file " + path + ": it holds more than " + std::to_string(maxBytes) + " bytes");

    ReadFileResult result;
    result.bytes.resize(static_cast<std::size_t>(before.size));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(result.bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file, result.bytes.data() + done, want, &got, nullptr)) {
            const DWORD error = GetLastError();
            return Refused(StatusCode::kReadError, ErrnoOf(error),
                           "Cannot read the file " + path + ": " + win32::ErrorText(error));
        }
        if (got == 0) break; // shorter than it was: caught below
        done += got;
    }
    // One more byte would mean the file grew.
    char extra = 0;
    DWORD more = 0;
    const bool grew = ReadFile(file, &extra, 1, &more, nullptr) && more > 0;
    Snapshot after;
    if (!Take(file, after)) {
        const DWORD error = GetLastError();
        return Refused(StatusCode::kReadError, ErrnoOf(error),
                       "Cannot read the file " + path + ": " + win32::ErrorText(error));
    }
    if (grew || done != before.size || after.size != before.size ||
        CompareFileTime(&after.written, &before.written) != 0)
        return Refused(StatusCode::kChanged, 0, "The file " + path + " changed while it was being read.");
    return result;
}

} // namespace quillon::platform
