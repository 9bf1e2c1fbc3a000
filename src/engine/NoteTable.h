// Equal-tempered frequencies of the 128 MIDI notes, 440·2^((n − 69)/12) Hz in double precision (note 69 is
// 440 Hz). The twelve lowest notes carry the frequencies rounded to ten decimals, as every table of the
// synthesizer uses them: the voice start, the oscillator's note lookup and the band limits of the wavetables
// all read this one table.
//
// Threads: the table is filled on first use and never changes afterwards [any].
#pragma once

#include <array>

namespace quillon {

class NoteTable {
public:
    static constexpr int kNoteCount = 128;

    // Frequency of MIDI note n (0 … 127) in Hz; notes outside the range are clamped into it.
    static double Frequency(int note);
    static const std::array<double, kNoteCount>& Frequencies();
};

} // namespace quillon
