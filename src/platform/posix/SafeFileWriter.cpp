#include "platform/SafeFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <system_error>

namespace quillon {

namespace {

// The text of a failure: what failed, then the system's reason.
Status Failed(int error, const std::string& what) {
    return Status::Failure(StatusCode::kWriteError, what + ": " + std::generic_category().message(error));
}

// The process's file creation mask, read without changing it (umask() can only be read by setting it,
// which would race with other threads creating files).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 0;
            if (status >> std::oct >> mask) return static_cast<mode_t>(mask & 0777);
            break;
        }
        status.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return 022;
}

// The file that is really replaced: the target of a symbolic link, otherwise the path itself.
std::string ResolveTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

SafeFileWriter::~SafeFileWriter() {
    Abandon();
}

Status SafeFileWriter::Begin(const std::string& path) {
    Abandon();
    path_ = path;
    target_ = ResolveTarget(path);
    const std::string folder = FolderOf(target_);

    struct stat existing {};
    const mode_t mode = stat(target_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());

    std::string temporary = folder + "/." + NameOf(target_) + ".tmp-XXXXXX";
    fd_ = mkstemp(temporary.data());
    if (fd_ < 0)
        return Failed(errno, "Cannot write the file " + path + " (cannot create a file in the folder " + folder + ")");
    temporary_ = std::move(temporary);
    if (fchmod(fd_, mode) != 0) {
        Status status = Failed(errno, "Cannot set the permissions of the file " + path);
        Abandon();
        return status;
    }
    return Status::Success();
}

Status SafeFileWriter::Append(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return Failed(EBADF, "Cannot write the file " + path_);
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
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
    if (fsync(fd_) != 0) {
        Status status = Failed(errno, "Cannot write the file " + path_);
        Abandon();
        return status;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        Status status = Failed(errno, "Cannot write the file " + path_);
        Abandon();
        return status;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        Status status = Failed(errno, "Cannot replace the file " + path_);
        Abandon();
        return status;
    }
    temporary_.clear();

    // Make the rename itself durable. The new content is in place by now, so a failure here is not
    // reported: the save has happened.
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return Status::Success();
}

void SafeFileWriter::Abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
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
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false; // nothing there to protect
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return access(path.c_str(), W_OK) != 0;
}

} // namespace quillon
