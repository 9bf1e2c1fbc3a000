// Counts heap allocations made by the calling thread, so that tests can prove that an audio-thread
// path allocates nothing. The test executable replaces the global operator new to do the counting.
#pragma once

#include <cstdint>

namespace quillon::test {

// Allocations made by this thread since it started.
std::uint64_t ThreadAllocationCount();

// Counts the allocations the current thread makes during the guard's lifetime.
class ScopedAllocationCounter {
public:
    ScopedAllocationCounter() : start_(ThreadAllocationCount()) {}
    std::uint64_t Count() const { return ThreadAllocationCount() - start_; }

private:
    std::uint64_t start_;
};

} // namespace quillon::test

