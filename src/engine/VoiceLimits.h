// Limits every per-voice table of the synthesizer is sized for [any].
#pragma once

namespace quillon {

// Voices the engine, the oscillator, the filter, the envelopes and the MIDI handler hold state for; the
// voice count parameter chooses 1 … kMaxVoices of them.
inline constexpr int kMaxVoices = 256;

} // namespace quillon
