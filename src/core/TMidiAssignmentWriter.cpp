#include "core/TMidiAssignmentWriter.h"

#include "midi/TMidiHandler.h"

namespace quillon {

TMidiAssignmentWriter::TMidiAssignmentWriter(const TMidiLearnFileManager& file, TMidiHandler& handler, Report report)
    : file_(file), handler_(&handler), report_(std::move(report)) {}

TMidiAssignmentWriter::~TMidiAssignmentWriter() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    FlushLocked(true);
}

void TMidiAssignmentWriter::Start() {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable() && !quit_) thread_ = std::thread([this] { Run(); });
}

void TMidiAssignmentWriter::SetHandler(TMidiHandler& handler) {
    std::lock_guard lock(mutex_);
    if (handler_->TakeAssignmentsChanged()) due_ = true;
    const TMidiLearnFileManager::Table table = handler_->Assignments();
    handler.SetAssignments(table);
    handler.TakeAssignmentsChanged();
    handler_ = &handler;
}

bool TMidiAssignmentWriter::Flush(bool wait) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (wait)
        lock.lock();
    else if (!lock.try_lock())
        return false;
    return FlushLocked(true);
}

void TMidiAssignmentWriter::Replace(std::span<const int, TMidiLearnFileManager::kControllerCount> table) {
    std::lock_guard lock(mutex_);
    handler_->SetAssignments(table);
    handler_->TakeAssignmentsChanged();
    due_ = false;
    failing_ = false;
}

bool TMidiAssignmentWriter::WriteDue() {
    std::lock_guard lock(mutex_);
    if (handler_->TakeAssignmentsChanged()) due_ = true;
    return due_;
}

bool TMidiAssignmentWriter::FlushLocked(bool retryNow) {
    const bool changed = handler_->TakeAssignmentsChanged();
    if (changed) due_ = true;
    if (!due_) return true;
    // After a failure the thread waits for a new change or the retry time before it tries again.
    if (!retryNow && failing_ && !changed && std::chrono::steady_clock::now() < retryAt_) return false;
    // The table is taken after the flag: a change that lands meanwhile raises the flag again and is written
    // next time, possibly twice, never not at all.
    const TMidiLearnFileManager::Table table = handler_->Assignments();
    const Status status = file_.WriteAssignments(table);
    if (status.Ok()) {
        due_ = false;
        failing_ = false;
        return true;
    }
    retryAt_ = std::chrono::steady_clock::now() + kRetryInterval;
    if (!failing_ && report_)
        report_("The Midi Assignment File could not be written (" + status.message +
                "). The new assignments work until the plug-in is closed.");
    failing_ = true;
    return false;
}

void TMidiAssignmentWriter::Run() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        wake_.wait_for(lock, kPollInterval, [this] { return quit_; });
        if (!quit_) FlushLocked(false);
    }
}

} // namespace quillon
