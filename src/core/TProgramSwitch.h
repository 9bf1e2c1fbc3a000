// The program switch's coordination: the request flag, the pending flag and the program-change worker, a
// thread one step below normal priority that lives as long as the plug-in and prepares one program at a
// time. The plug-in asks for a switch from any thread (Request); the audio thread starts it where it
// finds the request (Start), in real time on the worker and offline at once, and finishes it between two
// blocks once the worker reports (TakePrepared, then End). No lock is taken here; the preparation itself
// holds whatever the plug-in's `prepare` takes.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace quillon {

class TProgramSwitch {
public:
    // `prepare(slot)` does the heavy part of a switch: on the worker, or on the audio thread offline.
    explicit TProgramSwitch(std::function<void(int slot)> prepare);
    ~TProgramSwitch(); // Stop()
    TProgramSwitch(const TProgramSwitch&) = delete;
    TProgramSwitch& operator=(const TProgramSwitch&) = delete;

    // Asks for the current program to reach the engine at the next chance. [any]
    void Request() { needsApply_.store(true, std::memory_order_release); }
    bool NeedsApply() const { return needsApply_.load(std::memory_order_acquire); } // [any]
    bool Pending() const { return pending_.load(std::memory_order_acquire); }       // [any]
    // True when a request waits and no switch is pending: the moment to Start. [audio]
    bool Due() const { return NeedsApply() && !Pending(); }
    // Starts the switch to `slot`: the request is taken and the switch is pending. Offline the preparation
    // runs now and the caller finishes the switch at once; otherwise the worker prepares. [audio]
    void Start(int slot, bool offline);
    // True once when the worker has prepared the pending switch; the caller then finishes it and calls
    // End. [audio]
    bool TakePrepared();
    // The switch is over. [audio]
    void End() { pending_.store(false, std::memory_order_release); }
    // Ends the worker, waiting for a preparation in progress. Owners call it before they free what
    // `prepare` uses. [gui]
    void Stop();

private:
    void WorkerLoop();

    std::function<void(int)> prepare_;
    std::atomic<bool> needsApply_{true};
    std::atomic<bool> pending_{false};
    std::atomic<int> request_{-1}; // slot for the worker to prepare, −1 for none, −2 to quit
    std::atomic<bool> prepared_{false};
    std::atomic<bool> quit_{false};
    std::thread worker_;
};

} // namespace quillon
