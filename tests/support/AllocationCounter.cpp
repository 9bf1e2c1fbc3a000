#include "support/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
thread_local std::uint64_t tAllocations = 0;
std::atomic<std::size_t> gLiveBytes{0};
std::atomic<std::size_t> gPeakBytes{0};

void* Counted(void* p) {
    if (p) {
        const std::size_t size = malloc_usable_size(p);
        const std::size_t live = gLiveBytes.fetch_add(size, std::memory_order_relaxed) + size;
        std::size_t peak = gPeakBytes.load(std::memory_order_relaxed);
        while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
        }
    }
    return p;
}

void Release(void* p) {
    if (p) gLiveBytes.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

void* Allocate(std::size_t size) {
    ++tAllocations;
    if (void* p = Counted(std::malloc(size ? size : 1))) return p;
    throw std::bad_alloc();
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    ++tAllocations;
    const auto a = static_cast<std::size_t>(alignment);
    const std::size_t rounded = ((size ? size : 1) + a - 1) / a * a;
    if (void* p = Counted(std::aligned_alloc(a, rounded))) return p;
    throw std::bad_alloc();
}
} // namespace

namespace quillon::test {
std::uint64_t ThreadAllocationCount() {
    return tAllocations;
}
std::size_t LiveHeapBytes() {
    return gLiveBytes.load(std::memory_order_relaxed);
}
std::size_t PeakHeapBytes() {
    return gPeakBytes.load(std::memory_order_relaxed);
}
void ResetPeakHeapBytes() {
    gPeakBytes.store(gLiveBytes.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
} // namespace quillon::test

// The replacements call malloc, which the sanitizers intercept, so sanitizer builds still see every block.
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return AllocateAligned(size, a);
}
// The non-throwing forms too, so that every form of new pairs with the deletes below (the standard
// library's temporary buffers use them).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++tAllocations;
    return Counted(std::malloc(size ? size : 1));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    ++tAllocations;
    return Counted(std::malloc(size ? size : 1));
}
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return AllocateAligned(size, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return AllocateAligned(size, a);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    Release(p);
}
