// Safe file replacement on Windows: the temporary file is a C runtime descriptor (_wsopen_s, binary) beside
// the target, flushed with _commit (FlushFileBuffers) and moved over the target with MoveFileExW
// (MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), which replaces it in one step on the same volume.
// Windows has no permission bits to carry over: a read-only target counts as write-protected.
#include "platform/SafeFileWriter.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

namespace quillon {

namespace {

Status Failed(int error, const std::string& what) {
    return Status::Failure(StatusCode::kWriteError, what + ": " + std::generic_category().message(error));
}

Status FailedWin32(DWORD error, const std::string& what) {
    return Status::Failure(StatusCode::kWriteError, what + ": " + platform::win32::ErrorText(error));
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name no other writer of this process or another one picks at the same moment.
std::string TemporaryName(const std::string& name, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tmp-%lx-%x-%x", GetCurrentProcessId(), counter.fetch_add(1), attempt);
    return "." + name + suffix;
}

} // namespace

SafeFileWriter::~SafeFileWriter() {
    Abandon();
}

Status SafeFileWriter::Begin(const std::string& path) {
    Abandon();
    path_ = path;
    target_ = path; // MoveFileExW replaces a symbolic link itself; links are rare enough here to accept it
    const std::string folder = FolderOf(target_);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string temporary =
            folder + (IsSeparator(folder.back()) ? "" : "/") + TemporaryName(NameOf(target_), attempt);
        int fd = -1;
        const errno_t error =
            _wsopen_s(&fd, platform::win32::Widen(temporary).c_str(),
                      _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYWR, _S_IREAD | _S_IWRITE);
        if (error == EEXIST) continue;
        if (error != 0 || fd < 0)
            return Failed(error,
                          "Cannot write the file " + path + " (cannot create a file in the folder " + folder + ")");
        fd_ = fd;
        temporary_ = std::move(temporary);
        return Status::Success();
    }
    return Failed(EEXIST, "Cannot write the file " + path + " (cannot create a file in the folder " + folder + ")");
}

Status SafeFileWriter::Append(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return Failed(EBADF, "Cannot write the file " + path_);
    while (!bytes.empty()) {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int n = _write(fd_, bytes.data(), piece);
        if (n <= 0) {
            Status status = Failed(n < 0 ? errno : EIO, "Cannot write the file " + path_);
            Abandon();
            return status;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
    return Status::Success();
}

Status SafeFileWriter::Commit() {
    if (fd_ < 0) return Failed(EBADF, "Cannot write the file " + path_);
    if (_commit(fd_) != 0) {
        Status status = Failed(errno, "Cannot write the file " + path_);
        Abandon();
        return status;
    }
    const int fd = fd_;
    fd_ = -1;
    if (_close(fd) != 0) {
        Status status = Failed(errno, "Cannot write the file " + path_);
        Abandon();
        return status;
    }
    if (!MoveFileExW(platform::win32::Widen(temporary_).c_str(), platform::win32::Widen(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Status status = FailedWin32(GetLastError(), "Cannot replace the file " + path_);
        Abandon();
        return status;
    }
    temporary_.clear();
    return Status::Success();
}

void SafeFileWriter::Abandon() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) DeleteFileW(platform::win32::Widen(temporary_).c_str());
    temporary_.clear();
}

Status SafeFileWriter::Write(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces) {
    SafeFileWriter writer;
    Status status = writer.Begin(path);
    for (const auto& piece : pieces) {
        if (!status.Ok()) return status;
        status = writer.Append(piece);
    }
    return status.Ok() ? writer.Commit() : status;
}

bool SafeFileWriter::IsWriteProtected(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(platform::win32::Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false; // nothing there to protect
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

} // namespace quillon
