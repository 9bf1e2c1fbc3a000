// Floating-point environment of the audio path. The processor's exceptions stay masked so that nothing
// on the audio path can trap, and denormals are flushed to zero while the plug-in renders so that decaying
// filters and reverb tails never fall into the slow denormal range. Both settings are per thread, so the
// render entry points install them for the duration of each call and give the host its own mode back.
#pragma once

#include <cstdint>

namespace quillon::platform {

// Masks every floating-point exception of the calling thread (overflow, underflow, division by zero,
// invalid operation, denormal operand, precision). [any]
void MaskFloatingPointExceptions();

// Sets flush-to-zero and denormals-are-zero with all exceptions masked for the lifetime of the guard and
// restores the previous mode afterwards. [audio]
class ScopedDenormalGuard {
public:
    ScopedDenormalGuard();
    ~ScopedDenormalGuard();
    ScopedDenormalGuard(const ScopedDenormalGuard&) = delete;
    ScopedDenormalGuard& operator=(const ScopedDenormalGuard&) = delete;

private:
    std::uint32_t saved_ = 0;
};

} // namespace quillon::platform
