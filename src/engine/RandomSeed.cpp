#include "engine/RandomSeed.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <random>

namespace quillon {

std::uint32_t NewRandomSeed() {
    try {
        std::random_device device;
        return device();
    } catch (const std::exception&) {
        // No random source on this system: the clock and a counter still differ between instances and loads.
        static std::atomic<std::uint32_t> counter{0};
        const auto ticks = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        std::seed_seq mix{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32),
                          counter.fetch_add(1, std::memory_order_relaxed)};
        std::uint32_t seed = 0;
        mix.generate(&seed, &seed + 1);
        return seed;
    }
}

} // namespace quillon
