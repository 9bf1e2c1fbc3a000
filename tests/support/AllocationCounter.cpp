#include "support/AllocationCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
thread_local std::uint64_t tAllocations = 0;
std::atomic<std::size_t> gLiveBytes{0};
std::atomic<std::size_t> gPeakBytes{0};

// The heap's own functions. The Windows C runtime has no aligned_alloc and frees _aligned_malloc blocks
// only with _aligned_free, so aligned blocks are carved out of malloc blocks there, with the malloc block
// and the size kept in front of them; glibc's aligned_alloc blocks are ordinary ones.
#if defined(_WIN32)
std::size_t UsableSize(void* p) {
    return _msize(p);
}
std::size_t AlignedUsableSize(void* p, std::size_t) {
    return reinterpret_cast<std::size_t>(static_cast<void**>(p)[-1]);
}
void* AlignedAlloc(std::size_t alignment, std::size_t size) {
    constexpr std::size_t kHeader = 2 * sizeof(void*);
    void* raw = std::malloc(size + alignment + kHeader);
    if (!raw) return nullptr;
    const std::uintptr_t address =
        (reinterpret_cast<std::uintptr_t>(raw) + kHeader + alignment - 1) / alignment * alignment;
    void** slots = reinterpret_cast<void**>(address);
    slots[-2] = raw;
    slots[-1] = reinterpret_cast<void*>(size);
    return slots;
}
void AlignedFree(void* p) {
    if (p) std::free(static_cast<void**>(p)[-2]);
}
#else
std::size_t UsableSize(void* p) {
    return malloc_usable_size(p);
}
std::size_t AlignedUsableSize(void* p, std::size_t) {
    return malloc_usable_size(p);
}
void* AlignedAlloc(std::size_t alignment, std::size_t size) {
    return std::aligned_alloc(alignment, size);
}
void AlignedFree(void* p) {
    std::free(p);
}
#endif

void* Counted(void* p, std::size_t size) {
    if (p) {
        const std::size_t live = gLiveBytes.fetch_add(size, std::memory_order_relaxed) + size;
        std::size_t peak = gPeakBytes.load(std::memory_order_relaxed);
        while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
        }
    }
    return p;
}

void* Counted(void* p) {
    return p ? Counted(p, UsableSize(p)) : p;
}

void Release(void* p) {
    if (p) gLiveBytes.fetch_sub(UsableSize(p), std::memory_order_relaxed);
    std::free(p);
}

void ReleaseAligned(void* p, std::align_val_t alignment) {
    if (p) gLiveBytes.fetch_sub(AlignedUsableSize(p, static_cast<std::size_t>(alignment)), std::memory_order_relaxed);
    AlignedFree(p);
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
    if (void* p = AlignedAlloc(a, rounded)) return Counted(p, AlignedUsableSize(p, a));
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
void operator delete(void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    ReleaseAligned(p, a);
}
void operator delete[](void* p, std::align_val_t a, const std::nothrow_t&) noexcept {
    ReleaseAligned(p, a);
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
void operator delete(void* p, std::align_val_t a) noexcept {
    ReleaseAligned(p, a);
}
void operator delete[](void* p, std::align_val_t a) noexcept {
    ReleaseAligned(p, a);
}
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept {
    ReleaseAligned(p, a);
}
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept {
    ReleaseAligned(p, a);
}
