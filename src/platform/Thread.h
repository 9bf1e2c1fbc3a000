// Thread services the core needs from the operating system.
#pragma once

namespace quillon::platform {

// Lowers the calling thread's scheduling priority by one step below normal (a nice value of +1 on
// Linux), for background work that must not compete with the host's audio thread. [any]
void LowerCurrentThreadPriority();

} // namespace quillon::platform
