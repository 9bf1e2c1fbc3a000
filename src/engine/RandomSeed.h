// Seeds for the random generators of one instance (the "random" harmony generator, the noise source). Each
// comes from the system's random source, so that two instances, or two loads of the plug-in by a host, do
// not make the same "random" harmony or noise; tests set fixed seeds through the owners' SetRandomSeed.
//
// Threads: [gui] — the random source may read a device; never called on the audio thread.
#pragma once

#include <cstdint>

namespace quillon {

// A 32-bit seed from std::random_device; where that fails, from the clock and a per-process counter.
std::uint32_t NewRandomSeed();

} // namespace quillon
