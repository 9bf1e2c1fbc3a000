#include "platform/Thread.h"

#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillon::platform {

void LowerCurrentThreadPriority() {
    // On Linux the nice value is per thread when addressed by thread id.
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno == 0 && current < 19) setpriority(PRIO_PROCESS, tid, current + 1);
}

} // namespace quillon::platform
