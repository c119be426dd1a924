#include "video/temporal_reference.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

extern "C" {
#include <libavutil/mathematics.h>
}

namespace conv {
namespace {

constexpr std::int64_t kClockHz = 1800000;

// The picture header's fixed part: start code (22 bits), then the reference.
constexpr int kReferenceBit = 22;
// The extended header (PLUSPTYPE) follows the fixed part (35 bits) and takes
// 34 bits; after it the multipoint bit (1), then, with the custom format, its
// description (23 bits with square pixels); then a custom clock (8 bits) and
// the reference's two high bits.
constexpr int kAfterExtendedType = 35 + 34 + 1;
constexpr int kCustomFormatBits = 23;
constexpr int kClockBits = 8;

void putBits(std::uint8_t* bytes, int firstBit, int count, std::uint32_t value)
{
    for (int i = 0; i < count; ++i) {
        const int bit = firstBit + i;
        const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        if ((value >> (count - 1 - i)) & 1)
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

std::uint32_t getBits(const std::uint8_t* bytes, int firstBit, int count)
{
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int bit = firstBit + i;
        value = (value << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
    }
    return value;
}

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

bool writeTemporalReference(std::uint8_t* picture, int size, std::int64_t reference, H263Clock clock,
                            H263HeaderLayout layout)
{
    const bool clockBits = layout.extended && clock.inHeader;
    const int clockBit = kAfterExtendedType + (layout.customFormat ? kCustomFormatBits : 0);
    const int highReferenceBit = clockBit + kClockBits;
    if (size < (clockBits ? highReferenceBit + 2 : kReferenceBit + 8) / 8 + 1 ||
        getBits(picture, 0, kReferenceBit) != 0x20)
        return false;
    putBits(picture, kReferenceBit, 8, static_cast<std::uint32_t>(reference & 0xff));
    if (clockBits) {
        putBits(picture, clockBit, 1, static_cast<std::uint32_t>(clock.clockCode));
        putBits(picture, clockBit + 1, 7, static_cast<std::uint32_t>(clock.divisor));
        putBits(picture, highReferenceBit, 2, static_cast<std::uint32_t>((reference >> 8) & 3));
    }
    return true;
}

}  // namespace conv
