// What the harmony model (the posting side: editor, program-switch worker) and the oscillator's renderer
// (the audio thread) share: frame lists and table slots, the edit queue that carries lists to the audio
// thread in posting order, and the queue that hands replaced lists and tables back to be freed on the
// posting side. The design note in TIFFTVoiceOsc.h tells how the two sides use them.
#pragma once

#include "engine/THarmonyFrame.h"
#include "engine/TSpscQueue.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace quillon {

struct THarmonyHandOver {
    static constexpr int kEditQueueSize = 1024;
    enum Command { kDeleteFrame = 0, kInsertFrame = 1, kSetFrameTime = 2 };

    // One frame's tables as both sides hold them. A rebuild only replaces the slot's pending tables, and a
    // rebuild that finds pending tables the audio thread has not taken yet frees them at once: however many
    // rebuilds arrive between two blocks, a slot holds its live and its pending tables, and those the audio
    // thread has handed back until the posting side collects them.
    struct TableSlot {
        // [audio] The tables voices read. Set by the posting side before the slot is first posted, then only by
        // ApplyEdits, which takes `pending` in its place.
        const THarmonyFrame::Tables* live = nullptr;
        // The newest tables posted and not yet taken; null when there are none.
        std::atomic<const THarmonyFrame::Tables*> pending{nullptr};
        // [gui] Owners of live, pending and handed-back tables; the last are released at collection.
        std::vector<std::shared_ptr<const THarmonyFrame::Tables>> owners;

        void Release(const THarmonyFrame::Tables* tables) {
            const auto it = std::find_if(owners.begin(), owners.end(), [&](const auto& o) { return o.get() == tables; });
            if (it != owners.end()) owners.erase(it);
        }
    };

    // A frame list as the audio thread reads it: per frame its time, its slot and the slot's live tables (the
    // audio thread fills `tables` in when it adopts the list and when it takes new tables). Lists refer to
    // slots, not tables, so that a list waiting in the queue holds no tables alive; the owners keep the slots
    // alive. Lists are made and freed on the posting side only.
    struct FrameList {
        struct Entry {
            float time;
            const THarmonyFrame::Tables* tables;
            TableSlot* slot;
        };
        std::vector<Entry> entries;
        std::vector<std::shared_ptr<TableSlot>> owners;
    };

    struct Edit {
        int command;
        int index;
        float time;
        FrameList* list;
    };
    // What the audio thread hands back to the posting side: a list it no longer reads, or tables of a slot
    // that it has replaced.
    struct Retired {
        FrameList* list;
        TableSlot* slot;
        const THarmonyFrame::Tables* tables;
    };

    TSpscQueue<Edit, kEditQueueSize> edits;
    TSpscQueue<Retired, 2 * kEditQueueSize> retired;
    std::atomic<FrameList*> overflow{nullptr}; // edits collapsed into one list while the queue is full
    std::atomic<bool> tablesPosted{false};     // a slot may hold pending tables
};

} // namespace quillon
