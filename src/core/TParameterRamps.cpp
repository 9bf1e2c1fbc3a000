#include "core/TParameterRamps.h"

#include "core/ParameterTable.h"

#include <algorithm>

namespace quillon {

static_assert(TParameterRamps::kParameterCount == quillon::kParameterCount);

TParameterRamps::TParameterRamps() {
    for (auto& target : target_)
        target.store(0.0f, std::memory_order_relaxed);
}

void TParameterRamps::Request(int index, float target) {
    if (!ParameterTable::Valid(index)) return;
    target_[Slot(index)].store(target, std::memory_order_relaxed);
    request_[Slot(index)].store(true, std::memory_order_release);
    anyRequest_.store(true, std::memory_order_release);
}

void TParameterRamps::TakeRequests(bool immediate) {
    if (!anyRequest_.exchange(false, std::memory_order_acq_rel)) return;
    const int length = Length();
    for (int i = 0; i < kParameterCount; ++i) {
        const std::size_t s = Slot(i);
        if (!request_[s].exchange(false, std::memory_order_acq_rel)) continue;
        const float target = target_[s].load(std::memory_order_relaxed);
        goal_[s] = target;
        remaining_[s] = immediate ? 1 : (ParameterTable::Spec(i).ramp ? length : 1);
        step_[s] = (target - current_[s]) / static_cast<float>(length);
        active_ = immediate ? 1 : std::max(active_, length);
    }
}

} // namespace quillon
