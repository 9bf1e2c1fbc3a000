#include "engine/NoteTable.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

std::array<double, NoteTable::kNoteCount> BuildFrequencies() {
    // Notes 0 … 11 as stored, rounded to ten decimals.
    constexpr double kLowest[12] = {8.1757989156,  8.661957218,   9.1770239974,  9.7227182413,
                                    10.3008611535, 10.9133822323, 11.5623257097, 12.2498573744,
                                    12.9782717994, 13.75,         14.5676175474, 15.4338531643};
    std::array<double, NoteTable::kNoteCount> table{};
    for (int n = 0; n < NoteTable::kNoteCount; ++n)
        table[static_cast<std::size_t>(n)] = n < 12 ? kLowest[n] : 440.0 * std::pow(2.0, (n - 69) / 12.0);
    return table;
}

} // namespace

double NoteTable::Frequency(int note) {
    return Frequencies()[static_cast<std::size_t>(std::clamp(note, 0, kNoteCount - 1))];
}

const std::array<double, NoteTable::kNoteCount>& NoteTable::Frequencies() {
    static const std::array<double, kNoteCount> table = BuildFrequencies();
    return table;
}

} // namespace quillon
