// One value that a writer thread replaces and the audio thread reads: the writer publishes finished,
// immutable copies; the audio thread takes the newest at a moment of its choosing (between blocks) and
// reads it until the next; copies it no longer reads go back to the writer, which frees them. So the audio
// thread never allocates, frees, locks or waits, and never sees a copy change.
//
// A copy published while the previous one is still unread replaces it and is freed at once (the reader
// never saw it), so however often the writer publishes, at most four copies exist: the one being read,
// one pending and up to two handed back. Two places for handed-back copies are enough because the writer
// collects them before each publication, and between two collections the reader can take at most two
// copies (the one pending at the collection and the one published after it).
//
// Threads: Publish, Collect and SetInitial on one writer thread at a time [gui] (writers on
// several threads serialise on a mutex of their own); TakeNewest and Current on the reading thread [audio].
#pragma once

#include "engine/TSpscQueue.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace quillon {

template <class T> class TPublished {
public:
    TPublished() = default;
    TPublished(const TPublished&) = delete;
    TPublished& operator=(const TPublished&) = delete;

    // The copy the reader starts with, before it can see this object. [gui]
    void SetInitial(std::shared_ptr<const T> copy) {
        current_ = copy.get();
        owners_.push_back(std::move(copy));
    }
    // Hands `copy` to the reader, freeing what it handed back and a copy it never took. [gui]
    void Publish(std::shared_ptr<const T> copy) {
        Collect();
        const T* raw = copy.get();
        owners_.push_back(std::move(copy));
        if (const T* unread = pending_.exchange(raw, std::memory_order_acq_rel)) Release(unread);
    }
    // Frees the copies the reader has handed back. [gui]
    void Collect() {
        const T* retired = nullptr;
        while (retired_.TryPop(retired))
            Release(retired);
    }
    // True while a published copy waits for the reader. [any]
    bool HasPending() const { return pending_.load(std::memory_order_acquire) != nullptr; }

    // Takes the newest published copy: true when Current() changed. The copy it replaces goes back to the
    // writer. [audio]
    bool TakeNewest() {
        if (!pending_.load(std::memory_order_relaxed) || retired_.Full()) return false;
        const T* newest = pending_.exchange(nullptr, std::memory_order_acq_rel);
        if (!newest) return false;
        if (current_) retired_.TryPush(current_);
        current_ = newest;
        return true;
    }
    // The copy being read; null before any. [audio]
    const T* Current() const { return current_; }

private:
    void Release(const T* copy) {
        const auto it = std::find_if(owners_.begin(), owners_.end(), [&](const auto& o) { return o.get() == copy; });
        if (it != owners_.end()) owners_.erase(it);
    }

    std::atomic<const T*> pending_{nullptr};
    TSpscQueue<const T*, 2> retired_;
    const T* current_ = nullptr;                   // the reader's
    std::vector<std::shared_ptr<const T>> owners_; // the writer's: current, pending and handed-back copies
};

} // namespace quillon
