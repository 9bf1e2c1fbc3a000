#include "engine/TIIRFrequencyTable.h"

#include <algorithm>
#include <cmath>

namespace quillon {

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
    for (std::uint32_t i = 0; i < size_; ++i) {
        table_[i] = static_cast<float>(std::cos(static_cast<double>(omega)) / std::sin(static_cast<double>(omega)));
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
