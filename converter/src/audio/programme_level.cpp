#include "audio/programme_level.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace conv {
namespace {

constexpr int kBlockSamples = 3200;  // 400 ms at 8000 Hz
constexpr double kAbsoluteGate = -70;
constexpr double kRelativeGate = -10;

double decibelsOf(double energy) { return 10 * std::log10(energy); }

}  // namespace

void ProgrammeLevel::take(std::span<const float> samples)
{
    for (const double sample : samples) {
        blockEnergy_ += sample * sample;
        if (++blockSamples_ < kBlockSamples)
            continue;
        const double mean = blockEnergy_ / kBlockSamples;
        const double level = decibelsOf(mean);
        if (level > kAbsoluteGate) {
            const int bin = std::clamp(static_cast<int>(level - kAbsoluteGate), 0, kBins - 1);
            energy_[static_cast<std::size_t>(bin)] += mean;
            ++blocks_[static_cast<std::size_t>(bin)];
        }
        blockEnergy_ = 0;
        blockSamples_ = 0;
    }
}

double ProgrammeLevel::decibels() const
{
    const auto meanFrom = [this](int firstBin) {
        double energy = 0;
        std::int64_t blocks = 0;
        for (int bin = std::max(firstBin, 0); bin < kBins; ++bin) {
            energy += energy_[static_cast<std::size_t>(bin)];
            blocks += blocks_[static_cast<std::size_t>(bin)];
        }
        return blocks ? decibelsOf(energy / static_cast<double>(blocks)) : -std::numeric_limits<double>::infinity();
    };
    const double ungated = meanFrom(0);
    if (std::isinf(ungated))
        return ungated;
    return meanFrom(static_cast<int>(std::floor(ungated + kRelativeGate - kAbsoluteGate)));
}

}  // namespace conv
