// Fixed-capacity single-producer/single-consumer queue of trivially copyable items, lock-free and
// allocation-free after construction. One thread pushes, one thread pops (each side may move between
// threads only through a happens-before edge, e.g. a mutex on the producer side).
//
// Threads: TryPush and Full on the producer [any one], TryPop, Front, Pop and Empty on the consumer.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace quillon {

template <typename T, std::size_t Capacity> class TSpscQueue {
    static_assert(Capacity > 0 && (Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>);

public:
    static constexpr std::size_t kCapacity = Capacity;

    // Producer side.
    bool TryPush(const T& item) {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= Capacity) return false;
        items_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool Full() const {
        return tail_.load(std::memory_order_relaxed) - head_.load(std::memory_order_acquire) >= Capacity;
    }

    // Consumer side.
    bool Empty() const { return head_.load(std::memory_order_relaxed) == tail_.load(std::memory_order_acquire); }
    // The oldest item; only when not Empty().
    const T& Front() const { return items_[head_.load(std::memory_order_relaxed) & (Capacity - 1)]; }
    void Pop() { head_.store(head_.load(std::memory_order_relaxed) + 1, std::memory_order_release); }
    bool TryPop(T& item) {
        if (Empty()) return false;
        item = Front();
        Pop();
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    alignas(64) std::atomic<std::uint32_t> head_{0}; // next item to pop, written by the consumer
    alignas(64) std::atomic<std::uint32_t> tail_{0}; // next free slot, written by the producer
};

} // namespace quillon
