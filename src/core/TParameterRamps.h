// The parameters' 100 ms smoothing ramps, between the threads that set parameters and the audio thread
// that moves the engine.
//
// A host may set parameters from its GUI thread and its audio thread at once, while the audio thread
// advances the ramps. Request publishes a parameter's new engine target and raises its request flag [any].
// Only the audio thread owns the running ramps (current value, step, frames left): at the start of each
// sub-block it takes the raised requests and (re)starts those ramps from the value the engine has now. A
// restarted ramp therefore always moves from where the engine is towards the newest target and never
// overshoots, whatever the interleaving of the two threads.
#pragma once

#include <array>
#include <atomic>

namespace quillon {

class TParameterRamps {
public:
    static constexpr int kParameterCount = 124; // parameter indices, files/ParameterIndex.h

    TParameterRamps();

    // Frames a ramp lasts (the sample rate's 100 ms), at least 1. [gui, while processing is stopped]
    void SetLength(int frames) { length_.store(frames < 1 ? 1 : frames, std::memory_order_relaxed); }
    int Length() const { return length_.load(std::memory_order_relaxed); }
    // The engine value a parameter moves to: over Length() frames for the parameters that glide (the
    // parameter table's ramp flag), at the next advance for the others. [any]
    void Request(int index, float target);
    // Engine value a parameter is moving to. [any]
    float Target(int index) const { return target_[Slot(index)].load(std::memory_order_relaxed); }
    // Engine value a parameter has now. [audio]
    float Current(int index) const { return current_[Slot(index)]; }

    // Advances every running ramp by a sub-block of `frames` after taking the requests; `changed(index)` runs
    // for each parameter whose value moved. With `immediate` every requested ramp ends in this advance.
    // [audio, or any thread while the audio thread stays out]
    template <class Changed> void Advance(int frames, Changed&& changed, bool immediate = false) {
        TakeRequests(immediate);
        if (active_ <= 0) return;
        for (int i = 0; i < kParameterCount; ++i) {
            const std::size_t s = Slot(i);
            if (remaining_[s] <= 0) continue;
            if (remaining_[s] - frames > 1)
                current_[s] += static_cast<float>(frames) * step_[s];
            else
                current_[s] = goal_[s];
            remaining_[s] -= frames;
            changed(i);
        }
        active_ -= frames;
    }

private:
    static std::size_t Slot(int index) { return static_cast<std::size_t>(index); }
    void TakeRequests(bool immediate);

    std::array<std::atomic<float>, kParameterCount> target_{};
    std::array<std::atomic<bool>, kParameterCount> request_{};
    std::atomic<bool> anyRequest_{false};
    std::atomic<int> length_{4410};
    // The audio thread's.
    std::array<float, kParameterCount> current_{};
    std::array<float, kParameterCount> goal_{};
    std::array<float, kParameterCount> step_{};
    std::array<int, kParameterCount> remaining_{};
    int active_ = 0;
};

} // namespace quillon
