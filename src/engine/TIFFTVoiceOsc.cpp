#include "engine/TIFFTVoiceOsc.h"

#include "engine/NoteTable.h"
#include "engine/SampleRateRange.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace quillon {

namespace {

constexpr float kSemitonesPerLn = 17.31234f; // 12/ln 2: semitones of a natural-log frequency ratio
constexpr float kEmptyBlock = 1e-10f;        // what a voice outputs while no frame is there
constexpr int kChunk = 64;                   // samples of crossfade weights worked out at a time

// Rounds to nearest (ties to even) and wraps into 32 bits, as the phase arithmetic needs.
std::uint32_t WrapRound(double x) {
    if (!(std::fabs(x) < 9.0e18)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(x)));
}

} // namespace

// Construction ---------------------------------------------------------------------------------------

TIFFTVoiceOsc::TIFFTVoiceOsc(int voiceCount, float sampleRate)
    : sampleRate_(sampleRate), voices_(std::make_unique<Voice[]>(kMaxVoices)),
      model_(std::make_unique<THarmonyModel>(handOver_)) {
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
    while (handOver_.edits.TryPop(edit))
        delete edit.list;
    delete handOver_.overflow.exchange(nullptr);
    FrameList* retired = nullptr;
    while (handOver_.retired.TryPop(retired))
        delete retired; // handed-back tables go with their slots
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
        (1.0f - w) * pitchRatio_[static_cast<std::size_t>(k)] + w * pitchRatio_[static_cast<std::size_t>(k) + 1];
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
    if (current_) handOver_.retired.TryPush(current_); // room was checked by the caller
    current_ = list;
    for (auto& entry : current_->entries)
        entry.tables = entry.slot->Current();
}

void TIFFTVoiceOsc::TakeNewTables() {
    if (!current_) return;
    for (auto& entry : current_->entries) {
        THarmonyHandOver::TableSlot& slot = *entry.slot;
        if (slot.TakeNewest())
            entry.tables = slot.Current();
        else if (slot.HasPending()) // its old tables are not collected yet: again at the next block
            handOver_.tablesPosted.store(true, std::memory_order_relaxed);
    }
}

void TIFFTVoiceOsc::ApplyEdit(const Edit& edit) {
    Adopt(edit.list);
    switch (edit.command) {
    case THarmonyHandOver::kDeleteFrame:
    case THarmonyHandOver::kInsertFrame:
        ResetAllVoices();
        break;
    case THarmonyHandOver::kSetFrameTime:
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
        while (!handOver_.edits.Empty() && !handOver_.retired.Full()) {
            const Edit edit = handOver_.edits.Front();
            handOver_.edits.Pop();
            ApplyEdit(edit);
            adopted = true;
        }
        // Edits that found the queue full follow everything queued before them.
        if (handOver_.edits.Empty() && !handOver_.retired.Full() &&
            handOver_.overflow.load(std::memory_order_acquire)) {
            if (FrameList* list = handOver_.overflow.exchange(nullptr, std::memory_order_acq_rel)) {
                Adopt(list);
                ResetAllVoices();
                adopted = true;
            }
        }
        // Rebuilt frames: their new tables wait in their slots. A newly adopted list may hold slots whose
        // tables were posted before the list arrived.
        const bool posted = handOver_.tablesPosted.exchange(false, std::memory_order_acq_rel);
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

} // namespace quillon
