#include "platform/ReadWholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace quillon::platform {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string Reason(int error) {
    return std::generic_category().message(error);
}

ReadFileResult Refused(StatusCode code, int error, std::string message) {
    ReadFileResult result;
    result.status = Status::Failure(code, std::move(message));
    result.error = error;
    return result;
}

ReadFileResult Changed(const std::string& path) {
    return Refused(StatusCode::kChanged, 0, "The file " + path + " changed while it was being read.");
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// read() retried after signals: the bytes read (0 at the end of the file), or −1 with errno set.
ssize_t ReadSome(int fd, void* buffer, std::size_t bytes) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, bytes);
        if (n >= 0 || errno != EINTR) return n;
    }
}

} // namespace

ReadFileResult ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so that opening a pipe nobody writes to returns at once (it is refused below).
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) {
        const int error = errno;
        return Refused(StatusCode::kCannotOpen, error, "Cannot open the file " + path + ": " + Reason(error));
    }
    struct stat before {};
    if (fstat(file.Get(), &before) != 0) {
        const int error = errno;
        return Refused(StatusCode::kReadError, error, "Cannot read the file " + path + ": " + Reason(error));
    }
    if (S_ISDIR(before.st_mode))
        return Refused(StatusCode::kNotAFile, EISDIR, "Cannot read " + path + ": it is a folder, not a file");
    if (!S_ISREG(before.st_mode))
        return Refused(StatusCode::kNotAFile, 0, "Cannot read " + path + ": it is not a regular file");
    const int flags = fcntl(file.Get(), F_GETFL);
    if (flags >= 0) fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK);

    const auto length = static_cast<std::uint64_t>(before.st_size);
    if (length > maxBytes)
        return Refused(StatusCode::kTooLarge, 0,
                       "Cannot read the file " + path + ": it holds more than " + std::to_string(maxBytes) + " bytes");

    ReadFileResult result;
    result.bytes.resize(static_cast<std::size_t>(length));
    std::size_t got = 0;
    while (got < result.bytes.size()) {
        const ssize_t n = ReadSome(file.Get(), result.bytes.data() + got, result.bytes.size() - got);
        if (n < 0) {
            const int error = errno;
            return Refused(StatusCode::kReadError, error, "Cannot read the file " + path + ": " + Reason(error));
        }
        if (n == 0) return Changed(path); // it ends before the length it had when opened
        got += static_cast<std::size_t>(n);
    }
    // The end must be where it was: a byte more means the file grew meanwhile.
    std::uint8_t extra = 0;
    const ssize_t more = ReadSome(file.Get(), &extra, 1);
    if (more < 0) {
        const int error = errno;
        return Refused(StatusCode::kReadError, error, "Cannot read the file " + path + ": " + Reason(error));
    }
    // A rewrite in place that keeps the length still moves the modification time.
    struct stat after {};
    if (more > 0 || fstat(file.Get(), &after) != 0 || after.st_size != before.st_size ||
        !SameTime(after.st_mtim, before.st_mtim))
        return Changed(path);
    return result;
}

} // namespace quillon::platform
