#include "cli/output_ceiling.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <string>

#include <sys/resource.h>

namespace conv {
namespace {

constexpr double kLeastSeconds = 3600;
constexpr double kMargin = 16;
constexpr std::uint64_t kFixedBytes = std::uint64_t{64} << 20;
// AMR-NB's highest rate, whatever was asked.
constexpr double kMostSoundKbps = 12.2;

}  // namespace

std::uint64_t outputCeiling(const ConversionRequest& request, double statedSeconds)
{
    const double seconds = std::max(std::isfinite(statedSeconds) ? statedSeconds : 0.0, kLeastSeconds);
    const double bytesPerSecond = (request.videoKbps + std::min(request.audioKbps, kMostSoundKbps)) * 1000 / 8;
    const double bytes = kMargin * bytesPerSecond * seconds + static_cast<double>(kFixedBytes);
    // A duration no real source has leaves the file unbounded, as before.
    return bytes < 9e18 ? static_cast<std::uint64_t>(bytes) : RLIM_INFINITY;
}

void holdOutputToCeiling(const ConversionRequest& request, double statedSeconds)
{
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit current{};
    if (getrlimit(RLIMIT_FSIZE, &current) != 0)
        throw ConversionError(std::string("cannot limit the output's size: ") + std::strerror(errno));
    // Never above what the caller allowed.
    const rlim_t bytes = std::min<rlim_t>(outputCeiling(request, statedSeconds), current.rlim_max);
    const rlimit ceiling{bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &ceiling) != 0)
        throw ConversionError(std::string("cannot limit the output's size: ") + std::strerror(errno));
}

}  // namespace conv
