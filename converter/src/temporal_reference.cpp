#include "temporal_reference.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace conv {
namespace {

constexpr std::int64_t kClockHz = 1800000;

// The picture header's fixed part: start code (22 bits), then the reference.
constexpr int kReferenceBit = 22;
// With the extended header (PLUSPTYPE) of a custom-sized picture: after the
// fixed part (35 bits), PLUSPTYPE (34), the multipoint bit (1), the custom
// format (23 with square pixels) and the custom clock (8) come the
// reference's two high bits.
constexpr int kHighReferenceBit = 35 + 34 + 1 + 23 + 8;

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

H263Clock h263ClockFor(AVRational timeBase, bool version2)
{
    H263Clock best;
    if (!version2)
        return best;
    std::int64_t bestError = std::numeric_limits<std::int64_t>::max();
    // The divisor nearest the frame time for either clock code, as the encoder picks it.
    for (int code = 0; code < 2; ++code) {
        const std::int64_t divisor = std::clamp<std::int64_t>(
            (timeBase.num * kClockHz + 500LL * timeBase.den) / ((1000LL + code) * timeBase.den), 1, 127);
        const std::int64_t error = std::llabs(timeBase.num * kClockHz - (1000LL + code) * timeBase.den * divisor);
        if (error < bestError) {
            bestError = error;
            best = H263Clock{code, static_cast<int>(divisor)};
        }
    }
    return best;
}

std::int64_t temporalReference(std::int64_t frame, AVRational timeBase, H263Clock clock)
{
    return frame * kClockHz * timeBase.num / ((1000LL + clock.clockCode) * clock.divisor * timeBase.den);
}

bool writeTemporalReference(std::uint8_t* picture, int size, std::int64_t reference, H263Clock clock, bool version2)
{
    const bool highBits = version2 && clock.custom();
    if (size < (highBits ? kHighReferenceBit + 2 : kReferenceBit + 8) / 8 + 1 ||
        getBits(picture, 0, kReferenceBit) != 0x20)
        return false;
    putBits(picture, kReferenceBit, 8, static_cast<std::uint32_t>(reference & 0xff));
    if (highBits)
        putBits(picture, kHighReferenceBit, 2, static_cast<std::uint32_t>((reference >> 8) & 3));
    return true;
}

}  // namespace conv
