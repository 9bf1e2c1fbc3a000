#include "engine/THarmonyModel.h"

#include "engine/RandomSeed.h"
#include "files/THarmonyFileManager.h"

#include <algorithm>

namespace quillon {

THarmonyModel::THarmonyModel(THarmonyHandOver& handOver) : handOver_(handOver), random_(NewRandomSeed()) {}

THarmonyModel::~THarmonyModel() = default;

THarmonyModel::Frame* THarmonyModel::At(int frame) {
    return frame >= 0 && frame < static_cast<int>(frames_.size()) ? frames_[static_cast<std::size_t>(frame)].get()
                                                                  : nullptr;
}

const THarmonyModel::Frame* THarmonyModel::At(int frame) const {
    return const_cast<THarmonyModel*>(this)->At(frame);
}

// Frames -------------------------------------------------------------------------

void THarmonyModel::CollectLocked() {
    // Tables of frames deleted since go with their slots, when the last list that holds one is freed.
    for (const auto& frame : frames_)
        frame->slot->Collect();
    THarmonyHandOver::FrameList* list = nullptr;
    while (handOver_.retired.TryPop(list))
        delete list;
}

void THarmonyModel::CollectGarbage() {
    std::lock_guard<std::mutex> lock(mutex_);
    CollectLocked();
}

void THarmonyModel::Post(int command, int index, float time) {
    CollectLocked();
    auto* list = new THarmonyHandOver::FrameList();
    list->entries.reserve(frames_.size());
    list->owners.reserve(frames_.size());
    for (const auto& frame : frames_) {
        list->entries.push_back({frame->harmonics.Time(), nullptr, frame->slot.get()});
        list->owners.push_back(frame->slot);
    }
    // While a collapsed list waits, later edits join it so that the order is kept.
    if (handOver_.overflow.load(std::memory_order_acquire) ||
        !handOver_.edits.TryPush(THarmonyHandOver::Edit{command, index, time, list}))
        delete handOver_.overflow.exchange(list, std::memory_order_acq_rel);
}

int THarmonyModel::FrameCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(frames_.size());
}

float THarmonyModel::FrameTime(int frame) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto* f = At(frame);
    return f ? f->harmonics.Time() : 0.0f;
}

std::size_t THarmonyModel::FrameBytes(int frame) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto* f = At(frame);
    return f ? sizeof(Frame) + f->tables->ByteSize() : 0;
}

bool THarmonyModel::InsertFrame(int position, float time) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& model = frames_;
    if (position < 0 || position > static_cast<int>(model.size())) return false;
    auto frame = std::make_unique<Frame>();
    frame->harmonics.SetTime(time);
    frame->tables = builder_.Build(frame->harmonics);
    frame->slot = std::make_shared<THarmonyHandOver::TableSlot>();
    frame->slot->SetInitial(frame->tables);
    model.insert(model.begin() + position, std::move(frame));
    Post(THarmonyHandOver::kInsertFrame, position, time);
    return true;
}

bool THarmonyModel::DeleteFrame(int frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& model = frames_;
    if (frame < 0 || frame >= static_cast<int>(model.size())) return false;
    model.erase(model.begin() + frame);
    Post(THarmonyHandOver::kDeleteFrame, frame, 0.0f);
    return true;
}

void THarmonyModel::DeleteAllFrames() {
    for (int frame = FrameCount() - 1; frame >= 0; --frame)
        DeleteFrame(frame);
}

bool THarmonyModel::SetFrameTime(int frame, float time) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* f = At(frame);
    if (!f) return false;
    f->harmonics.SetTime(time);
    Post(THarmonyHandOver::kSetFrameTime, frame, time);
    return true;
}

void THarmonyModel::RebuildLocked(int frame) {
    auto* f = At(frame);
    if (!f) return;
    CollectLocked();
    f->tables = builder_.Build(f->harmonics);
    f->slot->Publish(f->tables);
    handOver_.tablesPosted.store(true, std::memory_order_release);
}

void THarmonyModel::RebuildFrame(int frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    RebuildLocked(frame);
}

void THarmonyModel::ResetFrame(int frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.Silence();
        RebuildLocked(frame);
    }
}

void THarmonyModel::SetHarmonicLevel(int frame, int harmonic, int level) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) f->harmonics.SetLevelByte(harmonic, level);
}

void THarmonyModel::SetHarmonicPhase(int frame, int harmonic, int phase) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) f->harmonics.SetPhaseByte(harmonic, phase);
}

int THarmonyModel::GetHarmonicLevel(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto* f = At(frame);
    return f ? f->harmonics.LevelByte(harmonic) : 255;
}

int THarmonyModel::GetHarmonicPhase(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto* f = At(frame);
    return f ? f->harmonics.PhaseByte(harmonic) : 128;
}

void THarmonyModel::FillSaw(int frame, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.FillSaw(count);
        RebuildLocked(frame);
    }
}

void THarmonyModel::FillPulse(int frame, float widthPercent, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.FillPulse(count, widthPercent);
        RebuildLocked(frame);
    }
}

void THarmonyModel::FillTriangle(int frame, float peakPercent, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.FillTriangle(count, peakPercent);
        RebuildLocked(frame);
    }
}

void THarmonyModel::FillRandom(int frame, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.FillRandom(count, random_);
        RebuildLocked(frame);
    }
}

bool THarmonyModel::FillShape(int frame, int shape) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* f = At(frame);
    if (!f || !f->harmonics.FillShape(shape, kDefaultHarmonics, random_)) return false;
    RebuildLocked(frame);
    return true;
}

void THarmonyModel::SetRandomSeed(std::uint32_t seed) {
    std::lock_guard<std::mutex> lock(mutex_);
    random_.seed(seed);
}

void THarmonyModel::ClearHarmonics(int frame, int last) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.ClearHarmonics(last);
        RebuildLocked(frame);
    }
}

void THarmonyModel::TiltHarmonics(int frame, float amount, int count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto* f = At(frame)) {
        f->harmonics.TiltHarmonics(count, amount);
        RebuildLocked(frame);
    }
}

Status THarmonyModel::LoadHarmonyFile(const std::string& path, int frame) {
    THarmonyFileManager file;
    if (Status status = file.Load(path); !status.Ok()) return status;
    std::lock_guard<std::mutex> lock(mutex_);
    auto* f = At(frame);
    if (!f) return Status::Failure(StatusCode::kOutOfRange, "");
    for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
        f->harmonics.SetLevelByte(j, file.levels[static_cast<std::size_t>(j)]);
        f->harmonics.SetPhaseByte(j, file.phases[static_cast<std::size_t>(j)]);
    }
    RebuildLocked(frame);
    return Status::Success();
}

Status THarmonyModel::SaveHarmonyFile(const std::string& path, int frame) {
    THarmonyFileManager file;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto* f = At(frame);
        if (!f) return Status::Failure(StatusCode::kOutOfRange, "");
        for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
            file.levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(f->harmonics.LevelByte(j));
            file.phases[static_cast<std::size_t>(j)] =
                static_cast<std::uint8_t>(std::clamp(f->harmonics.PhaseByte(j), 0, 255));
        }
    }
    return file.Save(path);
}

} // namespace quillon
