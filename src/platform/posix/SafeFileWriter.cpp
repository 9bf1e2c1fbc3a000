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

[[noreturn]] void ThrowErrno(int error, const std::string& what) {
    throw std::system_error(error, std::generic_category(), what);
}

// The process's file creation mask, read without changing it (umask() can only be read by setting it,
// which would race with other threads creating files).
mode_t CurrentUmask() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Umask:") {
            unsigned mask = 0;
            if (status >> std::oct >> mask)
                return static_cast<mode_t>(mask & 0777);
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
        if (realpath(path.c_str(), resolved))
            return resolved;
    }
    return path;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::string& path) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowErrno(errno, "Cannot write the file " + path);
        }
        if (n == 0)
            ThrowErrno(EIO, "Cannot write the file " + path);
        bytes = bytes.subspan(static_cast<std::size_t>(n));
    }
}

// Owns the temporary file until it has been renamed: closes and removes it on every early exit.
class TemporaryFile {
public:
    // `shown` is the path the caller named, for the messages.
    TemporaryFile(const std::string& folder, const std::string& name, const std::string& shown)
        : path_(folder + "/." + name + ".tmp-XXXXXX") {
        fd_ = mkstemp(path_.data());
        if (fd_ < 0)
            ThrowErrno(errno,
                       "Cannot write the file " + shown + " (cannot create a file in the folder " + folder + ")");
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!renamed_)
            ::unlink(path_.c_str());
    }

    int Fd() const { return fd_; }
    const std::string& Path() const { return path_; }
    void Close(const std::string& shown) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            ThrowErrno(errno, "Cannot write the file " + shown);
    }
    void Renamed() { renamed_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool renamed_ = false;
};

} // namespace

void SafeFileWriter::Write(const std::string& path, std::initializer_list<std::span<const std::uint8_t>> pieces) {
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);

    struct stat existing {};
    const mode_t mode = stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : (0666 & ~CurrentUmask());

    TemporaryFile temporary(folder, NameOf(target), path);
    if (fchmod(temporary.Fd(), mode) != 0)
        ThrowErrno(errno, "Cannot set the permissions of the file " + path);
    for (const auto& piece : pieces)
        WriteAll(temporary.Fd(), piece, path);
    if (fsync(temporary.Fd()) != 0)
        ThrowErrno(errno, "Cannot write the file " + path);
    temporary.Close(path);
    if (std::rename(temporary.Path().c_str(), target.c_str()) != 0)
        ThrowErrno(errno, "Cannot replace the file " + path);
    temporary.Renamed();

    // Make the rename itself durable. The new content is in place by now, so a failure here is not
    // reported: the save has happened.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
}

bool SafeFileWriter::IsWriteProtected(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return false; // nothing there to protect
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return true;
    return access(path.c_str(), W_OK) != 0;
}

} // namespace quillon
