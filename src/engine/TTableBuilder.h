// Builds the 128 wavetables of harmony frames on the calling thread and, for frames with many distinct
// tables, on one helper thread as well (each with its own transform), so that a program switch builds its
// harmony on both cores. The helper thread starts with the first such frame and ends with the builder.
//
// Threads: one thread builds at a time [gui]; it allocates and waits for the helper.
#pragma once

#include "engine/TFFTReal.h"
#include "engine/THarmonyFrame.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillon {

class TTableBuilder {
public:
    TTableBuilder();
    ~TTableBuilder();
    TTableBuilder(const TTableBuilder&) = delete;
    TTableBuilder& operator=(const TTableBuilder&) = delete;

    std::shared_ptr<const THarmonyFrame::Tables> Build(const THarmonyFrame& frame);

private:
    static constexpr int kSplitFrom = 8; // tables; below this a hand-over costs more than it saves

    bool StartHelper();
    void HelperLoop();

    TFFTReal fft_;
    std::vector<float> work_;
    std::thread helper_;
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    const THarmonyFrame* jobFrame_ = nullptr;
    THarmonyFrame::Tables* jobTables_ = nullptr;
    std::uint64_t jobNumber_ = 0, doneNumber_ = 0;
    bool stop_ = false;
};

} // namespace quillon
