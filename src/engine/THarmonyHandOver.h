// What the harmony model (the posting side: editor, program-switch worker) and the oscillator's renderer
// (the audio thread) share: frame lists and table slots, the edit queue that carries lists to the audio
// thread in posting order, and the queue that hands replaced lists and tables back to be freed on the
// posting side. The design note in TIFFTVoiceOsc.h tells how the two sides use them.
#pragma once

#include "engine/THarmonyFrame.h"
#include "engine/TPublished.h"
#include "engine/TSpscQueue.h"

#include <atomic>
#include <memory>
#include <vector>

namespace quillon {

struct THarmonyHandOver {
    static constexpr std::size_t kEditQueueSize = 1024;
    enum Command { kDeleteFrame = 0, kInsertFrame = 1, kSetFrameTime = 2 };

    // One frame's tables: the model publishes each rebuild's tables, the renderer takes the newest between
    // blocks, and replaced tables go back to the model to be freed. A rebuild that finds tables the renderer
    // has not taken yet frees them at once, so however many rebuilds arrive between two blocks, a frame
    // holds at most its live tables, one pending set and two handed back.
    using TableSlot = TPublished<THarmonyFrame::Tables>;

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
    TSpscQueue<Edit, kEditQueueSize> edits;
    TSpscQueue<FrameList*, 2 * kEditQueueSize> retired; // lists the audio thread no longer reads
    std::atomic<FrameList*> overflow{nullptr};          // edits collapsed into one list while the queue is full
    std::atomic<bool> tablesPosted{false};              // a slot may hold pending tables
};

} // namespace quillon
