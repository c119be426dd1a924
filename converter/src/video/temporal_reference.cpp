#include "video/temporal_reference.hpp"

#include "video/picture_header.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace conv {
namespace {

constexpr std::int64_t kClockHz = 1800000;

}  // namespace

H263Clock h263ClockFor(AVRational timeBase, bool extendedHeader)
{
    H263Clock best;
    if (!extendedHeader)
        return best;
    const std::int64_t frameTicks = timeBase.num * kClockHz;  // 1.8 MHz ticks times timeBase.den
    std::int64_t bestError = std::numeric_limits<std::int64_t>::max();
    // The divisor nearest the frame time for either clock code, as the encoder picks it.
    for (int code = 0; code < 2; ++code) {
        const std::int64_t divisor =
            std::clamp<std::int64_t>((frameTicks + 500LL * timeBase.den) / ((1000LL + code) * timeBase.den), 1, 127);
        const std::int64_t error = std::llabs(frameTicks - (1000LL + code) * timeBase.den * divisor);
        if (error < bestError) {
            bestError = error;
            best = H263Clock{code, static_cast<int>(divisor)};
        }
    }
    best.inHeader = best.custom();
    const auto slower = [&](const H263Clock& clock) {
        return frameTicks < (1000LL + clock.clockCode) * clock.divisor * timeBase.den;
    };
    if (!best.inHeader || !slower(best))
        return best;
    // The slowest clock that still ticks at least once a frame.
    H263Clock faster{1, 1, true};
    for (int code = 0; code < 2; ++code) {
        const auto divisor = std::clamp<std::int64_t>(frameTicks / ((1000LL + code) * timeBase.den), 1, 127);
        if ((1000 + code) * divisor > (1000 + faster.clockCode) * faster.divisor)
            faster = H263Clock{code, static_cast<int>(divisor), true};
    }
    return faster;
}

std::int64_t temporalReference(std::int64_t frame, AVRational timeBase, H263Clock clock)
{
    return av_rescale_rnd(frame, kClockHz * timeBase.num, (1000LL + clock.clockCode) * clock.divisor * timeBase.den,
                          AV_ROUND_NEAR_INF);
}

bool writeTemporalReference(std::uint8_t* picture, int size, std::int64_t reference, H263Clock clock)
{
    // The fields are found in the header itself: the custom format and its
    // pixel shape come before the clock, and their lengths vary.
    const auto fields = readPictureHeader(picture, size);
    if (!fields || (fields->clockBit >= 0) != clock.inHeader)
        return false;
    putBits(picture, fields->referenceBit, 8, static_cast<std::uint32_t>(reference & 0xff));
    if (clock.inHeader) {
        putBits(picture, fields->clockBit, 1, static_cast<std::uint32_t>(clock.clockCode));
        putBits(picture, fields->clockBit + 1, 7, static_cast<std::uint32_t>(clock.divisor));
        putBits(picture, fields->highReferenceBit, 2, static_cast<std::uint32_t>((reference >> 8) & 3));
    }
    return true;
}

}  // namespace conv
