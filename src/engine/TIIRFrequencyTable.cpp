#include "engine/TIIRFrequencyTable.h"

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Highest angle π·f/fs an entry stands for: f = 0.49·fs. Beyond Nyquist cot(π·f/fs) turns negative (and
// farther up repeats), and every filter built on such a K diverges; below a rate of 40.8 kHz the 20 kHz top
// of the synthesizer's scale lies there. Entries above this angle hold its K, tan(0.01·π) ≈ 0.0314, so the
// cutoff stops just short of Nyquist. At 44.1 kHz and above no entry reaches it and the table is unchanged.
constexpr double kHighestOmega = 0.49 * 3.141592654;

} // namespace

TIIRFrequencyTable::TIIRFrequencyTable(std::uint32_t size, float sampleRate, float maximumFrequency,
                                       float minimumFrequency)
    : size_(std::max<std::uint32_t>(size, 3)), sampleRate_(sampleRate), minimumFrequency_(minimumFrequency),
      maximumFrequency_(maximumFrequency) {
    Build();
}

void TIIRFrequencyTable::SetSampleRate(float sampleRate) {
    sampleRate_ = sampleRate;
    Build();
}

void TIIRFrequencyTable::Build() {
    table_.assign(size_, 0.0f);
    float omega = static_cast<float>(static_cast<double>(minimumFrequency_) * 3.141592654 / sampleRate_);
    const double ratio = std::pow(static_cast<double>(maximumFrequency_) / minimumFrequency_, 1.0 / (size_ - 2));
    const float highestK = static_cast<float>(std::cos(kHighestOmega) / std::sin(kHighestOmega));
    for (std::uint32_t i = 0; i < size_; ++i) {
        const double w = omega;
        table_[i] = w < kHighestOmega ? static_cast<float>(std::cos(w) / std::sin(w)) : highestK;
        omega = static_cast<float>(omega * ratio);
    }
}

float TIIRFrequencyTable::Lookup(float x) const {
    const float last = static_cast<float>(size_ - 2);
    float p = x * last;
    if (!(p >= 0.0f)) // below the range, or NaN
        p = 0.0f;
    if (p > last) p = last;
    const std::uint32_t k = static_cast<std::uint32_t>(p);
    const float w = p - static_cast<float>(k);
    return (1.0f - w) * table_[k] + w * table_[k + 1];
}

} // namespace quillon
