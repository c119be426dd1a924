#include "audio/loudness_trim.hpp"

#include <algorithm>
#include <cmath>

namespace conv {
namespace {

// The programme level (weighted, ungated sum as ProgrammeLevel reads it)
// that comes out at -16 LUFS once the weighting is undone and AMR-NB coded.
constexpr double kTarget = -15.3;
constexpr double kLeast = -6;
constexpr double kMost = 10;
constexpr double kMostLift = 24;
constexpr double kDecibelsPerSecond = 0.5;

}  // namespace

double LoudnessTrim::next(double normalised, double limited, double source, bool lift, double seconds, bool settling)
{
    double wanted = 0;
    if (lift && std::isfinite(normalised) && std::isfinite(source)) {
        const double most = std::min(kMost, kMostLift - (normalised - source));
        wanted = std::clamp(kTarget - normalised + std::max(limited, 0.0), kLeast, std::max(most, kLeast));
    }
    const double step = settling ? kMost - kLeast : kDecibelsPerSecond * seconds;
    decibels_ += std::clamp(wanted - decibels_, -step, step);
    return std::pow(10.0, decibels_ / 20);
}

}  // namespace conv
