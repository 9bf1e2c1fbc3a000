// One WAV file read and analysed (AnalyzeWaveFile) on a worker thread of its own, for an owner that must
// not wait: the owner polls Finished() from its idle path and then takes the result. The worker touches
// nothing but the task's own state (a copy of the path, the stop flag, the result), so the plug-in and
// the form stay the owner's thread's alone.
//
// Destroying a task that is still working asks the analysis to stop and joins the worker, which ends at
// the analysis' next step (about a millisecond of work); a file still being read is read to its end first.
// Owner's thread only [gui]; the worker is not a GUI thread and draws nothing.
#pragma once

#include "analysis/AnalyzeWaveFile.h"

#include <atomic>
#include <string>
#include <thread>

namespace quillon {

class TAudioAnalysisTask {
public:
    // Starts reading and analysing the file at `path` in analyser `mode` (1 dynamic, 2 medium, 3 soft).
    // Where no thread can be started, the work is done before the constructor returns.
    TAudioAnalysisTask(std::string path, int mode);
    ~TAudioAnalysisTask();
    TAudioAnalysisTask(const TAudioAnalysisTask&) = delete;
    TAudioAnalysisTask& operator=(const TAudioAnalysisTask&) = delete;

    // True once the result is ready; never waits.
    bool Finished() const { return finished_.load(std::memory_order_acquire); }
    // The result once Finished() (joins the worker, which has ended); may be taken once.
    TWaveAnalysis TakeResult();

private:
    void Run();

    const std::string path_;
    const int mode_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    TWaveAnalysis result_; // the worker's until finished_, then the owner's
    std::thread worker_;   // last: it starts when everything it uses exists
};

} // namespace quillon
