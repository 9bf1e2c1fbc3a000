#include "platform/FloatingPoint.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#define QUILLON_HAVE_MXCSR 1
#endif

namespace quillon::platform {

#if QUILLON_HAVE_MXCSR
namespace {
constexpr std::uint32_t kAllExceptionMasks = 0x1F80; // IM DM ZM OM UM PM
constexpr std::uint32_t kFlushToZero = 0x8000;
constexpr std::uint32_t kDenormalsAreZero = 0x0040;
} // namespace

void MaskFloatingPointExceptions() {
    _mm_setcsr(_mm_getcsr() | kAllExceptionMasks);
}

ScopedDenormalGuard::ScopedDenormalGuard() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | kAllExceptionMasks | kFlushToZero | kDenormalsAreZero);
}

ScopedDenormalGuard::~ScopedDenormalGuard() {
    _mm_setcsr(saved_);
}
#else
void MaskFloatingPointExceptions() {}
ScopedDenormalGuard::ScopedDenormalGuard() = default;
ScopedDenormalGuard::~ScopedDenormalGuard() = default;
#endif

} // namespace quillon::platform
