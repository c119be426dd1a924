// How loud the sound has been so far, gated as loudness meters gate it. Within audio/ only.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace conv {

// The level of the 8000 Hz mono sound so far, in dB below full scale, as a
// loudness meter integrates it: over 400 ms blocks, leaving out blocks below
// -70 dB and then those more than 10 dB below the mean of the rest, so pauses
// do not pull it down. Unweighted, so it reads within a few dB of LUFS.
class ProgrammeLevel {
public:
    void take(std::span<const float> samples);
    // -inf while no block is above the -70 dB gate.
    double decibels() const;

private:
    static constexpr int kBins = 80;  // 1 dB each, -70 to +10 dB
    std::array<double, kBins> energy_{};
    std::array<std::int64_t, kBins> blocks_{};
    double blockEnergy_ = 0;
    int blockSamples_ = 0;
};

}  // namespace conv
