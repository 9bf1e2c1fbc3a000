// The interposed C library functions of the fault-injection tests. The executable's own definitions come
// first in the dynamic linker's search order, so every call made through the procedure linkage table (from
// our code, libstdc++, libsndfile, a dlopen'ed plug-in) lands here; the real function is the next
// definition in that order, found with dlsym(RTLD_NEXT): the C library's, or a sanitizer's interceptor,
// which then forwards to the C library.
#undef _FORTIFY_SOURCE // its inline wrappers of read and open would clash with the definitions below

#include "faults/FaultInjection.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace quillon::test::fault {

namespace {

// A file or folder a fault concerns, as the test named it and as the kernel reports it (/proc/self/fd
// shows paths with every symbolic link resolved).
struct Place {
    char named[PATH_MAX];
    char resolved[PATH_MAX];
};

void SetPlace(Place& place, const std::string& where) {
    std::snprintf(place.named, sizeof place.named, "%s", where.c_str());
    char resolved[PATH_MAX];
    if (realpath(where.c_str(), resolved) == nullptr) std::snprintf(resolved, sizeof resolved, "%s", where.c_str());
    std::snprintf(place.resolved, sizeof place.resolved, "%s", resolved);
}

// `path` is `where` or lies below it.
bool Below(const char* path, const char* where) {
    const std::size_t length = std::strlen(where);
    if (length == 0 || std::strncmp(path, where, length) != 0) return false;
    return path[length] == '\0' || path[length] == '/' || where[length - 1] == '/';
}

bool PathIn(const char* path, const Place& place) {
    return Below(path, place.named) || Below(path, place.resolved);
}

// The file an open descriptor refers to.
bool DescriptorIn(int fd, const Place& place) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const int saved = errno;
    const ssize_t length = readlink(link, path, sizeof path - 1);
    errno = saved;
    if (length <= 0) return false;
    path[length] = '\0';
    return PathIn(path, place);
}

// The next definition of a function after ours, looked up once.
template <typename Function> Function Next(std::atomic<void*>& slot, const char* name) {
    void* function = slot.load(std::memory_order_acquire);
    if (function == nullptr) {
        function = dlsym(RTLD_NEXT, name);
        if (function == nullptr) std::abort(); // no C library below us: nothing could work
        slot.store(function, std::memory_order_release);
    }
    return reinterpret_cast<Function>(function);
}

std::atomic<void*> gWrite{nullptr}, gRead{nullptr}, gFsync{nullptr}, gMkstemp{nullptr}, gMkstemp64{nullptr},
    gOpen{nullptr}, gOpen64{nullptr}, gRename{nullptr};

using WriteFunction = ssize_t (*)(int, const void*, size_t);
using ReadFunction = ssize_t (*)(int, void*, size_t);
using FsyncFunction = int (*)(int);
using MkstempFunction = int (*)(char*);
using OpenFunction = int (*)(const char*, int, ...);
using RenameFunction = int (*)(const char*, const char*);

// Each fault: an armed flag, published with release order after its settings are in place.
struct WriteFault {
    std::atomic<bool> armed{false};
    Place place;
    std::atomic<std::size_t> allowed{0}; // bytes still let through
    int error = 0;
    bool kill = false;
} gWriteFault;

struct SimpleFault {
    std::atomic<bool> armed{false};
    Place place;
    int error = 0;
} gCreateFault, gFsyncFault, gRenameFault;

struct ReadFault {
    std::atomic<bool> armed{false};
    Place place;
    Change change = Change::kEmptied;
    std::size_t firstBytes = 0;
} gReadFault;

std::atomic<int> gHits{0};

void Arm(SimpleFault& fault, const std::string& where, int error) {
    fault.armed.store(false, std::memory_order_release);
    SetPlace(fault.place, where);
    fault.error = error;
    fault.armed.store(true, std::memory_order_release);
}

bool Meets(const SimpleFault& fault, const char* path) {
    return fault.armed.load(std::memory_order_acquire) && PathIn(path, fault.place);
}

int Refuse(int error) {
    gHits.fetch_add(1, std::memory_order_relaxed);
    errno = error;
    return -1;
}

void ArmWrites(const std::string& where, std::size_t bytes, int error, bool kill) {
    gWriteFault.armed.store(false, std::memory_order_release);
    SetPlace(gWriteFault.place, where);
    gWriteFault.allowed.store(bytes, std::memory_order_relaxed);
    gWriteFault.error = error;
    gWriteFault.kill = kill;
    gWriteFault.armed.store(true, std::memory_order_release);
}

// Carries out a change of a file being read, with the real functions.
void ChangeFile(const char* path, Change change) {
    struct stat info {};
    switch (change) {
    case Change::kEmptied:
        truncate(path, 0);
        break;
    case Change::kHalved:
        if (stat(path, &info) == 0) truncate(path, info.st_size / 2);
        break;
    case Change::kExtended: {
        const int fd = Next<OpenFunction>(gOpen, "open")(path, O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            static const char kMore[100] = {};
            static_cast<void>(Next<WriteFunction>(gWrite, "write")(fd, kMore, sizeof kMore));
            close(fd);
        }
        break;
    }
    case Change::kRemoved:
        unlink(path);
        break;
    }
}

int OpenWithFault(OpenFunction real, const char* path, int flags, mode_t mode) {
    if ((flags & O_CREAT) != 0 && Meets(gCreateFault, path)) return Refuse(gCreateFault.error);
    return real(path, flags, mode);
}

int MkstempWithFault(MkstempFunction real, char* pattern) {
    if (Meets(gCreateFault, pattern)) return Refuse(gCreateFault.error);
    return real(pattern);
}

} // namespace

void FailWritesAfter(const std::string& where, std::size_t bytes, int error) {
    ArmWrites(where, bytes, error, false);
}

void KillAfterWrites(const std::string& where, std::size_t bytes) {
    ArmWrites(where, bytes, 0, true);
}

void FailCreateIn(const std::string& folder, int error) {
    Arm(gCreateFault, folder, error);
}

void FailFsync(const std::string& where, int error) {
    Arm(gFsyncFault, where, error);
}

void FailRename(const std::string& where, int error) {
    Arm(gRenameFault, where, error);
}

void ChangeDuringRead(const std::string& path, Change change, std::size_t firstBytes) {
    gReadFault.armed.store(false, std::memory_order_release);
    SetPlace(gReadFault.place, path);
    gReadFault.change = change;
    gReadFault.firstBytes = firstBytes;
    gReadFault.armed.store(true, std::memory_order_release);
}

void Reset() {
    gWriteFault.armed.store(false, std::memory_order_release);
    gCreateFault.armed.store(false, std::memory_order_release);
    gFsyncFault.armed.store(false, std::memory_order_release);
    gRenameFault.armed.store(false, std::memory_order_release);
    gReadFault.armed.store(false, std::memory_order_release);
    gHits.store(0, std::memory_order_relaxed);
}

int Hits() {
    return gHits.load(std::memory_order_relaxed);
}

} // namespace quillon::test::fault

using namespace quillon::test::fault;

extern "C" {

ssize_t write(int fd, const void* buffer, size_t count) {
    const auto real = Next<WriteFunction>(gWrite, "write");
    if (!gWriteFault.armed.load(std::memory_order_acquire) || count == 0 || !DescriptorIn(fd, gWriteFault.place))
        return real(fd, buffer, count);
    const std::size_t allowed = gWriteFault.allowed.load(std::memory_order_relaxed);
    if (gWriteFault.kill && count >= allowed) {
        // The bytes up to the limit reach the file, then the process dies in the middle of its save.
        if (allowed > 0) static_cast<void>(real(fd, buffer, allowed));
        gHits.fetch_add(1, std::memory_order_relaxed);
        kill(getpid(), SIGKILL);
    }
    if (allowed == 0) return Refuse(gWriteFault.error);
    const ssize_t written = real(fd, buffer, count < allowed ? count : allowed);
    if (written > 0) gWriteFault.allowed.fetch_sub(static_cast<std::size_t>(written), std::memory_order_relaxed);
    return written;
}

ssize_t read(int fd, void* buffer, size_t count) {
    const auto real = Next<ReadFunction>(gRead, "read");
    if (!gReadFault.armed.load(std::memory_order_acquire) || !DescriptorIn(fd, gReadFault.place))
        return real(fd, buffer, count);
    bool expected = true;
    if (!gReadFault.armed.compare_exchange_strong(expected, false)) return real(fd, buffer, count);
    gHits.fetch_add(1, std::memory_order_relaxed);
    const ssize_t got = real(fd, buffer, count < gReadFault.firstBytes ? count : gReadFault.firstBytes);
    const int saved = errno;
    ChangeFile(gReadFault.place.named, gReadFault.change);
    errno = saved;
    return got;
}

int fsync(int fd) {
    const auto real = Next<FsyncFunction>(gFsync, "fsync");
    if (gFsyncFault.armed.load(std::memory_order_acquire) && DescriptorIn(fd, gFsyncFault.place))
        return Refuse(gFsyncFault.error);
    return real(fd);
}

int mkstemp(char* pattern) {
    return MkstempWithFault(Next<MkstempFunction>(gMkstemp, "mkstemp"), pattern);
}

int mkstemp64(char* pattern) {
    return MkstempWithFault(Next<MkstempFunction>(gMkstemp64, "mkstemp64"), pattern);
}

int open(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, unsigned));
        va_end(arguments);
    }
    return OpenWithFault(Next<OpenFunction>(gOpen, "open"), path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
        va_list arguments;
        va_start(arguments, flags);
        mode = static_cast<mode_t>(va_arg(arguments, unsigned));
        va_end(arguments);
    }
    return OpenWithFault(Next<OpenFunction>(gOpen64, "open64"), path, flags, mode);
}

int rename(const char* from, const char* to) noexcept {
    const auto real = Next<RenameFunction>(gRename, "rename");
    if (Meets(gRenameFault, to)) return Refuse(gRenameFault.error);
    return real(from, to);
}

} // extern "C"
