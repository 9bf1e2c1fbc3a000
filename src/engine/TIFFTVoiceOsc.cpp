#include "engine/TIFFTVoiceOsc.h"

#include "engine/NoteTable.h"
#include "engine/RandomSeed.h"
#include "engine/SampleRateRange.h"
#include "files/THarmonyFileManager.h"
#include "engine/TTableBuilder.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>
#include <vector>

namespace quillon {

namespace {

enum Command { kDeleteFrame = 0, kInsertFrame = 1, kSetFrameTime = 2 };

constexpr float kSemitonesPerLn = 17.31234f; // 12/ln 2: semitones of a natural-log frequency ratio
constexpr float kEmptyBlock = 1e-10f;        // what a voice outputs while no frame is there
constexpr int kChunk = 64;                   // samples of crossfade weights worked out at a time

// Rounds to nearest (ties to even) and wraps into 32 bits, as the phase arithmetic needs.
std::uint32_t WrapRound(double x) {
    if (!(std::fabs(x) < 9.0e18)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(x)));
}

} // namespace

// One frame's tables as both sides hold them. A rebuild only replaces the slot's pending tables, and a
// rebuild that finds pending tables the audio thread has not taken yet frees them at once: however many
// rebuilds arrive between two blocks, a slot holds its live and its pending tables, and those the audio
// thread has handed back until the posting side collects them.
struct TIFFTVoiceOsc::TableSlot {
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
struct TIFFTVoiceOsc::FrameList {
    struct Entry {
        float time;
        const THarmonyFrame::Tables* tables;
        TableSlot* slot;
    };
    std::vector<Entry> entries;
    std::vector<std::shared_ptr<TableSlot>> owners;
};

struct TIFFTVoiceOsc::PostSide {
    struct Frame {
        THarmonyFrame harmonics;
        std::shared_ptr<const THarmonyFrame::Tables> tables; // the newest built
        std::shared_ptr<TableSlot> slot;
    };
    mutable std::mutex mutex;
    std::vector<std::unique_ptr<Frame>> model;
    TTableBuilder builder;
    std::mt19937 random{NewRandomSeed()}; // FillRandom's source

    Frame* At(int frame) {
        return frame >= 0 && frame < static_cast<int>(model.size()) ? model[static_cast<std::size_t>(frame)].get()
                                                                    : nullptr;
    }
};

// Construction ---------------------------------------------------------------------------------------

TIFFTVoiceOsc::TIFFTVoiceOsc(int voiceCount, float sampleRate)
    : sampleRate_(sampleRate), voices_(std::make_unique<Voice[]>(kMaxVoices)), post_(std::make_unique<PostSide>()) {
    for (std::size_t k = 0; k < pitchRatio_.size(); ++k)
        pitchRatio_[k] = static_cast<float>(std::exp2(static_cast<double>(k) / 96.0 - 2.0));
    const auto& frequency = NoteTable::Frequencies();
    int note = 0;
    for (std::size_t i = 0; i < noteFor_.size(); ++i) {
        const double f = static_cast<double>(i) / 2.0;
        while (note < NoteTable::kNoteCount && frequency[static_cast<std::size_t>(note)] < f)
            ++note;
        noteFor_[i] = static_cast<std::uint8_t>(std::min(note, NoteTable::kNoteCount - 1));
    }
    SetVoiceCount(voiceCount);
    SetUnisonCount(1);
}

void TIFFTVoiceOsc::SetVectorKernels(bool on) {
    reader_.SetVector(on);
}

TIFFTVoiceOsc::~TIFFTVoiceOsc() {
    // Nothing renders any more: every list still in flight is ours to free.
    Edit edit{};
    while (edits_.TryPop(edit))
        delete edit.list;
    delete overflow_.exchange(nullptr);
    Retired retired{};
    while (retired_.TryPop(retired))
        delete retired.list; // handed-back tables go with their slots
    delete current_;
}

// Settings -------------------------------------------------------------------------------------------

void TIFFTVoiceOsc::SetSampleRate(float rate) {
    if (!UsableSampleRate(rate)) return; // keep running at the previous rate
    sampleRate_ = rate;
}

void TIFFTVoiceOsc::SetVoiceCount(int count) {
    voiceCount_ = std::clamp(count, 1, kMaxVoices);
    for (int i = 0; i < voiceCount_; ++i) {
        voices_[static_cast<std::size_t>(i)].targetFrequency = 440.0f;
        voices_[static_cast<std::size_t>(i)].currentFrequency = 440.0f;
    }
    ResetAllVoices();
}

void TIFFTVoiceOsc::SetUnisonCount(int count) {
    unisonCount_ = std::clamp(count, 1, kMaxUnison);
    unisonGain_.fill(1.0f / static_cast<float>(unisonCount_));
    SetUnisonSpread(unisonSpread_);
    ResetAllVoices();
}

void TIFFTVoiceOsc::SetUnisonSpread(float spread) {
    unisonSpread_ = spread;
    unisonRatio_.fill(1.0f);
    if (unisonCount_ < 2) return;
    const double x = spread > 0.0f ? spread : 1.0;
    for (int i = 0; i < unisonCount_; ++i)
        unisonRatio_[static_cast<std::size_t>(i)] =
            static_cast<float>(1.0 / std::sqrt(x) * std::pow(x, static_cast<double>(i) / (unisonCount_ - 1)));
}

void TIFFTVoiceOsc::SetPhaseReset(bool on) {
    phaseReset_ = on;
    if (on) return;
    for (int v = 0; v < voiceCount_; ++v)
        for (int i = 0; i < unisonCount_; ++i)
            voices_[static_cast<std::size_t>(v)].phases[static_cast<std::size_t>(i)] = RandomPhase();
}

void TIFFTVoiceOsc::SetGlideEnabled(bool on) {
    glideEnabled_ = on;
}
void TIFFTVoiceOsc::SetGlideTime(float seconds) {
    glideTime_ = seconds;
}
void TIFFTVoiceOsc::SetLoopEnabled(bool on) {
    loopEnabled_ = on;
}
void TIFFTVoiceOsc::SetFrequencyFactor(float f) {
    frequencyFactor_ = f;
}
void TIFFTVoiceOsc::SetOscillatorGain(float gain) {
    oscillatorGain_ = gain;
}
void TIFFTVoiceOsc::SetGlideFromLastNote(bool on) {
    glideFromLastNote_ = on;
}

std::uint32_t TIFFTVoiceOsc::RandomPhase() {
    // xorshift64*: uniform, allocation-free, good enough for phases.
    randomState_ ^= randomState_ >> 12;
    randomState_ ^= randomState_ << 25;
    randomState_ ^= randomState_ >> 27;
    const std::uint64_t bits = randomState_ * 0x2545F4914F6CDD1Dull;
    const double r = static_cast<double>(bits >> 11) * 0x1.0p-53; // [0, 1)
    return static_cast<std::uint32_t>(std::nearbyint(r * 4294967295.0));
}

// Voices ---------------------------------------------------------------------------------------------

TIFFTVoiceOsc::Voice* TIFFTVoiceOsc::VoiceAt(int voice) {
    return voice >= 0 && voice < kMaxVoices ? &voices_[static_cast<std::size_t>(voice)] : nullptr;
}

const TIFFTVoiceOsc::Voice* TIFFTVoiceOsc::VoiceAt(int voice) const {
    return voice >= 0 && voice < kMaxVoices ? &voices_[static_cast<std::size_t>(voice)] : nullptr;
}

int TIFFTVoiceOsc::NoteFor(float frequency) const {
    if (frequency > 16383.0f) return 127;
    if (!(frequency > 0.0f)) return noteFor_[0];
    return noteFor_[static_cast<std::size_t>(std::nearbyint(2.0f * frequency))];
}

// Phase increment and table note of frequency f (before the fine tune).
void TIFFTVoiceOsc::UpdatePitch(Voice& v, float frequency) {
    const float f = frequency * v.pitchFactor * v.octaveFactor;
    v.increment = WrapRound(static_cast<double>(f) * 4294967296.0 / sampleRate_);
    v.tableNote = NoteFor(f * frequencyFactor_);
}

void TIFFTVoiceOsc::NoteStart(int voice, bool legato, float frequency) {
    Voice* v = VoiceAt(voice);
    if (!v) return;
    if (!legato) ResetVoice(voice);
    v->targetFrequency = frequency;
    UpdatePitch(*v, frequency);
    if (glideEnabled_) {
        if (glideFromLastNote_) v->currentFrequency = lastNoteFrequency_;
        if (glideTime_ > 0.0f && v->currentFrequency > 0.0f && frequency > 0.0f) {
            v->glideRate = static_cast<float>(
                std::exp2(std::log2(static_cast<double>(frequency) / v->currentFrequency) / sampleRate_ / glideTime_));
        } else {
            // No glide time: the voice is at its note at once.
            v->currentFrequency = frequency;
            v->glideRate = 0.0f;
            v->glideOffset = 0.0f;
        }
        lastNoteFrequency_ = frequency;
    } else {
        v->glideRate = 0.0f;
        v->glideOffset = 0.0f;
    }
}

void TIFFTVoiceOsc::SetOctaveFactor(int voice, float factor) {
    if (Voice* v = VoiceAt(voice)) {
        v->octaveFactor = factor;
        UpdatePitch(*v, v->targetFrequency);
    }
}

void TIFFTVoiceOsc::SetVoiceAmplitude(int voice, float amplitude) {
    if (Voice* v = VoiceAt(voice)) v->amplitude = 0.5f * amplitude;
}

void TIFFTVoiceOsc::SetTimeSpeed(int voice, float speed) {
    if (Voice* v = VoiceAt(voice)) v->timeIncrement = speed / sampleRate_;
}

void TIFFTVoiceOsc::SetPitchOffset(int voice, float semitones) {
    Voice* v = VoiceAt(voice);
    if (!v || semitones == v->lastPitchOffset) return;
    v->lastPitchOffset = semitones;
    const float s = semitones >= -24.0f ? std::min(semitones, 24.0f) : -24.0f; // NaN counts as −24
    const float x = 8.0f * s + 192.0f;
    const int k = static_cast<int>(x);
    const float w = x - static_cast<float>(k);
    v->pitchFactor =
        (1.0f - w) * pitchRatio_[static_cast<std::size_t>(k)] + w * pitchRatio_[static_cast<std::size_t>(k + 1)];
    UpdatePitch(*v, v->targetFrequency);
}

void TIFFTVoiceOsc::SetPitchModulation(int voice, float factor) {
    if (Voice* v = VoiceAt(voice)) v->pitchModulation = factor;
}

float TIFFTVoiceOsc::GlideOffset(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->glideOffset : 0.0f;
}

void TIFFTVoiceOsc::ResetVoice(int voice) {
    Voice* v = VoiceAt(voice);
    if (!v) return;
    if (phaseReset_) std::fill(v->phases.begin(), v->phases.begin() + unisonCount_, 0u);
    v->harmonyTime = 0.0f;
    v->segment = v->fromFrame = v->toFrame = 0;
    v->lastPitchOffset = 0.0f;
    v->pitchFactor = 1.0f;
    v->pitchModulation = 1.0f;
    v->amplitude = 0.5f;
    v->timeIncrement = 1.0f / sampleRate_;
    v->glideOffset = 0.0f;
}

void TIFFTVoiceOsc::ResetAllVoices() {
    for (int voice = 0; voice < voiceCount_; ++voice) {
        Voice& v = voices_[static_cast<std::size_t>(voice)];
        for (int i = 0; i < unisonCount_; ++i)
            v.phases[static_cast<std::size_t>(i)] = RandomPhase();
        ResetVoice(voice);
        v.octaveFactor = 1.0f;
    }
}

float TIFFTVoiceOsc::HarmonyTime(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->harmonyTime : 0.0f;
}
float TIFFTVoiceOsc::PitchFactor(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->pitchFactor : 0.0f;
}
std::uint32_t TIFFTVoiceOsc::PhaseIncrement(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->increment : 0u;
}
int TIFFTVoiceOsc::TableNote(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->tableNote : 0;
}
float TIFFTVoiceOsc::CurrentFrequency(int voice) const {
    const Voice* v = VoiceAt(voice);
    return v ? v->currentFrequency : 0.0f;
}
int TIFFTVoiceOsc::AppliedFrameCount() const {
    return current_ ? static_cast<int>(current_->entries.size()) : 0;
}

// Edits on the audio side ----------------------------------------------------------------------------

void TIFFTVoiceOsc::Adopt(FrameList* list) {
    if (current_) retired_.TryPush(Retired{current_, nullptr, nullptr}); // room was checked by the caller
    current_ = list;
    for (auto& entry : current_->entries)
        entry.tables = entry.slot->live;
}

void TIFFTVoiceOsc::TakeNewTables() {
    if (!current_) return;
    for (auto& entry : current_->entries) {
        TableSlot& slot = *entry.slot;
        if (!slot.pending.load(std::memory_order_relaxed)) continue;
        if (retired_.Full()) { // no room to hand the old tables back: the rest at the next block
            tablesPosted_.store(true, std::memory_order_relaxed);
            return;
        }
        if (const THarmonyFrame::Tables* tables = slot.pending.exchange(nullptr, std::memory_order_acq_rel)) {
            retired_.TryPush(Retired{nullptr, &slot, slot.live});
            slot.live = tables;
            entry.tables = tables;
        }
    }
}

void TIFFTVoiceOsc::ApplyEdit(const Edit& edit) {
    Adopt(edit.list);
    switch (edit.command) {
    case kDeleteFrame:
    case kInsertFrame:
        ResetAllVoices();
        break;
    case kSetFrameTime:
        for (int voice = 0; voice < voiceCount_; ++voice) {
            Voice& v = voices_[static_cast<std::size_t>(voice)];
            if (v.fromFrame == edit.index && v.harmonyTime < edit.time) v.harmonyTime = edit.time;
        }
        break;
    default:
        break;
    }
}

void TIFFTVoiceOsc::ApplyEdits() {
    if (busy_.exchange(true, std::memory_order_seq_cst)) return; // another thread is applying edits
    if (!rendering_.load(std::memory_order_seq_cst)) {
        bool adopted = false;
        while (!edits_.Empty() && !retired_.Full()) {
            const Edit edit = edits_.Front();
            edits_.Pop();
            ApplyEdit(edit);
            adopted = true;
        }
        // Edits that found the queue full follow everything queued before them.
        if (edits_.Empty() && !retired_.Full() && overflow_.load(std::memory_order_acquire)) {
            if (FrameList* list = overflow_.exchange(nullptr, std::memory_order_acq_rel)) {
                Adopt(list);
                ResetAllVoices();
                adopted = true;
            }
        }
        // Rebuilt frames: their new tables wait in their slots. A newly adopted list may hold slots whose
        // tables were posted before the list arrived.
        const bool posted = tablesPosted_.exchange(false, std::memory_order_acq_rel);
        if (posted || adopted) TakeNewTables();
    }
    busy_.store(false, std::memory_order_seq_cst);
}

// Rendering ------------------------------------------------------------------------------------------

void TIFFTVoiceOsc::Render(int voice, float* buffer, int n) {
    Voice* v = VoiceAt(voice);
    if (n <= 0 || !v) return;
    rendering_.store(true, std::memory_order_seq_cst);
    const FrameList* list = busy_.load(std::memory_order_seq_cst) ? nullptr : current_;
    if (!list || list->entries.empty()) {
        std::fill(buffer, buffer + n, kEmptyBlock);
        rendering_.store(false, std::memory_order_release);
        return;
    }

    // Glide towards the target, once per block.
    if (v->glideRate > 0.0f) {
        const float target = v->targetFrequency;
        float current = v->currentFrequency;
        if (target != current) {
            current = static_cast<float>(current * std::pow(static_cast<double>(v->glideRate), n));
            current = target > v->currentFrequency ? std::min(current, target) : std::max(current, target);
            v->currentFrequency = current;
            UpdatePitch(*v, current);
        }
        v->glideOffset = std::log(current / target) * kSemitonesPerLn;
    }

    // Frame indices may only point into the list the voice now reads.
    const int last = static_cast<int>(list->entries.size()) - 1;
    v->segment = std::clamp(v->segment, 0, last);
    v->fromFrame = std::clamp(v->fromFrame, 0, last);
    v->toFrame = std::clamp(v->toFrame, 0, last);

    if (v->harmonyTime > list->entries[static_cast<std::size_t>(last)].time)
        RenderSingle(*v, *list, buffer, n);
    else
        RenderCrossfade(*v, *list, buffer, n);
    Loop(*v, *list);
    rendering_.store(false, std::memory_order_release);
}

void TIFFTVoiceOsc::RenderSingle(Voice& v, const FrameList& list, float* buffer, int n) {
    const float* table = list.entries[static_cast<std::size_t>(v.toFrame)].tables->Table(v.tableNote);
    const float d = static_cast<float>(v.increment) * v.pitchModulation * frequencyFactor_;
    std::array<std::uint32_t, kMaxUnison> step;
    std::array<float, kMaxUnison> gain;
    for (int i = 0; i < unisonCount_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        step[u] = WrapRound(d * unisonRatio_[u]);
        gain[u] = unisonGain_[u] * oscillatorGain_ * v.amplitude;
    }
    reader_.ReadUnison(table, v.phases.data(), step.data(), gain.data(), unisonCount_, buffer, n);
    v.harmonyTime += static_cast<float>(n) * v.timeIncrement;
}

void TIFFTVoiceOsc::RenderCrossfade(Voice& v, const FrameList& list, float* buffer, int n) {
    const auto* frames = list.entries.data();
    const int count = static_cast<int>(list.entries.size());
    const float d = static_cast<float>(v.increment) * v.pitchModulation * frequencyFactor_;
    std::array<std::uint32_t, kMaxUnison> step;
    std::array<float, kMaxUnison> gain;
    for (int i = 0; i < unisonCount_; ++i) {
        const auto u = static_cast<std::size_t>(i);
        step[u] = WrapRound(unisonRatio_[u] * d);
        gain[u] = unisonGain_[u] * oscillatorGain_ * v.amplitude;
    }

    float times[kChunk];
    float weightFrom[kChunk];
    float weightTo[kChunk];
    float t = v.harmonyTime;
    int s = 0;
    while (s < n) {
        // A run of samples that read the same two tables.
        if (t >= frames[v.segment].time && v.segment + 1 < count) {
            ++v.segment;
            v.toFrame = v.segment;
            v.fromFrame = v.segment - 1;
        }
        const float* from = frames[v.fromFrame].tables->Table(v.tableNote);
        const float* to = frames[v.toFrame].tables->Table(v.tableNote);
        const float segmentTime = frames[v.segment].time;
        const float previousTime = v.segment > 0 ? frames[v.segment - 1].time : segmentTime;
        const bool advances = v.segment + 1 < count;
        int length = 0;
        do {
            times[length++] = t;
            t += v.timeIncrement;
        } while (s + length < n && length < kChunk && !(advances && t >= segmentTime));
        // The from-table has weight 0 from the segment's own time on, and always in segment 0.
        const bool fading = v.segment > 0 && (times[0] < segmentTime || times[length - 1] < segmentTime);
        if (fading)
            reader_.Weights(times, length, segmentTime, segmentTime - previousTime + 1e-10f, weightFrom, weightTo);

        float* out = buffer + s;
        if (fading)
            reader_.ReadBlendUnison(from, to, weightFrom, weightTo, v.phases.data(), step.data(), gain.data(),
                                    unisonCount_, out, length);
        else
            reader_.ReadUnison(to, v.phases.data(), step.data(), gain.data(), unisonCount_, out, length);
        s += length;
    }
    v.harmonyTime = t;
}

void TIFFTVoiceOsc::Loop(Voice& v, const FrameList& list) {
    const int count = static_cast<int>(list.entries.size());
    if (!loopEnabled_ || count < 2 || !(v.harmonyTime >= LoopEnd())) return;
    v.harmonyTime = LoopStart();
    while (v.segment > 1 && v.harmonyTime < list.entries[static_cast<std::size_t>(v.segment)].time)
        --v.segment;
    v.toFrame = v.segment;
    v.fromFrame = std::max(v.segment - 1, 0);
}

// Frames on the posting side -------------------------------------------------------------------------

void TIFFTVoiceOsc::CollectLocked() {
    // In handing-back order: a slot whose tables come back is still held by a list that comes back later.
    Retired retired{};
    while (retired_.TryPop(retired)) {
        if (retired.slot) retired.slot->Release(retired.tables);
        delete retired.list;
    }
}

void TIFFTVoiceOsc::CollectGarbage() {
    std::lock_guard<std::mutex> lock(post_->mutex);
    CollectLocked();
}

void TIFFTVoiceOsc::Post(int command, int index, float time) {
    CollectLocked();
    auto* list = new FrameList();
    list->entries.reserve(post_->model.size());
    list->owners.reserve(post_->model.size());
    for (const auto& frame : post_->model) {
        list->entries.push_back({frame->harmonics.Time(), nullptr, frame->slot.get()});
        list->owners.push_back(frame->slot);
    }
    // While a collapsed list waits, later edits join it so that the order is kept.
    if (overflow_.load(std::memory_order_acquire) || !edits_.TryPush(Edit{command, index, time, list}))
        delete overflow_.exchange(list, std::memory_order_acq_rel);
}

int TIFFTVoiceOsc::FrameCount() const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    return static_cast<int>(post_->model.size());
}

float TIFFTVoiceOsc::FrameTime(int frame) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.Time() : 0.0f;
}

std::size_t TIFFTVoiceOsc::FrameBytes(int frame) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? sizeof(PostSide::Frame) + f->tables->ByteSize() : 0;
}

bool TIFFTVoiceOsc::InsertFrame(int position, float time) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto& model = post_->model;
    if (position < 0 || position > static_cast<int>(model.size())) return false;
    auto frame = std::make_unique<PostSide::Frame>();
    frame->harmonics.SetTime(time);
    frame->tables = post_->builder.Build(frame->harmonics);
    frame->slot = std::make_shared<TableSlot>();
    frame->slot->live = frame->tables.get();
    frame->slot->owners.push_back(frame->tables);
    model.insert(model.begin() + position, std::move(frame));
    Post(kInsertFrame, position, time);
    return true;
}

bool TIFFTVoiceOsc::DeleteFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto& model = post_->model;
    if (frame < 0 || frame >= static_cast<int>(model.size())) return false;
    model.erase(model.begin() + frame);
    Post(kDeleteFrame, frame, 0.0f);
    return true;
}

void TIFFTVoiceOsc::DeleteAllFrames() {
    for (int frame = FrameCount() - 1; frame >= 0; --frame)
        DeleteFrame(frame);
}

bool TIFFTVoiceOsc::SetFrameTime(int frame, float time) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto* f = post_->At(frame);
    if (!f) return false;
    f->harmonics.SetTime(time);
    Post(kSetFrameTime, frame, time);
    return true;
}

void TIFFTVoiceOsc::RebuildLocked(int frame) {
    auto* f = post_->At(frame);
    if (!f) return;
    CollectLocked();
    f->tables = post_->builder.Build(f->harmonics);
    TableSlot& slot = *f->slot;
    slot.owners.push_back(f->tables);
    // Tables still pending were never read by the audio thread: the new ones take their place.
    if (const THarmonyFrame::Tables* replaced = slot.pending.exchange(f->tables.get(), std::memory_order_acq_rel))
        slot.Release(replaced);
    tablesPosted_.store(true, std::memory_order_release);
}

void TIFFTVoiceOsc::RebuildFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    RebuildLocked(frame);
}

void TIFFTVoiceOsc::ResetFrame(int frame) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.Silence();
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::SetHarmonicLevel(int frame, int harmonic, int level) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) f->harmonics.SetLevelByte(harmonic, level);
}

void TIFFTVoiceOsc::SetHarmonicPhase(int frame, int harmonic, int phase) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) f->harmonics.SetPhaseByte(harmonic, phase);
}

int TIFFTVoiceOsc::GetHarmonicLevel(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.LevelByte(harmonic) : 255;
}

int TIFFTVoiceOsc::GetHarmonicPhase(int frame, int harmonic) const {
    std::lock_guard<std::mutex> lock(post_->mutex);
    const auto* f = post_->At(frame);
    return f ? f->harmonics.PhaseByte(harmonic) : 128;
}

void TIFFTVoiceOsc::FillSaw(int frame, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillSaw(count);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillPulse(int frame, float widthPercent, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillPulse(count, widthPercent);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillTriangle(int frame, float peakPercent, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillTriangle(count, peakPercent);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::FillRandom(int frame, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.FillRandom(count, post_->random);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::SetRandomSeed(std::uint32_t seed) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    post_->random.seed(seed);
}

void TIFFTVoiceOsc::ClearHarmonics(int frame, int last) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.ClearHarmonics(last);
        RebuildLocked(frame);
    }
}

void TIFFTVoiceOsc::TiltHarmonics(int frame, float amount, int count) {
    std::lock_guard<std::mutex> lock(post_->mutex);
    if (auto* f = post_->At(frame)) {
        f->harmonics.TiltHarmonics(count, amount);
        RebuildLocked(frame);
    }
}

Status TIFFTVoiceOsc::LoadHarmonyFile(const std::string& path, int frame) {
    THarmonyFileManager file;
    if (Status status = file.Load(path); !status.Ok()) return status;
    std::lock_guard<std::mutex> lock(post_->mutex);
    auto* f = post_->At(frame);
    if (!f) return Status::Failure(StatusCode::kOutOfRange, "");
    for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
        f->harmonics.SetLevelByte(j, file.levels[static_cast<std::size_t>(j)]);
        f->harmonics.SetPhaseByte(j, file.phases[static_cast<std::size_t>(j)]);
    }
    RebuildLocked(frame);
    return Status::Success();
}

Status TIFFTVoiceOsc::SaveHarmonyFile(const std::string& path, int frame) {
    THarmonyFileManager file;
    {
        std::lock_guard<std::mutex> lock(post_->mutex);
        const auto* f = post_->At(frame);
        if (!f) return Status::Failure(StatusCode::kOutOfRange, "");
        for (int j = 0; j < THarmonyFileManager::kHarmonicCount; ++j) {
            file.levels[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(f->harmonics.LevelByte(j));
            file.phases[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(f->harmonics.PhaseByte(j));
        }
    }
    return file.Save(path);
}

} // namespace quillon
