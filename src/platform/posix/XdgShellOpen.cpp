// xdg-open started through an intermediate process: the caller forks the intermediate, which forks the
// opener and exits at once; the caller reaps the intermediate and the opener, now an orphan, belongs to
// init. So nothing waits for the browser, and no zombie is left behind whatever the opener does.
//
// The opener must not inherit what belongs to the host: its LD_LIBRARY_PATH and LD_PRELOAD (libraries the
// host runs with, wrong for a browser), its descriptors (sockets, audio devices, pipes whose readers wait
// for their end), its blocked and ignored signals and its session. Its standard streams are /dev/null.
// Everything the intermediate needs is prepared before the fork; between the fork and the exec only
// async-signal-safe calls are made, since the host's other threads may hold locks at the moment of the fork.
#include "platform/IShellOpen.h"

#include "platform/posix/ExecutableSearch.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace quillon::platform {

namespace {

constexpr const char* kOpener = "xdg-open";
constexpr int kExecFailed = 127;
constexpr int kForkFailed = 1;
constexpr rlim_t kMaxDescriptors = 65536; // closed one by one where close_range is missing

bool IsHostLoaderVariable(std::string_view entry) {
    return entry.starts_with("LD_LIBRARY_PATH=") || entry.starts_with("LD_PRELOAD=");
}

// The environment for the opener: the caller's without the loader variables. The strings stay owned by
// `environ`, which the GUI thread alone changes.
std::vector<char*> OpenerEnvironment() {
    std::vector<char*> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        if (!IsHostLoaderVariable(*entry)) entries.push_back(*entry);
    entries.push_back(nullptr);
    return entries;
}

pid_t ForkInChild() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return _Fork(); // the async-signal-safe fork
#else
    return fork();
#endif
}

// The intermediate process: makes itself a clean parent for the opener, starts it and exits. Only
// async-signal-safe calls from here on.
[[noreturn]] void RunIntermediate(int devNull, int lastDescriptor, const char* program, char* const* argv,
                                  char* const* envp) {
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    for (int number = 1; number < NSIG; ++number)
        sigaction(number, &standard, nullptr); // ignored signals would stay ignored across the exec
    setsid();
    for (int stream = 0; stream <= 2; ++stream) {
        if (devNull == stream)
            fcntl(stream, F_SETFD, 0); // keep it over the exec
        else
            dup2(devNull, stream);
    }
    if (close_range(3, ~0U, 0) != 0) {
        for (int fd = 3; fd <= lastDescriptor; ++fd)
            close(fd);
    }
    const pid_t opener = ForkInChild();
    if (opener == 0) {
        execve(program, argv, envp);
        _exit(kExecFailed);
    }
    _exit(opener < 0 ? kForkFailed : 0);
}

class XdgShellOpen final : public IShellOpen {
public:
    Status OpenWithSystem(const std::string& target) override {
        if (target.empty()) return Status::Failure(StatusCode::kNotFound, "There is nothing to open.");
        std::string program = FindOnPath(kOpener);
        if (program.empty())
            return Status::Failure(StatusCode::kNotFound,
                                   "Cannot open \"" + target + "\": the program xdg-open was not found.");
        // A path starting with '-' would read as an option.
        std::string argument = target;
        if (argument.starts_with('-')) argument.insert(0, "./");
        std::vector<char*> argv = {program.data(), argument.data(), nullptr};
        std::vector<char*> envp = OpenerEnvironment();

        rlimit limit{};
        const rlim_t descriptors = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
                                       ? std::min(limit.rlim_cur, kMaxDescriptors)
                                       : kMaxDescriptors;
        const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0) return Failed(target, errno);

        const pid_t intermediate = fork();
        if (intermediate == 0)
            RunIntermediate(devNull, static_cast<int>(descriptors) - 1, program.c_str(), argv.data(), envp.data());
        const int forkError = errno;
        close(devNull);
        if (intermediate < 0) return Failed(target, forkError);

        // The intermediate exits right after its fork.
        int status = 0;
        pid_t reaped = -1;
        do {
            reaped = waitpid(intermediate, &status, 0);
        } while (reaped < 0 && errno == EINTR);
        // ECHILD: the host reaps its children itself (or ignores SIGCHLD); the opener was started all the same.
        if (reaped == intermediate && (!WIFEXITED(status) || WEXITSTATUS(status) != 0)) return Failed(target, EAGAIN);
        return Status::Success();
    }

private:
    static Status Failed(const std::string& target, int error) {
        return Status::Failure(StatusCode::kCannotOpen,
                               "Cannot open \"" + target + "\": xdg-open could not be started (" +
                                   std::strerror(error) + ")."); // NOLINT(concurrency-mt-unsafe): GUI thread only
    }
};

} // namespace

std::unique_ptr<IShellOpen> MakeShellOpen() {
    return std::make_unique<XdgShellOpen>();
}

} // namespace quillon::platform
