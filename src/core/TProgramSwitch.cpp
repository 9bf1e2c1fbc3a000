#include "core/TProgramSwitch.h"

#include "platform/Thread.h"

namespace quillon {

TProgramSwitch::TProgramSwitch(std::function<void(int slot)> prepare) : prepare_(std::move(prepare)) {
    worker_ = std::thread([this] { WorkerLoop(); });
}

TProgramSwitch::~TProgramSwitch() {
    Stop();
}

void TProgramSwitch::Stop() {
    if (!worker_.joinable()) return;
    quit_.store(true, std::memory_order_release);
    request_.store(-2, std::memory_order_release);
    request_.notify_one();
    worker_.join();
}

void TProgramSwitch::Start(int slot, bool offline) {
    needsApply_.store(false, std::memory_order_release);
    pending_.store(true, std::memory_order_release);
    if (offline) {
        prepare_(slot);
        return;
    }
    prepared_.store(false, std::memory_order_relaxed);
    request_.store(slot, std::memory_order_release);
    request_.notify_one();
}

bool TProgramSwitch::TakePrepared() {
    return Pending() && prepared_.exchange(false, std::memory_order_acq_rel);
}

void TProgramSwitch::WorkerLoop() {
    platform::LowerCurrentThreadPriority();
    for (;;) {
        request_.wait(-1, std::memory_order_acquire);
        if (quit_.load(std::memory_order_acquire)) return;
        const int slot = request_.exchange(-1, std::memory_order_acq_rel);
        if (slot < 0) continue;
        prepare_(slot);
        prepared_.store(true, std::memory_order_release);
    }
}

} // namespace quillon
