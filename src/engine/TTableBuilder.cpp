#include "engine/TTableBuilder.h"

#include <system_error>

namespace quillon {

TTableBuilder::TTableBuilder() : fft_(THarmonyFrame::kTableLength), work_(THarmonyFrame::kTableLength) {}

TTableBuilder::~TTableBuilder() {
    if (!helper_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    helper_.join();
}

std::shared_ptr<const THarmonyFrame::Tables> TTableBuilder::Build(const THarmonyFrame& frame) {
    std::unique_ptr<THarmonyFrame::Tables> tables = frame.PlanTables();
    if (tables->DistinctCount() >= kSplitFrom && StartHelper()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobFrame_ = &frame;
            jobTables_ = tables.get();
            ++jobNumber_;
        }
        wake_.notify_all();
        frame.FillTables(*tables, 0, 2, fft_, work_.data()); // even tables here, odd ones on the helper
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return doneNumber_ == jobNumber_; });
    } else {
        frame.FillTables(*tables, 0, 1, fft_, work_.data());
    }
    return std::shared_ptr<const THarmonyFrame::Tables>(std::move(tables));
}

bool TTableBuilder::StartHelper() {
    if (helper_.joinable()) return true;
    if (std::thread::hardware_concurrency() < 2) return false;
    try {
        helper_ = std::thread([this] { HelperLoop(); });
    } catch (const std::system_error&) {
        return false; // no thread to be had: build on the calling thread alone
    }
    return true;
}

void TTableBuilder::HelperLoop() {
    TFFTReal fft(THarmonyFrame::kTableLength);
    std::vector<float> work(THarmonyFrame::kTableLength);
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || jobNumber_ != seen; });
        if (stop_) return;
        seen = jobNumber_;
        const THarmonyFrame* frame = jobFrame_;
        THarmonyFrame::Tables* tables = jobTables_;
        lock.unlock();
        frame->FillTables(*tables, 1, 2, fft, work.data());
        lock.lock();
        doneNumber_ = seen;
        done_.notify_all();
    }
}

} // namespace quillon
