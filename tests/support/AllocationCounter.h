// Counts heap allocations made by the calling thread, so that tests can prove that an audio-thread
// path allocates nothing, and the heap bytes the whole process holds through operator new, so that tests
// can bound the memory an operation needs. The test executable replaces the global operator new to do
// the counting.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon::test {

// Allocations made by this thread since it started.
std::uint64_t ThreadAllocationCount();

// Bytes the process holds through operator new now (all threads, as malloc_usable_size counts them).
std::size_t LiveHeapBytes();
// The most LiveHeapBytes() has been since the last ResetPeakHeapBytes() (or the start).
std::size_t PeakHeapBytes();
// Starts a new peak at the present live bytes.
void ResetPeakHeapBytes();

// Counts the allocations the current thread makes during the guard's lifetime.
class ScopedAllocationCounter {
public:
    ScopedAllocationCounter() : start_(ThreadAllocationCount()) {}
    std::uint64_t Count() const { return ThreadAllocationCount() - start_; }

private:
    std::uint64_t start_;
};

} // namespace quillon::test
