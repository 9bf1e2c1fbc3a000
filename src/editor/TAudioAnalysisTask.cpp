#include "editor/TAudioAnalysisTask.h"

#include <system_error>
#include <utility>

namespace quillon {

TAudioAnalysisTask::TAudioAnalysisTask(std::string path, int mode) : path_(std::move(path)), mode_(mode) {
    try {
        worker_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Run(); // no thread to be had: the analysis is done here, late rather than never
    }
}

TAudioAnalysisTask::~TAudioAnalysisTask() {
    stop_.store(true, std::memory_order_relaxed);
    if (worker_.joinable()) worker_.join();
}

void TAudioAnalysisTask::Run() {
    TWaveAnalysis result;
    try {
        result = AnalyzeWaveFile(path_, mode_, &stop_);
    } catch (...) {
        result = TWaveAnalysis{}; // nothing may leave the thread: whatever went wrong, nothing was found
    }
    result_ = std::move(result);
    finished_.store(true, std::memory_order_release);
}

TWaveAnalysis TAudioAnalysisTask::TakeResult() {
    if (worker_.joinable()) worker_.join();
    return std::move(result_);
}

} // namespace quillon
