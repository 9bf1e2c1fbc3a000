// Keeps the MIDI assignment file in step with the MIDI handler's controller table, off the audio thread.
//
// Design note. MIDI learn binds and unbinds controllers on the audio thread, where controller events are
// dispatched; the handler changes its table in memory at once (the binding acts immediately) and raises a
// flag (TMidiHandler::TakeAssignmentsChanged). This writer takes the flag and writes the file on another
// thread: a small thread of its own that looks every 250 ms, and the editor's idle and close calls, which
// write without waiting for it. A write that fails leaves the binding in memory and keeps the write due: it
// is tried again at the next change, every 5 s, when the editor closes and when the writer goes. The first
// failure of a run of failures is reported once through the report function.
//
// Threads: the operations run on the host's GUI thread [gui] and on the writer's own thread; they are
// serialised by one mutex, which the audio thread never sees. The audio thread only raises the handler's
// flag.
#pragma once

#include "files/TMidiLearnFileManager.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <thread>

namespace quillon {

class TMidiHandler;

class TMidiAssignmentWriter {
public:
    using Report = std::function<void(const std::string&)>;
    static constexpr std::chrono::milliseconds kPollInterval{250};
    static constexpr std::chrono::milliseconds kRetryInterval{5000};

    // `file` and `handler` outlive the writer (or the handler is replaced with SetHandler first). `report`
    // receives the text of a write failure, on the thread that met it.
    TMidiAssignmentWriter(const TMidiLearnFileManager& file, TMidiHandler& handler, Report report);
    // Stops the thread, then makes a last attempt at a due write.
    ~TMidiAssignmentWriter();
    TMidiAssignmentWriter(const TMidiAssignmentWriter&) = delete;
    TMidiAssignmentWriter& operator=(const TMidiAssignmentWriter&) = delete;

    // Starts the thread that writes due changes by itself. [gui]
    void Start();
    // Hands the table over to another handler, whose table is written from now on (the synthesizer installs
    // its own handler while it is constructed). The new handler takes the old one's bindings. [gui]
    void SetHandler(TMidiHandler& handler);
    // Writes the file now if a write is due. With `wait` false it gives up at once when another thread is
    // writing. False when a due write failed or was not made. [gui]
    bool Flush(bool wait = true);
    // Makes `table` the handler's bindings (learning off, nothing armed) as read from the file: no write is
    // due afterwards, and changes made before it are dropped. [gui]
    void Replace(std::span<const int, TMidiLearnFileManager::kControllerCount> table);
    // A change has not reached the file yet. [gui]
    bool WriteDue();

private:
    bool FlushLocked(bool retryNow);
    void Run();

    const TMidiLearnFileManager& file_;
    TMidiHandler* handler_;
    Report report_;
    std::mutex mutex_; // guards everything below and the file
    std::condition_variable wake_;
    bool due_ = false;     // a change has not been written
    bool failing_ = false; // the last attempt failed (and was reported)
    std::chrono::steady_clock::time_point retryAt_{};
    bool quit_ = false;
    std::thread thread_;
};

} // namespace quillon
