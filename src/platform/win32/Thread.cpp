#include "platform/Thread.h"

#include <windows.h>

namespace quillon::platform {

void LowerCurrentThreadPriority() {
    // One step below the thread's present priority class level (normal → below normal).
    const int current = GetThreadPriority(GetCurrentThread());
    if (current != THREAD_PRIORITY_ERROR_RETURN && current > THREAD_PRIORITY_LOWEST)
        SetThreadPriority(GetCurrentThread(), current - 1);
}

} // namespace quillon::platform
