// Fuzzes the Standard MIDI File reader on the bytes directly. A parsed file must hold channel messages in
// time order at finite, non-negative times within its length, and a tempo map that starts at 0 s.
#include "FuzzSupport.h"

#include "hostkit/TMidiFile.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillon::TMidiFile file;
    if (!file.Parse(std::span<const std::uint8_t>(data, size))) {
        if (file.Error().empty() || !file.Events().empty()) std::abort();
        return 0;
    }
    double previous = 0.0;
    for (const auto& event : file.Events()) {
        if (!std::isfinite(event.seconds) || event.seconds < previous || event.status < 0x80 || event.status > 0xEF)
            std::abort();
        previous = event.seconds;
    }
    if (!std::isfinite(file.Length()) || file.Length() < previous) std::abort();
    if (file.TempoMap().empty() || file.TempoMap().front().seconds != 0.0) std::abort();
    (void)file.TempoAt(previous);
    (void)file.QuarterNotesAt(previous);
    return 0;
}
